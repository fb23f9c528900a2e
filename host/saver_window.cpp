// The saver window: its class, the full-screen or preview window (IsPreview tells the saver
// which), the message loop, and HostWindowProc, which carries out host/window_filter.cpp's
// answer for every message before the saver sees it.
#include <windows.h>

#include "host/host.h"
#include "host/host_state.h"
#include "host/saver_callbacks.h"
#include "host/window_filter.h"
#include "resources/resource.h"

namespace {

using ImmAssociateFn = HANDLE(WINAPI*)(HWND window, HANDLE context);

constexpr char kClassName[] = "WindowsScreenSaverClass";
constexpr char kFullScreenTitle[] = "Screen Saver";
constexpr char kPreviewTitle[] = "Preview";
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kPreviewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
static_assert(kClassStyle == 0x2B && kFullScreenStyle == 0x96000000u &&
                  kPreviewStyle == 0x52000000u,
              "the saver window's class and styles");

struct WindowPlan {
    const char* title;
    DWORD style;
    DWORD exStyle;
    RECT box;  // left, top, right, bottom
};

WindowPlan PreviewPlan(HWND parent) {
    WindowPlan plan = {kPreviewTitle, kPreviewStyle, 0, {}};
    GetClientRect(parent, &plan.box);
    plan.box.left = 0;
    plan.box.top = 0;
    return plan;
}

WindowPlan FullScreenPlan() {
    WindowPlan plan = {kFullScreenTitle, kFullScreenStyle, WS_EX_TOPMOST, {}};
    HDC screen = GetDC(nullptr);
    GetClipBox(screen, &plan.box);
    ReleaseDC(nullptr, screen);
    return plan;
}

// A second full-screen saver would stack over the first; wake the running one instead.
bool BringRunningSaverForward() {
    HWND running = FindWindowA(kClassName, kFullScreenTitle);
    if (running == nullptr || !IsWindow(running)) {
        return false;
    }
    SetForegroundWindow(running);
    return true;
}

HWND CreateSaverWindow(const WindowPlan& plan, HWND parent) {
    HINSTANCE instance = static_cast<HINSTANCE>(gHostState.appInstance);
    WNDCLASSA windowClass = {};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_QUILLET));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) {
        return nullptr;
    }
    const RECT& box = plan.box;
    return CreateWindowExA(plan.exStyle, kClassName, plan.title, plan.style, box.left, box.top,
                           box.right - box.left, box.bottom - box.top, parent, nullptr, instance,
                           nullptr);
}

int32_t RunMessageLoop() {
    MSG message = {};
    // GetMessageA answers -1 on failure; looping on it would spin forever.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int32_t>(message.wParam);
}

ImmAssociateFn ImmAssociate() {
    return reinterpret_cast<ImmAssociateFn>(gHostState.immAssociate);
}

// The input method would otherwise open its composition window over the saver.
void DetachInputMethod(HWND window) {
    HMODULE imm = GetModuleHandleA("IMM32.DLL");
    gHostState.immModule = imm;
    if (imm == nullptr) {
        return;
    }
    FARPROC associate = GetProcAddress(imm, "ImmAssociateContext");
    gHostState.immAssociate = reinterpret_cast<ProcAddress>(associate);
    if (associate != nullptr) {
        gHostState.savedInputContext = ImmAssociate()(window, nullptr);
    }
}

void OnCreate(HWND window, bool hideCursor) {
    DetachInputMethod(window);
    POINT cursor = {};
    GetCursorPos(&cursor);
    gHostState.lastCursorPos = {cursor.x, cursor.y};
    if (hideCursor) {
        SetCursor(nullptr);
    }
}

void OnDestroy(HWND window) {
    if (gHostState.immModule && gHostState.immAssociate && gHostState.savedInputContext) {
        ImmAssociate()(window, static_cast<HANDLE>(gHostState.savedInputContext));
    }
    PostQuitMessage(0);
}

// A preview lives inside the display settings: help belongs to them.
void ForwardToParent(HWND window, UINT message, LPARAM lParam) {
    HWND parent = GetParent(window);
    if (parent != nullptr && IsWindow(parent)) {
        PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
    }
}

}  // namespace

int32_t RunSaverWindow(HWND parent) {
    WindowPlan plan;
    if (parent != nullptr) {
        plan = PreviewPlan(parent);
        gHostState.previewMode = 1;
    } else {
        plan = FullScreenPlan();
        if (BringRunningSaverForward()) {
            return 0;
        }
        LoadPasswordVerifier();
    }
    gHostState.cancelAutoPlayMsg =
        gHostState.isWin9x ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;
    HWND window = CreateSaverWindow(plan, parent);
    gHostState.saverWindow = window;
    // No window, no run: say so with the refused-mode code rather than a normal end.
    int32_t exitCode = -1;
    if (window != nullptr) {
        if (parent == nullptr) {
            SetForegroundWindow(window);
        }
        exitCode = RunMessageLoop();
    }
    UnloadPasswordVerifier();
    return exitCode;
}

bool IsPreview() {
    return gHostState.previewMode != 0;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostFilter filter = FilterHostMessage(gHostState, message, wParam);
    switch (filter) {
        case HostFilter::PassOn:
            break;
        case HostFilter::Default:
            return DefWindowProcA(window, message, wParam, lParam);
        case HostFilter::Swallow:
            return 0;
        case HostFilter::HideCursorThenPassOn:
            SetCursor(nullptr);
            break;
        case HostFilter::ForwardToParent:
            ForwardToParent(window, message, lParam);
            return 1;
        case HostFilter::YieldThenPassOn:
            Sleep(0);
            break;
        case HostFilter::CreateHidingCursor:
        case HostFilter::CreateKeepingCursor:
            OnCreate(window, filter == HostFilter::CreateHidingCursor);
            break;
        case HostFilter::Destroy:
            OnDestroy(window);
            break;
    }
    return SaverProc(window, message, wParam, lParam);
}
