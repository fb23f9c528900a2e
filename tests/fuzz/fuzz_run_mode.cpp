// Fuzz target: any command line through argument isolation, the run-mode grammar and the
// handle readers. Every result must point inside the line it came from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/run_mode.h"

namespace {

// A double-byte code page in the manner of Shift-JIS, so trail bytes get exercised too.
const char* NextDoubleByte(const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == 0) {
        return p;
    }
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return (lead && p[1] != '\0') ? p + 2 : p + 1;
}

uint32_t gLive = 0;
bool IsLive(uint32_t handle) {
    return handle == gLive;
}
uint32_t Foreground() {
    return 42;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::vector<char> line(data + 1, data + size);
    line.push_back('\0');
    const char* begin = line.data();
    const char* end = begin + std::strlen(begin);
    gLive = data[0] * 1000u + 4;

    const char* args = IsolateArguments(begin, NextDoubleByte);
    Check(args >= begin && args <= end);
    for (int32_t family = 0; family <= 1; ++family) {
        const RunModeAnswers answers = {IsLive, Foreground, family};
        RunModeChoice choice = ReadRunMode(args, answers);
        Check(choice.rest >= args && choice.rest <= end);
        if (choice.action == RunModeAction::ConfigDialog) {
            Check(choice.parent == 0 || choice.parent == gLive || choice.parent == 42);
        }
        if (choice.action == RunModeAction::ChangePassword) {
            Check(family == 1);
        }
        uint32_t preview = PreviewParent(choice.rest, answers);
        Check(preview == 0 || preview == gLive);
        ChangePasswordParent(choice.rest, answers);
    }
    ParseDecimalHandle(begin);
    return 0;
}
