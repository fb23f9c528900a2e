// The host's record starts with the tolerance of 4 pixels, no prompt yet, and all else empty.
#include "host/host_state.h"

#include <gtest/gtest.h>

TEST(HostState, StartingValues) {
    const HostState fresh;
    for (const HostState* state : {&fresh, const_cast<const HostState*>(&gHostState)}) {
        EXPECT_EQ(state->mouseMoveTolerance, 4u);
        EXPECT_EQ(state->lastPromptTick, 0xFFFFFFFFu);
        EXPECT_EQ(state->appInstance, nullptr);
        EXPECT_EQ(state->isWin9x, 0);
        EXPECT_EQ(state->previewMode, 0);
        EXPECT_EQ(state->saverWindow, nullptr);
        EXPECT_EQ(state->cancelAutoPlayMsg, 0u);
        EXPECT_EQ(state->immModule, nullptr);
        EXPECT_EQ(state->immAssociate, nullptr);
        EXPECT_EQ(state->savedInputContext, nullptr);
        EXPECT_EQ(state->lastCursorPos.x, 0);
        EXPECT_EQ(state->lastCursorPos.y, 0);
        EXPECT_EQ(state->closeApproved, 0);
        EXPECT_EQ(state->passwordPromptActive, 0);
        EXPECT_EQ(state->verifierModule, nullptr);
        EXPECT_EQ(state->verifierEntry, nullptr);
    }
}
