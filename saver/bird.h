// One bird of the flock: four animation frames with their masks, a private work surface, a
// position and a per-step displacement. The motion rules are plain arithmetic; only Init,
// DrawAndMove and Release touch the system.
#pragma once

#include <cstdint>

#include "host/handles.h"

// A pseudo-random source with the C runtime's contract: each call gives 0..32767. The saver
// passes rand; tests pass a stand-in with the same arithmetic so the draws can be checked.
using RandomSource = int (*)();

struct BirdRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The device contexts a flock step draws through: the window's, one holding the frozen
// desktop, one for the artwork and one for the birds' work surfaces (Windows only).
struct StepContexts {
    ContextHandle window;
    ContextHandle background;
    ContextHandle art;
    ContextHandle work;
};

class Bird {
   public:
    // Windows only.
    void Init(WindowHandle window, int32_t startX, int32_t startY);
    void DrawAndMove(const StepContexts& contexts, int32_t right, int32_t bottom);
    void Release();

    // The arithmetic halves of Init and DrawAndMove, kept apart from the drawing.
    void ChooseStart(int32_t startX, int32_t startY, RandomSource random);
    void ClampInto(int32_t right, int32_t bottom);
    void MoveWithin(int32_t right, int32_t bottom);
    bool HasArtwork() const { return width > 0 && height > 0; }

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
