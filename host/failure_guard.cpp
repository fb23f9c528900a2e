// GCC has no __try/__except, so the guard is a top-level exception filter, installed for the
// length of the run mode. The system's UnhandledExceptionFilter calls the top-level filter
// itself; to ask it for its verdict without landing back here, the guard first takes itself
// out of that place.
#include "host/failure_guard.h"

#include <windows.h>

#include "host/host.h"
#include "host/host_state.h"

namespace {

LONG WINAPI GuardFilter(EXCEPTION_POINTERS* info) {
    SetUnhandledExceptionFilter(nullptr);
    LONG verdict = UnhandledExceptionFilter(info);
    if (verdict == EXCEPTION_EXECUTE_HANDLER) {
        // The mode is over: end here, the way the mode would have ended had it returned. The
        // system's running flag is lowered only if this run raised it, with its verifier
        // loaded; a settings or preview run that fails while a password-protected saver of
        // another process runs must not take that saver's protection away.
        if (gHostState.verifierEntry != nullptr) {
            SetSaverRunning(false);
        }
        ExitProcess(info->ExceptionRecord->ExceptionCode);
    }
    return verdict;
}

}  // namespace

int32_t RunGuarded(GuardedMode mode, const void* context) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(GuardFilter);
    int32_t result = mode(context);
    SetUnhandledExceptionFilter(previous);
    return result;
}
