// The flock's size, start points, collision turns and capture origin, kept free of drawing so
// the order of random draws, the order of turns and the origin on several monitors can be
// checked natively.
#include "saver/flock.h"

int32_t FlockSize(int32_t birdCount, int32_t right, int32_t bottom) {
    if (right <= 0 || bottom <= 0 || birdCount <= 0) {
        return 0;
    }
    return birdCount < kMaxFlockSize ? birdCount : kMaxFlockSize;
}

BirdStart DrawBirdStart(int32_t right, int32_t bottom, RandomSource random) {
    BirdStart start;
    start.y = random() % bottom;
    start.x = random() % right;
    return start;
}

void TurnAwayFromOverlaps(std::vector<Bird>& birds, size_t index) {
    Bird& bird = birds[index];
    for (size_t other = 0; other < birds.size(); other++) {
        if (other != index && bird.Overlaps(birds[other])) {
            bird.TurnAwayFrom(birds[other]);
        }
    }
}

HostPoint CaptureOrigin(bool preview, HostPoint clipBoxCorner) {
    if (preview) {
        return {0, 0};
    }
    return clipBoxCorner;
}
