// A console tool the Wine tests use to ask the Windows side what the X side cannot tell:
// the exact exit code of a program started with an exact command line, which windows and
// processes exist, what a window answers to a message sent to it, its styles, the cursor on
// screen, and the monitors. Every answer is one line per item on stdout.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The command line travels hex-encoded so that tabs, quotes and bytes above 127 reach
// CreateProcessA exactly as the test wrote them, untouched by any quoting on the way.
bool DecodeHex(const char* hex, std::string* out) {
    size_t length = strlen(hex);
    if (length % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < length; i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out->push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

// Windows the child creates are seen through an out-of-context event hook, so a test can
// tell "refused without a window" from "opened a window and closed it again".
void CALLBACK OnWindowCreated(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (object != OBJID_WINDOW || !window) {
        return;
    }
    char className[256] = "?";
    GetClassNameA(window, className, sizeof(className));
    printf("window %lu\t%s\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)),
           className);
}

void PumpUntilSignalled(HANDLE process) {
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        if (woke == WAIT_OBJECT_0) {
            return;
        }
    }
}

// Events still queued when the child ends arrive within a few message rounds.
void DrainEvents() {
    for (int round = 0; round < 10; round++) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

// Prints the child's exit code as a signed 32-bit decimal, the form the system's documentation
// uses for a refused mode (-1), after one line per window the child created.
int RunExact(const char* hex) {
    std::string commandLine;
    if (!DecodeHex(hex, &commandLine)) {
        fprintf(stderr, "win_probe: bad hex command line\n");
        return 2;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process)) {
        printf("error %lu\n", GetLastError());
        return 3;
    }
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnWindowCreated,
                        process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    ResumeThread(process.hThread);
    PumpUntilSignalled(process.hProcess);
    DrainEvents();
    if (hook) {
        UnhookWinEvent(hook);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("exit %ld\n", static_cast<long>(static_cast<int32_t>(code)));
    return 0;
}

void PrintWindow(HWND window) {
    char className[256] = "";
    char title[256] = "";
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, title, sizeof(title));
    RECT rect = {};
    GetWindowRect(window, &rect);
    printf("%lu\t%d\t%ld\t%ld\t%ld\t%ld\t%s\t%s\n",
           static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)),
           IsWindowVisible(window) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom, className,
           title);
}

BOOL CALLBACK PrintEachWindow(HWND window, LPARAM) {
    PrintWindow(window);
    return TRUE;
}

// A star stands for "any" class or title.
int FindOne(const char* className, const char* title) {
    HWND window = FindWindowA(strcmp(className, "*") ? className : nullptr,
                              strcmp(title, "*") ? title : nullptr);
    if (!window) {
        return 1;
    }
    PrintWindow(window);
    return 0;
}

HWND WindowArgument(const char* number) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoul(number, nullptr, 10)));
}

int PrintClientRect(const char* number) {
    HWND window = WindowArgument(number);
    RECT client = {};
    if (!IsWindow(window) || !GetClientRect(window, &client)) {
        return 1;
    }
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    printf("%ld\t%ld\t%ld\t%ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
}

// Child windows at every depth, in the format of "windows" (rectangles in screen coordinates).
int PrintChildren(const char* number) {
    HWND window = WindowArgument(number);
    if (!IsWindow(window)) {
        return 1;
    }
    EnumChildWindows(window, PrintEachWindow, 0);
    return 0;
}

// The system-wide flag a password-protected saver raises on the Windows 95 family.
int PrintSaverRunning() {
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) {
        return 1;
    }
    printf("%d\n", running ? 1 : 0);
    return 0;
}

