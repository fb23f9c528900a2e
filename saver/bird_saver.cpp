// The flock scene on the saver window: it freezes the desktop at start, moves every bird on
// each timer tick and releases everything when the window goes.
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <new>

#include "host/host.h"
#include "host/host_state.h"
#include "saver/bird_saver.h"
#include "saver/flock.h"

namespace {

constexpr UINT_PTR kAnimationTimer = 1;

HWND AsWindow(WindowHandle handle) {
    return static_cast<HWND>(handle);
}

RECT ClientRect(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return client;
}

// The screen point the picture behind the window starts at: the corner of the screen's clip
// box, where the full-screen window is placed, or 0,0 for a preview.
HostPoint PictureOrigin(HDC screenDC) {
    RECT box = {};
    GetClipBox(screenDC, &box);
    return CaptureOrigin(gHostState.previewMode != 0, {box.left, box.top});
}

// Copies the block of the screen behind the window into a new bitmap of the given size. This
// runs while the window is still being created, so the screen still shows the desktop as it
// was left.
BitmapHandle CaptureDesktop(HWND window, int32_t width, int32_t height) {
    HDC windowDC = GetDC(window);
    HBITMAP picture = CreateCompatibleBitmap(windowDC, width, height);
    HDC memory = CreateCompatibleDC(windowDC);
    HGDIOBJ old = SelectObject(memory, picture);
    HDC screenDC = GetDC(nullptr);
    HostPoint from = PictureOrigin(screenDC);
    BitBlt(memory, 0, 0, width, height, screenDC, from.x, from.y, SRCCOPY);
    ReleaseDC(nullptr, screenDC);
    ReleaseDC(window, windowDC);
    SelectObject(memory, old);
    DeleteDC(memory);
    return picture;
}

// The memory contexts live as long as the scene, with the frozen desktop selected for good.
// Under Wine, making two contexts per bird and step and selecting the desktop into one each
// time cost as much again as the bird's four block transfers.
StepContexts CreateStepContexts(HWND window, BitmapHandle background) {
    StepContexts contexts = {};
    HDC windowDC = GetDC(window);
    contexts.background = CreateCompatibleDC(windowDC);
    contexts.art = CreateCompatibleDC(windowDC);
    contexts.work = CreateCompatibleDC(windowDC);
    ReleaseDC(window, windowDC);
    SelectObject(static_cast<HDC>(contexts.background), static_cast<HBITMAP>(background));
    return contexts;
}

// Deleting a context lets go of the bitmaps selected into it, so they can be deleted after.
void DeleteStepContexts(StepContexts& contexts) {
    ContextHandle all[] = {contexts.background, contexts.art, contexts.work};
    for (ContextHandle context : all) {
        if (context) {
            DeleteDC(static_cast<HDC>(context));
        }
    }
    contexts = {};
}

}  // namespace

// Returns null when the object cannot be allocated; the window then runs without birds.
BirdSaver* BirdSaver::Create(WindowHandle window) {
    BirdSaver* saver = new (std::nothrow) BirdSaver;
    if (!saver) {
        return nullptr;
    }
    saver->window = window;
    // The run's only seeding: every start point, frame and direction follows from it.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    saver->birdCount = kDefaultBirdCount;
    saver->delay = kDefaultDelay;
    saver->Initialize();
    return saver;
}

// A client area without width or height gets no birds and no picture (a start point would
// need a remainder by zero); the timer still runs and each tick does nothing.
void BirdSaver::Initialize() {
    LoadSettings(*this);
    HWND hwnd = AsWindow(window);
    timerId =
        static_cast<uint32_t>(SetTimer(hwnd, kAnimationTimer, static_cast<UINT>(delay), nullptr));
    RECT client = ClientRect(hwnd);
    int32_t right = client.right;
    int32_t bottom = client.bottom;
    // Every bird exists before the first is initialised, so initialised birds never move in
    // memory.
    birds.resize(static_cast<size_t>(FlockSize(birdCount, right, bottom)));
    for (Bird& bird : birds) {
        BirdStart start = DrawBirdStart(right, bottom, std::rand);
        bird.Init(window, start.x, start.y);
    }
    if (right > 0 && bottom > 0) {
        background = CaptureDesktop(hwnd, right, bottom);
        contexts = CreateStepContexts(hwnd, background);
    }
}

intptr_t BirdSaver::HandleMessage(WindowHandle messageWindow, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) {
    window = messageWindow;
    switch (message) {
        case WM_ERASEBKGND:
            OnEraseBackground();
            return 0;
        case WM_TIMER:
            OnTimer();
            return 0;
    }
    return DefSaverProc(AsWindow(window), message, wParam, lParam);
}

// Nothing handles messages during a step, so the client size read once holds for every bird.
void BirdSaver::OnTimer() {
    HWND hwnd = AsWindow(window);
    RECT client = ClientRect(hwnd);
    HDC windowDC = GetDC(hwnd);
    contexts.window = windowDC;
    for (size_t i = 0; i < birds.size(); i++) {
        birds[i].DrawAndMove(contexts, client.right, client.bottom);
        TurnAwayFromOverlaps(birds, i);
    }
    contexts.window = nullptr;
    ReleaseDC(hwnd, windowDC);
}

// Paints the live screen rather than the frozen picture: the same image while the saver is
// starting, without waiting for the first tick to draw.
void BirdSaver::OnEraseBackground() {
    HWND hwnd = AsWindow(window);
    RECT client = ClientRect(hwnd);
    HDC windowDC = GetDC(hwnd);
    HDC screenDC = GetDC(nullptr);
    HostPoint from = PictureOrigin(screenDC);
    BitBlt(windowDC, 0, 0, client.right, client.bottom, screenDC, from.x, from.y, SRCCOPY);
    ReleaseDC(nullptr, screenDC);
    ReleaseDC(hwnd, windowDC);
}

void BirdSaver::Destroy() {
    if (timerId) {
        KillTimer(AsWindow(window), timerId);
        timerId = 0;
    }
    DeleteStepContexts(contexts);
    for (Bird& bird : birds) {
        bird.Release();
    }
    birds.clear();
    birds.shrink_to_fit();
    if (background) {
        DeleteObject(static_cast<HBITMAP>(background));
        background = nullptr;
    }
}
