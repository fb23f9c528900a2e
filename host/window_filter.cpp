// The host window procedure's filtering table. Once a close is approved the saver gets no
// more input, paint or ticks: the window is on its way out and its scene may be half gone.
#include "host/window_filter.h"

#include "host/closing_rules.h"

namespace {

// A running full-screen saver must not let the user switch tasks or start a second saver.
bool IsBlockedSysCommand(uintptr_t command) {
    return command == msg::kScNextWindow || command == msg::kScPrevWindow ||
           command == msg::kScScreenSave;
}

HostFilter FilterPaint(const HostState& state) {
    if (state.closeApproved) {
        return HostFilter::Default;
    }
    return state.previewMode ? HostFilter::PassOn : HostFilter::HideCursorThenPassOn;
}

}  // namespace

HostFilter FilterHostMessage(const HostState& state, uint32_t message, uintptr_t wParam) {
    bool preview = state.previewMode;
    if (IsClosingInput(message)) {
        return state.closeApproved ? HostFilter::Default : HostFilter::PassOn;
    }
    switch (message) {
        case msg::kCreate:
            return preview ? HostFilter::CreateKeepingCursor : HostFilter::CreateHidingCursor;
        case msg::kDestroy:
            return HostFilter::Destroy;
        case msg::kSetText:
            return HostFilter::Swallow;
        case msg::kPaint:
            return FilterPaint(state);
        case msg::kHelp:
        case msg::kContextMenu:
            return preview ? HostFilter::ForwardToParent : HostFilter::PassOn;
        case msg::kSysCommand:
            return !preview && IsBlockedSysCommand(wParam) ? HostFilter::Swallow
                                                           : HostFilter::PassOn;
        case msg::kTimer:
            return state.closeApproved ? HostFilter::Swallow : HostFilter::YieldThenPassOn;
    }
    return HostFilter::PassOn;
}
