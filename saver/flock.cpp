// The flock's size, start points, step, collision turns and the picture's origin, kept free of
// the system so the order of random draws, the order of drawing and turning and the origin on
// several monitors can be checked natively.
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

// Every bird exists before the first is placed, so placed birds never move in memory.
void PlaceFlock(std::vector<Bird>& birds, int32_t birdCount, const Artwork& artwork, int32_t right,
                int32_t bottom, RandomSource random) {
    birds.assign(static_cast<size_t>(FlockSize(birdCount, right, bottom)), Bird());
    for (Bird& bird : birds) {
        BirdStart start = DrawBirdStart(right, bottom, random);
        bird.Init(start.x, start.y, artwork, right, bottom, random);
    }
}

// Later birds test against birds that already moved this step, earlier ones against birds
// that have not; a later bird's patch covers what it overlaps of an earlier one.
// FIXME: the client area is the bounding box of every monitor. Where monitors of different sizes
// leave part of that box unshown, a bird starts or flies there out of sight until it bounces
// off the box's edge; it should keep to the parts some monitor shows.
void StepFlock(std::vector<Bird>& birds, const Artwork& artwork, Compositor& compositor,
               int32_t right, int32_t bottom) {
    compositor.BeginStep();
    if (!compositor.Ready()) {
        return;
    }
    for (size_t i = 0; i < birds.size(); i++) {
        birds[i].DrawAndMove(compositor, artwork, right, bottom);
        TurnAwayFromOverlaps(birds, i);
    }
    compositor.FinishStep();
}

void TurnAwayFromOverlaps(std::vector<Bird>& birds, size_t index) {
    Bird& bird = birds[index];
    for (size_t other = 0; other < birds.size(); other++) {
        if (other != index && bird.Overlaps(birds[other])) {
            bird.TurnAwayFrom(birds[other]);
        }
    }
}

HostPoint PictureOrigin(bool preview, HostPoint clipBoxCorner) {
    if (preview) {
        return {0, 0};
    }
    return clipBoxCorner;
}
