// Drives the host's failure guard under Wine: runs one mode inside RunGuarded that either
// faults or returns a given value. SetSaverRunning is this program's own, leaving a line in a
// marker file in the current directory so the test can see that the guard cleared the flag;
// detach_witness.dll adds "process detach", which only an orderly ExitProcess produces (a
// process that the system terminates after an unhandled fault notifies no library).
//
//   guard_fault fault        writes through a null pointer inside the guard, with no password
//                            verifier loaded (a settings or preview run)
//   guard_fault fault-with-verifier
//                            the same in a run that has loaded its verifier and so raised the
//                            running flag (a password-protected full-screen run)
//   guard_fault return N     returns N from inside the guard
//   guard_fault return-then-fault
//                            returns 0 from inside the guard, then faults outside it
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "host/failure_guard.h"
#include "host/host.h"
#include "host/host_state.h"
#include "append_line.h"

namespace {

// Written the way detach_witness.dll writes, so the lines of both keep their order.
void AppendMarker(const char* line) {
    AppendLine("guard_marker.txt", line, "\n");
}

}  // namespace

void SetSaverRunning(bool on) {
    AppendMarker(on ? "SetSaverRunning(1)" : "SetSaverRunning(0)");
}

namespace {

// Read through a volatile so the compiler cannot see the null and turn the store into a
// trap instruction: the guard must meet a genuine access violation.
int* volatile gTarget = nullptr;

int32_t FaultingMode(const void*) {
    *gTarget = 1;
    return 7;
}

int32_t ReturningMode(const void* context) {
    return *static_cast<const int32_t*>(context);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = __argc;
    char** argv = __argv;
    LoadLibraryA("detach_witness.dll");
    int32_t result = -2;
    if (argc == 2 && !strcmp(argv[1], "fault")) {
        result = RunGuarded(FaultingMode, nullptr);
    } else if (argc == 2 && !strcmp(argv[1], "fault-with-verifier")) {
        // Any address will do: the guard only asks whether a verifier is loaded.
        gHostState.verifierEntry = reinterpret_cast<ProcAddress>(&AppendMarker);
        result = RunGuarded(FaultingMode, nullptr);
    } else if (argc == 3 && !strcmp(argv[1], "return")) {
        int32_t value = static_cast<int32_t>(strtol(argv[2], nullptr, 10));
        result = RunGuarded(ReturningMode, &value);
    } else if (argc == 2 && !strcmp(argv[1], "return-then-fault")) {
        int32_t value = 0;
        result = RunGuarded(ReturningMode, &value);
        FaultingMode(nullptr);
    }
    ExitProcess(static_cast<UINT>(result));
}
