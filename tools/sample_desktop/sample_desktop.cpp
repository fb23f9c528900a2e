// A calm stand-in desktop for `make demo`: a borderless window over the whole screen painted
// as a wallpaper with a few icons, two windows and a taskbar, for the saver to freeze.
#include <windows.h>

namespace {

struct Colour {
    int r, g, b;
};

COLORREF Blend(Colour from, Colour to, int at, int span) {
    return RGB(from.r + (to.r - from.r) * at / span, from.g + (to.g - from.g) * at / span,
               from.b + (to.b - from.b) * at / span);
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT box = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

void Text(HDC dc, int left, int top, int right, int bottom, const char* text, COLORREF colour,
          UINT format) {
    RECT box = {left, top, right, bottom};
    SetTextColor(dc, colour);
    DrawTextA(dc, text, -1, &box, format | DT_NOPREFIX);
}

// Bands of a few pixels are smooth enough at 24 bits and keep the paint quick.
void PaintWallpaper(HDC dc, int width, int height) {
    const Colour top = {34, 76, 110};
    const Colour bottom = {88, 70, 118};
    for (int y = 0; y < height; y += 4) {
        Fill(dc, 0, y, width, y + 4, Blend(top, bottom, y, height));
    }
    HBRUSH glow = CreateSolidBrush(RGB(120, 140, 170));
    HGDIOBJ oldBrush = SelectObject(dc, glow);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, width - 330, 60, width - 90, 300);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(glow);
}

void PaintIcon(HDC dc, int left, int top, COLORREF colour, const char* label) {
    Fill(dc, left + 16, top, left + 48, top + 32, colour);
    Fill(dc, left + 20, top + 4, left + 44, top + 12, RGB(240, 240, 240));
    Text(dc, left - 8, top + 36, left + 72, top + 52, label, RGB(255, 255, 255), DT_CENTER);
}

void PaintWindow(HDC dc, RECT box, const char* title, const char* const* lines, int count) {
    Fill(dc, box.left + 6, box.top + 6, box.right + 6, box.bottom + 6, RGB(30, 34, 48));
    Fill(dc, box.left, box.top, box.right, box.bottom, RGB(236, 239, 243));
    Fill(dc, box.left, box.top, box.right, box.top + 24, RGB(52, 101, 164));
    Text(dc, box.left + 8, box.top + 4, box.right - 8, box.top + 22, title, RGB(255, 255, 255),
         DT_LEFT);
    for (int i = 0; i < count; i++) {
        int y = box.top + 36 + i * 20;
        Text(dc, box.left + 12, y, box.right - 12, y + 18, lines[i], RGB(40, 44, 52), DT_LEFT);
    }
}

void PaintTaskbar(HDC dc, int width, int height) {
    Fill(dc, 0, height - 30, width, height, RGB(192, 192, 192));
    Fill(dc, 0, height - 30, width, height - 29, RGB(255, 255, 255));
    Fill(dc, 4, height - 26, 72, height - 4, RGB(214, 214, 214));
    Text(dc, 4, height - 24, 72, height - 6, "Start", RGB(0, 0, 0), DT_CENTER);
    Text(dc, width - 80, height - 24, width - 8, height - 6, "12:00", RGB(0, 0, 0), DT_RIGHT);
}

void PaintDesktop(HDC dc, int width, int height) {
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    PaintWallpaper(dc, width, height);
    PaintIcon(dc, 16, 20, RGB(230, 190, 80), "My Computer");
    PaintIcon(dc, 16, 100, RGB(110, 170, 220), "Documents");
    PaintIcon(dc, 16, 180, RGB(150, 200, 140), "Recycle Bin");
    static const char* const kNotes[] = {
        "Quillet Screen Saver Vol.1",
        "",
        "Delay = 80",
        "CharNumber = 5",
        "",
        "Press a key or move the mouse to wake up.",
    };
    PaintWindow(dc, {140, 90, 560, 400}, "quilet01.ini - Notepad", kNotes, 6);
    static const char* const kList[] = {"Inbox (3)", "Drafts", "Sent items", "Archive"};
    PaintWindow(dc, {600, 330, 940, 600}, "Mail", kList, 4);
    PaintTaskbar(dc, width, height);
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    PaintDesktop(dc, client.right, client.bottom);
    EndPaint(window, &paint);
}

LRESULT CALLBACK DesktopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
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
    windowClass.lpfnWndProc = DesktopWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "QuilletSampleDesktop";
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "Quillet sample desktop", WS_POPUP, 0, 0,
                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                        nullptr, instance, nullptr);
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
