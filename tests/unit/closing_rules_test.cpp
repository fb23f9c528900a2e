// DefSaverProc's closing rules against a recording fake of the system calls: the input table,
// the mouse-move tolerance, the password request with its rate limit and re-entrancy, and the
// AutoPlay answer.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "host/closing_rules.h"

namespace {

constexpr intptr_t kDefaultResult = 77;  // what the fake DefWindowProc answers
constexpr uint32_t kAutoPlayMsg = 0xC123;
WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x1234);
ProcAddress const kVerifier = reinterpret_cast<ProcAddress>(0x5678);

// What the system saw. The password request runs `duringPrompt` (the messages the prompt's
// modal loop dispatches) and then answers WM_APP through the same rules, as the real window
// chain does.
struct Recorder {
    HostState* state = nullptr;
    int posts = 0;
    std::vector<uint32_t> defaulted;
    HostPoint cursor = {0, 0};
    int hides = 0;
    uint32_t tick = 1000;
    int timerDrops = 0;
    int requests = 0;
    intptr_t verifierAnswer = 0;
    std::function<void()> duringPrompt;
};
Recorder* gRec = nullptr;

const ClosingCalls kFakeCalls = {
    [](WindowHandle) { gRec->posts++; },
    [](WindowHandle, uint32_t message, uintptr_t, intptr_t) {
        gRec->defaulted.push_back(message);
        return kDefaultResult;
    },
    []() { return gRec->cursor; },
    []() { gRec->hides++; },
    []() { return gRec->tick; },
    [](WindowHandle) { gRec->timerDrops++; },
    [](WindowHandle window) {
        gRec->requests++;
        if (gRec->duringPrompt) {
            gRec->duringPrompt();
        }
        return DefSaverProcWith(*gRec->state, kFakeCalls, window, msg::kPasswordRequest, 0, 0);
    },
    [](ProcAddress, WindowHandle) { return gRec->verifierAnswer; },
};

class ClosingRules : public ::testing::Test {
   protected:
    void SetUp() override {
        rec.state = &state;
        gRec = &rec;
    }
    void TearDown() override { gRec = nullptr; }
    intptr_t Send(uint32_t message, uintptr_t wParam = 0) {
        return DefSaverProcWith(state, kFakeCalls, kWindow, message, wParam, 0);
    }
    void UsePassword() {
        state.isWin9x = 1;
        state.verifierEntry = kVerifier;
    }
    void MoveTo(int32_t x, int32_t y) {
        rec.cursor = {x, y};
        Send(msg::kMouseMove);
    }
    HostState state;
    Recorder rec;
};

struct InputCase {
    uint32_t message;
    uintptr_t wParam;
    bool closes;
    bool hides;
};

const InputCase kInputs[] = {
    {msg::kKeyDown, 'A', true, false},      {msg::kSysKeyDown, 0x12, true, false},
    {msg::kLButtonDown, 0, true, false},    {msg::kRButtonDown, 0, true, false},
    {msg::kMButtonDown, 0, true, false},    {msg::kKeyUp, 'A', false, false},
    {msg::kChar, 'a', false, false},        {msg::kLButtonUp, 0, false, false},
    {msg::kLButtonDblClk, 0, false, false}, {msg::kMouseWheel, 120u << 16, false, false},
    {msg::kActivateApp, 0, true, false},    {msg::kActivateApp, 1, false, false},
    {msg::kPower, 3, true, false},          {msg::kPower, 1, false, false},
    {msg::kPower, 2, false, false},         {msg::kPowerBroadcast, 0, true, false},
    {msg::kPowerBroadcast, 7, true, false}, {msg::kPowerBroadcast, 0x12, true, false},
    {msg::kShowWindow, 1, false, true},     {msg::kShowWindow, 0, false, false},
    {msg::kTimer, 1, false, false},
};

TEST_F(ClosingRules, InputWhileWatching) {
    for (const InputCase& c : kInputs) {
        rec = Recorder{&state};
        EXPECT_EQ(Send(c.message, c.wParam), kDefaultResult) << std::hex << c.message;
        EXPECT_EQ(rec.posts, c.closes ? 1 : 0) << std::hex << c.message << " " << c.wParam;
        EXPECT_EQ(rec.hides, c.hides ? 1 : 0) << std::hex << c.message << " " << c.wParam;
    }
}

