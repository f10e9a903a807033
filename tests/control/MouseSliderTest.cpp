// Seeking with the slider: the track, the index under a point, and what the worker shows
// after a press, a drag and a release.
#include <chrono>
#include <climits>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ControlFixture.h"
#include "tests/support/FramePlayerProbe.h"
#include "tests/support/MovitrelCtrlProbe.h"
#include "tests/support/TestTmp.h"

namespace {

using namespace control_test;

class CSliderProbe : public CMovitrelCtrl {
public:
    using CMovitrelCtrl::HitTestSlider;
    using CMovitrelCtrl::SliderIndexFromX;
    ::PauseState PauseState() const { return m_nPauseState; }
};

class MouseSliderTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        HostNew<CSliderProbe>();
        SetShort("Sort", 1);  // by the number in the name: frame i is the i-th
    }
    CSliderProbe& Probe() { return static_cast<CSliderProbe&>(*ctrl); }

    // Geometry of a paint with a list of `count` frames, without a worker.
    void PaintWithCount(int32_t count) {
        CFramePlayerProbe::SetCount(CMovitrelCtrlProbe::Player(*ctrl), count);
        site->Paint();
    }
    // An x on the track whose index is i, for ten frames on a 400-wide control.
    static int32_t XOf(int32_t i) { return 115 + int32_t(i * 159.0 / 9) + 1; }
    static constexpr int32_t kTrackY = kHeight - 30;
};

// ---- Geometry ---------------------------------------------------------------------------

TEST_F(MouseSliderTest, TheTrackLiesInsideTheGrooveAboveTheButtons) {
    PaintWithCount(10);
    EXPECT_FALSE(Probe().HitTestSlider(115, kTrackY));
    EXPECT_FALSE(Probe().HitTestSlider(285, kTrackY));
    EXPECT_FALSE(Probe().HitTestSlider(200, kHeight - 36));
    EXPECT_FALSE(Probe().HitTestSlider(200, kHeight - 25));
    EXPECT_TRUE(EventLog().empty());
    EXPECT_EQ(Probe().PauseState(), PauseState::Running);

    EXPECT_TRUE(Probe().HitTestSlider(116, kHeight - 35));
    EXPECT_TRUE(Probe().HitTestSlider(284, kHeight - 26));
}

TEST_F(MouseSliderTest, AHitEntersTheDragPause) {
    PaintWithCount(10);
    ASSERT_TRUE(Probe().HitTestSlider(250, kTrackY));
    EXPECT_EQ(Probe().PauseState(), PauseState::SliderDrag);
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetPauseState(), PauseState::SliderDrag);
    EXPECT_EQ(EventLog(), std::vector<std::string>{"ChangePause(true)"});
}

TEST_F(MouseSliderTest, TheTrackMovesDownWithoutButtonsAndIsGoneWithoutSlider) {
    SetBool("Buttons", false);
    PaintWithCount(10);
    EXPECT_FALSE(Probe().HitTestSlider(250, kTrackY));
    EXPECT_TRUE(Probe().HitTestSlider(250, kHeight - 10));
    SetBool("Buttons", true);
    SetBool("Slider", false);
    ClearHeard();
    EXPECT_FALSE(Probe().HitTestSlider(250, kTrackY));
    EXPECT_TRUE(EventLog().empty());
}

TEST_F(MouseSliderTest, IndexUnderAPointIsTruncatedAndClampedToTheList) {
    PaintWithCount(10);
    EXPECT_EQ(Probe().SliderIndexFromX(250), 7);  // 135 / 17.666...
    EXPECT_EQ(Probe().SliderIndexFromX(115), 0);
    EXPECT_EQ(Probe().SliderIndexFromX(132), 0);
    EXPECT_EQ(Probe().SliderIndexFromX(133), 1);
    EXPECT_EQ(Probe().SliderIndexFromX(0), 0);
    EXPECT_EQ(Probe().SliderIndexFromX(285), 9);
    EXPECT_EQ(Probe().SliderIndexFromX(INT32_MAX), 9);
    EXPECT_EQ(Probe().SliderIndexFromX(INT32_MIN), 0);
    PaintWithCount(0);
    EXPECT_EQ(Probe().SliderIndexFromX(250), -1);
    EXPECT_EQ(Probe().SliderIndexFromX(0), -1);
}

// ---- With the worker --------------------------------------------------------------------

TEST_F(MouseSliderTest, APressWhilePlayingEndsOnTheFrameUnderThePointer) {
    ASSERT_TRUE(StartWithFrames(10));
    SetLong("Delay", 400);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 1; }));
    ClearHeard();
    site->LButtonDown(250, kTrackY);
    EXPECT_EQ(EventLog(), std::vector<std::string>{"ChangePause(true)"});
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 7; }));
    Settle();
    EXPECT_EQ(ShownFrame(10), 7);  // the drag pause holds it there
}

TEST_F(MouseSliderTest, APressWithCommandZeroStartsPlayAndShowsTheFrameUnderThePointer) {
    ASSERT_TRUE(StartWithFrames(10));
    ClearHeard();
    site->LButtonDown(250, kTrackY);
    const std::vector<std::string> expected = {"ChangePause(true)", "ChangeCommand(1)"};
    EXPECT_EQ(EventLog(), expected);
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetCommand(), 1);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 7; }));
    Settle();
    EXPECT_EQ(ShownFrame(10), 7);
}

