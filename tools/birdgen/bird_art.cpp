// Renders the artwork set and reduces it to palettes.
#include "tools/birdgen/bird_art.h"

#include <algorithm>

#include "tools/birdgen/palette.h"

namespace {

const View kFrameView = {0, 0, 1, kCellSize, 5, 1.5, 1.0};

// One palette for all four frames: the frames differ only in the wing, and a shared
// palette keeps a colour from shifting between frames.
std::vector<Rgb8> FramePalette(const Picture* pictures) {
    std::vector<Rgb8> colors;
    for (int f = 0; f < kFrameCount; f++) {
        for (size_t i = 0; i < pictures[f].color.size(); i++) {
            if (pictures[f].opaque[i]) {
                colors.push_back(pictures[f].color[i]);
            }
        }
    }
    std::vector<Rgb8> palette = MedianCutPalette(colors, kWhiteIndex);
    palette.resize(256, Rgb8{0, 0, 0});
    palette[kWhiteIndex] = {255, 255, 255};
    return palette;
}

// Opaque pixels map to the bird's own colours only, never to the white of the outside.
IndexedImage ToIndexed(const Picture& picture, const std::vector<Rgb8>& palette, int first,
                       int last, uint8_t outside) {
    IndexedImage image;
    image.width = image.height = picture.size;
    image.palette = palette;
    image.pixels.resize(picture.color.size());
    for (size_t i = 0; i < picture.color.size(); i++) {
        bool opaque = picture.opaque[i];
        image.pixels[i] =
            opaque ? uint8_t(NearestIndex(palette, picture.color[i], first, last)) : outside;
    }
    return image;
}

// The icon frames the raised-wing pose tightly, so the bird fills the small square.
IconImage MakeIcon(int size, double outline, double seam) {
    const double left = 2, top = 4, side = 114;
    View view = {left, top, side / size, size, 8, outline, seam};
    Picture picture = RenderBird(MakeBirdFigure(0), view);
    std::vector<Rgb8> colors;
    for (size_t i = 0; i < picture.color.size(); i++) {
        if (picture.opaque[i]) {
            colors.push_back(picture.color[i]);
        }
    }
    std::vector<Rgb8> palette = {{0, 0, 0}};
    for (Rgb8 c : MedianCutPalette(colors, 15)) {
        palette.push_back(c);
    }
    palette.resize(16, Rgb8{0, 0, 0});
    return {ToIndexed(picture, palette, 0, 16, 0), picture.opaque};
}

}  // namespace

BirdArt MakeBirdArt() {
    Picture pictures[kFrameCount];
    for (int f = 0; f < kFrameCount; f++) {
        pictures[f] = RenderBird(MakeBirdFigure(f), kFrameView);
    }
    std::vector<Rgb8> palette = FramePalette(pictures);
    BirdArt art;
    for (int f = 0; f < kFrameCount; f++) {
        art.frames[f] = ToIndexed(pictures[f], palette, 0, kWhiteIndex, kWhiteIndex);
        art.masks[f] = pictures[f].opaque;
    }
    art.icons.push_back(MakeIcon(32, 1.0, 0.6));
    art.icons.push_back(MakeIcon(16, 0.7, 0.4));
    return art;
}
