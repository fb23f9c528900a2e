// Appends one line to a file with kernel32 calls only: the helpers write from DllMain and after
// the run-time library has shut down, and each line lands whole, after the ones before it.
#pragma once

#include <windows.h>

inline void AppendLine(const char* path, const char* line, const char* end) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    WriteFile(file, end, static_cast<DWORD>(lstrlenA(end)), &written, nullptr);
    CloseHandle(file);
}
