// The floor the saver's animation step is measured against: a full-screen window that, on a
// timer, does for each of N birds only the four block transfers a bird's step needs, on
// surfaces of the same sizes, and nothing else. Usage: blit_reference.exe <birds> <delay ms>
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kFrames = 4;
constexpr int kSprite = 120;  // the artwork's frame and mask size
constexpr int kStep = 4;
constexpr int kPatch = kSprite + 2 * kStep;

struct RefBird {
    HBITMAP work;
    HBITMAP frames[kFrames];
    HBITMAP masks[kFrames];
    int x;
    int y;
    int stepX;
    int stepY;
    int frame;
};

// The one record of the run; the reference is a tool, not the product.
struct Reference {
    int birdCount = 3;
    int delay = 200;
    int width = 0;
    int height = 0;
    HDC windowDC = nullptr;
    HDC source = nullptr;  // the artwork
    HDC work = nullptr;
    HBITMAP background = nullptr;
    HDC backgroundDC = nullptr;
    std::vector<RefBird> birds;
} gReference;

// Surfaces are made the way the saver gets them: each bird loads its own frames and masks from
// the same artwork with LoadBitmapA, and has a work surface; the background fills the screen.
// Contexts are made once and the background stays selected: the least a step can select.
HBITMAP LoadArtwork(const char* prefix, int number) {
    char name[16];
    std::snprintf(name, sizeof(name), "%s%d", prefix, number);
    return LoadBitmapA(GetModuleHandleA(nullptr), name);
}

void CreateSurfaces(HWND window) {
    Reference& r = gReference;
    r.windowDC = GetDC(window);  // CS_OWNDC: kept for the run
    r.source = CreateCompatibleDC(r.windowDC);
    r.work = CreateCompatibleDC(r.windowDC);
    r.background = CreateCompatibleBitmap(r.windowDC, r.width, r.height);
    r.backgroundDC = CreateCompatibleDC(r.windowDC);
    SelectObject(r.backgroundDC, r.background);
    unsigned seed = 12345;
    r.birds.resize(r.birdCount > 0 ? r.birdCount : 0);
    for (RefBird& bird : r.birds) {
        bird.work = CreateCompatibleBitmap(r.windowDC, kPatch, kPatch);
        for (int i = 0; i < kFrames; i++) {
            bird.frames[i] = LoadArtwork("Bird", i + 1);
            bird.masks[i] = LoadArtwork("Mask", i + 1);
        }
        seed = seed * 214013 + 2531011;
        bird.x = (seed >> 16) % (r.width - kSprite);
        seed = seed * 214013 + 2531011;
        bird.y = (seed >> 16) % (r.height - kSprite);
        bird.stepX = (seed & 0x100) ? kStep : -kStep;
        bird.stepY = (seed & 0x200) ? kStep : -kStep;
        bird.frame = 0;
    }
}

void StepBird(RefBird& bird) {
    Reference& r = gReference;
    SelectObject(r.work, bird.work);
    BitBlt(r.work, 0, 0, kPatch, kPatch, r.backgroundDC, bird.x, bird.y, SRCCOPY);
    SelectObject(r.source, bird.masks[bird.frame]);
    BitBlt(r.work, kStep, kStep, kSprite, kSprite, r.source, 0, 0, SRCPAINT);
    SelectObject(r.source, bird.frames[bird.frame]);
    BitBlt(r.work, kStep, kStep, kSprite, kSprite, r.source, 0, 0, SRCAND);
    BitBlt(r.windowDC, bird.x, bird.y, kPatch, kPatch, r.work, 0, 0, SRCCOPY);
    // The same diagonal path as a bird, so the transfers land where a bird's would.
    bird.x -= bird.stepX;
    bird.y -= bird.stepY;
    if (bird.x < 0 || bird.x > r.width - kSprite) {
        bird.stepX = -bird.stepX;
    }
    if (bird.y < 0 || bird.y > r.height - kSprite) {
        bird.stepY = -bird.stepY;
    }
    bird.frame = (bird.frame + 1) % kFrames;
}

void OnTimer() {
    for (RefBird& bird : gReference.birds) {
        StepBird(bird);
    }
}

LRESULT CALLBACK ReferenceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateSurfaces(window);
            SetTimer(window, 1, static_cast<UINT>(gReference.delay), nullptr);
            return 0;
        case WM_TIMER:
            OnTimer();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_KEYDOWN:
        case WM_LBUTTONDOWN:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    std::sscanf(arguments, "%d %d", &gReference.birdCount, &gReference.delay);
    gReference.width = GetSystemMetrics(SM_CXSCREEN);
    gReference.height = GetSystemMetrics(SM_CYSCREEN);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    windowClass.lpfnWndProc = ReferenceWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "QuilletBlitReference";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Blit Reference",
                                  WS_POPUP | WS_VISIBLE, 0, 0, gReference.width, gReference.height,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    SetForegroundWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
