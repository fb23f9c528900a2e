// Stand-ins for the Windows 95 family's password components, for the Wine tests only: a
// verifier (installed as PASSWORD.CPL) and a password changer (installed as MPR.DLL). Each
// appends one line per event to "standin.log" in the folder named by QUILLET_STANDIN_DIR, so
// a test can tell which copy was loaded, how often the verifier was asked and when, how many
// timer messages the saver still had queued at that moment, and what the changer was given.
// The verifier's answer is read from "verifier-answer.txt" there at every call (absent:
// refuse); while "verifier-hold" exists there, the verifier keeps its prompt up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "append_line.h"

namespace {

char gModulePath[MAX_PATH] = "?";

bool StandInFile(const char* name, char* path, DWORD size) {
    char folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("QUILLET_STANDIN_DIR", folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) {
        return false;
    }
    return snprintf(path, size, "%s\\%s", folder, name) < static_cast<int>(size);
}

// Plain kernel32 file calls: this also runs inside DllMain.
void Log(const char* line) {
    char path[MAX_PATH];
    if (!StandInFile("standin.log", path, sizeof(path))) {
        return;
    }
    AppendLine(path, line, "\r\n");
}

BOOL ReadAnswer() {
    char path[MAX_PATH];
    if (!StandInFile("verifier-answer.txt", path, sizeof(path))) {
        return FALSE;
    }
    FILE* file = fopen(path, "r");
    if (!file) {
        return FALSE;
    }
    int answer = 0;
    if (fscanf(file, "%d", &answer) != 1) {
        answer = 0;
    }
    fclose(file);
    return answer;
}

// A person takes a while at a prompt. Holding it until the test removes the file lets a test
// queue messages for the saver that can only be handled once the prompt has ended; the hold
// gives up after 30 s so that a failed test cannot leave a saver stuck.
void HoldWhileAsked() {
    char path[MAX_PATH];
    if (!StandInFile("verifier-hold", path, sizeof(path)) ||
        GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    Log("hold");
    for (int waited = 0; waited < 3000 && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
         waited++) {
        Sleep(10);
    }
}

unsigned long HandleNumber(HWND window) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
}

// Timer messages still queued for the window when the prompt opens. The verifier runs on
// the saver's own thread, so it can look at the saver's queue; what it takes off to count, it
// puts back.
int CountQueuedTimers(HWND window) {
    MSG queued[32];
    int count = 0;
    while (count < 32 &&
           PeekMessageA(&queued[count], window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD)) {
        count++;
    }
    for (int i = 0; i < count; i++) {
        PostMessageA(window, WM_TIMER, queued[i].wParam, queued[i].lParam);
    }
    return count;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    char line[MAX_PATH + 16];
    if (reason == DLL_PROCESS_ATTACH) {
        GetModuleFileNameA(instance, gModulePath, sizeof(gModulePath));
        snprintf(line, sizeof(line), "load %s", gModulePath);
        Log(line);
    } else if (reason == DLL_PROCESS_DETACH) {
        snprintf(line, sizeof(line), "unload %s", gModulePath);
        Log(line);
    }
    return TRUE;
}

// The ticks on entry and on return let a test check the saver's spacing of prompts by the
// saver's own clock.
extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    DWORD entered = GetTickCount();
    char queued[32];
    snprintf(queued, sizeof(queued), "timers %d", CountQueuedTimers(window));
    Log(queued);
    HoldWhileAsked();
    BOOL answer = ReadAnswer();
    char line[128];
    snprintf(line, sizeof(line), "verify %lu %lu %lu %d", entered, GetTickCount(),
             HandleNumber(window), answer);
    Log(line);
    return answer;
}

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD a, DWORD b) {
    char line[160];
    snprintf(line, sizeof(line), "change %s %lu %lu %lu", provider ? provider : "(null)",
             HandleNumber(parent), a, b);
    Log(line);
    return 0;
}
