// The resources of the built quillet.scr (32-bit) and quillet64.scr (64-bit), read from the
// files as the loader would find them: artwork, dialog template, icon, description string
// and version, all in Japanese (language 1041).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/resources/built_saver.h"

namespace {

constexpr uint16_t kJapanese = 1041;

INSTANTIATE_TEST_SUITE_P(BothWidths, BuiltSaver, ::testing::ValuesIn(kExecutables), ExecutableName);

TEST_P(BuiltSaver, IsThePeFlavourOfItsBuild) {
    EXPECT_EQ(image_.is64, GetParam().is64);
}

TEST_P(BuiltSaver, HoldsExactlyTheProgramsResourcesAllInJapanese) {
    struct Expected {
        uint16_t type;
        size_t count;
    } expected[] = {{kRtBitmap, 8},    {kRtIcon, 2},    {kRtDialog, 1},  {kRtString, 1},
                    {kRtGroupIcon, 1}, {kRtVersion, 1}, {kRtManifest, 1}};
    size_t total = 0;
    for (const Expected& e : expected) {
        size_t found = 0;
        for (const PeResource& r : image_.resources) {
            found += !r.type.isText && r.type.number == e.type;
        }
        EXPECT_EQ(found, e.count) << "type " << e.type;
        total += e.count;
    }
    EXPECT_EQ(image_.resources.size(), total);
    for (const PeResource& r : image_.resources) {
        // The manifest is language neutral, the language Windows looks up first.
        uint16_t language = r.type.number == kRtManifest ? 0 : kJapanese;
        EXPECT_EQ(r.language, language) << "type " << r.type.number << " " << r.name.text;
    }
    EXPECT_NE(FindResourceByNumber(image_, kRtManifest, 1), nullptr) << "the manifest is id 1";
}

// The standard dialog template, as far as the settings dialog uses it.
struct DialogControl {
    uint32_t style;
    uint32_t exStyle;
    int16_t x, y, cx, cy;
    uint16_t id;
    uint16_t classOrdinal;  // 0 when the class is given by name
    std::string text;
    uint16_t extraBytes;
};

struct DialogTemplate {
    uint32_t style;
    uint32_t exStyle;
    uint16_t count;
    int16_t x, y, cx, cy;
    uint16_t menu;       // 0: none
    uint16_t className;  // 0: the standard dialog class
    std::string caption;
    uint16_t pointSize;
    std::string face;
    std::vector<DialogControl> controls;
};

size_t AlignTo4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

DialogControl ReadControl(const Bytes& d, size_t* at) {
    size_t p = AlignTo4(*at);
    DialogControl c;
    c.style = Read32(d, p);
    c.exStyle = Read32(d, p + 4);
    c.x = int16_t(Read16(d, p + 8));
    c.y = int16_t(Read16(d, p + 10));
    c.cx = int16_t(Read16(d, p + 12));
    c.cy = int16_t(Read16(d, p + 14));
    c.id = Read16(d, p + 16);
    p += 18;
    c.classOrdinal = Read16(d, p) == 0xFFFF ? Read16(d, p + 2) : 0;
    p += 4;
    c.text = ReadUtf16z(d, p, &p);
    c.extraBytes = Read16(d, p);
    *at = p + 2 + c.extraBytes;
    return c;
}

DialogTemplate ReadDialog(const Bytes& d) {
    DialogTemplate t;
    t.style = Read32(d, 0);
    t.exStyle = Read32(d, 4);
    t.count = Read16(d, 8);
    t.x = int16_t(Read16(d, 10));
    t.y = int16_t(Read16(d, 12));
    t.cx = int16_t(Read16(d, 14));
    t.cy = int16_t(Read16(d, 16));
    t.menu = Read16(d, 18);
    t.className = Read16(d, 20);
    size_t p = 22;
    t.caption = ReadUtf16z(d, p, &p);
    t.pointSize = Read16(d, p);
    t.face = ReadUtf16z(d, p + 2, &p);
    for (int i = 0; i < t.count && p < d.size(); i++) {
        t.controls.push_back(ReadControl(d, &p));
    }
    return t;
}

TEST_P(BuiltSaver, DialogTemplateHeader) {
    const Bytes& data = Resource(kRtDialog, 2003);
    ASSERT_GE(data.size(), 24u);
    ASSERT_NE(Read32(data, 0), 0xFFFF0001u) << "an extended template";
    DialogTemplate t = ReadDialog(data);
    EXPECT_EQ(t.style, 0x80C000C0u);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.count, 7);
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, 139);
    EXPECT_EQ(t.cy, 75);
    EXPECT_EQ(t.menu, 0);
    EXPECT_EQ(t.className, 0);
    EXPECT_EQ(t.caption, "QuilletSaver Config");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.face, Utf16ToUtf8(u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"));
}

