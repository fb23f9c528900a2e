// Builds the preview sheet with the saver's raster rule: dest = (background OR mask) AND
// frame, where a white mask pixel is all ones and a black one all zeros.
#include "tools/birdgen/preview.h"

namespace {

constexpr int kZoom = 2;
constexpr int kGap = 8;

struct Sheet {
    int width;
    int height;
    std::vector<Rgb8> pixels;
};

// Dark: a night-blue desktop with a brighter band; light: a pale window colour.
Rgb8 Desktop(bool dark, int x, int y) {
    if (dark) {
        return {uint8_t(16 + (x / 3) % 24), uint8_t(20 + y / 12), uint8_t(40 + (x + y) / 10)};
    }
    return {uint8_t(236 - y / 16), uint8_t(232 - x / 40), 224};
}

// An icon is drawn the other way round: dest = (background AND mask) XOR colour, with the
// AND mask all ones where the icon is transparent.
Rgb8 CompositeIcon(Rgb8 background, bool opaque, Rgb8 color) {
    uint8_t keep = opaque ? 0x00 : 0xFF;
    return {uint8_t((background.r & keep) ^ color.r), uint8_t((background.g & keep) ^ color.g),
            uint8_t((background.b & keep) ^ color.b)};
}

Rgb8 Composite(Rgb8 background, bool maskWhite, Rgb8 frame) {
    uint8_t ones = maskWhite ? 0xFF : 0x00;
    return {uint8_t((background.r | ones) & frame.r), uint8_t((background.g | ones) & frame.g),
            uint8_t((background.b | ones) & frame.b)};
}

// Paints one image at (left, top), zoomed; the mask decides what the frame covers.
void Paint(Sheet& sheet, int left, int top, const IndexedImage& image,
           const std::vector<uint8_t>& opaque, bool dark, bool icon) {
    for (int y = 0; y < image.height * kZoom; y++) {
        for (int x = 0; x < image.width * kZoom; x++) {
            size_t i = size_t(y / kZoom) * image.width + x / kZoom;
            Rgb8 frame = image.palette[image.pixels[i]];
            Rgb8 bg = Desktop(dark, left + x, top + y);
            sheet.pixels[size_t(top + y) * sheet.width + left + x] =
                icon ? CompositeIcon(bg, opaque[i], frame) : Composite(bg, opaque[i], frame);
        }
    }
}

}  // namespace

Bytes MakePreviewPpm(const BirdArt& art) {
    int cell = kCellSize * kZoom;
    Sheet sheet;
    sheet.width = kFrameCount * (cell + kGap) + kGap;
    sheet.height = 2 * (cell + kGap) + 32 * kZoom + 2 * kGap;
    sheet.pixels.assign(size_t(sheet.width) * sheet.height, Rgb8{128, 128, 128});
    for (int row = 0; row < 2; row++) {
        for (int f = 0; f < kFrameCount; f++) {
            Paint(sheet, kGap + f * (cell + kGap), kGap + row * (cell + kGap), art.frames[f],
                  art.masks[f], row == 0, false);
        }
    }
    int iconTop = kGap + 2 * (cell + kGap);
    for (int i = 0; i < 4; i++) {
        const IconImage& icon = art.icons[size_t(i % 2)];
        Paint(sheet, kGap + i * (cell + kGap), iconTop, icon.colors, icon.opaque, i < 2, true);
    }
    return EncodePpm(sheet.width, sheet.height, sheet.pixels);
}
