// The host window procedure's filtering table, row by row, in a full-screen run, a preview and
// after a close has been approved.
#include <gtest/gtest.h>

#include "host/window_filter.h"

namespace {

enum Run { kFullScreen, kPreview, kClosing, kPreviewClosing };

HostState StateFor(Run run) {
    HostState state;
    state.previewMode = (run == kPreview || run == kPreviewClosing) ? 1 : 0;
    state.closeApproved = (run == kClosing || run == kPreviewClosing) ? 1 : 0;
    return state;
}

struct FilterCase {
    Run run;
    uint32_t message;
    uintptr_t wParam;
    HostFilter expected;
};

constexpr uintptr_t kScClose = 0xF060;
constexpr uintptr_t kScMinimize = 0xF020;

const FilterCase kCases[] = {
    // Creation and destruction always run their sequences; only a preview keeps its cursor.
    {kFullScreen, msg::kCreate, 0, HostFilter::CreateHidingCursor},
    {kPreview, msg::kCreate, 0, HostFilter::CreateKeepingCursor},
    {kFullScreen, msg::kDestroy, 0, HostFilter::Destroy},
    {kClosing, msg::kDestroy, 0, HostFilter::Destroy},
    {kPreview, msg::kDestroy, 0, HostFilter::Destroy},
    // The title never changes.
    {kFullScreen, msg::kSetText, 0, HostFilter::Swallow},
    {kPreview, msg::kSetText, 0, HostFilter::Swallow},
    {kClosing, msg::kSetText, 0, HostFilter::Swallow},
    // Paint.
    {kFullScreen, msg::kPaint, 0, HostFilter::HideCursorThenPassOn},
    {kPreview, msg::kPaint, 0, HostFilter::PassOn},
    {kClosing, msg::kPaint, 0, HostFilter::Default},
    {kPreviewClosing, msg::kPaint, 0, HostFilter::Default},
    // Help belongs to the preview's parent.
    {kPreview, msg::kHelp, 0, HostFilter::ForwardToParent},
    {kPreview, msg::kContextMenu, 0, HostFilter::ForwardToParent},
    {kFullScreen, msg::kHelp, 0, HostFilter::PassOn},
    {kFullScreen, msg::kContextMenu, 0, HostFilter::PassOn},
    // Input reaches the saver only until a close is approved.
    {kFullScreen, msg::kKeyDown, 0, HostFilter::PassOn},
    {kFullScreen, msg::kMouseMove, 0, HostFilter::PassOn},
    {kPreview, msg::kLButtonDown, 0, HostFilter::PassOn},
    {kClosing, msg::kKeyDown, 0, HostFilter::Default},
    {kClosing, msg::kSysKeyDown, 0, HostFilter::Default},
    {kClosing, msg::kMouseMove, 0, HostFilter::Default},
    {kClosing, msg::kLButtonDown, 0, HostFilter::Default},
    {kClosing, msg::kRButtonDown, 0, HostFilter::Default},
    {kClosing, msg::kMButtonDown, 0, HostFilter::Default},
    {kClosing, msg::kKeyUp, 0, HostFilter::PassOn},
    {kClosing, msg::kLButtonUp, 0, HostFilter::PassOn},
    // System commands: a full-screen run blocks task switching and a second saver only.
    {kFullScreen, msg::kSysCommand, msg::kScScreenSave, HostFilter::Swallow},
    {kFullScreen, msg::kSysCommand, msg::kScNextWindow, HostFilter::Swallow},
    {kFullScreen, msg::kSysCommand, msg::kScPrevWindow, HostFilter::Swallow},
    {kClosing, msg::kSysCommand, msg::kScScreenSave, HostFilter::Swallow},
    {kFullScreen, msg::kSysCommand, kScClose, HostFilter::PassOn},
    {kFullScreen, msg::kSysCommand, kScMinimize, HostFilter::PassOn},
    // Compared whole: extra bits make it another command.
    {kFullScreen, msg::kSysCommand, msg::kScScreenSave | 2, HostFilter::PassOn},
    {kPreview, msg::kSysCommand, msg::kScScreenSave, HostFilter::PassOn},
    {kPreview, msg::kSysCommand, msg::kScNextWindow, HostFilter::PassOn},
    {kPreview, msg::kSysCommand, msg::kScPrevWindow, HostFilter::PassOn},
    // Ticks.
    {kFullScreen, msg::kTimer, 1, HostFilter::YieldThenPassOn},
    {kPreview, msg::kTimer, 1, HostFilter::YieldThenPassOn},
    {kClosing, msg::kTimer, 1, HostFilter::Swallow},
    {kPreviewClosing, msg::kTimer, 1, HostFilter::Swallow},
    // Everything else goes to the saver, whatever the state.
    {kFullScreen, msg::kClose, 0, HostFilter::PassOn},
    {kClosing, msg::kClose, 0, HostFilter::PassOn},
    {kClosing, msg::kPasswordRequest, 0, HostFilter::PassOn},
    {kFullScreen, msg::kSetCursor, 0, HostFilter::PassOn},
    {kFullScreen, msg::kEraseBkgnd, 0, HostFilter::PassOn},
    {kClosing, msg::kNcDestroy, 0, HostFilter::PassOn},
};

TEST(WindowFilter, FollowsTheTable) {
    for (const FilterCase& c : kCases) {
        HostState state = StateFor(c.run);
        EXPECT_EQ(FilterHostMessage(state, c.message, c.wParam), c.expected)
            << "run " << c.run << " message 0x" << std::hex << c.message << " wParam 0x"
            << c.wParam;
    }
}

// Password flags never change what the host passes on: only preview and closing count.
TEST(WindowFilter, IgnoresThePasswordFlags) {
    for (const FilterCase& c : kCases) {
        HostState state = StateFor(c.run);
        state.isWin9x = 1;
        state.passwordPromptActive = 1;
        EXPECT_EQ(FilterHostMessage(state, c.message, c.wParam), c.expected)
            << "message 0x" << std::hex << c.message;
    }
}

}  // namespace
