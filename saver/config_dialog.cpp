// The settings dialog: the delay and the number of birds in two edit boxes with spin controls,
// filled from the settings file when the dialog opens and written back on OK. The dialog keeps
// nothing between messages; the values live in the edit boxes.
#include <windows.h>
#include <commctrl.h>

#include "host/host.h"
#include "host/saver_callbacks.h"
#include "resources/resource.h"
#include "saver/bird_saver.h"
#include "saver/dialog_step.h"

namespace {

// UDS_NOTHOUSANDS keeps the grouping separator out of the box: a stepped or loaded 1000 would
// otherwise show as "1,000", which GetDlgItemInt reads back as 1 (or 0), so OK would save a
// different delay than the one shown.
constexpr DWORD kSpinStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS;

// UDS_ALIGNRIGHT moves each control against its edit box, so this rectangle is only a start.
constexpr int kSpinX = 20;
constexpr int kSpinY = 10;
constexpr int kSpinWidth = 80;
constexpr int kSpinHeight = 50;

// The spin arrows keep to these ranges; typed values and values from the file are not limited.
constexpr int kDelayUpper = 1000;
constexpr int kDelayLower = 50;
constexpr int kBirdCountUpper = 10;
constexpr int kBirdCountLower = 1;

using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX* classes);
using CreateUpDownControlFn = HWND(WINAPI*)(DWORD style, int x, int y, int width, int height,
                                            HWND parent, int id, HINSTANCE instance, HWND buddy,
                                            int upper, int lower, int position);

// Every COMCTL32 since Windows 95 exports the up-down control's maker under this number.
constexpr WORD kCreateUpDownControlOrdinal = 16;

HWND AsWindow(WindowHandle window) {
    return static_cast<HWND>(window);
}

// COMCTL32 is not one of the libraries Windows always takes from its system folder, so it is
// loaded from there by full path rather than imported. It stays loaded for the rest of the
// settings run: the spin controls' window class lives in it. The first COMCTL32 of Windows 95
// has no InitCommonControlsEx and needs none; its classes are there once it is loaded.
// Answers the up-down control's maker, or null when the library or the maker is missing.
CreateUpDownControlFn LoadCommonControls() {
    HMODULE library = LoadSystemLibrary("COMCTL32.DLL");
    if (library == nullptr) {
        return nullptr;
    }
    void* init = reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx"));
    if (init != nullptr) {
        INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_UPDOWN_CLASS};
        static_assert(sizeof(classes) == 8, "the record is two 32-bit fields on every build");
        reinterpret_cast<InitCommonControlsExFn>(init)(&classes);
    }
    void* create = reinterpret_cast<void*>(
        GetProcAddress(library, MAKEINTRESOURCEA(kCreateUpDownControlOrdinal)));
    return reinterpret_cast<CreateUpDownControlFn>(create);
}

void AttachSpin(CreateUpDownControlFn create, HWND dialog, int buddyId, int upper, int lower,
                int position) {
    HWND spin = nullptr;
    if (create != nullptr) {
        spin =
            create(kSpinStyle, kSpinX, kSpinY, kSpinWidth, kSpinHeight, dialog, IDC_UPDOWN,
                   GetModuleHandleA(nullptr), GetDlgItem(dialog, buddyId), upper, lower, position);
    }
    // Without a spin control nothing fills the box; fill it here, or OK would save the empty
    // box as 0.
    if (spin == nullptr) {
        SetDlgItemInt(dialog, buddyId, static_cast<UINT>(position), TRUE);
    }
}

// Not the dialog's caption, so that a search for the dialog by its title never finds this.
constexpr char kSaveFailureCaption[] = "Quillet";

// The system's words for the failure, in the user's language where the system has them. Every
// failure has the system's code, a disk that filled up included.
void DescribeFailure(const SaveFailure& failure, char* reason, DWORD size) {
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(failure.systemError), 0, reason, size, nullptr);
    if (length == 0) {
        // A code the system has no words for: the number, which a search still finds.
        length = static_cast<DWORD>(wsprintfA(reason, "System error %d.", failure.systemError));
    }
    while (length > 0 && (reason[length - 1] == '\r' || reason[length - 1] == '\n')) {
        reason[--length] = '\0';
    }
}

// The file may be the current folder's or the user's own copy, so the message names it in
// full: a user who sees it knows which folder to fix, and can still press Cancel or try again.
void ReportSaveFailure(HWND dialog, const SaveFailure& failure) {
    char path[MAX_PATH];
    DWORD length = GetFullPathNameA(failure.file, sizeof(path), path, nullptr);
    if (length == 0 || length >= sizeof(path)) {
        lstrcpynA(path, failure.file, sizeof(path));
    }
    char reason[256];
    DescribeFailure(failure, reason, sizeof(reason));
    char text[sizeof(path) + sizeof(reason) + 64];
    // Within wsprintfA's limit of 1024 characters.
    static_assert(sizeof(text) <= 1024, "wsprintfA writes at most 1024 characters");
    wsprintfA(text, "The settings could not be saved to\n%s\n\n%s", path, reason);
    MessageBoxA(dialog, text, kSaveFailureCaption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

INT_PTR CALLBACK SaverConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    BirdSaver saver;  // no birds, no timer, no background: discarding it releases nothing
    return saver.HandleDialogMessage(dialog, message, wParam, lParam);
}

intptr_t BirdSaver::HandleDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                                        intptr_t) {
    window = dialog;
    DialogStep step = ChooseDialogStep(message, wParam);
    switch (step) {
        case DialogStep::Init:
            OnInitDialog();
            break;
        case DialogStep::SaveAndClose:
            // A save that failed keeps the dialog open with what the user typed.
            if (OnOK()) {
                EndDialog(AsWindow(window), kDialogEndResult);
            }
            break;
        case DialogStep::Close:
            EndDialog(AsWindow(window), kDialogEndResult);
            break;
        case DialogStep::Ignore:
            break;
    }
    return DialogStepResult(step);
}

void BirdSaver::OnInitDialog() {
    CreateUpDownControlFn createSpin = LoadCommonControls();
    LoadSettings();
    // The spin controls write their positions into the edit boxes, so this fills the dialog.
    HWND dialog = AsWindow(window);
    AttachSpin(createSpin, dialog, IDC_DELAY, kDelayUpper, kDelayLower, delay);
    AttachSpin(createSpin, dialog, IDC_BIRD_COUNT, kBirdCountUpper, kBirdCountLower, birdCount);
}

bool BirdSaver::OnOK() {
    // Whatever the boxes hold is saved as typed; text without a number reads as 0.
    HWND dialog = AsWindow(window);
    delay = static_cast<int32_t>(GetDlgItemInt(dialog, IDC_DELAY, nullptr, TRUE));
    birdCount = static_cast<int32_t>(GetDlgItemInt(dialog, IDC_BIRD_COUNT, nullptr, TRUE));
    SaveFailure failure;
    if (SaveSettings(&failure)) {
        return true;
    }
    ReportSaveFailure(dialog, failure);
    return false;
}