// How the system scales a window for its process: unaware, system, per-monitor or
// per-monitor-v2, and the dots per inch the window is drawn at. Looked up at run time: only
// Windows 10 and later, and Wine, answer this for another process's window.
int PrintDpiAwareness(const char* number) {
    using WindowContextFn = HANDLE(WINAPI*)(HWND);
    using AwarenessFn = int(WINAPI*)(HANDLE);
    using EqualFn = BOOL(WINAPI*)(HANDLE, HANDLE);
    using DpiFn = UINT(WINAPI*)(HWND);
    HMODULE user = GetModuleHandleA("user32.dll");
    auto windowContext = reinterpret_cast<WindowContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetWindowDpiAwarenessContext")));
    auto awareness = reinterpret_cast<AwarenessFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    auto equal = reinterpret_cast<EqualFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "AreDpiAwarenessContextsEqual")));
    auto dpi =
        reinterpret_cast<DpiFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoul(number, nullptr, 10)));
    if (!windowContext || !awareness || !equal || !dpi || !IsWindow(window)) {
        return 1;
    }
    HANDLE context = windowContext(window);
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
    const char* names[] = {"unaware", "system", "per-monitor"};
    int level = awareness(context);
    const char* name = level >= 0 && level <= 2 ? names[level] : "invalid";
    if (equal(context, perMonitorV2)) {
        name = "per-monitor-v2";
    }
    printf("%s\t%u\n", name, dpi(window));
    return 0;
}

int PrintProcesses() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 1;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        printf("%lu\t%s\n", entry.th32ProcessID, entry.szExeFile);
    }
    CloseHandle(snapshot);
    return 0;
}

// A message by number (decimal or 0x hex), or by the name it is registered under, such as
// "QueryCancelAutoPlay": registered names give the same number in every process.
UINT MessageArgument(const char* text) {
    char* end = nullptr;
    unsigned long number = strtoul(text, &end, 0);
    if (end != text && *end == '\0') {
        return static_cast<UINT>(number);
    }
    return RegisterWindowMessageA(text);
}

// Decimal or 0x hex, with an optional minus sign.
uintptr_t NumberArgument(const char* text) {
    if (text[0] == '-') {
        return static_cast<uintptr_t>(-static_cast<intptr_t>(strtoull(text + 1, nullptr, 0)));
    }
    return static_cast<uintptr_t>(strtoull(text, nullptr, 0));
}

// The second parameter: a number, "text:WORDS" for a pointer to that text, or "helpinfo" for
// a pointer to help information about the window itself. The system copies what such a
// pointer points to into the other process.
LPARAM LParamArgument(const char* text, HWND window, HELPINFO* help) {
    if (!strncmp(text, "text:", 5)) {
        return reinterpret_cast<LPARAM>(text + 5);
    }
    if (!strcmp(text, "helpinfo")) {
        *help = {};
        help->cbSize = sizeof(*help);
        help->iContextType = HELPINFO_WINDOW;
        help->hItemHandle = window;
        return reinterpret_cast<LPARAM>(help);
    }
    return static_cast<LPARAM>(NumberArgument(text));
}

// Prints the window procedure's answer as a signed number of the build's width. A window
// that does not answer within the time is a failure, not a hang of the test.
int SendOne(char** args) {
    HWND window = WindowArgument(args[0]);
    HELPINFO help;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, MessageArgument(args[1]), NumberArgument(args[2]),
                             LParamArgument(args[3], window, &help), SMTO_ABORTIFHUNG, 30000,
                             &result)) {
        printf("failed %lu\n", GetLastError());
        return 1;
    }
    printf("%lld\n", static_cast<long long>(static_cast<intptr_t>(result)));
    return 0;
}

// Posts each (message, wParam, lParam) triple in order while the window's thread is held, so
// the window finds them all queued at once whatever it was doing.
int PostBatch(int count, char** args) {
    HWND window = WindowArgument(args[0]);
    DWORD threadId = GetWindowThreadProcessId(window, nullptr);
    HANDLE thread = threadId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : nullptr;
    if (!thread || SuspendThread(thread) == static_cast<DWORD>(-1)) {
        printf("failed %lu\n", GetLastError());
        return 1;
    }
    bool posted = true;
    for (int i = 1; i + 2 < count && posted; i += 3) {
        posted = PostMessageA(window, MessageArgument(args[i]), NumberArgument(args[i + 1]),
                              static_cast<LPARAM>(NumberArgument(args[i + 2])));
    }
    ResumeThread(thread);
    CloseHandle(thread);
    return posted ? 0 : 1;
}