TEST_F(ClosingRules, InputClosesNothingInPreviewPromptOrClosing) {
    void (*states[])(HostState&) = {
        [](HostState& s) { s.previewMode = 1; },
        [](HostState& s) { s.passwordPromptActive = 1; },
        [](HostState& s) { s.closeApproved = 1; },
    };
    for (auto setUp : states) {
        for (const InputCase& c : kInputs) {
            state = HostState{};
            setUp(state);
            rec = Recorder{&state};
            rec.cursor = {100, 100};
            EXPECT_EQ(Send(c.message, c.wParam), kDefaultResult);
            EXPECT_EQ(rec.posts, 0) << std::hex << c.message;
            EXPECT_EQ(rec.hides, 0) << std::hex << c.message;
        }
    }
}

TEST_F(ClosingRules, SetCursorHidesWhileWatchingOnly) {
    EXPECT_EQ(Send(msg::kSetCursor), 1);
    EXPECT_EQ(rec.hides, 1);
    EXPECT_TRUE(rec.defaulted.empty());

    state.passwordPromptActive = 1;
    EXPECT_EQ(Send(msg::kSetCursor), kDefaultResult);
    EXPECT_EQ(rec.hides, 1);
}

struct MoveCase {
    int32_t dx, dy;
    bool closes;
};

TEST_F(ClosingRules, ToleranceIsManhattanDistanceOverFour) {
    const MoveCase cases[] = {
        {3, 1, false},  {3, 2, true},   {0, 4, false},  {4, 0, false}, {5, 0, true},
        {-4, 0, false}, {-3, -2, true}, {-2, 2, false}, {0, 0, false}, {-1, -4, true},
    };
    const HostPoint origins[] = {{0, 0}, {512, 384}, {-1680, 20}};
    for (HostPoint from : origins) {
        for (const MoveCase& c : cases) {
            HostPoint to = {from.x + c.dx, from.y + c.dy};
            EXPECT_EQ(IsBeyondTolerance(from, to, 4), c.closes) << c.dx << "," << c.dy;
            EXPECT_EQ(IsBeyondTolerance(to, from, 4), c.closes) << c.dx << "," << c.dy;
        }
    }
}

TEST_F(ClosingRules, SmallMovesKeepTheReferencePoint) {
    state.lastCursorPos = {100, 100};
    MoveTo(103, 101);
    EXPECT_EQ(rec.posts, 0);
    MoveTo(103, 102);
    EXPECT_EQ(rec.posts, 1);
    EXPECT_EQ(state.lastCursorPos.y, 102);
    // The reference moved with the close request: one more pixel from there is nothing.
    MoveTo(104, 102);
    EXPECT_EQ(rec.posts, 1);
}

TEST_F(ClosingRules, CreepingMovesCloseOnTheFifthPixel) {
    state.lastCursorPos = {10, 10};
    for (int step = 1; step <= 5; step++) {
        MoveTo(10 + step, 10);
        EXPECT_EQ(rec.posts, step == 5 ? 1 : 0) << "step " << step;
    }
}

TEST_F(ClosingRules, CloseWithoutPasswordGoesAtOnce) {
    state.isWin9x = 1;
    EXPECT_EQ(Send(msg::kClose), kDefaultResult);
    EXPECT_EQ(state.closeApproved, 1);
    EXPECT_EQ(rec.requests, 0);

    // Outside the Windows 95 family no verifier is consulted, even were one set.
    state = HostState{};
    state.verifierEntry = kVerifier;
    rec = Recorder{&state};
    EXPECT_EQ(Send(msg::kClose), kDefaultResult);
    EXPECT_EQ(rec.requests, 0);
    EXPECT_EQ(rec.defaulted, std::vector<uint32_t>{msg::kClose});
}

TEST_F(ClosingRules, AcceptedPasswordCloses) {
    std::vector<intptr_t> verdicts = {1, 5, -1, static_cast<intptr_t>(INTPTR_MAX)};
    if (sizeof(intptr_t) > sizeof(int32_t)) {
        // A 64-bit verdict may carry its yes in the high half alone.
        verdicts.push_back(static_cast<intptr_t>(uint64_t{1} << 32));
    }
    for (intptr_t verdict : verdicts) {
        state = HostState{};
        UsePassword();
        rec = Recorder{&state};
        rec.verifierAnswer = verdict;
        EXPECT_EQ(Send(msg::kClose), kDefaultResult);
        EXPECT_NE(state.closeApproved, 0) << verdict;
        EXPECT_EQ(state.passwordPromptActive, 0);
        EXPECT_EQ(rec.timerDrops, 1);
        EXPECT_EQ(rec.hides, 0);
    }
}

