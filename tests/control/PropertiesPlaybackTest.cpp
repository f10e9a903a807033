// Setters against a running worker: steps, source changes and sort order, seen as the frames
// the control paints.
#include <ctime>
#include <thread>

#include "playback/Commands.h"
#include "tests/control/ControlFixture.h"
#include "tests/support/MovitrelCtrlProbe.h"

namespace control_test {
namespace {

using Log = std::vector<std::string>;

class PropertiesPlaybackTest : public ControlTest {
protected:
    int32_t Count(const std::string& event) {
        int32_t n = 0;
        for (const auto& e : EventLog()) n += e == event ? 1 : 0;
        return n;
    }
    // Waits for frame `want` of n, keeping every frame seen on the way for the failure text.
    bool WaitForFrame(int32_t want, int32_t n) {
        return WaitFor([&] {
            const int32_t f = ShownFrame(n);
            if (seen.empty() || seen.back() != f) seen.push_back(f);
            return f == want;
        });
    }
    std::string Seen() const {
        std::string text = "frames seen:";
        for (int32_t f : seen) text += " " + std::to_string(f);
        return text;
    }
    std::vector<int32_t> seen;
};

TEST_F(PropertiesPlaybackTest, StepsWhilePlayingMoveOneFrameEach) {
    ASSERT_TRUE(StartWithFrames(10));
    SetBool("Loop", true);
    // Long enough that the step below lands while the worker sleeps after its first frame.
    SetLong("Delay", 1500);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitForFrame(1, 10)) << Seen();
    ClearHeard();
    SetShort("Command", kCommandStepFor);  // picked up at the pass due after the delay
    ASSERT_TRUE(WaitForFrame(2, 10)) << Seen();
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitForFrame(3, 10)) << Seen();
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitForFrame(4, 10)) << Seen();
    Settle();
    EXPECT_EQ(ShownFrame(10), 4);
    EXPECT_EQ(Count("ChangeCommand(5)"), 3);
    EXPECT_EQ(Count("ChangePause(true)"), 1);
    EXPECT_EQ(EventLog().size(), 4u);
}

TEST_F(PropertiesPlaybackTest, FromRestTheFirstStepMovesNothingAndTheSecondOneFrame) {
    ASSERT_TRUE(StartWithFrames(5));
    SetShort("Command", kCommandStepFor);
    Settle();
    EXPECT_EQ(ShownFrame(5), 0);
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(5) == 1; }));
    Settle();
    EXPECT_EQ(ShownFrame(5), 1);
}

TEST_F(PropertiesPlaybackTest, DelayOfAFastCommandReachesTheRunningWorker) {
    ASSERT_TRUE(StartWithFrames(3));
    SetShort("Command", kCommandFf);
    SetLong("Delay", 1000);
    CMovitrelCtrl& worker = *ctrl;
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(worker)->GetDelay(), 100);
    SetShort("Command", kCommandPlay);
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(worker)->GetDelay(), 1000);
}

TEST_F(PropertiesPlaybackTest, ANewBaseFileWhilePlayingStopsAndShowsItsFirstFrame) {
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 4);
    for (int32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(
            WriteSolidJpeg(frameDir + "/g" + std::to_string(i) + ".jpg", FrameColour(8 + i)));
    }
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    SetShort("Sort", 1);
    ASSERT_TRUE(site->CreateControlWindow());
    Quiesce();
    SetBool("Loop", true);
    SetLong("Delay", 30);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(4) == 2; }));
    EventRecorder heard(*ctrl);
    SetString("BaseFile", "g");
    EXPECT_EQ(heard.log, (Log{"ChangeCommand(0)", "Bound(3)"}));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(16) == 8; }));
    Settle();
    EXPECT_EQ(ShownFrame(16), 8);
}

