// The guard around every run mode: an exception that nothing else handles is handed to the
// system's UnhandledExceptionFilter, and when the system says to handle it, the screen-saver
// running flag is cleared if this run raised it (its password verifier is loaded) and the
// process ends.
#pragma once

#include <cstdint>

using GuardedMode = int32_t (*)(const void* context);

// Runs mode(context) and returns its result. An unhandled failure inside it ends the process
// with the exception's code when the system's filter answers EXCEPTION_EXECUTE_HANDLER.
int32_t RunGuarded(GuardedMode mode, const void* context);
