// The flock scene behind the saver window, and the short-lived object each settings-dialog
// message is handled by.
#pragma once

#include <cstdint>
#include <vector>

#include "host/handles.h"
#include "saver/artwork.h"
#include "saver/bird.h"
#include "saver/compositor.h"
#include "saver/settings.h"

class BirdSaver {
   public:
    // The saver window (Windows only).
    static BirdSaver* Create(WindowHandle window);
    void Initialize();
    intptr_t HandleMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam);
    void OnTimer();
    void OnEraseBackground();
    void Destroy();

    // The settings dialog (Windows only).
    intptr_t HandleDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam);
    void OnInitDialog();
    bool OnOK();  // false when the settings could not be saved; the user has been told

    // This user's settings file (Windows only). LoadSettings sets delay and birdCount to what
    // the file gives, and to their defaults where it gives nothing; SaveSettings writes them.
    void LoadSettings();
    bool SaveSettings(SaveFailure* failure) const;

    uint32_t timerId = 0;
    int32_t delay = 0;  // the settings: LoadSettings or the dialog's boxes set them before use
    WindowHandle window = nullptr;
    std::vector<Bird> birds;
    int32_t birdCount = 0;
    Artwork artwork;        // the flock's one copy of the frames and masks
    Compositor compositor;  // the frozen desktop (its background) and the back buffer's pixels
    BitmapHandle backBuffer = nullptr;
    ContextHandle backBufferContext = nullptr;
    bool shownWhole = false;  // the window has been given the whole back buffer once
};