// A container that reports "frame i of n" must not take the last paint's index for a frame
// of the new list while the new source is still being scanned.
TEST_F(PropertiesPlaybackTest, TheShownFrameIsOfTheCurrentSourceOnlyOnceItsListIsPainted) {
    ASSERT_TRUE(StartWithFrames(4));
    EXPECT_TRUE(ctrl->ShownFrameIsCurrent());
    EXPECT_EQ(ctrl->ShownFrameCount(), 4);

    const std::string other = FreshDir("other");
    WriteFrames(other, "f", 2);
    SetString("Dir", other);
    // Nothing pumped yet: the last paint still shows the old list's frame 0.
    EXPECT_FALSE(ctrl->ShownFrameIsCurrent());
    ASSERT_TRUE(WaitFor([&] { return ctrl->ShownFrameIsCurrent(); }));
    EXPECT_EQ(ctrl->ShownFrameCount(), 2);
    EXPECT_EQ(ctrl->ShownFrameIndex(), 0);

    // A folder without frames: the worker finds nothing and paints nothing new, so the last
    // paint's index and count stay those of the old list, and must never pass for its own.
    SetString("Dir", FreshDir("empty"));
    Settle();
    EXPECT_FALSE(ctrl->ShownFrameIsCurrent());
}

// Waits for the wall clock to enter a new second, so that files made before and after have
// different creation times.
bool NextSecond() {
    const std::time_t start = std::time(nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::time(nullptr) == start) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(PropertiesPlaybackTest, SortTwoOrdersTheFramesByCreationTime) {
    frameDir = FreshDir();
    // Made in the order 2, 0, 1: neither the numbers nor the names give this order.
    const int32_t order[] = {2, 0, 1};
    for (int32_t n : order) {
        ASSERT_TRUE(NextSecond());
        ASSERT_TRUE(WriteSolidJpeg(frameDir + "/f" + std::to_string(n) + ".jpg", FrameColour(n)));
    }
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    SetShort("Sort", 1);
    ASSERT_TRUE(site->CreateControlWindow());
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 0; }));  // by number: f0 first
    Quiesce();

    SetShort("Sort", 2);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 2; }));
    Quiesce();
    SetShort("Command", kCommandStepFor);
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 0; }));
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 1; }));
}

}  // namespace
}  // namespace control_test

namespace control_test {
namespace {

// With Loop and Bounce a playing command turns round at each end; the control's Command
// follows at the next paint, with its event and the bound-property change, as at an end.
TEST_F(PropertiesPlaybackTest, BounceTurnsAtEachEndAndTheCommandFollowsAtAPaint) {
    ASSERT_TRUE(StartWithFrames(3));
    EventRecorder recorder(*ctrl);
    SetBool("Loop", true);
    SetBool("Bounce", true);
    // Slow enough that each turn is painted before the worker reaches the other end.
    SetLong("Delay", 200);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == kCommandRplay; }));
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == kCommandPlay; }));
    SetShort("Command", kCommandStop);
    Settle();
    const Log want = {"ChangeLoop(true)", "ChangeCommand(1)", "ChangeCommand(2)",
                      "Bound(3)",         "ChangeCommand(1)", "Bound(3)"};
    ASSERT_GE(recorder.log.size(), want.size());
    EXPECT_EQ(Log(recorder.log.begin(), recorder.log.begin() + std::ptrdiff_t(want.size())), want);
    // Turning never wraps: frame 0 is left only forward and frame 2 only backward.
    EXPECT_EQ(GetBool("Loop"), VARIANT_FALSE);  // Stop cleared it
}

// Without Loop, Bounce changes nothing: playing forward ends at the last frame.
TEST_F(PropertiesPlaybackTest, BounceWithoutLoopEndsAsBefore) {
    ASSERT_TRUE(StartWithFrames(3));
    SetBool("Bounce", true);
    SetLong("Delay", 10);
    ClearHeard();
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == kCommandNone; }));
    EXPECT_EQ(EventLog(), (Log{"ChangeCommand(1)", "ChangeCommand(0)"}));
    EXPECT_EQ(ShownFrame(3), 2);
}

}  // namespace
}  // namespace control_test
