// Tells whether this Wine can show a child window that another process owns, the situation of
// every preview: it fills the client area of the window whose handle it is given with a child
// window painted in one colour, and lives until that window goes or a time limit passes.
//
//   foreign_child HWND [SECONDS]
#include <windows.h>

#include <cstdlib>

namespace {

constexpr COLORREF kChildColour = RGB(250, 20, 200);

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateChild(HWND parent) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ChildProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = CreateSolidBrush(kChildColour);
    windowClass.lpszClassName = "QuilletForeignChild";
    RegisterClassA(&windowClass);
    RECT client = {};
    GetClientRect(parent, &client);
    return CreateWindowExA(0, windowClass.lpszClassName, "Foreign child", WS_CHILD | WS_VISIBLE, 0,
                           0, client.right, client.bottom, parent, nullptr, instance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoul(argv[1], nullptr, 10)));
    DWORD limitMs = argc > 2 ? static_cast<DWORD>(atoi(argv[2])) * 1000 : 30000;
    if (!IsWindow(parent) || !CreateChild(parent)) {
        return 1;
    }
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < limitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return 0;
            }
            DispatchMessageA(&message);
        }
    }
    return 0;
}
