// Reduces the rendered colours to a palette: median cut, then nearest colour per pixel.
#pragma once

#include <cstddef>
#include <vector>

#include "tools/birdgen/render.h"

// At most count colours that represent the given pixels well; fewer when there are fewer
// distinct colours. Deterministic, so the artwork files come out the same on every run.
std::vector<Rgb8> MedianCutPalette(const std::vector<Rgb8>& pixels, size_t count);

// Index of the palette entry closest to c among entries [first, last).
int NearestIndex(const std::vector<Rgb8>& palette, Rgb8 c, int first, int last);