TEST_P(BuiltSaver, DialogControlsInTabOrder) {
    const uint16_t button = 0x80, edit = 0x81, text = 0x82;
    const DialogControl expected[] = {
        {0x50010001, 0, 82, 7, 50, 14, 1, button, "OK", 0},
        {0x50010000, 0, 82, 24, 50, 14, 2, button, "Cancel", 0},
        {0x50810000, 0, 7, 7, 30, 14, 1000, edit, "", 0},
        {0x50810080, 0, 7, 30, 20, 14, 1001, edit, "", 0},
        {0x50020000, 0, 37, 13, 41, 8, 0xFFFF, text, "(msec.) Delay", 0},
        {0x50020000, 0, 33, 35, 27, 8, 0xFFFF, text, "Quillets", 0},
        {0x50020000, 0, 78, 61, 54, 8, 0xFFFF, text, "", 0},  // credit: checked below
    };
    DialogTemplate t = ReadDialog(Resource(kRtDialog, 2003));
    ASSERT_EQ(t.controls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); i++) {
        const DialogControl& e = expected[i];
        const DialogControl& c = t.controls[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.classOrdinal, e.classOrdinal);
        EXPECT_EQ(c.extraBytes, 0);
        if (i + 1 < std::size(expected)) {
            EXPECT_EQ(c.text, e.text);
        }
    }
    const std::string& credit = t.controls.back().text;
    EXPECT_FALSE(credit.empty());
    for (char ch : credit) {
        EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "credit text should be plain ASCII: " << credit;
    }
}

TEST_P(BuiltSaver, IconGroupHasA32AndA16PixelImageOf16Colours) {
    const Bytes& group = Resource(kRtGroupIcon, 100);
    ASSERT_GE(group.size(), 6u + 2 * 14);
    EXPECT_EQ(Read16(group, 0), 0);
    EXPECT_EQ(Read16(group, 2), 1);
    ASSERT_EQ(Read16(group, 4), 2);
    const int sizes[] = {32, 16};
    for (int i = 0; i < 2; i++) {
        size_t e = 6 + size_t(i) * 14;
        SCOPED_TRACE("image " + std::to_string(sizes[i]));
        EXPECT_EQ(group[e], sizes[i]);
        EXPECT_EQ(group[e + 1], sizes[i]);
        EXPECT_EQ(group[e + 2], 16);
        EXPECT_EQ(Read16(group, e + 6), 4);
        const Bytes& image = Resource(kRtIcon, Read16(group, e + 12));
        EXPECT_EQ(image.size(), Read32(group, e + 8));
        EXPECT_EQ(Read32(image, 0), 40u);
        EXPECT_EQ(int32_t(Read32(image, 4)), sizes[i]);
        EXPECT_EQ(int32_t(Read32(image, 8)), 2 * sizes[i]) << "colour rows and mask rows";
        EXPECT_EQ(Read16(image, 14), 4);
        size_t rows = size_t(sizes[i]) * ((sizes[i] * 4 + 31) / 32 * 4 + (sizes[i] + 31) / 32 * 4);
        EXPECT_EQ(image.size(), 40 + 16 * 4 + rows);
    }
}

