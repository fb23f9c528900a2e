// The flock scene on the saver window: it reads the settings, freezes the desktop at start,
// moves every bird on each timer tick and releases everything when the window goes.
#include <windows.h>

#include <new>

#include "host/host.h"
#include "host/random.h"
#include "saver/bird_saver.h"
#include "saver/flock.h"
#include "saver/flock_gdi.h"
#include "saver/wallpaper_gdi.h"
#include "saver/wallpaper_layout.h"

namespace {

constexpr UINT_PTR kAnimationTimer = 1;

HWND AsWindow(WindowHandle handle) {
    return static_cast<HWND>(handle);
}

// The current time in seconds since 1970. Read through calls the first Windows 95 has: the
// system time and its conversion to 100-nanosecond units.
uint32_t ClockSeconds() {
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    FILETIME units = {};
    SystemTimeToFileTime(&now, &units);
    return SecondsSince1970((uint64_t{units.dwHighDateTime} << 32) | units.dwLowDateTime);
}

RECT ClientRect(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return client;
}

// The screen point the client area's corner lies on.
HostPoint ClientCorner(HWND window) {
    POINT corner = {0, 0};
    ClientToScreen(window, &corner);
    return {corner.x, corner.y};
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
    SeedRandom(ClockSeconds());
    saver->Initialize();
    return saver;
}

// Every read starts from a fresh record, so the defaults are set immediately before it.
void BirdSaver::LoadSettings() {
    SaverSettings settings;
    ReadSettings(settings);
    delay = settings.delay;
    birdCount = settings.birdCount;
}

bool BirdSaver::SaveSettings(SaveFailure* failure) const {
    SaverSettings settings;
    settings.delay = delay;
    settings.birdCount = birdCount;
    return WriteSettings(settings, failure);
}

// A client area without width or height gets no birds and no picture (a start point would
// need a remainder by zero); the timer still runs and each tick does nothing. Should a picture
// not be made, the window keeps what the erase step painted: the screen as it was.
void BirdSaver::Initialize() {
    LoadSettings();
    HWND hwnd = AsWindow(window);
    timerId =
        static_cast<uint32_t>(SetTimer(hwnd, kAnimationTimer, static_cast<UINT>(delay), nullptr));
    RECT client = ClientRect(hwnd);
    LoadArtwork(artwork);
    PlaceFlock(birds, birdCount, artwork, client.right, client.bottom, NextRandom);
    if (client.right <= 0 || client.bottom <= 0) {
        return;
    }
    BackBuffer buffer = CreateBackBuffer(hwnd, client.right, client.bottom);
    if (!buffer.pixels) {
        return;
    }
    backBuffer = buffer.bitmap;
    backBufferContext = buffer.context;
    // On the system's secure desktop the capture succeeds but holds that empty desktop.
    bool captured = CaptureDesktop(buffer.context, client.right, client.bottom);
    if (UseBackgroundPicture(IsPreview(), OnSecureDesktop(), !captured)) {
        PaintDesktopBackground(buffer.pixels, client.right, client.bottom, ClientCorner(hwnd));
    }
    compositor.Freeze(buffer.pixels, client.right, client.bottom, AllocatePicture);
}

intptr_t BirdSaver::HandleMessage(WindowHandle messageWindow, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) {
    window = messageWindow;
    switch (message) {
        case WM_ERASEBKGND:
            OnEraseBackground(reinterpret_cast<ContextHandle>(wParam));
            return 0;
        case WM_TIMER:
            OnTimer();
            return 0;
    }
    return DefSaverProc(AsWindow(window), message, wParam, lParam);
}

// Nothing handles messages during a step, so the client size read once holds for every bird.
// The first step hands over the whole picture, so from then on the window holds exactly what
// the back buffer does; without the frozen copy that is the desktop alone.
void BirdSaver::OnTimer() {
    if (!backBufferContext) {
        return;
    }
    HWND hwnd = AsWindow(window);
    RECT client = ClientRect(hwnd);
    // The last hand-over may still be reading the pixels this step overwrites.
    GdiFlush();
    StepFlock(birds, artwork, compositor, client.right, client.bottom);
    HDC windowDC = GetDC(hwnd);
    HDC back = static_cast<HDC>(backBufferContext);
    if (!shownWhole) {
        BitBlt(windowDC, 0, 0, client.right, client.bottom, back, 0, 0, SRCCOPY);
        shownWhole = true;
    } else {
        PresentChanges(windowDC, back, compositor.changed);
    }
    ReleaseDC(hwnd, windowDC);
}

// Paints the context the message brings from the back buffer, which holds what the window
// should show (before the first step, exactly the frozen desktop). Only a saver whose back
// buffer was refused copies the screen as it is now.
void BirdSaver::OnEraseBackground(ContextHandle target) {
    HDC targetDC = static_cast<HDC>(target);
    if (!targetDC) {
        return;
    }
    RECT client = ClientRect(AsWindow(window));
    if (backBufferContext) {
        BitBlt(targetDC, 0, 0, client.right, client.bottom, static_cast<HDC>(backBufferContext), 0,
               0, SRCCOPY);
        return;
    }
    CopyScreenBlock(targetDC, client.right, client.bottom);
}

void BirdSaver::Destroy() {
    if (timerId) {
        KillTimer(AsWindow(window), timerId);
        timerId = 0;
    }
    birds.clear();
    birds.shrink_to_fit();
    compositor.Release();
    DeleteBackBuffer(static_cast<HBITMAP>(backBuffer), static_cast<HDC>(backBufferContext));
    backBuffer = nullptr;
    backBufferContext = nullptr;
    artwork = Artwork();
}
