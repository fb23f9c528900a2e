// Drives the saver's erase step directly, where its source can be seen: Wine's screen copy
// reads back the saver's own picture, so on screen a repaint from the screen looks right.
// The probe gives a BirdSaver a back buffer of one flat colour that the screen does not show,
// sends WM_ERASEBKGND with a memory bitmap's context, and reports what that bitmap then holds;
// then the same without a back buffer, where the screen's pixels are what belongs there.
// Prints one line per check and exits with 0 when both hold.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "saver/bird_saver.h"
#include "saver/flock_gdi.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr uint32_t kBackBufferColour = 0x00123456;
constexpr uint32_t kUntouched = 0x00FF00FF;  // what the memory bitmap starts with
constexpr COLORREF kWindowColour = RGB(0x30, 0x70, 0x50);

struct Surface {
    HDC context;
    HBITMAP bitmap;
    uint32_t* pixels;
};

Surface NewSurface(uint32_t colour) {
    BITMAPINFO layout = PixelLayout(kWidth, kHeight);
    Surface surface = {CreateCompatibleDC(nullptr), nullptr, nullptr};
    void* pixels = nullptr;
    surface.bitmap = CreateDIBSection(nullptr, &layout, DIB_RGB_COLORS, &pixels, nullptr, 0);
    surface.pixels = static_cast<uint32_t*>(pixels);
    SelectObject(surface.context, surface.bitmap);
    for (int i = 0; i < kWidth * kHeight; i++) {
        surface.pixels[i] = colour;
    }
    return surface;
}

// How many pixels of `got` equal `want` (a flat colour when `want` is null).
int Matching(const Surface& got, const uint32_t* want, uint32_t colour) {
    int same = 0;
    for (int i = 0; i < kWidth * kHeight; i++) {
        same += (got.pixels[i] & 0x00FFFFFF) == ((want ? want[i] : colour) & 0x00FFFFFF);
    }
    return same;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(kWindowColour);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window over the screen's corner, so that the screen there shows a known colour.
HWND ShowProbeWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ProbeWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuilletEraseProbe";
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(WS_EX_TOPMOST, "QuilletEraseProbe", "erase probe", WS_POPUP | WS_VISIBLE, 0,
                        0, kWidth, kHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
    UpdateWindow(window);
    MSG message;
    for (int i = 0; i < 20; i++) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(25);
    }
    return window;
}

}  // namespace

int main() {
    HWND window = ShowProbeWindow();
    BirdSaver saver;
    saver.window = window;
    Surface back = NewSurface(kBackBufferColour);
    saver.backBuffer = back.bitmap;
    saver.backBufferContext = back.context;

    Surface target = NewSurface(kUntouched);
    saver.HandleMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.context), 0);
    GdiFlush();
    int fromBack = Matching(target, nullptr, kBackBufferColour);
    std::printf("back buffer: %d of %d pixels from the back buffer, %d untouched, first 0x%06x\n",
                fromBack, kWidth * kHeight, Matching(target, nullptr, kUntouched),
                unsigned(target.pixels[0] & 0x00FFFFFF));

    saver.backBuffer = nullptr;
    saver.backBufferContext = nullptr;
    Surface cleared = NewSurface(kUntouched);
    saver.HandleMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(cleared.context), 0);
    GdiFlush();
    Surface screen = NewSurface(kUntouched);
    HDC screenDC = GetDC(nullptr);
    BitBlt(screen.context, 0, 0, kWidth, kHeight, screenDC, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screenDC);
    GdiFlush();
    int fromScreen = Matching(cleared, screen.pixels, 0);
    bool screenKnown = Matching(screen, nullptr, kUntouched) == 0 &&
                       Matching(screen, nullptr, kBackBufferColour) == 0;
    std::printf(
        "no back buffer: %d of %d pixels from the screen, %d untouched, first 0x%06x, "
        "screen 0x%06x\n",
        fromScreen, kWidth * kHeight, Matching(cleared, nullptr, kUntouched),
        unsigned(cleared.pixels[0] & 0x00FFFFFF), unsigned(screen.pixels[0] & 0x00FFFFFF));
    std::fflush(stdout);
    DestroyWindow(window);
    bool passed = fromBack == kWidth * kHeight && fromScreen == kWidth * kHeight && screenKnown;
    return passed ? 0 : 1;
}
