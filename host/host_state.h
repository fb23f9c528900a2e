// The host's one process-wide record: every flag and handle the start-up, the saver window,
// the closing rules and the password services share. It exists before the command line is
// read and is never freed.
#pragma once

#include <cstdint>

#include "host/handles.h"

// lastPromptTick before the first password prompt of the run.
constexpr uint32_t kNoPromptYet = 0xFFFFFFFF;

struct HostState {
    ModuleHandle appInstance = nullptr;  // owner of the class, icon, dialog and bitmaps
    int32_t isWin9x = 0;                 // 1 on the Windows 95 family
    int32_t previewMode = 0;             // 1 when the saver window is a preview child
    WindowHandle saverWindow = nullptr;
    uint32_t cancelAutoPlayMsg = 0;  // registered "QueryCancelAutoPlay", or 0
    ModuleHandle immModule = nullptr;
    ProcAddress immAssociate = nullptr;  // ImmAssociateContext, if the library has it
    InputContextHandle savedInputContext = nullptr;
    HostPoint lastCursorPos = {0, 0};        // reference point of the mouse-move tolerance
    uint32_t mouseMoveTolerance = 4;         // a resting mouse jitters; more than this ends the run
    int32_t closeApproved = 0;               // only ever goes from 0 to nonzero
    int32_t passwordPromptActive = 0;        // 1 only inside the password request
    uint32_t lastPromptTick = kNoPromptYet;  // when the last prompt ended
    ModuleHandle verifierModule = nullptr;
    ProcAddress verifierEntry = nullptr;  // set only while verifierModule is set
    uint32_t randomState = 1;             // the pseudo-random sequence's (host/random.h)
};

extern HostState gHostState;
