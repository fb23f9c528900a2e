// The Windows 95 family's screen-saver password: the user's setting, the system's verifier
// and the screen-saver-running flag that is raised while a password protects the run, and
// the hand-over to the system's password changer. Elsewhere the system does all of this.
#include <windows.h>

#include <cstring>

#include "host/host.h"
#include "host/host_state.h"

namespace {

using PasswordChangeFn = DWORD(WINAPI*)(LPCSTR regKeyName, HWND parent, DWORD, DWORD);

// Kept as a plain address; it is cast to its real type at the one place that calls it.
ProcAddress LookUp(HMODULE module, const char* name) {
    return reinterpret_cast<ProcAddress>(GetProcAddress(module, name));
}

bool IsPasswordSettingOn() {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) {
        return false;
    }
    // Zeroed first: shorter data fills only the low bytes and must not be read with leftovers.
    BYTE data[4] = {};
    DWORD size = sizeof(data);
    LONG status = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr, data, &size);
    RegCloseKey(key);
    DWORD value;
    memcpy(&value, data, sizeof(value));
    return status == ERROR_SUCCESS && value != 0;
}

}  // namespace

void LoadPasswordVerifier() {
    if (!gHostState.isWin9x) {
        return;
    }
    if (gHostState.verifierModule != nullptr) {
        UnloadPasswordVerifier();
    }
    if (!IsPasswordSettingOn()) {
        return;
    }
    HMODULE module = LoadSystemLibrary("PASSWORD.CPL");
    gHostState.verifierModule = module;
    if (module == nullptr) {
        return;
    }
    gHostState.verifierEntry = LookUp(module, "VerifyScreenSavePwd");
    if (gHostState.verifierEntry != nullptr) {
        SetSaverRunning(true);
    } else {
        UnloadPasswordVerifier();
    }
}

void UnloadPasswordVerifier() {
    if (!gHostState.isWin9x || gHostState.verifierModule == nullptr) {
        return;
    }
    FreeLibrary(static_cast<HMODULE>(gHostState.verifierModule));
    gHostState.verifierModule = nullptr;
    if (gHostState.verifierEntry != nullptr) {
        gHostState.verifierEntry = nullptr;
        SetSaverRunning(false);
    }
}

void SetSaverRunning(bool on) {
    if (!gHostState.isWin9x) {
        return;
    }
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, on ? 1 : 0, &previous, 0);
}

void InvokePasswordChange(HWND parent) {
    HMODULE module = LoadSystemLibrary("MPR.DLL");
    if (module == nullptr) {
        return;
    }
    ProcAddress entry = LookUp(module, "PwdChangePasswordA");
    if (entry != nullptr) {
        reinterpret_cast<PasswordChangeFn>(entry)("SCRSAVE", parent, 0, 0);
    }
    FreeLibrary(module);
}
