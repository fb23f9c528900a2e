// One bird of the flock: a position, a per-step displacement and a frame counter. The artwork
// it shows belongs to the flock; a bird is drawn into the flock's back buffer with plain pixel
// arithmetic, so nothing here touches the system.
#pragma once

#include <cstdint>

#include "saver/artwork.h"
#include "saver/compositor.h"

// A pseudo-random source: each call gives 0..32767. The saver passes NextRandom (the Windows C
// library's sequence); tests also pass scripted ones.
using RandomSource = int (*)();

struct BirdRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class Bird {
   public:
    // A new bird at a start point in a client area right x bottom, its size the artwork's.
    void Init(int32_t startX, int32_t startY, const Artwork& artwork, int32_t right, int32_t bottom,
              RandomSource random);
    // right and bottom: the window's client size, read once per step by the scene.
    void DrawAndMove(Compositor& compositor, const Artwork& artwork, int32_t right, int32_t bottom);

    // The halves of Init and DrawAndMove.
    void ChooseStart(int32_t startX, int32_t startY, RandomSource random);
    void ClampInto(int32_t right, int32_t bottom);
    void MoveWithin(int32_t right, int32_t bottom);
    bool HasArtwork() const { return width > 0 && height > 0; }

    void AdvanceFrame();
    BirdRect Bounds() const { return {x, y, x + width, y + height}; }
    // Closed boxes: birds whose boxes only share an edge or a corner touch. A bird without
    // artwork is never drawn, so nothing may turn away from it. Every bird of a step is tested
    // against every other: inline, and without a branch per comparison.
    bool Overlaps(const Bird& other) const {
        bool drawn = HasArtwork() && other.HasArtwork();
        BirdRect b = other.Bounds();
        return drawn & (x <= b.right) & (b.left <= x + width) & (y <= b.bottom) &
               (b.top <= y + height);
    }
    void TurnAwayFrom(const Bird& other);

    int32_t currentImage = 0;
    int32_t currentMask = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t frame = 0;
    int32_t frameStep = 0;
    int32_t stepX = 0;
    int32_t stepY = 0;
};
