// FIXME: the smallest honest bodies of the operations the run modes hand over to, until the
// saver window, the password services and the settings dialog arrive. None creates a window.
#include <windows.h>

#include "host/host.h"
#include "host/host_state.h"
#include "host/saver_callbacks.h"

int32_t RunSaverWindow(HWND) { return 0; }

void SetSaverRunning(bool) {}

void InvokePasswordChange(HWND) {}

BOOL WINAPI SaverRegisterDialogClasses(HINSTANCE) { return TRUE; }

INT_PTR CALLBACK SaverConfigDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSaverProc(window, message, wParam, lParam);
}

LRESULT DefSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void LoadPasswordVerifier() {}

void UnloadPasswordVerifier() {}
