// The birds' artwork in plain memory: the frames of the flapping wings and their masks, read
// once from the program's bitmaps (saver/flock_gdi.cpp) and shared by every bird of the flock.
// Pixels are 32-bit 0x00RRGGBB values in rows from the top down, as the compositor takes them.
#pragma once

#include <cstdint>
#include <vector>

constexpr int32_t kFrameCount = 4;

// A mask is 0x00FFFFFF inside the silhouette and 0 outside, so that ORing it in and then ANDing
// the frame (white outside the bird) gives what the system's SRCPAINT and SRCAND give with the
// 1-bit mask.
struct Artwork {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> frames[kFrameCount];
    std::vector<uint32_t> masks[kFrameCount];

    bool Loaded() const { return width > 0 && height > 0; }
};
