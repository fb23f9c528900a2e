// A small reader of a Windows executable's resource tree, so the tests can look at the
// resources of the built .scr files the way the loader finds them: by type, name and
// language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A resource type or name: a number, or a text (stored upper case by the resource compiler).
struct ResourceKey {
    bool isText = false;
    uint16_t number = 0;
    std::string text;
};

struct PeResource {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    Bytes data;
};

struct PeImage {
    bool ok = false;
    bool is64 = false;
    std::string error;
    std::vector<PeResource> resources;
};

constexpr uint16_t kRtBitmap = 2;
constexpr uint16_t kRtIcon = 3;
constexpr uint16_t kRtDialog = 5;
constexpr uint16_t kRtString = 6;
constexpr uint16_t kRtGroupIcon = 14;
constexpr uint16_t kRtVersion = 16;
constexpr uint16_t kRtManifest = 24;

bool ReadFileBytes(const std::string& path, Bytes* bytes);
// Never reads outside the file: a damaged file gives ok = false and an error text.
PeImage ReadPeResources(const Bytes& file);

const PeResource* FindResourceByNumber(const PeImage& image, uint16_t type, uint16_t number);
const PeResource* FindResourceByText(const PeImage& image, uint16_t type, const std::string& name);

// Little-endian readers over resource data; out-of-range reads give 0.
uint16_t Read16(const Bytes& data, size_t offset);
uint32_t Read32(const Bytes& data, size_t offset);
// A NUL-terminated UTF-16 text at offset, converted to UTF-8; *end is past the NUL.
std::string ReadUtf16z(const Bytes& data, size_t offset, size_t* end);
std::string Utf16ToUtf8(const std::u16string& text);
