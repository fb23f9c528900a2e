// The flock's surfaces on the system side. Only the artwork's loading, the capture and the
// hand-over to the window go through GDI; the birds themselves are composed by the compositor.
#include "saver/flock_gdi.h"

#include "host/host.h"
#include "saver/flock.h"

namespace {

// Resource names match without regard to case: "Bird1" finds BIRD1.
constexpr const char* kImageNames[kFrameCount] = {"Bird1", "Bird2", "Bird3", "Bird4"};
constexpr const char* kMaskNames[kFrameCount] = {"Mask1", "Mask2", "Mask3", "Mask4"};

// Reads one bitmap of the artwork as the display would show it. The first one read sets the
// artwork's size; any other must have it too. A 1-bit mask comes back white (0x00FFFFFF)
// where it is white and black (0) elsewhere, as a block transfer would expand it.
bool ReadArtwork(HDC memory, const char* name, Artwork& artwork, std::vector<uint32_t>& pixels) {
    HBITMAP bitmap = LoadBitmapA(AppInstance(), name);
    if (!bitmap) {
        return false;
    }
    BITMAP info = {};
    bool read =
        GetObjectA(bitmap, sizeof(info), &info) != 0 && info.bmWidth > 0 && info.bmHeight > 0;
    if (read && !artwork.Loaded()) {
        artwork.width = info.bmWidth;
        artwork.height = info.bmHeight;
    }
    read = read && info.bmWidth == artwork.width && info.bmHeight == artwork.height;
    if (read) {
        pixels.resize(size_t(artwork.width) * size_t(artwork.height));
        BITMAPINFO layout = PixelLayout(artwork.width, artwork.height);
        read = GetDIBits(memory, bitmap, 0, UINT(artwork.height), pixels.data(), &layout,
                         DIB_RGB_COLORS) == artwork.height;
    }
    DeleteObject(bitmap);
    return read;
}

}  // namespace

BITMAPINFO PixelLayout(int32_t width, int32_t height) {
    BITMAPINFO layout = {};
    layout.bmiHeader.biSize = sizeof(layout.bmiHeader);
    layout.bmiHeader.biWidth = width;
    layout.bmiHeader.biHeight = -height;
    layout.bmiHeader.biPlanes = 1;
    layout.bmiHeader.biBitCount = 32;
    layout.bmiHeader.biCompression = BI_RGB;
    return layout;
}

// A fresh memory context has black text on white, the colours a 1-bit mask is expanded with.
bool LoadArtwork(Artwork& artwork) {
    HDC memory = CreateCompatibleDC(nullptr);
    bool loaded = memory != nullptr;
    for (int32_t i = 0; i < kFrameCount && loaded; i++) {
        loaded = ReadArtwork(memory, kImageNames[i], artwork, artwork.frames[i]) &&
                 ReadArtwork(memory, kMaskNames[i], artwork, artwork.masks[i]);
    }
    if (memory) {
        DeleteDC(memory);
    }
    if (!loaded) {
        artwork = Artwork();
    }
    return loaded;
}

BackBuffer CreateBackBuffer(HWND window, int32_t width, int32_t height) {
    BackBuffer buffer = {};
    BITMAPINFO layout = PixelLayout(width, height);
    HDC windowDC = GetDC(window);
    void* pixels = nullptr;
    buffer.bitmap = CreateDIBSection(windowDC, &layout, DIB_RGB_COLORS, &pixels, nullptr, 0);
    buffer.context = buffer.bitmap ? CreateCompatibleDC(windowDC) : nullptr;
    ReleaseDC(window, windowDC);
    if (!buffer.context || !pixels) {
        DeleteBackBuffer(buffer.bitmap, buffer.context);
        return {};
    }
    SelectObject(buffer.context, buffer.bitmap);
    buffer.pixels = static_cast<uint32_t*>(pixels);
    return buffer;
}

// Deleting the context first lets go of the bitmap selected into it.
void DeleteBackBuffer(HBITMAP bitmap, HDC context) {
    if (context) {
        DeleteDC(context);
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
}

bool CopyScreenBlock(HDC target, int32_t width, int32_t height) {
    HDC screenDC = GetDC(nullptr);
    if (!screenDC) {
        return false;
    }
    RECT box = {};
    GetClipBox(screenDC, &box);
    HostPoint from = PictureOrigin(IsPreview(), {box.left, box.top});
    BOOL copied = BitBlt(target, 0, 0, width, height, screenDC, from.x, from.y, SRCCOPY);
    ReleaseDC(nullptr, screenDC);
    return copied != 0;
}

// This runs while the window is still being created, so the screen still shows the desktop as
// it was left. The compositor reads the pixels next: GDI must have finished writing them.
bool CaptureDesktop(HDC backBuffer, int32_t width, int32_t height) {
    bool copied = CopyScreenBlock(backBuffer, width, height);
    GdiFlush();
    return copied;
}

// FIXME: at 256 colours the birds come out in the few colours the system palette offers: the
// window is given 32-bit pixels and no palette of the artwork's own is ever realized.
void PresentChanges(HDC windowDC, HDC backBuffer, const std::vector<PixelRect>& changed) {
    Presentation presentation = ChoosePresentation(changed);
    if (presentation.oneBlock) {
        const PixelRect& r = presentation.block;
        BitBlt(windowDC, r.left, r.top, r.right - r.left, r.bottom - r.top, backBuffer, r.left,
               r.top, SRCCOPY);
        return;
    }
    for (const PixelRect& r : changed) {
        BitBlt(windowDC, r.left, r.top, r.right - r.left, r.bottom - r.top, backBuffer, r.left,
               r.top, SRCCOPY);
    }
}
