// A stand-in desktop for the Wine tests: a borderless window over every monitor painted
// with a deterministic pattern that the Python harness can compute for any pixel
// (quillet_wine.expected_pattern), so a test can tell the frozen desktop from what is drawn on it.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace {

// Division and remainder rounded down, as Python's // and % are: left of or above the primary
// monitor the coordinates are negative, and C++ would round them towards zero.
int FloorDiv(int value, int divisor) {
    int quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

int FloorMod(int value, int divisor) {
    return value - FloorDiv(value, divisor) * divisor;
}

// Keep this in step with expected_pattern() in tests/e2e/quillet_wine.py. (x, y) is the
// Windows screen coordinate. Red and green repeat every 1024 pixels across and 768 down; blue
// carries which 1024 x 768 block the pixel is in, so the pattern does not repeat within 4096
// pixels across or 3072 down, and a picture shifted by a monitor's width or height cannot match
// it. On the 1024 x 768 block at 0,0 blue is the plain checkerboard of 90 and 150. Components
// stay within 40..167 so no pixel is pure white or black, and each is exact at 24 bits.
uint32_t PatternPixel(int x, int y) {
    uint32_t red = 40 + FloorMod(FloorDiv(x, 8), 128);
    uint32_t green = 40 + FloorMod(FloorDiv(y, 6), 128);
    uint32_t checker = FloorMod(FloorDiv(x, 32) + FloorDiv(y, 32), 2) ? 150 : 90;
    uint32_t blue =
        checker - 12 * FloorMod(FloorDiv(x, 1024), 4) - 3 * FloorMod(FloorDiv(y, 768), 4);
    return (red << 16) | (green << 8) | blue;
}

// Paints the client area, whose top-left corner is the screen point (left, top).
void PaintPattern(HDC dc, int left, int top, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            pixels[static_cast<size_t>(y) * width + x] = PatternPixel(left + x, top + y);
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
    POINT corner = {0, 0};
    ClientToScreen(window, &corner);
    PaintPattern(dc, corner.x, corner.y, client.right, client.bottom);
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
    // Every monitor: the virtual screen, whose corner is left of or above 0,0 when a monitor is.
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "Quillet test desktop", WS_POPUP,
                        GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
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
