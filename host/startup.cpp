// The host's front door: isolates the argument text, records the program's instance, detects the
// platform family, reads the run mode and turns the operation that serves it into the process
// exit code.
#include <windows.h>

#include "host/failure_guard.h"
#include "host/host.h"
#include "host/host_state.h"
#include "host/run_mode.h"
#include "host/saver_callbacks.h"
#include "resources/resource.h"

namespace {

const char* NextChar(const char* p) {
    return CharNextA(p);
}

bool IsLiveWindow(uint32_t handle) {
    return IsWindow(WindowFromNumber(handle)) != FALSE;
}

uint32_t ForegroundWindowNumber() {
    return NumberFromWindow(GetForegroundWindow());
}

RunModeAnswers SystemAnswers() {
    return {IsLiveWindow, ForegroundWindowNumber, gHostState.isWin9x};
}

int32_t RunMode(const void* context) {
    const char* args = static_cast<const char*>(context);
    RunModeChoice choice = ReadRunMode(args, SystemAnswers());
    switch (choice.action) {
        case RunModeAction::ConfigDialog:
            return ShowConfigDialog(WindowFromNumber(choice.parent));
        case RunModeAction::FullScreen:
            return RunSaverWindow(nullptr);
        case RunModeAction::Preview:
            return RunPreview(choice.rest);
        case RunModeAction::ChangePassword:
            return RunChangePassword(choice.rest);
        case RunModeAction::Refuse:
            break;
    }
    return kRefusedExitCode;
}

bool IsWindows95Family() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes: the narrow record
    static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

}  // namespace

int32_t HostMain(HINSTANCE instance, HINSTANCE, const char* args, int) {
    gHostState.appInstance = instance;
    gHostState.isWin9x = IsWindows95Family() ? 1 : 0;
    return RunGuarded(RunMode, args);
}

HINSTANCE AppInstance() {
    return static_cast<HINSTANCE>(gHostState.appInstance);
}

int32_t RunPreview(const char* text) {
    uint32_t parent = PreviewParent(text, SystemAnswers());
    if (parent == 0) {
        return kRefusedExitCode;
    }
    return RunSaverWindow(WindowFromNumber(parent));
}

int32_t ShowConfigDialog(HWND parent) {
    HINSTANCE instance = static_cast<HINSTANCE>(gHostState.appInstance);
    if (!SaverRegisterDialogClasses(instance)) {
        return 0;
    }
    return static_cast<int32_t>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIG), parent, SaverConfigDialogProc, 0));
}

int32_t RunChangePassword(const char* text) {
    InvokePasswordChange(WindowFromNumber(ChangePasswordParent(text, SystemAnswers())));
    return 0;
}

void HostStartup() {
    const char* args = IsolateArguments(GetCommandLineA(), NextChar);
    STARTUPINFOA startup = {};
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(static_cast<UINT>(HostMain(GetModuleHandleA(nullptr), nullptr, args, show)));
}
