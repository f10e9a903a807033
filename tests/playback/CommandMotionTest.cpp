// The motion the worker makes of each command code, and the command tests that read it.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "playback/Commands.h"

namespace {

TEST(CommandMotionTest, EachOfTheEightCommandsMovesAsItsName) {
    struct Row {
        int32_t command;
        Motion motion;
        Pace pace;
    };
    const Row rows[] = {
        {0, Motion::Rest, Pace::Normal},      // None
        {1, Motion::Forward, Pace::Normal},   // Play
        {2, Motion::Backward, Pace::Normal},  // Rplay
        {3, Motion::Forward, Pace::Fast},     // Ff
        {4, Motion::Backward, Pace::Fast},    // Rew
        {5, Motion::Forward, Pace::Step},     // StepFor
        {6, Motion::Backward, Pace::Step},    // StepBack
        {7, Motion::Rest, Pace::Normal},      // Stop
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        EXPECT_EQ(MotionOf(row.command), (CCommandMotion{row.motion, row.pace}));
    }
}

// Command stores any 16-bit value: every other code re-shows the frame at the cursor at the
// pace of a playing command, so it may bounce and dwell, but never reads ahead.
TEST(CommandMotionTest, EveryOtherSixteenBitCodeReloadsAtTheNormalPace) {
    for (int32_t c = std::numeric_limits<int16_t>::min(); c <= std::numeric_limits<int16_t>::max();
         ++c) {
        if (c >= 0 && c <= 7) continue;
        const CCommandMotion m = MotionOf(c);
        if (m.motion != Motion::Reload || m.pace != Pace::Normal) ADD_FAILURE() << "code " << c;
        if (m.Plays()) ADD_FAILURE() << "code " << c << " reads ahead";
    }
}

TEST(CommandMotionTest, OnlyForwardAndBackwardAtAPlayingPaceReadAhead) {
    EXPECT_TRUE(MotionOf(kCommandPlay).Plays());
    EXPECT_TRUE(MotionOf(kCommandRplay).Plays());
    EXPECT_TRUE(MotionOf(kCommandFf).Plays());
    EXPECT_TRUE(MotionOf(kCommandRew).Plays());
    EXPECT_FALSE(MotionOf(kCommandStepFor).Plays());
    EXPECT_FALSE(MotionOf(kCommandStepBack).Plays());
    EXPECT_FALSE(MotionOf(kCommandNone).Plays());
    EXPECT_FALSE(MotionOf(kCommandStop).Plays());
}

// The control and the tools ask these of a code; each is read off the motion now, and must
// answer for every code as it did when each listed its own codes.
TEST(CommandMotionTest, TheCommandTestsAnswerForEveryCodeAsTheirListsDid) {
    for (int32_t c = std::numeric_limits<int16_t>::min(); c <= std::numeric_limits<int16_t>::max();
         ++c) {
        const bool forward = c == 1 || c == 3 || c == 5;
        const bool backward = c == 2 || c == 4 || c == 6;
        const bool step = c == 5 || c == 6;
        const bool fast = c == 3 || c == 4;
        const bool rest = c == 0 || c == 7;
        if (IsForward(c) != forward || IsBackward(c) != backward || IsStep(c) != step ||
            IsFast(c) != fast || IsAtRest(c) != rest) {
            ADD_FAILURE() << "code " << c;
        }
    }
}

}  // namespace
