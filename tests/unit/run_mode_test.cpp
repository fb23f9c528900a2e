// The command-line grammar: argument isolation, run-mode dispatch and the handle parser,
// with the system's answers supplied by the test.
#include "host/run_mode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint32_t kLiveWindow = 1234;
constexpr uint32_t kForeground = 777;

bool IsTestWindow(uint32_t handle) {
    return handle == kLiveWindow;
}
uint32_t TestForeground() {
    return kForeground;
}

const RunModeAnswers kNtFamily = {IsTestWindow, TestForeground, 0};
const RunModeAnswers kWin9x = {IsTestWindow, TestForeground, 1};

// A code page in the manner of Shift-JIS: 0x81-0x9F and 0xE0-0xFC lead a two-byte character,
// whatever the byte after it looks like.
const char* NextDoubleByte(const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == 0) {
        return p;
    }
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (lead && p[1] != '\0') {
        return p + 2;
    }
    return p + 1;
}

const char* NextSingleByte(const char* p) {
    return *p ? p + 1 : p;
}

std::string Isolate(const char* line, NextCharFn next = NextSingleByte) {
    return IsolateArguments(line, next);
}

}  // namespace

TEST(IsolateArguments, SkipsProgramNameAndBlanks) {
    struct Case {
        const char* line;
        const char* args;
    } cases[] = {
        {"quillet.scr /s", "/s"},
        {"quillet.scr", ""},
        {"quillet.scr    /c:12", "/c:12"},
        {"quillet.scr\t/s", "/s"},  // blanks after the name include tabs
        {"quillet.scr \t \x01/p 5", "/p 5"},
        {"\"C:\\Program Files\\quillet.scr\" /s", "/s"},
        {"\"C:\\Program Files\\quillet.scr\"/s", "/s"},
        {"\"C:\\unclosed quote /s", ""},  // an unclosed quote swallows the line
        {"\"\"", ""},
        {"  /s", "/s"},  // a line opening with a blank has no program name to skip
        {"", ""},
        {"quillet.scr /s  trailing", "/s  trailing"},
        {"q\xe9.scr /s", "/s"},  // bytes of 128 and above are part of the name
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Isolate(c.line), c.args) << "line: " << c.line;
    }
}

TEST(IsolateArguments, DoubleByteTrailsAreNeverQuotesOrSpaces) {
    // "\x81\x22" is one character whose second byte looks like a quote; "\x81\x20" one whose
    // second byte looks like a space.
    EXPECT_EQ(Isolate("\"C:\\\x81\x22"
                      "dir\\q.scr\" /s",
                      NextDoubleByte),
              "/s");
    EXPECT_EQ(Isolate("C:\\\x81\x20q.scr /p 9", NextDoubleByte), "/p 9");
    // With a single-byte code page the same bytes do split the name.
    EXPECT_EQ(Isolate("C:\\\x81\x20q.scr /p 9", NextSingleByte), "q.scr /p 9");
}

TEST(ParseDecimalHandle, ReadsLeadingDigitsAndWraps) {
    struct Case {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"0", 0},
        {"123abc", 123},
        {"1234", 1234},
        {" 12", 0},   // no skipping of spaces inside the parser
        {"-12", 0},   // no sign
        {"0x1F", 0},  // no hexadecimal
        {"4294967295", 4294967295u},
        {"4294967296", 0},  // wraps modulo 2^32
        {"4294967297", 1},
        {"99999999999", 1215752191u},  // 99999999999 mod 2^32
        {"00042", 42},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDecimalHandle(c.text), c.value) << "text: " << c.text;
    }
}

