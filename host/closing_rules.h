// The rules that end a run: which input asks to close, the mouse-move tolerance, the password
// request with its rate limit, and the AutoPlay answer. Written against a table of the system
// calls they need, so they compile without windows.h; host/default_saver_proc.cpp binds the
// table to the real calls and gHostState.
#pragma once

#include <cstdint>

#include "host/host_state.h"

struct ClosingCalls {
    void (*postClose)(WindowHandle window);  // PostMessageA(window, WM_CLOSE, 0, 0)
    intptr_t (*defWindowProc)(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam);
    HostPoint (*cursorPos)();  // screen coordinates
    void (*hideCursor)();
    uint32_t (*tickCount)();                               // milliseconds, wraps after 49.7 days
    void (*dropPendingTimers)(WindowHandle);               // removes at most two queued WM_TIMER
    intptr_t (*sendPasswordRequest)(WindowHandle window);  // SendMessageA(window, WM_APP, 0, 0)
    intptr_t (*callVerifier)(ProcAddress entry, WindowHandle window);
};

// A refused prompt blocks further prompts for this long, so one burst of input cannot stack
// prompt after prompt.
constexpr uint32_t kPromptRateLimitMs = 200;

// DefSaverProc over the given state and calls.
intptr_t DefSaverProcWith(HostState& state, const ClosingCalls& calls, WindowHandle window,
                          uint32_t message, uintptr_t wParam, intptr_t lParam);

// VerifyBeforeClose over the given state and calls: nonzero when the window may close now.
int32_t VerifyBeforeCloseWith(HostState& state, const ClosingCalls& calls, WindowHandle window);

// True when the cursor lies farther than the tolerance from the reference point.
bool IsBeyondTolerance(HostPoint reference, HostPoint now, uint32_t tolerance);

// The user's own input that ends a run: a key, a button, or the mouse moved beyond the
// tolerance. The host window procedure keeps it from the saver once a close is approved.
bool IsClosingInput(uint32_t message);
