// A bird's artwork, work surface and drawing on the saver window. Each step composes the bird
// over a clean patch of the frozen desktop off screen, then copies the patch in one go.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "host/host_state.h"
#include "saver/bird.h"

namespace {

constexpr int kFrameCount = 4;

HBITMAP AsBitmap(BitmapHandle handle) {
    return static_cast<HBITMAP>(handle);
}

int32_t Magnitude(int32_t v) {
    return v < 0 ? -v : v;
}

// Resource names match without regard to case: "Bird1" finds BIRD1.
BitmapHandle LoadArtwork(const char* prefix, int number) {
    char name[16];
    std::snprintf(name, sizeof(name), "%s%d", prefix, number);
    HINSTANCE instance = static_cast<HINSTANCE>(gHostState.appInstance);
    return LoadBitmapA(instance, name);
}

RECT ClientRect(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return client;
}

void FreeBitmap(BitmapHandle& handle) {
    if (handle) {
        DeleteObject(AsBitmap(handle));
        handle = nullptr;
    }
}

// Composes the bird over a clean patch of the background off screen and copies the patch to
// the window at the bird's position. The patch is a step wider than the bird on every side, so
// it also covers where the bird was drawn the step before: no trail, no separate erase.
void DrawPatch(HDC windowDC, const Bird& bird, HBITMAP background) {
    int32_t a = Magnitude(bird.stepX);
    int32_t b = Magnitude(bird.stepY);
    int32_t patchWidth = bird.width + 2 * a;
    int32_t patchHeight = bird.height + 2 * b;
    HDC source = CreateCompatibleDC(windowDC);
    HDC work = CreateCompatibleDC(windowDC);
    HGDIOBJ oldWork = SelectObject(work, bird.workSurface);
    HGDIOBJ oldSource = SelectObject(source, background);
    BitBlt(work, 0, 0, patchWidth, patchHeight, source, bird.x, bird.y, SRCCOPY);
    // The mask makes the silhouette all-ones; the frame, white outside the bird, then ANDs the
    // bird in and leaves the background around it as it was.
    SelectObject(source, bird.masks[bird.currentMask]);
    BitBlt(work, a, b, bird.width, bird.height, source, 0, 0, SRCPAINT);
    SelectObject(source, bird.images[bird.currentImage]);
    BitBlt(work, a, b, bird.width, bird.height, source, 0, 0, SRCAND);
    BitBlt(windowDC, bird.x, bird.y, patchWidth, patchHeight, work, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    SelectObject(work, oldWork);
    DeleteDC(source);
    DeleteDC(work);
}

}  // namespace

void Bird::Init(WindowHandle window, int32_t startX, int32_t startY) {
    HWND hwnd = static_cast<HWND>(window);
    ChooseStart(startX, startY, std::rand);
    for (int i = 0; i < kFrameCount; i++) {
        images[i] = LoadArtwork("Bird", i + 1);
    }
    for (int i = 0; i < kFrameCount; i++) {
        masks[i] = LoadArtwork("Mask", i + 1);
    }
    // Without its first image a bird has no size; it stays 0 x 0 and is never drawn or touched.
    BITMAP info = {};
    if (images[0] && GetObjectA(AsBitmap(images[0]), sizeof(info), &info)) {
        width = info.bmWidth;
        height = info.bmHeight;
    }
    if (HasArtwork()) {
        HDC windowDC = GetDC(hwnd);
        workSurface = CreateCompatibleBitmap(windowDC, width + 2 * Magnitude(stepX),
                                             height + 2 * Magnitude(stepY));
        ReleaseDC(hwnd, windowDC);
    }
    RECT client = ClientRect(hwnd);
    ClampInto(client.right, client.bottom);
}

void Bird::DrawAndMove(WindowHandle window, BitmapHandle background) {
    if (!HasArtwork()) {
        return;
    }
    HWND hwnd = static_cast<HWND>(window);
    HDC windowDC = GetDC(hwnd);
    DrawPatch(windowDC, *this, AsBitmap(background));
    ReleaseDC(hwnd, windowDC);
    RECT client = ClientRect(hwnd);
    MoveWithin(client.right, client.bottom);
}

// Frees exactly what Init gave the bird; a blank bird owns nothing and frees nothing.
void Bird::Release() {
    for (int i = 0; i < kFrameCount; i++) {
        FreeBitmap(images[i]);
        FreeBitmap(masks[i]);
    }
    FreeBitmap(workSurface);
}
