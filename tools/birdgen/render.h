// Turns the bird's vector figure into pixels: a supersampled silhouette that becomes a hard
// mask, colours averaged over the covered samples only (so an edge pixel never fades toward
// the white outside), and a dark outline drawn inside the silhouette.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/birdgen/bird_figure.h"

struct Rgb8 {
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

inline bool operator==(Rgb8 a, Rgb8 b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Which part of the cell lands in the picture: output pixel (i, j) covers the cell square
// from origin + (i, j) * cellPerPixel to one pixel further.
struct View {
    double originX;
    double originY;
    double cellPerPixel;
    int size;
    int supersample;
    double outlineWidth;  // along the silhouette, in output pixels
    double seamWidth;     // where a part lies over another part, in output pixels
};

// Rows top to bottom; a pixel not opaque is outside the bird and its colour is unused.
struct Picture {
    int size = 0;
    std::vector<uint8_t> opaque;
    std::vector<Rgb8> color;
};

Picture RenderBird(const BirdFigure& bird, const View& view);
