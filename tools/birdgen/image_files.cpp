// BMP, ICO and PPM writers. Every multi-byte field is little-endian, whatever the host.
#include "tools/birdgen/image_files.h"

#include <cstdio>

namespace {

void Put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

int RowBytes(int width, int bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

void PutInfoHeader(Bytes& out, int width, int height, int bits, uint32_t imageSize,
                   uint32_t colorsUsed) {
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));  // positive: rows stored bottom-up
    Put16(out, 1);
    Put16(out, uint32_t(bits));
    Put32(out, 0);  // uncompressed
    Put32(out, imageSize);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, colorsUsed);
    Put32(out, 0);
}

void PutPalette(Bytes& out, const std::vector<Rgb8>& palette, size_t entries) {
    for (size_t i = 0; i < entries; i++) {
        Rgb8 c = i < palette.size() ? palette[i] : Rgb8{0, 0, 0};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

// Packs rows bottom-up at the given depth; value(x, y) is the pixel's index.
template <typename Value>
void PutRows(Bytes& out, int width, int height, int bits, Value value) {
    int rowBytes = RowBytes(width, bits);
    for (int y = height - 1; y >= 0; y--) {
        Bytes row(size_t(rowBytes), 0);
        for (int x = 0; x < width; x++) {
            int bit = x * bits;
            int shift = 8 - bits - bit % 8;
            row[size_t(bit / 8)] |= uint8_t(value(x, y) << shift);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

Bytes WithFileHeader(const Bytes& dib, uint32_t paletteBytes) {
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, uint32_t(14 + dib.size()));
    Put32(out, 0);
    Put32(out, 14 + 40 + paletteBytes);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

}  // namespace

Bytes EncodeFrameBmp(const IndexedImage& image) {
    Bytes dib;
    int w = image.width, h = image.height;
    PutInfoHeader(dib, w, h, 8, uint32_t(RowBytes(w, 8) * h), 256);
    PutPalette(dib, image.palette, 256);
    PutRows(dib, w, h, 8, [&](int x, int y) { return image.pixels[size_t(y) * w + x]; });
    return WithFileHeader(dib, 256 * 4);
}

Bytes EncodeMaskBmp(int width, int height, const std::vector<uint8_t>& opaque) {
    Bytes dib;
    PutInfoHeader(dib, width, height, 1, uint32_t(RowBytes(width, 1) * height), 2);
    PutPalette(dib, {{255, 255, 255}, {0, 0, 0}}, 2);
    PutRows(dib, width, height, 1,
            [&](int x, int y) { return opaque[size_t(y) * width + x] ? 0 : 1; });
    return WithFileHeader(dib, 2 * 4);
}

namespace {

// Icon images are DIBs of double height: the colour rows, then the AND rows (1 = the screen
// shows through, and the colour there is palette index 0, black, so it changes nothing).
Bytes IconDib(const IconImage& icon) {
    const IndexedImage& im = icon.colors;
    uint32_t size = uint32_t((RowBytes(im.width, 4) + RowBytes(im.width, 1)) * im.height);
    Bytes dib;
    PutInfoHeader(dib, im.width, im.height * 2, 4, size, 0);
    PutPalette(dib, im.palette, 16);
    PutRows(dib, im.width, im.height, 4,
            [&](int x, int y) { return im.pixels[size_t(y) * im.width + x]; });
    PutRows(dib, im.width, im.height, 1,
            [&](int x, int y) { return icon.opaque[size_t(y) * im.width + x] ? 0 : 1; });
    return dib;
}

void PutIconEntry(Bytes& out, const IndexedImage& image, size_t bytes, uint32_t offset) {
    out.push_back(uint8_t(image.width));
    out.push_back(uint8_t(image.height));
    out.push_back(16);  // colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, uint32_t(bytes));
    Put32(out, offset);
}

}  // namespace

Bytes EncodeIcon(const std::vector<IconImage>& images) {
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, uint32_t(images.size()));
    std::vector<Bytes> dibs;
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const IconImage& icon : images) {
        dibs.push_back(IconDib(icon));
        PutIconEntry(out, icon.colors, dibs.back().size(), offset);
        offset += uint32_t(dibs.back().size());
    }
    for (const Bytes& dib : dibs) {
        out.insert(out.end(), dib.begin(), dib.end());
    }
    return out;
}

Bytes EncodePpm(int width, int height, const std::vector<Rgb8>& pixels) {
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes out(header.begin(), header.end());
    for (Rgb8 c : pixels) {
        out.push_back(c.r);
        out.push_back(c.g);
        out.push_back(c.b);
    }
    return out;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
