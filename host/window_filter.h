// Which of the saver window's messages reach the saver, and what the host does on the way.
// A pure function of the host's flags and the message, so the table can be tested natively;
// host/saver_window.cpp carries each answer out with the real calls.
#pragma once

#include <cstdint>

#include "host/host_state.h"

enum class HostFilter {
    PassOn,                // SaverProc's result
    Default,               // DefWindowProcA's result
    Swallow,               // 0, the saver never sees it
    HideCursorThenPassOn,  // SetCursor(nullptr), then SaverProc
    ForwardToParent,       // post it to the preview's parent, result 1
    YieldThenPassOn,       // Sleep(0), then SaverProc
    CreateHidingCursor,    // detach the input method, record and hide the cursor, SaverProc
    CreateKeepingCursor,   // the same for a preview, whose cursor belongs to its parent
    Destroy,               // restore the input method, post the quit message, SaverProc
};

HostFilter FilterHostMessage(const HostState& state, uint32_t message, uintptr_t wParam);
