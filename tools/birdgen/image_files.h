// Writers for the file formats the resource compiler and the preview need: 8-bit and 1-bit
// bottom-up BMP, a 16-colour icon file, and PPM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/birdgen/render.h"

using Bytes = std::vector<uint8_t>;

// Rows top to bottom, one palette index per pixel.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb8> palette;
    std::vector<uint8_t> pixels;
};

// An icon image: colours and the pixels the icon covers (the rest shows the desktop).
struct IconImage {
    IndexedImage colors;
    std::vector<uint8_t> opaque;
};

Bytes EncodeFrameBmp(const IndexedImage& image);
// White (index 0) where opaque, black (index 1) elsewhere.
Bytes EncodeMaskBmp(int width, int height, const std::vector<uint8_t>& opaque);
Bytes EncodeIcon(const std::vector<IconImage>& images);
Bytes EncodePpm(int width, int height, const std::vector<Rgb8>& pixels);

bool WriteBytes(const std::string& path, const Bytes& bytes);
