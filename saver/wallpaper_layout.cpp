// The desktop background's decisions and pixels, kept free of the system so that every style
// on every shape of picture and monitor can be checked natively.
#include "saver/wallpaper_layout.h"

#include <cmath>

namespace {

// Rounded down, also for negative values: a picture larger than its monitor starts left of or
// above it.
int32_t FloorDiv(int32_t value, int32_t divisor) {
    int32_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

int32_t FloorMod(int32_t value, int32_t divisor) {
    return value - FloorDiv(value, divisor) * divisor;
}

// value * numerator / denominator, rounded to the nearest pixel.
int32_t Scaled(int32_t value, int32_t numerator, int32_t denominator) {
    int64_t product = int64_t(value) * numerator;
    return int32_t((2 * product + denominator) / (2 * int64_t(denominator)));
}

bool SameText(const char* a, const char* b) {
    for (; *a && *b; a++, b++) {
        char x = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (x != y) {
            return false;
        }
    }
    return *a == *b;
}

// A setting's number; anything else (missing, empty, not a number) is -1.
int32_t SettingNumber(const char* text) {
    if (!text) {
        return -1;
    }
    while (*text == ' ') {
        text++;
    }
    int32_t value = 0;
    const char* digit = text;
    for (; *digit >= '0' && *digit <= '9' && value < 1000; digit++) {
        value = value * 10 + (*digit - '0');
    }
    while (*digit == ' ') {
        digit++;
    }
    return (digit == text || *digit) ? -1 : value;
}

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    PixelRect r = {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                   a.right < b.right ? a.right : b.right,
                   a.bottom < b.bottom ? a.bottom : b.bottom};
    if (r.right < r.left) {
        r.right = r.left;
    }
    if (r.bottom < r.top) {
        r.bottom = r.top;
    }
    return r;
}

// The picture's size on an area of the given size: the whole area (stretch), inside it with
// its proportions (fit), covering it with its proportions (fill), or its own (centre).
PixelRect PlacedOn(WallpaperStyle style, int32_t pw, int32_t ph, const PixelRect& area) {
    int32_t aw = area.right - area.left, ah = area.bottom - area.top;
    int32_t w = pw, h = ph;
    // The picture is relatively wider than the area (or as wide).
    bool wider = int64_t(pw) * ah >= int64_t(ph) * aw;
    if (style == WallpaperStyle::kStretch) {
        w = aw;
        h = ah;
    } else if (style != WallpaperStyle::kCentre) {
        // Fit meets the area's nearer edges, fill and span its farther ones.
        bool matchWidth = (style == WallpaperStyle::kFit) ? wider : !wider;
        w = matchWidth ? aw : Scaled(pw, ah, ph);
        h = matchWidth ? Scaled(ph, aw, pw) : ah;
    }
    int32_t left = area.left + FloorDiv(aw - w, 2), top = area.top + FloorDiv(ah - h, 2);
    return {left, top, left + w, top + h};
}

// One output pixel's source pixels and their weights along one axis.
struct Taps {
    int32_t first;
    std::vector<double> weights;
};

// The triangle filter, widened by the scale when shrinking so that every source pixel counts.
// The same arithmetic as common image libraries' bilinear resize, so a reference made with
// one matches within rounding.
std::vector<Taps> AxisTaps(int32_t sourceSize, int32_t placedSize, int32_t from, int32_t to) {
    double scale = double(sourceSize) / placedSize;
    double widen = scale > 1 ? scale : 1;
    std::vector<Taps> taps;
    for (int32_t i = from; i < to; i++) {
        double centre = (i + 0.5) * scale;
        int32_t first = int32_t(centre - widen + 0.5), end = int32_t(centre + widen + 0.5);
        first = first < 0 ? 0 : first;
        end = end > sourceSize ? sourceSize : end;
        Taps tap = {first, {}};
        double total = 0;
        for (int32_t s = first; s < end; s++) {
            double distance = std::fabs((s - centre + 0.5) / widen);
            tap.weights.push_back(distance < 1 ? 1 - distance : 0);
            total += tap.weights.back();
        }
        for (double& w : tap.weights) {
            w = total != 0 ? w / total : 0;
        }
        taps.push_back(tap);
    }
    return taps;
}

uint32_t Channel(double value) {
    double rounded = std::floor(value + 0.5);
    return rounded < 0 ? 0 : rounded > 255 ? 255 : uint32_t(rounded);
}

// The tap's pixels, `stride` apart, summed with its weights.
uint32_t Weighted(const uint32_t* pixel, size_t stride, const Taps& tap) {
    double r = 0, g = 0, b = 0;
    for (double w : tap.weights) {
        r += w * ((*pixel >> 16) & 0xFF);
        g += w * ((*pixel >> 8) & 0xFF);
        b += w * (*pixel & 0xFF);
        pixel += stride;
    }
    return (Channel(r) << 16) | (Channel(g) << 8) | Channel(b);
}

void DrawTiled(PixelImage target, const PixelImage& picture, const WallpaperPlacement& placement,
               const PixelRect& shown) {
    for (int32_t y = shown.top; y < shown.bottom; y++) {
        const uint32_t* row =
            picture.pixels +
            size_t(FloorMod(y - placement.picture.top, picture.height)) * size_t(picture.width);
        uint32_t* out = target.pixels + size_t(y) * size_t(target.width);
        for (int32_t x = shown.left; x < shown.right; x++) {
            out[x] = row[FloorMod(x - placement.picture.left, picture.width)];
        }
    }
}

}  // namespace

