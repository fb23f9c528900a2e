// How a bird starts, draws and moves: its random start, the clamp into the window, the patch
// it is drawn in, the step with its edge bounce, the flapping frames and the collision turn.
// Plain arithmetic, shared by the saver and the native tests.
#include "saver/bird.h"

namespace {

constexpr int32_t kStepSize = 4;

int32_t Magnitude(int32_t v) {
    return v < 0 ? -v : v;
}

// A random bit 0 means +4 (moving left or up), 1 means -4.
int32_t RandomStep(RandomSource random) {
    return random() % 2 == 0 ? kStepSize : -kStepSize;
}

}  // namespace

// A bird whose flock has no artwork stays 0 x 0: it is never drawn and touches nothing.
void Bird::Init(int32_t startX, int32_t startY, const Artwork& artwork, int32_t right,
                int32_t bottom, RandomSource random) {
    ChooseStart(startX, startY, random);
    width = artwork.Loaded() ? artwork.width : 0;
    height = artwork.Loaded() ? artwork.height : 0;
    ClampInto(right, bottom);
}

// The patch is a step wider than the bird on every side, so drawn before the move it also
// covers where the bird was drawn the step before: no trail, no separate erase.
void Bird::DrawAndMove(Compositor& compositor, const Artwork& artwork, int32_t right,
                       int32_t bottom) {
    if (!HasArtwork()) {
        return;
    }
    int32_t a = Magnitude(stepX);
    int32_t b = Magnitude(stepY);
    PixelRect patch = {x, y, x + width + 2 * a, y + height + 2 * b};
    SpritePlacement sprite = {artwork.frames[currentImage].data(),
                              artwork.masks[currentMask].data(),
                              width,
                              height,
                              x + a,
                              y + b};
    compositor.DrawPatch(patch, sprite);
    MoveWithin(right, bottom);
}

// The draws come in a fixed order (frame, horizontal sign, vertical sign) so that one seed
// always gives the same flock.
void Bird::ChooseStart(int32_t startX, int32_t startY, RandomSource random) {
    frameStep = 1;
    frame = random() % kFrameCount;
    x = startX;
    y = startY;
    stepX = RandomStep(random);
    stepY = RandomStep(random);
    // The first step always shows the first frame; the random counter counts from the advance.
    currentImage = 0;
    currentMask = 0;
}

// Only the far edges are enforced: a window smaller than the sprite leaves it partly outside
// on the near side, and the bounce rule brings it back and forth from there.
void Bird::ClampInto(int32_t right, int32_t bottom) {
    if (x > right - width) {
        x = right - width;
    }
    if (y > bottom - height) {
        y = bottom - height;
    }
}

void Bird::MoveWithin(int32_t right, int32_t bottom) {
    int32_t a = Magnitude(stepX);
    int32_t b = Magnitude(stepY);
    x -= stepX;
    y -= stepY;
    if (x < 0) {
        stepX = -a;
    } else if (x > right - width) {
        stepX = a;
    }
    if (y < 0) {
        stepY = -b;
    } else if (y > bottom - height) {
        stepY = b;
    }
    AdvanceFrame();
}

void Bird::AdvanceFrame() {
    frame = (frame + frameStep) % kFrameCount;
    currentImage = frame;
    currentMask = frame;
}

// A positive step moves left or up, so a bird left of (or above) the other gets a positive one.
// Equal coordinates send the bird right (or down).
void Bird::TurnAwayFrom(const Bird& other) {
    int32_t a = Magnitude(stepX);
    int32_t b = Magnitude(stepY);
    stepX = x < other.x ? a : -a;
    stepY = y < other.y ? b : -b;
}
