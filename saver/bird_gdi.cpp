// A bird's artwork, work surface and drawing on the saver window. Each step composes the bird
// over a clean patch of the frozen desktop off screen, then copies the patch in one go.
#include <windows.h>

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
constexpr const char* kImageNames[kFrameCount] = {"Bird1", "Bird2", "Bird3", "Bird4"};
constexpr const char* kMaskNames[kFrameCount] = {"Mask1", "Mask2", "Mask3", "Mask4"};

BitmapHandle LoadArtwork(const char* name) {
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

HDC AsContext(ContextHandle handle) {
    return static_cast<HDC>(handle);
}

// Composes the bird over a clean patch of the background off screen and copies the patch to
// the window at the bird's position. The patch is a step wider than the bird on every side, so
// it also covers where the bird was drawn the step before: no trail, no separate erase.
void DrawPatch(const StepContexts& contexts, const Bird& bird) {
    int32_t a = Magnitude(bird.stepX);
    int32_t b = Magnitude(bird.stepY);
    int32_t patchWidth = bird.width + 2 * a;
    int32_t patchHeight = bird.height + 2 * b;
    HDC art = AsContext(contexts.art);
    HDC work = AsContext(contexts.work);
    SelectObject(work, bird.workSurface);
    BitBlt(work, 0, 0, patchWidth, patchHeight, AsContext(contexts.background), bird.x, bird.y,
           SRCCOPY);
    // The mask makes the silhouette all-ones; the frame, white outside the bird, then ANDs the
    // bird in and leaves the background around it as it was.
    SelectObject(art, bird.masks[bird.currentMask]);
    BitBlt(work, a, b, bird.width, bird.height, art, 0, 0, SRCPAINT);
    SelectObject(art, bird.images[bird.currentImage]);
    BitBlt(work, a, b, bird.width, bird.height, art, 0, 0, SRCAND);
    BitBlt(AsContext(contexts.window), bird.x, bird.y, patchWidth, patchHeight, work, 0, 0,
           SRCCOPY);
}

}  // namespace

void Bird::Init(WindowHandle window, int32_t startX, int32_t startY) {
    HWND hwnd = static_cast<HWND>(window);
    ChooseStart(startX, startY, std::rand);
    for (int i = 0; i < kFrameCount; i++) {
        images[i] = LoadArtwork(kImageNames[i]);
    }
    for (int i = 0; i < kFrameCount; i++) {
        masks[i] = LoadArtwork(kMaskNames[i]);
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

// right and bottom: the window's client size, read once per step by the scene.
void Bird::DrawAndMove(const StepContexts& contexts, int32_t right, int32_t bottom) {
    if (!HasArtwork()) {
        return;
    }
    DrawPatch(contexts, *this);
    MoveWithin(right, bottom);
}

// Frees exactly what Init gave the bird; a blank bird owns nothing and frees nothing.
void Bird::Release() {
    for (int i = 0; i < kFrameCount; i++) {
        FreeBitmap(images[i]);
        FreeBitmap(masks[i]);
    }
    FreeBitmap(workSurface);
}
