// The command-line grammar. Character codes are compared as unsigned bytes throughout, so a
// byte of 128 or more is never mistaken for a blank.
#include "host/run_mode.h"

namespace {

unsigned char At(const char* p) {
    return static_cast<unsigned char>(*p);
}

bool IsModeSeparator(unsigned char c) {
    return c == ' ' || c == '-' || c == '/';
}

const char* SkipSpaces(const char* p) {
    while (At(p) == ' ') {
        ++p;
    }
    return p;
}

// A handle of 0, or one the system does not know as a window, gives way to the front window.
uint32_t LiveOrForeground(uint32_t handle, const RunModeAnswers& answers) {
    if (handle != 0 && answers.isWindow(handle)) {
        return handle;
    }
    return answers.foregroundWindow();
}

}  // namespace

const char* IsolateArguments(const char* commandLine, NextCharFn next) {
    const char* p = commandLine;
    if (At(p) == '"') {
        // A quoted program name may hold spaces; an unclosed quote swallows the whole line.
        p = next(p);
        while (At(p) != 0 && At(p) != '"') {
            p = next(p);
        }
        if (At(p) == '"') {
            p = next(p);
        }
    } else if (At(p) > ' ') {
        while (At(p) > ' ') {
            p = next(p);
        }
    }
    // The blanks between program name and arguments include tabs and other control bytes.
    while (At(p) != 0 && At(p) <= ' ') {
        p = next(p);
    }
    return p;
}

uint32_t ParseDecimalHandle(const char* text) {
    uint32_t value = 0;
    for (const char* p = text; At(p) >= '0' && At(p) <= '9'; ++p) {
        value = value * 10u + static_cast<uint32_t>(At(p) - '0');
    }
    return value;
}

uint32_t PreviewParent(const char* text, const RunModeAnswers& answers) {
    uint32_t handle = ParseDecimalHandle(text);
    // A preview has no fallback parent: without a live window it is refused.
    if (handle != 0 && answers.isWindow(handle)) {
        return handle;
    }
    return 0;
}

uint32_t ChangePasswordParent(const char* text, const RunModeAnswers& answers) {
    return LiveOrForeground(ParseDecimalHandle(text), answers);
}

RunModeChoice ReadRunMode(const char* args, const RunModeAnswers& answers) {
    const char* p = args;
    // Inside the grammar only the space is a separator; a tab is an unknown character.
    while (IsModeSeparator(At(p))) {
        ++p;
    }
    switch (At(p)) {
        case 0:
            return {RunModeAction::ConfigDialog, 0, p};
        case 's':
        case 'S':
            return {RunModeAction::FullScreen, 0, p + 1};
        case 'p':
        case 'P':
        case 'l':
        case 'L':
            return {RunModeAction::Preview, 0, SkipSpaces(p + 1)};
        case 'c':
        case 'C': {
            ++p;
            uint32_t handle = 0;
            if (At(p) == ':') {
                handle = ParseDecimalHandle(p + 1);
            }
            return {RunModeAction::ConfigDialog, LiveOrForeground(handle, answers), p};
        }
        case 'a':
        case 'A':
            // The system itself keeps the password outside the Windows 95 family.
            if (answers.isWin9x) {
                return {RunModeAction::ChangePassword, 0, SkipSpaces(p + 1)};
            }
            return {RunModeAction::Refuse, 0, p};
        default:
            return {RunModeAction::Refuse, 0, p};
    }
}
