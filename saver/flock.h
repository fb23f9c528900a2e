// The flock's rules: how many birds a run gets, where each one starts, one step of the whole
// flock (each bird drawn, moved, then turned away from the birds it touches) and where on the
// screen the frozen picture is taken from. None of it touches the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/handles.h"
#include "saver/bird.h"

// A larger CharNumber gets this many birds. The cap came from the days when every bird held
// its own GDI bitmaps; settings files written since may rely on it, so it stays.
constexpr int32_t kMaxFlockSize = 1000;

struct BirdStart {
    int32_t x;
    int32_t y;
};

// How many birds a run creates for the CharNumber setting in a client area right x bottom.
// A client area with no width or height gets none: there is nowhere to place them.
int32_t FlockSize(int32_t birdCount, int32_t right, int32_t bottom);

// A bird's unclamped start point; the row is drawn before the column. Needs a non-empty area.
BirdStart DrawBirdStart(int32_t right, int32_t bottom, RandomSource random);

// Makes the flock for the CharNumber setting: for each bird in order, its row, then its column,
// then the bird's own draws (frame, horizontal sign, vertical sign), then the clamp.
void PlaceFlock(std::vector<Bird>& birds, int32_t birdCount, const Artwork& artwork, int32_t right,
                int32_t bottom, RandomSource random);

// One step of the flock in a client area right x bottom. Draws and moves nothing when the
// compositor has no pictures.
void StepFlock(std::vector<Bird>& birds, const Artwork& artwork, Compositor& compositor,
               int32_t right, int32_t bottom);

// The collision half of one step: the bird at index turns away from every other bird it
// touches, in array order, so the last of them decides its direction.
void TurnAwayFromOverlaps(std::vector<Bird>& birds, size_t index);

// The picture's origin: the screen point the picture behind the window is copied from, both the
// frozen desktop and the live screen painted while the saver starts. The full-screen window
// covers the screen's clip box, which starts left of or above 0,0 when a monitor sits left of or
// above the primary one, so its picture starts at the box's corner too. A preview shows the
// screen's top-left block of its own size.
HostPoint PictureOrigin(bool preview, HostPoint clipBoxCorner);
