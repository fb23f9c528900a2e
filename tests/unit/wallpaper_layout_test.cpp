// The desktop background the saver paints where it cannot read the user's desktop: which
// settings mean what, and where each style puts the picture on one or two monitors.
#include "saver/wallpaper_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

using S = WallpaperStyle;
const PixelRect kScreen = {0, 0, 1024, 768};

TEST(WallpaperLayout, EachStyleOnPicturesSmallerLargerWiderAndTallerThanTheMonitor) {
    struct Case {
        S style;
        int32_t width, height;
        PixelRect expected;
    } cases[] = {
        {S::kCentre, 200, 100, {412, 334, 612, 434}},
        {S::kCentre, 1200, 900, {-88, -66, 1112, 834}},  // cropped equally on both sides
        {S::kCentre, 2000, 500, {-488, 134, 1512, 634}},
        {S::kCentre, 201, 101, {411, 333, 612, 434}},  // an odd pixel goes right and down
        {S::kStretch, 200, 100, kScreen},
        {S::kStretch, 500, 2000, kScreen},
        {S::kFit, 200, 100, {0, 128, 1024, 640}},      // wider: as wide as the monitor
        {S::kFit, 300, 600, {320, 0, 704, 768}},       // taller: as high
        {S::kFit, 2048, 1536, {0, 0, 1024, 768}},      // same proportions: exactly the monitor
        {S::kFill, 200, 100, {-256, 0, 1280, 768}},    // wider: as high, cropped at the sides
        {S::kFill, 1024, 1200, {0, -216, 1024, 984}},  // taller: as wide, cropped top and bottom
        {S::kFill, 4000, 3000, {0, 0, 1024, 768}},
        {S::kSpan, 1024, 1200, {0, -216, 1024, 984}},  // one monitor: as fill
    };
    for (const Case& c : cases) {
        std::vector<WallpaperPlacement> placed =
            PlaceWallpaper(c.style, c.width, c.height, {}, 1024, 768, {0, 0});
        ASSERT_EQ(placed.size(), 1u);
        EXPECT_TRUE(placed[0].picture == c.expected)
            << int(c.style) << " " << c.width << "x" << c.height;
        EXPECT_TRUE(placed[0].area == kScreen);
        EXPECT_FALSE(placed[0].tiled);
    }
}

// A 1024 x 768 monitor left of a 1280 x 1024 primary one, whose top is 256 higher: the
// window's 0,0 is the screen's -1024,-256.
TEST(WallpaperLayout, TwoMonitorsOfDifferentSizes) {
    std::vector<PixelRect> monitors = {{1024, 0, 2304, 1024}, {0, 256, 1024, 1024}};
    HostPoint primary = {1024, 0};
    auto place = [&](S style) {
        return PlaceWallpaper(style, 640, 480, monitors, 2304, 1024, primary);
    };

    std::vector<WallpaperPlacement> centre = place(S::kCentre);
    ASSERT_EQ(centre.size(), 2u);
    EXPECT_TRUE(centre[0].picture == (PixelRect{1344, 272, 1984, 752}));
    EXPECT_TRUE(centre[1].picture == (PixelRect{192, 400, 832, 880}));
    std::vector<WallpaperPlacement> fill = place(S::kFill);
    ASSERT_EQ(fill.size(), 2u);
    EXPECT_TRUE(fill[0].picture == (PixelRect{981, 0, 2346, 1024}));  // 1365.33 wide, rounded
    EXPECT_TRUE(fill[1].picture == (PixelRect{0, 256, 1024, 1024}));
    EXPECT_TRUE(fill[1].area == monitors[1]);

    // Span: one picture over the bounding box of both, cropped to cover it.
    std::vector<WallpaperPlacement> span = place(S::kSpan);
    ASSERT_EQ(span.size(), 1u);
    EXPECT_TRUE(span[0].area == (PixelRect{0, 0, 2304, 1024}));
    EXPECT_TRUE(span[0].picture == (PixelRect{0, -352, 2304, 1376}));
    // Tile: one tiling over the whole window, a tile's corner on the primary monitor's.
    std::vector<WallpaperPlacement> tile = place(S::kTile);
    ASSERT_EQ(tile.size(), 1u);
    EXPECT_TRUE(tile[0].tiled);
    EXPECT_TRUE(tile[0].area == (PixelRect{0, 0, 2304, 1024}));
    EXPECT_TRUE(tile[0].picture == (PixelRect{1024, 0, 1664, 480}));
}

