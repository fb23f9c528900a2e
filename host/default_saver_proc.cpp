// DefSaverProc and VerifyBeforeClose: the closing rules of host/closing_rules.cpp bound to
// the real system calls and to gHostState.
#include <windows.h>

#include "host/closing_rules.h"
#include "host/host.h"
#include "host/host_state.h"

namespace {

using VerifierFn = BOOL(WINAPI*)(HWND window);

HWND AsWindow(WindowHandle window) {
    return static_cast<HWND>(window);
}

void PostClose(WindowHandle window) {
    PostMessageA(AsWindow(window), WM_CLOSE, 0, 0);
}

intptr_t CallDefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    return DefWindowProcA(AsWindow(window), message, wParam, lParam);
}

HostPoint CursorPos() {
    POINT point = {};
    GetCursorPos(&point);
    return {point.x, point.y};
}

void HideCursor() {
    SetCursor(nullptr);
}

uint32_t TickCount() {
    return GetTickCount();
}

void DropPendingTimers(WindowHandle window) {
    MSG message;
    PeekMessageA(&message, AsWindow(window), WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&message, AsWindow(window), WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
}

intptr_t SendPasswordRequest(WindowHandle window) {
    return SendMessageA(AsWindow(window), msg::kPasswordRequest, 0, 0);
}

intptr_t CallVerifier(ProcAddress entry, WindowHandle window) {
    return reinterpret_cast<VerifierFn>(entry)(AsWindow(window));
}

const ClosingCalls kSystemCalls = {
    PostClose, CallDefWindowProc, CursorPos,           HideCursor,
    TickCount, DropPendingTimers, SendPasswordRequest, CallVerifier,
};

}  // namespace

LRESULT DefSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSaverProcWith(gHostState, kSystemCalls, window, message, wParam, lParam);
}

BOOL VerifyBeforeClose(HWND window) {
    return VerifyBeforeCloseWith(gHostState, kSystemCalls, window);
}
