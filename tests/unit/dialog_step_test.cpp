// The settings dialog's choice of what to do with a message: only OK and Cancel commands and
// the opening message are handled, and a command is recognised by its low word alone.
#include "saver/dialog_step.h"

#include <gtest/gtest.h>

#include "host/handles.h"

namespace {

uintptr_t Command(uint32_t notification, uint32_t id) {
    return (static_cast<uintptr_t>(notification) << 16) | id;
}

constexpr uint32_t kBnClicked = 0;
constexpr uint32_t kAccelerator = 1;
constexpr uint32_t kEnChange = 0x0300;
constexpr uint32_t kEnKillFocus = 0x0200;

struct StepCase {
    const char* what;
    uint32_t message;
    uintptr_t wParam;
    DialogStep step;
};

const StepCase kStepCases[] = {
    {"opening", msg::kInitDialog, 0, DialogStep::Init},
    {"opening with a focus window in wParam", msg::kInitDialog, 0x1234, DialogStep::Init},
    {"OK clicked", msg::kCommand, Command(kBnClicked, 1), DialogStep::SaveAndClose},
    {"Enter (OK by accelerator)", msg::kCommand, Command(kAccelerator, 1),
     DialogStep::SaveAndClose},
    {"Cancel clicked", msg::kCommand, Command(kBnClicked, 2), DialogStep::Close},
    {"Escape", msg::kCommand, Command(kAccelerator, 2), DialogStep::Close},
    {"delay box edited", msg::kCommand, Command(kEnChange, 1000), DialogStep::Ignore},
    {"count box left", msg::kCommand, Command(kEnKillFocus, 1001), DialogStep::Ignore},
    {"spin control id", msg::kCommand, Command(kBnClicked, 110), DialogStep::Ignore},
    {"command 0", msg::kCommand, 0, DialogStep::Ignore},
    {"id whose low word is OK", msg::kCommand, 0x70001, DialogStep::SaveAndClose},
    {"id whose low word is Cancel", msg::kCommand, 0x10002, DialogStep::Close},
    {"id 0x10000 is not OK", msg::kCommand, 0x10000, DialogStep::Ignore},
    {"OK in wParam of another message", msg::kTimer, 1, DialogStep::Ignore},
    {"Cancel in wParam of another message", msg::kSysCommand, 2, DialogStep::Ignore},
    {"spin step (WM_VSCROLL)", 0x0115, 0x00C80004, DialogStep::Ignore},
    {"spin notification (WM_NOTIFY)", 0x004E, 110, DialogStep::Ignore},
    {"close", msg::kClose, 0, DialogStep::Ignore},
    {"destroy", msg::kDestroy, 0, DialogStep::Ignore},
};

// The platform reads the answer: a message left alone must answer 0, so that its default
// dialog handling (focus, Tab, the default button) still sees it, and the opening must answer
// nonzero, so that the platform gives the first box the focus.
TEST(DialogStep, EachMessageGetsItsStepAndResult) {
    for (const StepCase& c : kStepCases) {
        EXPECT_EQ(ChooseDialogStep(c.message, c.wParam), c.step) << c.what;
    }
    EXPECT_EQ(DialogStepResult(DialogStep::Ignore), 0);
    EXPECT_NE(DialogStepResult(DialogStep::Init), 0);
}

// A command identifier lives in the low word only: whatever notification or (on 64-bit) upper
// bits come with it, the same identifier leads to the same step.
TEST(DialogStep, UpperBitsOfACommandNeverMatter) {
    const uintptr_t kHighParts[] = {0, 1, 0x0300, 0xFFFF, static_cast<uintptr_t>(-1) << 16};
    for (uint32_t id = 0; id <= 0xFFFF; id += (id < 2048 ? 1 : 97)) {
        DialogStep plain = ChooseDialogStep(msg::kCommand, id);
        for (uintptr_t high : kHighParts) {
            uintptr_t wParam = (high << 16) | id;
            EXPECT_EQ(ChooseDialogStep(msg::kCommand, wParam), plain) << id << " " << high;
        }
    }
}

}  // namespace