TEST(WallpaperLayout, SettingsAndFiles) {
    struct StyleCase {
        const char* style;
        const char* tile;
        S expected;
    } styles[] = {
        {"0", "0", S::kCentre},   {"0", "1", S::kTile},      {nullptr, "1", S::kTile},
        {"2", "0", S::kStretch},  {"6", "0", S::kFit},       {"10", "0", S::kFill},
        {"22", "0", S::kSpan},    {"2", "1", S::kStretch},   {"7", "0", S::kCentre},
        {"abc", "0", S::kCentre}, {"", nullptr, S::kCentre}, {"10 ", "0", S::kFill},
    };
    for (const StyleCase& c : styles) {
        EXPECT_EQ(ParseWallpaperStyle(c.style, c.tile), c.expected)
            << (c.style ? c.style : "null") << "/" << (c.tile ? c.tile : "null");
    }

    auto candidates = [](const char* named, const char* appData) {
        std::vector<std::string> files;
        char file[64];
        for (int32_t i = 0; WallpaperCandidate(i, named, appData, file, sizeof(file)); i++) {
            files.push_back(file);
        }
        return files;
    };
    EXPECT_TRUE(candidates("", "C:\\A").empty());
    EXPECT_TRUE(candidates("(none)", "C:\\A").empty());
    EXPECT_TRUE(candidates(nullptr, "C:\\A").empty());
    std::vector<std::string> files = candidates("D:\\lake.png", "C:\\A");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], "D:\\lake.png");
    EXPECT_EQ(files[1], "C:\\A\\Microsoft\\Windows\\Themes\\TranscodedWallpaper");
    EXPECT_EQ(files[2], "C:\\A\\Microsoft\\Windows\\Themes\\TranscodedWallpaper.jpg");
    EXPECT_EQ(candidates("D:\\lake.bmp", "").size(), 1u);
    // A path that does not fit is no candidate, not a cut one.
    EXPECT_EQ(candidates("D:\\lake.bmp", "C:\\a-folder-whose-name-is-long").size(), 1u);

    struct FormatCase {
        std::vector<uint8_t> head;
        PictureFormat expected;
    } formats[] = {
        {{'B', 'M', 0x36}, PictureFormat::kBmp},
        {{0xFF, 0xD8, 0xFF, 0xE0}, PictureFormat::kJpeg},
        {{'G', 'I', 'F', '8', '9', 'a'}, PictureFormat::kGif},
        {{'G', 'I', 'F', '8', '7', 'a'}, PictureFormat::kGif},
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, PictureFormat::kPng},
        {{0x89, 'P', 'N', 'G'}, PictureFormat::kUnknown},  // cut short
        {{'B'}, PictureFormat::kUnknown},
        {{}, PictureFormat::kUnknown},
        {{'R', 'I', 'F', 'F'}, PictureFormat::kUnknown},
    };
    for (const FormatCase& c : formats) {
        EXPECT_EQ(DetectPictureFormat(c.head.data(), c.head.size()), c.expected);
    }
}

