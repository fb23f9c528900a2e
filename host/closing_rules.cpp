// DefSaverProc's decisions. A run has three states: watching (input closes), prompting (the
// password verifier runs a modal loop that re-enters here, so input must stand aside) and
// closing (every rule stands aside and the default handling destroys the window).
#include "host/closing_rules.h"

namespace {

uint32_t Distance(int32_t a, int32_t b) {
    int64_t d = static_cast<int64_t>(a) - static_cast<int64_t>(b);
    return static_cast<uint32_t>(d < 0 ? -d : d);
}

void OnMouseMove(HostState& state, const ClosingCalls& calls, WindowHandle window) {
    // The message's own coordinates are client-relative; the reference point is on screen.
    HostPoint now = calls.cursorPos();
    if (IsBeyondTolerance(state.lastCursorPos, now, state.mouseMoveTolerance)) {
        calls.postClose(window);
        state.lastCursorPos = now;
    }
}

// What the system says that ends a run as input does: another application taking over, the
// return from a critical suspend, any power broadcast.
bool IsClosingSystemEvent(uint32_t message, uintptr_t wParam) {
    switch (message) {
        case msg::kActivateApp:
            return wParam == 0;
        case msg::kPower:
            return wParam == msg::kPwrCriticalResume;
        case msg::kPowerBroadcast:
            return true;
    }
    return false;
}

// The input rules of the watching state. Returns true with *result set when the message is
// answered here; false sends it on to the default handling.
bool ApplyInputRules(HostState& state, const ClosingCalls& calls, WindowHandle window,
                     uint32_t message, uintptr_t wParam, intptr_t* result) {
    if (message == msg::kSetCursor) {
        calls.hideCursor();
        *result = 1;
        return true;
    }
    if (message == msg::kShowWindow && wParam != 0) {
        calls.hideCursor();
    } else if (message == msg::kMouseMove) {
        OnMouseMove(state, calls, window);
    } else if (IsClosingInput(message) || IsClosingSystemEvent(message, wParam)) {
        calls.postClose(window);
    }
    return false;
}

intptr_t OnClose(HostState& state, const ClosingCalls& calls, WindowHandle window, uintptr_t wParam,
                 intptr_t lParam) {
    if (VerifyBeforeCloseWith(state, calls, window)) {
        return calls.defWindowProc(window, msg::kClose, wParam, lParam);
    }
    // The user is at the machine: the tolerance starts again from where the cursor is now.
    state.lastCursorPos = calls.cursorPos();
    return 0;
}

intptr_t OnPasswordRequest(const HostState& state, const ClosingCalls& calls, WindowHandle window) {
    if (state.verifierEntry == nullptr) {
        return 1;
    }
    return calls.callVerifier(state.verifierEntry, window);
}

// Reached in every state. A message numbered 0 is never the AutoPlay query, which is only
// known once registered.
intptr_t DefaultOrAutoPlay(const HostState& state, const ClosingCalls& calls, WindowHandle window,
                           uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (state.cancelAutoPlayMsg != 0 && message == state.cancelAutoPlayMsg) {
        calls.postClose(window);
        return state.verifierEntry != nullptr ? 1 : 0;
    }
    return calls.defWindowProc(window, message, wParam, lParam);
}

// The verdict is kept as it came; only one whose low 32 bits are zero needs help to count.
int32_t AsApproval(intptr_t verdict) {
    int32_t low = static_cast<int32_t>(verdict);
    return verdict != 0 && low == 0 ? 1 : low;
}

}  // namespace

bool IsBeyondTolerance(HostPoint reference, HostPoint now, uint32_t tolerance) {
    uint32_t sum = Distance(now.x, reference.x) + Distance(now.y, reference.y);
    return sum > tolerance;
}

bool IsClosingInput(uint32_t message) {
    switch (message) {
        case msg::kKeyDown:
        case msg::kSysKeyDown:
        case msg::kMouseMove:
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            return true;
    }
    return false;
}

intptr_t DefSaverProcWith(HostState& state, const ClosingCalls& calls, WindowHandle window,
                          uint32_t message, uintptr_t wParam, intptr_t lParam) {
    bool watching = !state.previewMode && !state.closeApproved;
    if (watching && state.isWin9x) {
        if (message == msg::kClose) {
            return OnClose(state, calls, window, wParam, lParam);
        }
        if (message == msg::kPasswordRequest) {
            return OnPasswordRequest(state, calls, window);
        }
    }
    if (watching && !state.passwordPromptActive) {
        intptr_t result = 0;
        if (ApplyInputRules(state, calls, window, message, wParam, &result)) {
            return result;
        }
    }
    return DefaultOrAutoPlay(state, calls, window, message, wParam, lParam);
}

int32_t VerifyBeforeCloseWith(HostState& state, const ClosingCalls& calls, WindowHandle window) {
    if (state.passwordPromptActive || state.closeApproved) {
        return 0;
    }
    if (state.verifierEntry == nullptr) {
        state.closeApproved = 1;
        return 1;
    }
    uint32_t now = calls.tickCount();
    // Unsigned difference: stays right when the tick counter wraps between the two readings.
    if (state.lastPromptTick != kNoPromptYet && now - state.lastPromptTick < kPromptRateLimitMs) {
        return 0;
    }
    state.passwordPromptActive = 1;
    // Ticks already queued would animate before the prompt shows; the prompt comes first.
    calls.dropPendingTimers(window);
    intptr_t verdict = calls.sendPasswordRequest(window);
    state.closeApproved = AsApproval(verdict);
    state.passwordPromptActive = 0;
    if (!state.closeApproved) {
        calls.hideCursor();
    }
    state.lastPromptTick = calls.tickCount();
    return state.closeApproved;
}