TEST_P(BuiltSaver, StringOneIsTheDescription) {
    // Strings are stored sixteen to a block; block 1 holds strings 0..15, each a length and
    // that many UTF-16 units.
    const Bytes& block = Resource(kRtString, 1);
    size_t p = 0;
    std::u16string strings[2];
    for (int i = 0; i < 2; i++) {
        uint16_t length = Read16(block, p);
        for (uint16_t k = 0; k < length; k++) {
            strings[i].push_back(char16_t(Read16(block, p + 2 + 2 * k)));
        }
        p += 2 + 2 * size_t(length);
    }
    EXPECT_TRUE(strings[0].empty());
    EXPECT_EQ(Utf16ToUtf8(strings[1]), "Quillet Screen Saver Vol.1");
}

// The value of a StringFileInfo entry: the key, then the value at the next 4-byte boundary.
std::string VersionString(const Bytes& data, const std::u16string& key) {
    for (size_t p = 0; p + 2 * key.size() + 2 <= data.size(); p += 2) {
        size_t end = 0;
        if (ReadUtf16z(data, p, &end) == Utf16ToUtf8(key)) {
            return ReadUtf16z(data, AlignTo4(end), &end);
        }
    }
    return "(missing)";
}

TEST_P(BuiltSaver, VersionInfoCarriesTheProjectVersion) {
    const Bytes& data = Resource(kRtVersion, 1);
    size_t fixed = 0;
    while (fixed + 4 <= data.size() && Read32(data, fixed) != 0xFEEF04BDu) {
        fixed += 4;
    }
    ASSERT_LT(fixed + 16, data.size()) << "no fixed file information";
    uint32_t high = (QUILLET_VERSION_MAJOR << 16) | QUILLET_VERSION_MINOR;
    uint32_t low = QUILLET_VERSION_PATCH << 16;
    EXPECT_EQ(Read32(data, fixed + 8), high);
    EXPECT_EQ(Read32(data, fixed + 12), low);
    std::string text = std::to_string(QUILLET_VERSION_MAJOR) + "." +
                       std::to_string(QUILLET_VERSION_MINOR) + "." +
                       std::to_string(QUILLET_VERSION_PATCH);
    EXPECT_EQ(VersionString(data, u"FileVersion"), text);
    EXPECT_EQ(VersionString(data, u"ProductVersion"), text);
    EXPECT_EQ(VersionString(data, u"ProductName"), "Quillet");
    EXPECT_EQ(VersionString(data, u"FileDescription"), "Quillet Screen Saver Vol.1");
}

// A cut-off file is either refused or, when the cut spares the resources, read in full.
TEST_P(BuiltSaver, TruncatedFileIsRefusedOrReadWhole) {
    for (size_t length = 0; length < file_.size(); length += 1 + file_.size() / 997) {
        Bytes cut(file_.begin(), file_.begin() + long(length));
        PeImage partial = ReadPeResources(cut);
        if (!partial.ok) {
            continue;
        }
        ASSERT_EQ(partial.resources.size(), image_.resources.size()) << "length " << length;
        for (size_t i = 0; i < partial.resources.size(); i++) {
            ASSERT_EQ(partial.resources[i].data, image_.resources[i].data) << "length " << length;
        }
    }
}

TEST(PeReader, RefusesWhatIsNotAnExecutable) {
    Bytes missing;
    EXPECT_FALSE(ReadFileBytes("/nonexistent/quillet.scr", &missing));
    const Bytes cases[] = {{}, Bytes(64, 0), Bytes(200, 'M')};
    for (const Bytes& bytes : cases) {
        EXPECT_FALSE(ReadPeResources(bytes).ok);
    }
}

}  // namespace
