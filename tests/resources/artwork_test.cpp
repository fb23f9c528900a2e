// The bird artwork inside the built .scr files: the bitmap formats the saver's drawing
// relies on, frames and masks that agree pixel for pixel, and a wing beat worth watching.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tests/resources/built_saver.h"

namespace {

constexpr int kCell = 120;

struct Color {
    uint8_t r, g, b;
};

// A bitmap resource: a BITMAPINFOHEADER, its palette and the pixel rows.
struct Dib {
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bits;
    uint32_t compression;
    uint32_t paletteEntries;
    std::vector<Color> palette;
    size_t rowBytes;
    size_t pixels;  // offset of the first (bottom) row
};

Dib ReadDib(const Bytes& d) {
    Dib dib;
    dib.headerSize = Read32(d, 0);
    dib.width = int32_t(Read32(d, 4));
    dib.height = int32_t(Read32(d, 8));
    dib.planes = Read16(d, 12);
    dib.bits = Read16(d, 14);
    dib.compression = Read32(d, 16);
    uint32_t used = Read32(d, 32);
    dib.paletteEntries = used ? used : (dib.bits <= 8 ? 1u << dib.bits : 0);
    for (uint32_t i = 0; i < dib.paletteEntries; i++) {
        size_t p = dib.headerSize + 4 * i;
        dib.palette.push_back(
            {uint8_t(Read16(d, p + 2)), uint8_t(Read16(d, p + 1)), uint8_t(Read16(d, p))});
    }
    dib.rowBytes = (size_t(dib.width) * dib.bits + 31) / 32 * 4;
    dib.pixels = dib.headerSize + 4 * size_t(dib.paletteEntries);
    return dib;
}

// Palette index of pixel (x, y), y counted from the top of the picture.
int PixelIndex(const Bytes& d, const Dib& dib, int x, int y) {
    size_t row = dib.pixels + size_t(dib.height - 1 - y) * dib.rowBytes;
    size_t bit = size_t(x) * dib.bits;
    if (row + bit / 8 >= d.size()) {
        return -1;
    }
    int shift = 8 - dib.bits - int(bit % 8);
    return (d[row + bit / 8] >> shift) & ((1 << dib.bits) - 1);
}

bool IsWhite(Color c) {
    return c.r == 255 && c.g == 255 && c.b == 255;
}

struct Extent {
    int left = kCell, top = kCell, right = -1, bottom = -1;
    int area = 0;
};

class SaverArtwork : public BuiltSaver {
   protected:
    // The opaque pixels of frame n (1..4), read from its mask.
    std::vector<bool> Silhouette(int n) {
        const Bytes& mask = Bitmap("MASK" + std::to_string(n));
        Dib dib = ReadDib(mask);
        std::vector<bool> opaque(size_t(kCell) * kCell);
        for (int y = 0; y < kCell; y++) {
            for (int x = 0; x < kCell; x++) {
                opaque[size_t(y) * kCell + x] = PixelIndex(mask, dib, x, y) == 0;
            }
        }
        return opaque;
    }
    Extent ExtentOf(int n) {
        std::vector<bool> opaque = Silhouette(n);
        Extent e;
        for (int y = 0; y < kCell; y++) {
            for (int x = 0; x < kCell; x++) {
                if (opaque[size_t(y) * kCell + x]) {
                    e = {std::min(e.left, x), std::min(e.top, y), std::max(e.right, x),
                         std::max(e.bottom, y), e.area + 1};
                }
            }
        }
        return e;
    }
};

INSTANTIATE_TEST_SUITE_P(BothWidths, SaverArtwork, ::testing::ValuesIn(kExecutables),
                         ExecutableName);

TEST_P(SaverArtwork, BitmapFormats) {
    struct Case {
        const char* name;
        uint16_t bits;
        uint32_t paletteEntries;
    } cases[] = {
        {"BIRD1", 8, 256}, {"BIRD2", 8, 256}, {"BIRD3", 8, 256}, {"BIRD4", 8, 256},
        {"MASK1", 1, 2},   {"MASK2", 1, 2},   {"MASK3", 1, 2},   {"MASK4", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes& data = Bitmap(c.name);
        Dib dib = ReadDib(data);
        EXPECT_EQ(dib.headerSize, 40u);
        EXPECT_EQ(dib.width, kCell);
        EXPECT_EQ(dib.height, kCell) << "positive height: rows stored bottom-up";
        EXPECT_EQ(dib.planes, 1);
        EXPECT_EQ(dib.bits, c.bits);
        EXPECT_EQ(dib.compression, 0u);
        EXPECT_EQ(dib.paletteEntries, c.paletteEntries);
        EXPECT_EQ(data.size(), dib.pixels + dib.rowBytes * kCell);
    }
    for (int n = 1; n <= 4; n++) {
        Dib mask = ReadDib(Bitmap("MASK" + std::to_string(n)));
        ASSERT_EQ(mask.palette.size(), 2u);
        EXPECT_TRUE(IsWhite(mask.palette[0])) << "index 0 is white: the bird's part";
        EXPECT_EQ(mask.palette[1].r + mask.palette[1].g + mask.palette[1].b, 0);
    }
}

// Drawing ORs the mask in and ANDs the frame over it: a frame pixel that is not white
// outside the silhouette would darken the desktop, and a white one inside it would punch a
// hole in the bird.
TEST_P(SaverArtwork, FrameIsWhiteExactlyWhereItsMaskIsBlack) {
    for (int n = 1; n <= 4; n++) {
        SCOPED_TRACE("frame " + std::to_string(n));
        const Bytes& frame = Bitmap("BIRD" + std::to_string(n));
        Dib dib = ReadDib(frame);
        ASSERT_EQ(dib.palette.size(), 256u);
        std::vector<bool> opaque = Silhouette(n);
        int mismatches = 0;
        for (int y = 0; y < kCell; y++) {
            for (int x = 0; x < kCell; x++) {
                int index = PixelIndex(frame, dib, x, y);
                ASSERT_GE(index, 0);
                bool white = IsWhite(dib.palette[size_t(index)]);
                mismatches += white == opaque[size_t(y) * kCell + x];
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// The bird fills most of its cell without being cut off at the cell's edge.
TEST_P(SaverArtwork, BirdFillsTheCell) {
    for (int n = 1; n <= 4; n++) {
        SCOPED_TRACE("frame " + std::to_string(n));
        Extent e = ExtentOf(n);
        EXPECT_GE(e.right - e.left + 1, 96);
        EXPECT_GE(e.bottom - e.top + 1, 50);
        EXPECT_GT(e.left, 0);
        EXPECT_GT(e.top, 0);
        EXPECT_LT(e.right, kCell - 1);
        EXPECT_LT(e.bottom, kCell - 1);
        EXPECT_GT(e.area, kCell * kCell / 5);
        EXPECT_LT(e.area, kCell * kCell * 3 / 4);
    }
}

// One wing beat: up, level, down, level.
TEST_P(SaverArtwork, WingsBeatUpLevelDownLevel) {
    Extent up = ExtentOf(1), level = ExtentOf(2), down = ExtentOf(3), level2 = ExtentOf(4);
    EXPECT_LT(up.top + 10, level.top);
    EXPECT_LT(up.top + 10, level2.top);
    EXPECT_GT(down.bottom, level.bottom + 10);
    EXPECT_GT(down.bottom, level2.bottom + 10);
    EXPECT_NE(Silhouette(1), Silhouette(2));
    EXPECT_NE(Silhouette(2), Silhouette(3));
}

// The program carries the committed files, without their 14-byte file header.
TEST_P(SaverArtwork, BitmapsAreTheCommittedFiles) {
    const char* names[] = {"bird1", "bird2", "bird3", "bird4", "mask1", "mask2", "mask3", "mask4"};
    for (const char* name : names) {
        Bytes file;
        ASSERT_TRUE(ReadFileBytes(std::string(QUILLET_RESOURCES_DIR) + "/" + name + ".bmp", &file));
        ASSERT_GT(file.size(), 14u);
        std::string upper = name;
        for (char& ch : upper) {
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        }
        EXPECT_EQ(Bitmap(upper), Bytes(file.begin() + 14, file.end())) << name;
    }
}

}  // namespace
