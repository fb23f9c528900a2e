// What the saver supplies to the host: its window procedure, its settings-dialog procedure
// and the step before the dialog. The saver passes every message it does not handle to
// DefSaverProc (host.h) and returns that result.
#pragma once

#include <windows.h>

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SaverConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SaverRegisterDialogClasses(HINSTANCE instance);
