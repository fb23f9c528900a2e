// Maps a settings-dialog message to what the dialog does with it.
#include "saver/dialog_step.h"

#include "host/handles.h"

namespace {

DialogStep ChooseCommandStep(uintptr_t wParam) {
    // Only the low word names the control; the high word is a notification code, and on
    // 64-bit Windows the bits above the first 32 carry nothing.
    switch (static_cast<uint32_t>(wParam & 0xFFFF)) {
        case msg::kIdOk:
            return DialogStep::SaveAndClose;
        case msg::kIdCancel:
            return DialogStep::Close;
        default:
            return DialogStep::Ignore;
    }
}

}  // namespace

DialogStep ChooseDialogStep(uint32_t message, uintptr_t wParam) {
    switch (message) {
        case msg::kInitDialog:
            return DialogStep::Init;
        case msg::kCommand:
            return ChooseCommandStep(wParam);
        default:
            return DialogStep::Ignore;
    }
}

intptr_t DialogStepResult(DialogStep step) {
    return step == DialogStep::Ignore ? 0 : 1;
}
