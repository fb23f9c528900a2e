// What the settings dialog does with each message it receives. Kept apart from the Win32 layer
// so the choice, which looks only at the command identifier, can be checked natively.
#pragma once

#include <cstdint>

enum class DialogStep {
    Ignore,        // left to the platform's default dialog handling
    Init,          // fill the boxes from the settings file and attach the spin controls
    SaveAndClose,  // OK: write the boxes to the settings file, then end the dialog
    Close,         // Cancel or Escape: end the dialog and write nothing
};

// OK and Cancel alike end the dialog with this value; the settings run exits with it.
constexpr intptr_t kDialogEndResult = 0;

DialogStep ChooseDialogStep(uint32_t message, uintptr_t wParam);

// 1 for a message the dialog handled, 0 for one it leaves to the platform.
intptr_t DialogStepResult(DialogStep step);