TEST_F(ClosingRules, RefusedPasswordKeepsRunningFromTheNewCursor) {
    UsePassword();
    state.lastCursorPos = {0, 0};
    rec.cursor = {300, 200};
    rec.duringPrompt = [this] { rec.tick = 5000; };  // the user took four seconds
    EXPECT_EQ(Send(msg::kClose), 0);
    EXPECT_EQ(state.closeApproved, 0);
    EXPECT_EQ(state.passwordPromptActive, 0);
    EXPECT_EQ(rec.hides, 1);
    EXPECT_TRUE(rec.defaulted.empty());
    EXPECT_EQ(state.lastCursorPos.x, 300);
    EXPECT_EQ(state.lastCursorPos.y, 200);
    EXPECT_EQ(state.lastPromptTick, 5000u);  // read after the prompt ended
}

struct RateCase {
    uint32_t promptEnded;
    uint32_t requestAt;
    bool prompts;
};

TEST_F(ClosingRules, PromptsAreRateLimited) {
    const RateCase cases[] = {
        {1000, 1150, false},
        {1000, 1250, true},
        {1000, 1199, false},
        {1000, 1200, true},
        {0xFFFFFF9C, 0x64, true},
        {0xFFFFFF9C, 0x10, false},
        {0xFFFFFFF0, 0xFFFFFFFE, false},
        {0, 199, false},
        {0, 0x80000000, true},
    };
    for (const RateCase& c : cases) {
        state = HostState{};
        UsePassword();
        state.lastPromptTick = c.promptEnded;
        rec = Recorder{&state};
        rec.tick = c.requestAt;
        EXPECT_EQ(Send(msg::kClose), 0);
        EXPECT_EQ(rec.requests, c.prompts ? 1 : 0)
            << std::hex << c.promptEnded << " " << c.requestAt;
    }
}

TEST_F(ClosingRules, NoPreviousPromptNeverBlocks) {
    UsePassword();
    rec.tick = 0xFFFFFFFF;  // the same value that marks "no prompt yet"
    Send(msg::kClose);
    EXPECT_EQ(rec.requests, 1);
}

TEST_F(ClosingRules, NestedMessagesDuringThePromptPostNothing) {
    UsePassword();
    state.lastCursorPos = {0, 0};
    std::vector<intptr_t> nestedCloseResults;
    rec.duringPrompt = [this, &nestedCloseResults] {
        rec.cursor = {400, 400};
        Send(msg::kKeyDown, 'A');
        Send(msg::kMouseMove);
        Send(msg::kLButtonDown);
        Send(msg::kActivateApp, 0);
        nestedCloseResults.push_back(Send(msg::kClose));
    };
    EXPECT_EQ(Send(msg::kClose), 0);
    EXPECT_EQ(rec.posts, 0);
    EXPECT_EQ(rec.requests, 1);
    EXPECT_EQ(nestedCloseResults, std::vector<intptr_t>{0});
    // The nested WM_CLOSE was refused, not passed to the default handling that destroys.
    for (uint32_t message : rec.defaulted) {
        EXPECT_NE(message, msg::kClose);
    }
}

TEST_F(ClosingRules, PasswordRequestAnswers) {
    state.verifierEntry = kVerifier;
    rec.verifierAnswer = 5;
    EXPECT_EQ(Send(msg::kPasswordRequest), kDefaultResult);  // outside the Windows 95 family

    state.isWin9x = 1;
    EXPECT_EQ(Send(msg::kPasswordRequest), 5);
    state.verifierEntry = nullptr;
    EXPECT_EQ(Send(msg::kPasswordRequest), 1);
    state.previewMode = 1;
    EXPECT_EQ(Send(msg::kPasswordRequest), kDefaultResult);
}

TEST_F(ClosingRules, AutoPlayAsksToCloseInEveryState) {
    void (*states[])(HostState&) = {
        [](HostState&) {},
        [](HostState& s) { s.previewMode = 1; },
        [](HostState& s) { s.passwordPromptActive = 1; },
        [](HostState& s) { s.closeApproved = 1; },
    };
    for (auto setUp : states) {
        for (bool verifier : {false, true}) {
            state = HostState{};
            setUp(state);
            state.isWin9x = 1;
            state.cancelAutoPlayMsg = kAutoPlayMsg;
            state.verifierEntry = verifier ? kVerifier : nullptr;
            rec = Recorder{&state};
            EXPECT_EQ(Send(kAutoPlayMsg), verifier ? 1 : 0);
            EXPECT_EQ(rec.posts, 1);
        }
    }
}

TEST_F(ClosingRules, UnregisteredAutoPlayIsNotMessageZero) {
    state.verifierEntry = kVerifier;
    EXPECT_EQ(Send(0), kDefaultResult);
    EXPECT_EQ(rec.posts, 0);
}

}  // namespace
