// The birds' drawing in plain memory: the frozen desktop, and the back buffer each step composes
// the birds in, through their masks, before the window is given what changed. Pixels are 32-bit
// 0x00RRGGBB values in rows from the top down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Right and bottom exclusive.
struct PixelRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Part of one row, right exclusive.
struct PixelSpan {
    int32_t left;
    int32_t right;
};

// One frame of the artwork and its mask, with its top-left corner at (x, y) of the picture.
struct SpritePlacement {
    const uint32_t* frame;
    const uint32_t* mask;
    int32_t width;
    int32_t height;
    int32_t x;
    int32_t y;
};

// Memory for a full-screen picture, or null; the block is given back with operator delete. The
// saver passes AllocatePicture; tests also pass one that refuses, as a system short of memory
// would.
using PictureAllocator = void* (*)(size_t bytes);
void* AllocatePicture(size_t bytes);

class Compositor {
   public:
    Compositor() = default;
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;
    ~Compositor() { Release(); }

    // backPixels: the back buffer, width x height, holding the desktop just captured. Keeps a
    // frozen copy of it to take patches from. False when that copy's memory is refused; the
    // compositor then stays unready and draws nothing.
    bool Freeze(uint32_t* backPixels, int32_t width, int32_t height, PictureAllocator allocate);
    void Release();
    bool Ready() const { return background != nullptr; }

    // A step draws its patches in order between BeginStep and FinishStep. A patch is restored
    // from the frozen desktop with the sprite drawn through its mask over it, both clipped to
    // the picture; the part that lands on the picture is added to `changed`. The back buffer
    // holds the result once the step finishes.
    void BeginStep();
    void DrawPatch(PixelRect patch, const SpritePlacement& sprite);
    void FinishStep();

    uint32_t* backBuffer = nullptr;  // owned by the window layer
    uint32_t* background = nullptr;  // the frozen desktop, owned here
    int32_t width = 0;
    int32_t height = 0;
    std::vector<PixelRect> changed;  // the patches drawn since the last step began

   private:
    struct Draw {
        PixelRect shown;
        SpritePlacement sprite;
    };
    void ComposeSpan(const Draw& draw, int32_t y, int32_t left, int32_t right);

    std::vector<Draw> draws;                      // this step's patches, in drawing order
    std::vector<std::vector<PixelSpan>> covered;  // per row, what later patches of the step cover
};

// What the window is given after a step: the changed patches one by one, or one block that
// covers them all when that costs less.
struct Presentation {
    bool oneBlock;
    PixelRect block;
};

Presentation ChoosePresentation(const std::vector<PixelRect>& changed);