TEST(WallpaperLayout, WhenTheBackgroundReplacesTheCapture) {
    EXPECT_TRUE(IsSecureDesktopName("Screen-saver"));
    EXPECT_TRUE(IsSecureDesktopName("SCREEN-SAVER"));
    EXPECT_FALSE(IsSecureDesktopName("Default"));
    EXPECT_FALSE(IsSecureDesktopName("Screen-saver2"));
    EXPECT_FALSE(IsSecureDesktopName(""));
    EXPECT_FALSE(IsSecureDesktopName(nullptr));
    // preview, secure desktop, capture failed
    EXPECT_FALSE(UseBackgroundPicture(false, false, false));
    EXPECT_TRUE(UseBackgroundPicture(false, true, false));
    EXPECT_TRUE(UseBackgroundPicture(false, false, true));
    EXPECT_FALSE(UseBackgroundPicture(true, true, true));
    EXPECT_EQ(PixelFromColorRef(0x00332211u), 0x00112233u);
}

struct Picture {
    int32_t width, height;
    std::vector<uint32_t> pixels;
    PixelImage Image() { return {pixels.data(), width, height}; }
    uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
};

Picture Numbered(int32_t width, int32_t height) {
    Picture p = {width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (size_t i = 0; i < p.pixels.size(); i++) {
        p.pixels[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
    }
    return p;
}

void Draw(Picture& target, Picture& picture, const WallpaperPlacement& placement) {
    std::vector<uint32_t> scratch(PlacementScratchPixels(picture.Image(), placement));
    DrawPlacement(target.Image(), picture.Image(), placement, scratch.data());
}

TEST(WallpaperLayout, UnscaledPicturesAreCopiedExactlyAndTilesWrap) {
    Picture picture = Numbered(64, 100);
    Picture target = {64, 48, std::vector<uint32_t>(64 * 48, 7)};
    Draw(target, picture, PlaceWallpaper(S::kFill, 64, 100, {}, 64, 48, {0, 0})[0]);
    for (int32_t y = 0; y < 48; y++) {
        for (int32_t x = 0; x < 64; x++) {
            ASSERT_EQ(target.At(x, y), picture.At(x, y + 26)) << x << "," << y;
        }
    }
    Picture tile = Numbered(5, 3);
    Draw(target, tile, PlaceWallpaper(S::kTile, 5, 3, {}, 64, 48, {12, 7})[0]);
    for (int32_t y = 0; y < 48; y++) {
        for (int32_t x = 0; x < 64; x++) {
            ASSERT_EQ(target.At(x, y), tile.At((x + 3) % 5, (y + 2) % 3)) << x << "," << y;
        }
    }
}

// Whatever the scale, a flat picture stays flat, and nothing outside its monitor is touched.
TEST(WallpaperLayout, ScaledPicturesStayInsideTheirMonitor) {
    const int32_t sizes[][2] = {{1, 1}, {3, 2}, {17, 40}, {300, 30}, {90, 90}};
    for (const auto& size : sizes) {
        for (S style : {S::kCentre, S::kStretch, S::kFit, S::kFill, S::kTile}) {
            Picture flat = {size[0], size[1],
                            std::vector<uint32_t>(size_t(size[0]) * size[1], 0x00A0B0C0)};
            Picture target = {80, 50, std::vector<uint32_t>(80 * 50, 1)};
            std::vector<PixelRect> monitors = {{10, 5, 60, 45}};
            for (const WallpaperPlacement& p :
                 PlaceWallpaper(style, size[0], size[1], monitors, 80, 50, {10, 5})) {
                Draw(target, flat, p);
            }
            for (int32_t y = 0; y < 50; y++) {
                for (int32_t x = 0; x < 80; x++) {
                    bool inside = x >= 10 && x < 60 && y >= 5 && y < 45;
                    uint32_t pixel = target.At(x, y);
                    if (style == S::kTile) {
                        inside = true;
                    }
                    ASSERT_TRUE(inside ? (pixel == 1 || pixel == 0x00A0B0C0) : pixel == 1)
                        << int(style) << " " << size[0] << "x" << size[1] << " at " << x << ","
                        << y;
                }
            }
        }
    }
}

}  // namespace
