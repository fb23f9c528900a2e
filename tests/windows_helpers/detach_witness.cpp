// A library guard_fault.exe loads only to tell the Wine tests how its process ended: it adds
// "process detach" to the marker file when the process ends through ExitProcess. A process
// the system terminates (as after an unhandled fault) ends without telling any library.
#include <windows.h>

#include "append_line.h"

namespace {

// Kernel32 only: the run-time library may already be shut down when the detach arrives.
void AppendMarker(const char* line) {
    AppendLine("guard_marker.txt", line, "\n");
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        AppendMarker("process detach");
    }
    return TRUE;
}