TEST(ReadRunMode, DispatchTable) {
    struct Case {
        const char* args;
        RunModeAction action;
        uint32_t parent;
    } cases[] = {
        {"", RunModeAction::ConfigDialog, 0},
        {"   ", RunModeAction::ConfigDialog, 0},
        {"- / -", RunModeAction::ConfigDialog, 0},
        {"/s", RunModeAction::FullScreen, 0},
        {"-s", RunModeAction::FullScreen, 0},
        {"S", RunModeAction::FullScreen, 0},
        {"/S xyz", RunModeAction::FullScreen, 0},
        {"/sx", RunModeAction::FullScreen, 0},
        {"//--  /s", RunModeAction::FullScreen, 0},
        {"/p 1234", RunModeAction::Preview, 0},
        {"/l 1234", RunModeAction::Preview, 0},
        {"/P", RunModeAction::Preview, 0},
        {"/c:1234", RunModeAction::ConfigDialog, kLiveWindow},
        {"/C:1234", RunModeAction::ConfigDialog, kLiveWindow},
        {"/c 1234", RunModeAction::ConfigDialog, kForeground},  // no colon, no handle
        {"/c", RunModeAction::ConfigDialog, kForeground},
        {"/c:", RunModeAction::ConfigDialog, kForeground},
        {"/c:99999", RunModeAction::ConfigDialog, kForeground},  // not a window
        {"/c: 1234", RunModeAction::ConfigDialog, kForeground},  // a space reads no number
        {"/c:0", RunModeAction::ConfigDialog, kForeground},
        {"/a 1234", RunModeAction::Refuse, 0},  // NT family: the system keeps the password
        {"/x", RunModeAction::Refuse, 0},
        {"/?", RunModeAction::Refuse, 0},
        {"/1", RunModeAction::Refuse, 0},
        {"\t/s", RunModeAction::Refuse, 0},  // inside the grammar a tab is no separator
        {"/\ts", RunModeAction::Refuse, 0},
        {"/\xd3", RunModeAction::Refuse, 0},
        {"\xff", RunModeAction::Refuse, 0},
        {"/\x01", RunModeAction::Refuse, 0},
        {"x/s", RunModeAction::Refuse, 0},
    };
    for (const Case& c : cases) {
        RunModeChoice choice = ReadRunMode(c.args, kNtFamily);
        EXPECT_EQ(choice.action, c.action) << "args: " << c.args;
        EXPECT_EQ(choice.parent, c.parent) << "args: " << c.args;
    }
}

TEST(ReadRunMode, PreviewAndChangePasswordGetTheTextAfterTheirSpaces) {
    EXPECT_STREQ(ReadRunMode("/p   1234", kNtFamily).rest, "1234");
    EXPECT_STREQ(ReadRunMode("/l1234", kNtFamily).rest, "1234");
    EXPECT_STREQ(ReadRunMode("/p:1234", kNtFamily).rest, ":1234");
    EXPECT_STREQ(ReadRunMode("/p\t1234", kNtFamily).rest, "\t1234");  // a tab is no space
    EXPECT_STREQ(ReadRunMode("/a  55", kWin9x).rest, "55");
}

TEST(ReadRunMode, ChangePasswordOnlyOnTheWindows95Family) {
    EXPECT_EQ(ReadRunMode("/a 1234", kWin9x).action, RunModeAction::ChangePassword);
    EXPECT_EQ(ReadRunMode("A", kWin9x).action, RunModeAction::ChangePassword);
    EXPECT_EQ(ReadRunMode("/a 1234", kNtFamily).action, RunModeAction::Refuse);
    // Everything else reads the same on both families.
    EXPECT_EQ(ReadRunMode("/s", kWin9x).action, RunModeAction::FullScreen);
    EXPECT_EQ(ReadRunMode("/x", kWin9x).action, RunModeAction::Refuse);
}

TEST(PreviewParent, NeedsALiveWindowAndHasNoFallback) {
    struct Case {
        const char* text;
        uint32_t parent;
    } cases[] = {
        {"1234", kLiveWindow},
        {"1234 junk", kLiveWindow},
        {"", 0},
        {"abc", 0},
        {"0", 0},
        {":1234", 0},
        {"99999", 0},
        {"4294968530", kLiveWindow},
        {"\t1234", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PreviewParent(c.text, kNtFamily), c.parent) << "text: " << c.text;
    }
}

TEST(ChangePasswordParent, FallsBackToTheForegroundWindow) {
    EXPECT_EQ(ChangePasswordParent("1234", kWin9x), kLiveWindow);
    EXPECT_EQ(ChangePasswordParent("4321", kWin9x), kForeground);
    EXPECT_EQ(ChangePasswordParent("", kWin9x), kForeground);
}
