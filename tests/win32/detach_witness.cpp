// A library guard_fault.exe loads only to tell the Wine tests how its process ended: it adds
// "process detach" to the marker file when the process ends through ExitProcess. A process
// the system terminates (as after an unhandled fault) ends without telling any library.
#include <windows.h>

#include <cstring>

namespace {

// Kernel32 only: the run-time library may already be shut down when the detach arrives.
void AppendMarker(const char* line) {
    HANDLE file = CreateFileA("guard_marker.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        AppendMarker("process detach");
    }
    return TRUE;
}