// Style and extended style, in hexadecimal.
int PrintStyles(const char* number) {
    HWND window = WindowArgument(number);
    if (!IsWindow(window)) {
        return 1;
    }
    printf("%08lx\t%08lx\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
           static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    return 0;
}

// The handle of the cursor on screen, 0 while it is hidden. The system reports the cursor of
// the thread whose window has the input, whichever process asks.
int PrintShownCursor() {
    CURSORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetCursorInfo(&info)) {
        return 1;
    }
    printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(info.hCursor)));
    return 0;
}

// Gives the window's thread the arrow cursor, as a pointer resting over another program
// would show: for a moment the two threads share one input state, where the cursor lives.
int ShowArrowIn(const char* number) {
    DWORD target = GetWindowThreadProcessId(WindowArgument(number), nullptr);
    if (!target || !AttachThreadInput(GetCurrentThreadId(), target, TRUE)) {
        return 1;
    }
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    AttachThreadInput(GetCurrentThreadId(), target, FALSE);
    return 0;
}

// The virtual screen, then every monitor as the system reports it to programs: its rectangle
// and whether it is the primary one.
BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        printf("monitor\t%ld\t%ld\t%ld\t%ld\t%d\n", r.left, r.top, r.right, r.bottom,
               (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
    }
    return TRUE;
}

int PrintMonitors() {
    int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    printf("virtual\t%d\t%d\t%d\t%d\n", left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
           top + GetSystemMetrics(SM_CYVIRTUALSCREEN));
    return EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0) ? 0 : 1;
}

int Usage() {
    fprintf(stderr,
            "usage: win_probe run HEX | find CLASS|* TITLE|* | windows | client HWND |"
            " children HWND | dpi HWND | monitors | saverrunning | processes | foreground |"
            " styles HWND | cursor | showcursor HWND |"
            " send HWND MSG WPARAM LPARAM | post HWND MSG WPARAM LPARAM [MSG WPARAM LPARAM]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !strcmp(argv[1], "run")) {
        return RunExact(argv[2]);
    }
    if (argc == 4 && !strcmp(argv[1], "find")) {
        return FindOne(argv[2], argv[3]);
    }
    if (argc == 2 && !strcmp(argv[1], "windows")) {
        return EnumWindows(PrintEachWindow, 0) ? 0 : 1;
    }
    if (argc == 3 && !strcmp(argv[1], "client")) {
        return PrintClientRect(argv[2]);
    }
    if (argc == 3 && !strcmp(argv[1], "children")) {
        return PrintChildren(argv[2]);
    }
    if (argc == 2 && !strcmp(argv[1], "saverrunning")) {
        return PrintSaverRunning();
    }
    if (argc == 3 && !strcmp(argv[1], "dpi")) {
        return PrintDpiAwareness(argv[2]);
    }
    if (argc == 2 && !strcmp(argv[1], "monitors")) {
        return PrintMonitors();
    }
    if (argc == 2 && !strcmp(argv[1], "processes")) {
        return PrintProcesses();
    }
    if (argc == 2 && !strcmp(argv[1], "cursor")) {
        return PrintShownCursor();
    }
    if (argc == 3 && !strcmp(argv[1], "showcursor")) {
        return ShowArrowIn(argv[2]);
    }
    if (argc == 3 && !strcmp(argv[1], "styles")) {
        return PrintStyles(argv[2]);
    }
    if (argc == 6 && !strcmp(argv[1], "send")) {
        return SendOne(argv + 2);
    }
    if (argc >= 6 && (argc - 3) % 3 == 0 && !strcmp(argv[1], "post")) {
        return PostBatch(argc - 2, argv + 2);
    }
    if (argc == 2 && !strcmp(argv[1], "foreground")) {
        HWND window = GetForegroundWindow();
        if (window) {
            PrintWindow(window);
        }
        return window ? 0 : 1;
    }
    return Usage();
}
