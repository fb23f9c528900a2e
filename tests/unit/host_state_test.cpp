// The host's record starts with the two values that carry a reason: a mouse that rests but
// jitters by up to 4 pixels keeps the saver running, and the first password prompt of a run is
// never held back by the rate limit. Every other field starts empty, as its type does.
#include "host/host_state.h"

#include <gtest/gtest.h>

TEST(HostState, StartingValues) {
    const HostState fresh;
    for (const HostState* state : {&fresh, const_cast<const HostState*>(&gHostState)}) {
        EXPECT_EQ(state->mouseMoveTolerance, 4u);
        EXPECT_EQ(state->lastPromptTick, kNoPromptYet);
    }
}