TEST_F(MouseSliderTest, APressWithStopShowsTheFirstFrame) {
    ASSERT_TRUE(StartWithFrames(10));
    SetShort("Command", kCommandStop);
    Settle();
    const int32_t paints = site->PaintCount();
    site->LButtonDown(250, kTrackY);
    ASSERT_TRUE(WaitFor([&] { return site->PaintCount() > paints; }));
    Settle();
    EXPECT_EQ(ShownFrame(10), 0);
    EXPECT_EQ(GetLong("Command"), kCommandStop);
}

TEST_F(MouseSliderTest, ADragFollowsThePointerAndTheReleasePlaysOn) {
    ASSERT_TRUE(StartWithFrames(10));
    SetLong("Delay", 50);
    ClearHeard();
    site->LButtonDown(XOf(2), kTrackY);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 2; }));
    site->MouseMove(XOf(6), kTrackY, MK_LBUTTON);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 6; }));
    site->MouseMove(XOf(4), kTrackY, MK_LBUTTON);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 4; }));
    site->LButtonUp(XOf(4), kTrackY);
    EXPECT_EQ(Probe().PauseState(), PauseState::Running);
    // Playing on from there, to the end.
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == 0; }));
    EXPECT_EQ(ShownFrame(10), 9);
    const std::vector<std::string> expected = {"ChangePause(true)", "ChangeCommand(1)",
                                               "ChangePause(false)", "ChangeCommand(0)"};
    EXPECT_EQ(EventLog(), expected);

    // Moves after the release seek nothing.
    const int32_t paints = site->PaintCount();
    site->MouseMove(XOf(2), kTrackY);
    Settle();
    EXPECT_EQ(site->PaintCount(), paints);
}

TEST_F(MouseSliderTest, APressAtTheStartWhilePlayingForwardDoesNotStallTheWorker) {
    ASSERT_TRUE(StartWithFrames(10));
    SetLong("Delay", 300);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 3; }));
    site->LButtonDown(116, kTrackY);  // index 0
    // The worker is asked for the frame before the first, not for "nothing found".
    ASSERT_TRUE(WaitFor(
        [&] { return ShownFrame(10) == 1 && CMovitrelCtrlProbe::Player(*ctrl).Current() == 1; }));
    site->LButtonUp(XOf(1), kTrackY);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 3; }));
}

TEST_F(MouseSliderTest, APressOnAnEmptyListSeeksNothingAndFramesLaterPlay) {
    frameDir = FreshDir();
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    ASSERT_TRUE(site->CreateControlWindow());
    Settle();
    const int32_t before = CMovitrelCtrlProbe::Player(*ctrl).Current();
    ClearHeard();
    site->LButtonDown(250, kTrackY);
    EXPECT_EQ(CMovitrelCtrlProbe::Player(*ctrl).Current(), before);
    site->MouseMove(200, kTrackY, MK_LBUTTON);
    EXPECT_EQ(CMovitrelCtrlProbe::Player(*ctrl).Current(), before);
    site->LButtonUp(200, kTrackY);
    EXPECT_EQ(CMovitrelCtrlProbe::Player(*ctrl).Current(), before);
    Settle();

    // Frames appear and the list is scanned again: the slider works on them.
    WriteFrames(frameDir, "f", 10);
    SetShort("Sort", 2);
    SetShort("Sort", 1);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 0 && GetLong("Command") == 0; }));
    Settle();
    site->LButtonDown(250, kTrackY);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 7; }));
}

TEST_F(MouseSliderTest, AfterAFastCommandRanOutAPressPlaysAtTheFastDelay) {
    ASSERT_TRUE(StartWithFrames(3));
    SetLong("Delay", 200);
    SetShort("Command", kCommandFf);
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == 0; }));
    site->LButtonDown(250, kTrackY);
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetDelay(), 20);
    site->LButtonUp(250, kTrackY);
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetDelay(), 20);
}

// With Watch and Loop, frames removed while playing shrink the list. A drag that reaches past
// the new end before a paint has told the control of it shows the last frame, and playback
// goes on: no end of playback, no change of command.
TEST_F(MouseSliderTest, ADragPastTheEndOfAListThatShrankKeepsPlaying) {
    ASSERT_TRUE(StartWithFrames(10));
    SetBool("Watch", true);
    SetBool("Loop", true);
    SetLong("Delay", 20);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) >= 2; }));
    for (int32_t i = 5; i < 10; ++i) {
        std::filesystem::remove(frameDir + "/f" + std::to_string(i) + ".jpg");
    }
    // No pumping here: the list shrinks in the worker while the control still counts ten.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
    while (CMovitrelCtrlProbe::Player(*ctrl).Count() != 5 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(CMovitrelCtrlProbe::Player(*ctrl).Count(), 5);
    ClearHeard();
    site->LButtonDown(XOf(9), kTrackY);
    site->MouseMove(XOf(9) + 2, kTrackY, MK_LBUTTON);
    // The press's passes were placed for ten frames: they may end on the last frame or on
    // the loop's wrap after it, as the worker's timing falls. Either way the drag pause
    // holds the worker after them, and playback has not ended.
    Quiesce();
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    // Told of the five frames by the paints, the same point is the last frame, and stays it.
    site->MouseMove(XOf(9) + 2, kTrackY, MK_LBUTTON);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 4; }));
    Quiesce();
    EXPECT_EQ(ShownFrame(10), 4);
    site->LButtonUp(XOf(9) + 2, kTrackY);
    // Playing on, the loop wraps to the first frame.
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 0; }));
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    for (const std::string& e : EventLog()) EXPECT_NE(e, "ChangeCommand(0)");
}

}  // namespace