bool UseBackgroundPicture(bool preview, bool onSecureDesktop, bool captureFailed) {
    return !preview && (onSecureDesktop || captureFailed);
}

bool IsSecureDesktopName(const char* name) {
    return name && SameText(name, kSecureDesktopName);
}

WallpaperStyle ParseWallpaperStyle(const char* wallpaperStyle, const char* tileWallpaper) {
    switch (SettingNumber(wallpaperStyle)) {
        case 0:
        case -1:
            return SettingNumber(tileWallpaper) == 1 ? WallpaperStyle::kTile
                                                     : WallpaperStyle::kCentre;
        case 2:
            return WallpaperStyle::kStretch;
        case 6:
            return WallpaperStyle::kFit;
        case 10:
            return WallpaperStyle::kFill;
        case 22:
            return WallpaperStyle::kSpan;
    }
    return WallpaperStyle::kCentre;
}

bool WallpaperCandidate(int32_t index, const char* named, const char* appData, char* out,
                        size_t outSize) {
    static const char* const kSystemCopies[] = {
        "\\Microsoft\\Windows\\Themes\\TranscodedWallpaper",
        "\\Microsoft\\Windows\\Themes\\TranscodedWallpaper.jpg"};
    if (!named || !*named || SameText(named, "(None)") || index < 0 || index > 2 ||
        (index > 0 && (!appData || !*appData))) {
        return false;
    }
    const char* parts[2] = {index == 0 ? named : appData,
                            index == 0 ? "" : kSystemCopies[index - 1]};
    size_t length = 0;
    for (const char* part : parts) {
        for (; *part; part++) {
            if (length + 1 >= outSize) {
                return false;
            }
            out[length++] = *part;
        }
    }
    out[length] = '\0';
    return true;
}

PictureFormat DetectPictureFormat(const uint8_t* head, size_t length) {
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto startsWith = [&](const char* text, size_t count) {
        for (size_t i = 0; i < count; i++) {
            if (i >= length || head[i] != uint8_t(text[i])) {
                return false;
            }
        }
        return true;
    };
    if (length >= 2 && head[0] == 'B' && head[1] == 'M') {
        return PictureFormat::kBmp;
    }
    if (length >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
        return PictureFormat::kJpeg;
    }
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) {
        return PictureFormat::kGif;
    }
    if (startsWith(reinterpret_cast<const char*>(kPng), 8)) {
        return PictureFormat::kPng;
    }
    return PictureFormat::kUnknown;
}

