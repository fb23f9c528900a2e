// One bird of the flock: four animation frames with their masks, a private work surface, a
// position and a per-step displacement. The motion rules are plain arithmetic; only Init,
// DrawAndMove and Release touch the system.
#pragma once

#include <cstdint>

#include "host/handles.h"

struct BirdRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class Bird {
public:
    // Windows only.
    void Init(WindowHandle window, int32_t startX, int32_t startY);
    void DrawAndMove(WindowHandle window, BitmapHandle background);
    void Release();

    void AdvanceFrame();
    BirdRect Bounds() const;
    bool Overlaps(const Bird& other) const;
    void TurnAwayFrom(const Bird& other);

    int32_t currentImage = 0;
    int32_t currentMask = 0;
    BitmapHandle workSurface = nullptr;
    BitmapHandle images[4] = {};
    BitmapHandle masks[4] = {};
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t frame = 0;
    int32_t frameStep = 0;
    int32_t stepX = 0;
    int32_t stepY = 0;
};
