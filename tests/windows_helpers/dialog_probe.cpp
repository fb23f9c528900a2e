// Test helper: finds the settings dialog ("QuilletSaver Config") of a running saver and reads or
// drives it from outside, the way a user would, so the Wine tests can check what it shows.
//   dialog_probe show [timeoutMs]         print both boxes, the owner and the spin controls
//   dialog_probe set <id> <text>          replace an item's text
//   dialog_probe rect <id>                print an item's screen rectangle
//   dialog_probe press <id>               send the command a click on a button sends
//   dialog_probe spin <buddyId> up|down <n>  click a spin control's arrow n times
// Exit code 0 on success, 1 when the dialog or the item is not there, 2 on bad arguments.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kDialogTitle[] = "QuilletSaver Config";

HWND WaitForDialog(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        // The dialog becomes visible only once it has filled its boxes.
        HWND dialog = FindWindowA(nullptr, kDialogTitle);
        if (dialog && IsWindowVisible(dialog)) {
            return dialog;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return nullptr;
        }
        Sleep(50);
    }
}

unsigned long Number(HWND window) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
}

struct SpinSearch {
    HWND buddy;
    HWND found;
    int count;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM lParam) {
    SpinSearch* search = reinterpret_cast<SpinSearch*>(lParam);
    char className[64] = {};
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, UPDOWN_CLASSA) != 0) {
        return TRUE;
    }
    search->count++;
    HWND buddy = reinterpret_cast<HWND>(SendMessageA(child, UDM_GETBUDDY, 0, 0));
    if (search->buddy && buddy == search->buddy) {
        search->found = child;
    }
    return TRUE;
}

SpinSearch FindSpins(HWND dialog, HWND buddy) {
    SpinSearch search = {buddy, nullptr, 0};
    EnumChildWindows(dialog, VisitChild, reinterpret_cast<LPARAM>(&search));
    return search;
}

void PrintItem(HWND dialog, const char* name, int id) {
    char text[128] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    std::printf("%s=%s\n", name, text);
}

int Show(HWND dialog) {
    PrintItem(dialog, "delay", 1000);
    PrintItem(dialog, "count", 1001);
    std::printf("owner=%lu\n", Number(GetWindow(dialog, GW_OWNER)));
    std::printf("parent=%lu\n", Number(GetParent(dialog)));
    std::printf("spins=%d\n", FindSpins(dialog, nullptr).count);
    return 0;
}

// The item's rectangle in screen coordinates, for tests that click into it.
int Rect(HWND dialog, int id) {
    RECT rect = {};
    if (!GetWindowRect(GetDlgItem(dialog, id), &rect)) {
        return 1;
    }
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int Press(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

// A click on the upper half of a vertical spin control steps up, on the lower half down; the
// button is released at once so the control's auto-repeat never starts.
int Spin(HWND dialog, int buddyId, bool up, int steps) {
    HWND spin = FindSpins(dialog, GetDlgItem(dialog, buddyId)).found;
    if (!spin) {
        return 1;
    }
    RECT client = {};
    GetClientRect(spin, &client);
    int x = client.right / 2;
    int y = up ? client.bottom / 4 : client.bottom * 3 / 4;
    for (int i = 0; i < steps; i++) {
        SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageA(spin, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    PrintItem(dialog, "text", buddyId);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const char* command = argv[1];
    DWORD timeout = 30000;  // generous: a loaded machine may take seconds to open it
    if (std::strcmp(command, "show") == 0 && argc > 2) {
        timeout = static_cast<DWORD>(std::atoi(argv[2]));
    }
    HWND dialog = WaitForDialog(timeout);
    if (!dialog) {
        std::printf("no dialog\n");
        return 1;
    }
    if (std::strcmp(command, "show") == 0) {
        return Show(dialog);
    }
    if (std::strcmp(command, "set") == 0 && argc == 4) {
        return SetDlgItemTextA(dialog, std::atoi(argv[2]), argv[3]) ? 0 : 1;
    }
    if (std::strcmp(command, "rect") == 0 && argc == 3) {
        return Rect(dialog, std::atoi(argv[2]));
    }
    if (std::strcmp(command, "press") == 0 && argc == 3) {
        return Press(dialog, std::atoi(argv[2]));
    }
    if (std::strcmp(command, "spin") == 0 && argc == 5) {
        return Spin(dialog, std::atoi(argv[2]), std::strcmp(argv[3], "up") == 0,
                    std::atoi(argv[4]));
    }
    return 2;
}
