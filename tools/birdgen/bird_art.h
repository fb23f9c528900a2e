// The complete artwork set: the four palette frames with their masks, and the icon's two
// 16-colour images, all rendered from the one bird figure.
#pragma once

#include <vector>

#include "tools/birdgen/image_files.h"

struct BirdArt {
    IndexedImage frames[kFrameCount];  // index 255 is the white outside
    std::vector<uint8_t> masks[kFrameCount];
    std::vector<IconImage> icons;  // 32 x 32, then 16 x 16
};

constexpr int kWhiteIndex = 255;

BirdArt MakeBirdArt();
