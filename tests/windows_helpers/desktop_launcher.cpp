// Starts a program on the desktop it runs on itself and writes down what the tests cannot
// learn from outside: `wine explorer /desktop=NAME,WxH` reports explorer's own exit status,
// not the program's. Usage: desktop_launcher <report file> <command line, hex-encoded>.
// The report gets, one per line: "desktop <name>" (this thread's desktop), "capture <1 or 0>
// <colour at 0,0>" (what a copy of the screen gives here), "idle" once the program waits for
// input (its window made and painted), then "exit <code>", or "error <code>" if it could not
// start.
#include <windows.h>

#include <cstdio>
#include <string>

#include "append_line.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool DecodeHex(const char* hex, std::string& out) {
    for (; hex[0] && hex[1]; hex += 2) {
        int high = HexDigit(hex[0]), low = HexDigit(hex[1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out += char(high * 16 + low);
    }
    return !hex[0] && !out.empty();
}

void ReportDesktop(const char* report) {
    char name[128] = "";
    DWORD needed = 0;
    if (!GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name,
                                   sizeof(name) - 1, &needed)) {
        lstrcpynA(name, "(unreadable)", sizeof(name));
    }
    char line[160];
    std::snprintf(line, sizeof(line), "desktop %s", name);
    AppendLine(report, line, "\n");
}

void ReportCapture(const char* report) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BOOL copied = BitBlt(memory, 0, 0, 1, 1, screen, 0, 0, SRCCOPY);
    char line[64];
    std::snprintf(line, sizeof(line), "capture %d %06lx", copied ? 1 : 0,
                  static_cast<unsigned long>(GetPixel(memory, 0, 0)));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    AppendLine(report, line, "\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string commandLine;
    if (argc != 3 || !DecodeHex(argv[2], commandLine)) {
        std::fprintf(stderr, "usage: desktop_launcher <report file> <hex command line>\n");
        return 2;
    }
    const char* report = argv[1];
    ReportDesktop(report);
    ReportCapture(report);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    char text[32];
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::snprintf(text, sizeof(text), "error %lu", GetLastError());
        AppendLine(report, text, "\n");
        return 1;
    }
    WaitForInputIdle(process.hProcess, 30000);
    AppendLine(report, "idle", "\n");
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::snprintf(text, sizeof(text), "exit %ld", static_cast<long>(static_cast<LONG>(code)));
    AppendLine(report, text, "\n");
    return 0;
}
