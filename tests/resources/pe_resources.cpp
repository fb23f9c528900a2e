// Walks the PE headers to the resource section and flattens its three-level tree
// (type, name, language) into a list.
#include "tests/resources/pe_resources.h"

#include <fstream>
#include <iterator>

namespace {

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

struct Walker {
    const Bytes& file;
    std::vector<Section> sections;
    size_t rootOffset = 0;  // file offset of the resource tree
    PeImage* image = nullptr;
};

bool Fail(PeImage* image, const std::string& error) {
    image->ok = false;
    if (image->error.empty()) {
        image->error = error;
    }
    return false;
}

bool RvaToOffset(const Walker& w, uint32_t rva, uint32_t size, size_t* offset) {
    for (const Section& s : w.sections) {
        uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress &&
            uint64_t(rva) + size <= uint64_t(s.virtualAddress) + extent) {
            *offset = size_t(s.rawOffset) + (rva - s.virtualAddress);
            return *offset + size <= w.file.size();
        }
    }
    return false;
}

bool ReadSections(Walker& w, size_t tableOffset, int count) {
    for (int i = 0; i < count; i++) {
        size_t at = tableOffset + size_t(i) * 40;
        if (at + 40 > w.file.size()) {
            return Fail(w.image, "section table truncated");
        }
        w.sections.push_back({Read32(w.file, at + 12), Read32(w.file, at + 8),
                              Read32(w.file, at + 16), Read32(w.file, at + 20)});
    }
    return true;
}

ResourceKey ReadKey(const Walker& w, uint32_t field) {
    ResourceKey key;
    if (!(field & 0x80000000u)) {
        key.number = uint16_t(field);
        return key;
    }
    key.isText = true;
    size_t at = w.rootOffset + (field & 0x7FFFFFFFu);
    size_t length = Read16(w.file, at);
    std::u16string text;
    for (size_t i = 0; i < length && at + 2 + 2 * i + 2 <= w.file.size(); i++) {
        text.push_back(char16_t(Read16(w.file, at + 2 + 2 * i)));
    }
    key.text = Utf16ToUtf8(text);
    return key;
}

bool ReadLeaf(Walker& w, PeResource resource, uint32_t entryOffset) {
    size_t at = w.rootOffset + entryOffset;
    if (at + 16 > w.file.size()) {
        return Fail(w.image, "resource data entry outside the file");
    }
    uint32_t rva = Read32(w.file, at), size = Read32(w.file, at + 4);
    size_t dataOffset = 0;
    if (!RvaToOffset(w, rva, size, &dataOffset)) {
        return Fail(w.image, "resource data outside the file");
    }
    resource.data.assign(w.file.begin() + long(dataOffset),
                         w.file.begin() + long(dataOffset + size));
    w.image->resources.push_back(resource);
    return true;
}

// level 0: types, 1: names, 2: languages, whose entries point at the data.
bool WalkDirectory(Walker& w, uint32_t dirOffset, int level, PeResource path) {
    size_t at = w.rootOffset + dirOffset;
    if (level > 2 || at + 16 > w.file.size()) {
        return Fail(w.image, "resource directory outside the file");
    }
    int count = Read16(w.file, at + 12) + Read16(w.file, at + 14);
    for (int i = 0; i < count; i++) {
        size_t entry = at + 16 + size_t(i) * 8;
        if (entry + 8 > w.file.size()) {
            return Fail(w.image, "resource directory truncated");
        }
        uint32_t key = Read32(w.file, entry), target = Read32(w.file, entry + 4);
        ResourceKey k = ReadKey(w, key);
        if (level == 0)
            path.type = k;
        if (level == 1)
            path.name = k;
        if (level == 2)
            path.language = k.number;
        bool sub = target & 0x80000000u;
        bool ok = sub ? WalkDirectory(w, target & 0x7FFFFFFFu, level + 1, path)
                      : (level == 2 && ReadLeaf(w, path, target));
        if (!ok) {
            return Fail(w.image, "malformed resource tree");
        }
    }
    return true;
}

}  // namespace

bool ReadFileBytes(const std::string& path, Bytes* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

PeImage ReadPeResources(const Bytes& file) {
    PeImage image;
    Walker w{file, {}, 0, &image};
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') {
        Fail(&image, "not an executable");
        return image;
    }
    size_t pe = Read32(file, 0x3C);
    if (pe + 24 > file.size() || Read32(file, pe) != 0x00004550) {
        Fail(&image, "no PE signature");
        return image;
    }
    size_t optional = pe + 24;
    uint16_t magic = Read16(file, optional);
    image.is64 = magic == 0x20B;
    size_t directories = optional + (image.is64 ? 112 : 96);
    if ((magic != 0x10B && !image.is64) || directories + 3 * 8 > file.size()) {
        Fail(&image, "unknown optional header");
        return image;
    }
    uint32_t resourceRva = Read32(file, directories + 2 * 8);
    size_t sectionTable = optional + Read16(file, pe + 20);
    if (!ReadSections(w, sectionTable, Read16(file, pe + 6)) ||
        !RvaToOffset(w, resourceRva, 16, &w.rootOffset)) {
        Fail(&image, "no resource section");
        return image;
    }
    image.ok = true;
    WalkDirectory(w, 0, 0, PeResource());
    return image;
}

const PeResource* FindResourceByNumber(const PeImage& image, uint16_t type, uint16_t number) {
    for (const PeResource& r : image.resources) {
        if (!r.type.isText && r.type.number == type && !r.name.isText && r.name.number == number) {
            return &r;
        }
    }
    return nullptr;
}

const PeResource* FindResourceByText(const PeImage& image, uint16_t type, const std::string& name) {
    for (const PeResource& r : image.resources) {
        if (!r.type.isText && r.type.number == type && r.name.isText && r.name.text == name) {
            return &r;
        }
    }
    return nullptr;
}

uint16_t Read16(const Bytes& data, size_t offset) {
    if (offset + 2 > data.size() || offset + 2 < offset) {
        return 0;
    }
    return uint16_t(data[offset] | (data[offset + 1] << 8));
}

uint32_t Read32(const Bytes& data, size_t offset) {
    return Read16(data, offset) | (uint32_t(Read16(data, offset + 2)) << 16);
}

std::string ReadUtf16z(const Bytes& data, size_t offset, size_t* end) {
    std::u16string text;
    while (offset + 2 <= data.size() && Read16(data, offset) != 0) {
        text.push_back(char16_t(Read16(data, offset)));
        offset += 2;
    }
    *end = offset + 2;
    return Utf16ToUtf8(text);
}

// The resources hold Basic Multilingual Plane text only, so surrogates are not combined.
std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
