// The host's Win32 operations: start-up and run modes, the saver window, the closing rules,
// what the saver may ask of the host, and the password services.
#pragma once

#include <windows.h>

#include <cstdint>

// Start-up and run modes.
[[noreturn]] void HostStartup();
int32_t HostMain(HINSTANCE instance, HINSTANCE previous, const char* args, int showCommand);
int32_t RunPreview(const char* text);
int32_t ShowConfigDialog(HWND parent);
int32_t RunChangePassword(const char* text);

// Saver window and message loop.
int32_t RunSaverWindow(HWND parent);
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Default message handling and closing rules.
LRESULT DefSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL VerifyBeforeClose(HWND window);

// A library of the system, loaded by full path from the system folder; null if it is not there.
HMODULE LoadSystemLibrary(const char* name);

// What the saver may ask of the host: the program's own instance, owner of its bitmaps, dialog
// and icon; and whether the saver window is a preview inside another program's window.
HINSTANCE AppInstance();
bool IsPreview();

// Password services (the Windows 95 family).
void LoadPasswordVerifier();
void UnloadPasswordVerifier();
void SetSaverRunning(bool on);
void InvokePasswordChange(HWND parent);

// Window handles travel on the command line as unsigned 32-bit numbers.
inline HWND WindowFromNumber(uint32_t number) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(number));
}
inline uint32_t NumberFromWindow(HWND window) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}
