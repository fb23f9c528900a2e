// A stand-in for the windows that host a saver's preview or own its settings dialog: a plain
// top-level window with a client area of a given size that reports its handle, can start a
// command line with "%HWND%" replaced by that handle, reports that child's exit code, and can
// be told to go away.
//
//   parent_window W H [--at X Y] [--report FILE] [--run HEX] [--close-after MS]
//                     [--close-when FILE]
//
// The report file gets "hwnd N" once the window is shown, "child C" (signed) when the
// started program ends, and "contextmenu W L" or "help W L" for each such request that
// reaches the window; the command line is hex-encoded so that it arrives byte for byte.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT_PTR kWatchTimer = 2;
constexpr DWORD kChildGraceMs = 30000;  // how long an orphaned child may take to notice

struct Options {
    int width = 320;
    int height = 240;
    int x = 100;
    int y = 100;
    const char* report = nullptr;
    std::string run;  // decoded command line, "%HWND%" not yet replaced
    UINT closeAfterMs = 0;
    const char* closeWhen = nullptr;
};

Options gOptions;  // read once in main, then only read by the window procedure

void Report(const char* line) {
    printf("%s\n", line);
    fflush(stdout);
    if (!gOptions.report) {
        return;
    }
    FILE* file = fopen(gOptions.report, "a");
    if (file) {
        fprintf(file, "%s\n", line);
        fclose(file);
    }
}

std::string DecodeHex(const char* hex) {
    std::string out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        out.push_back(static_cast<char>(strtoul(pair, nullptr, 16)));
    }
    return out;
}

bool ReadOptions(int argc, char** argv, Options* options) {
    if (argc < 3) {
        return false;
    }
    options->width = atoi(argv[1]);
    options->height = atoi(argv[2]);
    for (int i = 3; i < argc; i++) {
        bool hasValue = i + 1 < argc;
        if (!strcmp(argv[i], "--at") && i + 2 < argc) {
            options->x = atoi(argv[++i]);
            options->y = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--report") && hasValue) {
            options->report = argv[++i];
        } else if (!strcmp(argv[i], "--run") && hasValue) {
            options->run = DecodeHex(argv[++i]);
        } else if (!strcmp(argv[i], "--close-after") && hasValue) {
            options->closeAfterMs = static_cast<UINT>(atoi(argv[++i]));
        } else if (!strcmp(argv[i], "--close-when") && hasValue) {
            options->closeWhen = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

std::string WithHandle(std::string commandLine, HWND window) {
    char number[16];
    snprintf(number, sizeof(number), "%lu",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
    const std::string marker = "%HWND%";
    for (size_t at = commandLine.find(marker); at != std::string::npos;
         at = commandLine.find(marker, at)) {
        commandLine.replace(at, marker.size(), number);
    }
    return commandLine;
}

HANDLE StartChild(const std::string& commandLine) {
    std::string writable = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        char line[64];
        snprintf(line, sizeof(line), "child-error %lu", GetLastError());
        Report(line);
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

void ReportChildExit(HANDLE child) {
    DWORD code = 0;
    GetExitCodeProcess(child, &code);
    char line[64];
    snprintf(line, sizeof(line), "child %ld", static_cast<long>(static_cast<int32_t>(code)));
    Report(line);
}

void OnTimer(HWND window, UINT_PTR id) {
    if (id == kCloseTimer) {
        DestroyWindow(window);
    } else if (id == kWatchTimer &&
               GetFileAttributesA(gOptions.closeWhen) != INVALID_FILE_ATTRIBUTES) {
        DestroyWindow(window);
    }
}

// Help requests that reach the window are reported with their parameters, to show who sent
// them on and with which window named in them.
void ReportHelpRequest(const char* name, WPARAM wParam, LPARAM lParam) {
    char line[96];
    snprintf(line, sizeof(line), "%s %lu %ld", name, static_cast<unsigned long>(wParam),
             static_cast<long>(lParam));
    Report(line);
}

LRESULT CALLBACK ParentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CONTEXTMENU:
            ReportHelpRequest("contextmenu", wParam, lParam);
            return 0;
        case WM_HELP:
            ReportHelpRequest("help", wParam, lParam);
            return TRUE;
        case WM_TIMER:
            OnTimer(window, wParam);
            return 0;
        case WM_GETMINMAXINFO:
            // A preview host can be smaller than a captioned window's usual minimum width.
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {1, 1};
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateParentWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ParentWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(RGB(70, 130, 100));
    windowClass.lpszClassName = "QuilletTestParent";
    RegisterClassA(&windowClass);
    DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame = {0, 0, gOptions.width, gOptions.height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    return CreateWindowExA(0, windowClass.lpszClassName, "Quillet test parent", style, gOptions.x,
                           gOptions.y, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                           nullptr, instance, nullptr);
}

// Runs messages until the window is gone or the child has ended, whichever comes first.
void RunLoop(HANDLE child) {
    for (;;) {
        DWORD count = child ? 1 : 0;
        DWORD woke = MsgWaitForMultipleObjects(count, &child, FALSE, INFINITE, QS_ALLINPUT);
        if (child && woke == WAIT_OBJECT_0) {
            return;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!ReadOptions(argc, argv, &gOptions)) {
        fprintf(stderr,
                "usage: parent_window W H [--at X Y] [--report FILE] [--run HEX]"
                " [--close-after MS] [--close-when FILE]\n");
        return 2;
    }
    HWND window = CreateParentWindow();
    if (!window) {
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    char line[32];
    snprintf(line, sizeof(line), "hwnd %lu",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
    Report(line);
    if (gOptions.closeAfterMs) {
        SetTimer(window, kCloseTimer, gOptions.closeAfterMs, nullptr);
    }
    if (gOptions.closeWhen) {
        SetTimer(window, kWatchTimer, 50, nullptr);
    }
    HANDLE child = gOptions.run.empty() ? nullptr : StartChild(WithHandle(gOptions.run, window));
    RunLoop(child);
    if (!child) {
        return 0;
    }
    if (WaitForSingleObject(child, kChildGraceMs) != WAIT_OBJECT_0) {
        Report("child-timeout");
        return 1;
    }
    ReportChildExit(child);
    DWORD code = 0;
    GetExitCodeProcess(child, &code);
    return static_cast<int>(code);
}
