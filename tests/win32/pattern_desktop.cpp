// A stand-in desktop for the Wine tests: a borderless window over the whole screen painted
// with a deterministic pattern that the Python harness can compute for any pixel
// (quillet_wine.expected_pattern), so a test can tell the frozen desktop from what is drawn on it.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace {

// Keep this in step with expected_pattern() in tests/e2e/quillet_wine.py. Components stay
// within 40..167 so no pixel is pure white or black, and each is exact at 24 bits.
uint32_t PatternPixel(int x, int y) {
    uint32_t red = 40 + (x / 8) % 128;
    uint32_t green = 40 + (y / 6) % 128;
    uint32_t blue = ((x / 32 + y / 32) % 2) ? 150 : 90;
    return (red << 16) | (green << 8) | blue;
}

void PaintPattern(HDC dc, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            pixels[static_cast<size_t>(y) * width + x] = PatternPixel(x, y);
        }
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows, like the screen
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels.data(), &info,
                      DIB_RGB_COLORS);
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    PaintPattern(dc, client.right, client.bottom);
    EndPaint(window, &paint);
}

LRESULT CALLBACK PatternWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            // No pointer over the desktop: screenshots then show only the pattern.
            SetCursor(nullptr);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PatternWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "QuilletTestPattern";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Quillet test desktop", WS_POPUP, 0,
                                  0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}
