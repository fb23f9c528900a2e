// The saver's side of the host contract: the window procedure the host passes the saver
// window's messages to, and the step the host runs before the settings dialog.
#include <windows.h>

#include "host/host.h"
#include "host/saver_callbacks.h"
#include "saver/bird_saver.h"

namespace {

// The flock of the saver window, from its creation message to its destruction message.
// Messages outside that span find it empty and go to the default handling.
BirdSaver* gCurrentSaver = nullptr;

LRESULT OnCreate(HWND window) {
    gCurrentSaver = BirdSaver::Create(window);
    return 0;
}

LRESULT OnDestroy() {
    if (gCurrentSaver) {
        gCurrentSaver->Destroy();
        delete gCurrentSaver;
        gCurrentSaver = nullptr;
    }
    return 0;
}

}  // namespace

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_DESTROY:
            return OnDestroy();
    }
    if (gCurrentSaver) {
        return gCurrentSaver->HandleMessage(window, message, wParam, lParam);
    }
    return DefSaverProc(window, message, wParam, lParam);
}

// The settings dialog uses only system classes.
BOOL WINAPI SaverRegisterDialogClasses(HINSTANCE) {
    return TRUE;
}
