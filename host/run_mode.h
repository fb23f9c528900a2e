// The command-line grammar of the host: isolating the argument text, reading the run mode
// and its window handle. Nothing here includes windows.h; the system's answers (advance one
// character of the code page, is this a live window, which window is in front, is this the
// Windows 95 family) come from the caller.
#pragma once

#include <cstdint>

// Advances one whole character of the active ANSI code page; the Win32 layer passes CharNextA.
using NextCharFn = const char* (*)(const char*);

// The questions the grammar asks the system.
struct RunModeAnswers {
    bool (*isWindow)(uint32_t handle);
    uint32_t (*foregroundWindow)();
    int32_t isWin9x;
};

enum class RunModeAction {
    ConfigDialog,    // settings dialog with `parent` (0 for none)
    FullScreen,      // full-screen run
    Preview,         // RunPreview on `rest`
    ChangePassword,  // RunChangePassword on `rest`
    Refuse,          // exit code -1, nothing created
};

struct RunModeChoice {
    RunModeAction action;
    uint32_t parent;   // resolved dialog parent; 0 otherwise
    const char* rest;  // text after the mode letter and its spaces, for Preview and ChangePassword
};

constexpr int32_t kRefusedExitCode = -1;

// Returns the argument text inside commandLine: the program name and the blanks after it
// skipped. The result points into commandLine.
const char* IsolateArguments(const char* commandLine, NextCharFn next);

// Reads leading decimal digits as an unsigned 32-bit number that wraps on overflow; 0 if none.
uint32_t ParseDecimalHandle(const char* text);

RunModeChoice ReadRunMode(const char* args, const RunModeAnswers& answers);

// The preview parent named by text, or 0 when the preview must be refused.
uint32_t PreviewParent(const char* text, const RunModeAnswers& answers);

// The change-password parent: the window text names if it is live, else the foreground one.
uint32_t ChangePasswordParent(const char* text, const RunModeAnswers& answers);
