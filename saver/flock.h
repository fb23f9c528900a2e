// The flock's rules that do not depend on drawing: how many birds a run gets, where each one
// starts, which way a bird turns after its step, and where on the screen the frozen picture
// is taken from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/handles.h"
#include "saver/bird.h"

// Each bird owns nine GDI bitmaps and Windows gives a process 10 000 GDI objects by default;
// 1000 birds (9 000 bitmaps) is the most that can exist with room left for the rest of the
// program. A larger CharNumber gets this many birds instead of failing part-way.
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

// The collision half of one step: the bird at index turns away from every other bird it
// touches, in array order, so the last of them decides its direction.
void TurnAwayFromOverlaps(std::vector<Bird>& birds, size_t index);

// The screen point the picture behind the window is copied from. The full-screen window covers
// the screen's clip box, which starts left of or above 0,0 when a monitor sits left of or above
// the primary one, so its picture starts at the box's corner too. A preview shows the screen's
// top-left block of its own size.
HostPoint CaptureOrigin(bool preview, HostPoint clipBoxCorner);