uint32_t PixelFromColorRef(uint32_t colorRef) {
    return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}

// Tile and span are one picture over every monitor; the other styles place a copy on each.
std::vector<WallpaperPlacement> PlaceWallpaper(WallpaperStyle style, int32_t pictureWidth,
                                               int32_t pictureHeight,
                                               const std::vector<PixelRect>& monitors,
                                               int32_t windowWidth, int32_t windowHeight,
                                               HostPoint primaryCorner) {
    std::vector<WallpaperPlacement> placements;
    if (pictureWidth <= 0 || pictureHeight <= 0 || windowWidth <= 0 || windowHeight <= 0) {
        return placements;
    }
    PixelRect window = {0, 0, windowWidth, windowHeight};
    if (style == WallpaperStyle::kTile) {
        PixelRect anchor = {primaryCorner.x, primaryCorner.y, primaryCorner.x + pictureWidth,
                            primaryCorner.y + pictureHeight};
        placements.push_back({window, anchor, true});
        return placements;
    }
    std::vector<PixelRect> areas = monitors;
    if (areas.empty()) {
        areas.push_back(window);
    }
    if (style == WallpaperStyle::kSpan) {
        PixelRect box = areas[0];
        for (const PixelRect& m : areas) {
            box = {m.left < box.left ? m.left : box.left, m.top < box.top ? m.top : box.top,
                   m.right > box.right ? m.right : box.right,
                   m.bottom > box.bottom ? m.bottom : box.bottom};
        }
        areas.assign(1, box);
    }
    for (const PixelRect& area : areas) {
        if (area.right > area.left && area.bottom > area.top) {
            placements.push_back({area, PlacedOn(style, pictureWidth, pictureHeight, area), false});
        }
    }
    return placements;
}

void FillPixels(PixelImage target, uint32_t colour) {
    size_t count = size_t(target.width) * size_t(target.height);
    for (size_t i = 0; i < count; i++) {
        target.pixels[i] = colour;
    }
}

size_t PlacementScratchPixels(const PixelImage& picture, const WallpaperPlacement& placement) {
    PixelRect shown = Intersect(placement.area, placement.picture);
    return size_t(shown.right - shown.left) * size_t(picture.height);
}

// Across first, into scratch (the shown columns of every source row needed), then down.
void DrawPlacement(PixelImage target, const PixelImage& picture,
                   const WallpaperPlacement& placement, uint32_t* scratch) {
    PixelRect shown = Intersect(placement.area, {0, 0, target.width, target.height});
    if (placement.tiled) {
        DrawTiled(target, picture, placement, shown);
        return;
    }
    const PixelRect& at = placement.picture;
    shown = Intersect(shown, at);
    int32_t width = shown.right - shown.left;
    if (width <= 0 || shown.bottom <= shown.top) {
        return;
    }
    std::vector<Taps> across =
        AxisTaps(picture.width, at.right - at.left, shown.left - at.left, shown.right - at.left);
    std::vector<Taps> down =
        AxisTaps(picture.height, at.bottom - at.top, shown.top - at.top, shown.bottom - at.top);
    int32_t firstRow = down.front().first;
    int32_t endRow = down.back().first + int32_t(down.back().weights.size());
    for (int32_t y = firstRow; y < endRow; y++) {
        const uint32_t* row = picture.pixels + size_t(y) * size_t(picture.width);
        for (int32_t x = 0; x < width; x++) {
            scratch[size_t(y) * width + x] = Weighted(row + across[x].first, 1, across[x]);
        }
    }
    for (int32_t y = shown.top; y < shown.bottom; y++) {
        const Taps& tap = down[size_t(y - shown.top)];
        uint32_t* out = target.pixels + size_t(y) * size_t(target.width) + shown.left;
        for (int32_t x = 0; x < width; x++) {
            out[x] = Weighted(scratch + size_t(tap.first) * width + x, size_t(width), tap);
        }
    }
}
