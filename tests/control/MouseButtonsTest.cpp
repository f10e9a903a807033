// Presses on the button row and in the picture area.
#include <filesystem>
#include <string>
#include <vector>

#include "ControlFixture.h"
#include "control/Bitmaps.h"
#include "playback/Commands.h"
#include "tests/support/TestTmp.h"

namespace {

using namespace control_test;

class CMouseProbe : public CMovitrelCtrl {
public:
    using CMovitrelCtrl::HitTestButtons;
    ::PauseState PauseState() const { return m_nPauseState; }
};

class MouseButtonsTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        HostNew<CMouseProbe>();
        // A directory that is not there: the worker finds nothing, so no command it is given
        // runs out and changes what a test looks at.
        SetString("Dir", TestTmp() + "/no such directory");
        ASSERT_TRUE(site->CreateControlWindow());  // mouse input goes to the window
        ClearHeard();
    }
    CMouseProbe& Probe() { return static_cast<CMouseProbe&>(*ctrl); }

    static constexpr int32_t kBar = 110;  // (400 - 180) / 2
    // The middle of button k (0 to 8).
    void PressButton(int32_t k) { site->LButtonDown(kBar + 20 * k + 10, kHeight - 10); }
    // The pressed picture's frame is black where the normal one's is white.
    bool DrawnPressed(int32_t k) { return site->GetPixel(kBar + 20 * k + 5, kHeight - 19) == 0; }
};

// ---- Hit testing ------------------------------------------------------------------------

TEST_F(MouseButtonsTest, ButtonsAreHitInsideTheirMarginsOnly) {
    const int32_t y = kHeight - 10;
    for (int32_t k = 0; k < 9; ++k) {
        const int32_t left = kBar + 20 * k;
        EXPECT_EQ(Probe().HitTestButtons(left + 2, y), 0) << k;
        EXPECT_EQ(Probe().HitTestButtons(left + 3, y), k + 1) << k;
        EXPECT_EQ(Probe().HitTestButtons(left + 17, y), k + 1) << k;
        EXPECT_EQ(Probe().HitTestButtons(left + 18, y), 0) << k;
    }
    EXPECT_EQ(Probe().HitTestButtons(kBar + 85, kHeight - 18), 0);
    EXPECT_EQ(Probe().HitTestButtons(kBar + 85, kHeight - 17), 5);
    EXPECT_EQ(Probe().HitTestButtons(kBar + 85, kHeight - 3), 5);
    EXPECT_EQ(Probe().HitTestButtons(kBar + 85, kHeight - 2), 0);
    EXPECT_EQ(Probe().HitTestButtons(kBar + 85, kHeight - 10), 5);
}

TEST_F(MouseButtonsTest, NoButtonIsHitWhileButtonsAreOff) {
    SetBool("Buttons", false);
    EXPECT_EQ(Probe().HitTestButtons(kBar + 85, kHeight - 10), 0);
}

TEST_F(MouseButtonsTest, TheButtonRowFollowsANarrowControl) {
    site->Resize(100, kHeight);
    EXPECT_EQ(Probe().HitTestButtons(10, kHeight - 10), 1);
    EXPECT_EQ(Probe().HitTestButtons(90, kHeight - 10), 5);
    EXPECT_EQ(Probe().HitTestButtons(kBar + 10, kHeight - 10), 0);
}

// ---- Button actions ---------------------------------------------------------------------

TEST_F(MouseButtonsTest, TransportButtonsSetTheirCommands) {
    const int32_t commandOf[9] = {2, 1, 7, 6, -1, 5, 4, 3, -1};
    for (int32_t k = 0; k < 9; ++k) {
        if (commandOf[k] < 0) continue;
        SCOPED_TRACE(k);
        ClearHeard();
        PressButton(k);
        EXPECT_EQ(GetLong("Command"), commandOf[k]);
        ASSERT_FALSE(EventLog().empty());
        EXPECT_EQ(EventLog().back(), "ChangeCommand(" + std::to_string(commandOf[k]) + ")");
        EXPECT_TRUE(DrawnPressed(k));
    }
}

TEST_F(MouseButtonsTest, PressesOnTheEdgeRowsOfTheButtonRowDoNothing) {
    SetShort("Command", kCommandPlay);
    ClearHeard();
    site->LButtonDown(kBar + 85, kHeight - 18);
    site->LButtonDown(kBar + 85, kHeight - 2);
    EXPECT_TRUE(EventLog().empty());
    site->LButtonDown(kBar + 85, kHeight - 10);
    EXPECT_EQ(EventLog(), std::vector<std::string>{"ChangePause(true)"});
}

TEST_F(MouseButtonsTest, PauseButtonDoesNothingWhileCommandIsZero) {
    PressButton(4);
    EXPECT_TRUE(EventLog().empty());
    EXPECT_EQ(GetBool("Pause"), VARIANT_FALSE);
    EXPECT_FALSE(DrawnPressed(4));
}

TEST_F(MouseButtonsTest, PauseButtonTogglesThePauseWhileACommandIsSet) {
    SetShort("Command", kCommandPlay);
    ClearHeard();
    PressButton(4);
    EXPECT_EQ(Probe().PauseState(), PauseState::User);
    EXPECT_TRUE(DrawnPressed(4));
    PressButton(4);
    EXPECT_EQ(Probe().PauseState(), PauseState::Running);
    EXPECT_FALSE(DrawnPressed(4));
    const std::vector<std::string> expected = {"ChangePause(true)", "ChangePause(false)"};
    EXPECT_EQ(EventLog(), expected);
}

TEST_F(MouseButtonsTest, LoopButtonTogglesLoopWithoutStoppingPlayback) {
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 10);
    SetShort("Sort", 1);  // by the number in the name: frame i is the i-th
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 0; }));
    SetLong("Delay", 150);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) >= 2; }));
    ClearHeard();
    PressButton(8);
    EXPECT_EQ(EventLog(), std::vector<std::string>{"ChangeLoop(true)"});
    EXPECT_EQ(GetBool("Loop"), VARIANT_TRUE);
    EXPECT_TRUE(DrawnPressed(8));  // Loop on wears the sunken frame
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    // With Loop on the worker plays through the end and on from the first frame.
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 9; }));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) == 1; }));
    EXPECT_EQ(GetLong("Command"), kCommandPlay);

    ClearHeard();
    PressButton(8);
    EXPECT_EQ(EventLog(), std::vector<std::string>{"ChangeLoop(false)"});
    EXPECT_FALSE(DrawnPressed(8));
}

// ---- Clicks in the picture --------------------------------------------------------------

TEST_F(MouseButtonsTest, ClicksInsideThePictureAreaFireClickInPic) {
    site->LButtonDown(0, 10);
    site->LButtonDown(10, 0);
    EXPECT_TRUE(EventLog().empty());
    site->LButtonDown(1, 1);
    site->RButtonDown(399, 259);
    const std::vector<std::string> expected = {"ClickInPic(1,1)", "ClickInPic(399,259)"};
    EXPECT_EQ(EventLog(), expected);
}

TEST_F(MouseButtonsTest, ClicksOnTheStripAreNotInThePicture) {
    site->RButtonDown(50, 260);  // side piece of the slider row
    site->RButtonDown(200, 299);
    EXPECT_TRUE(EventLog().empty());
    SetBool("Slider", false);
    ClearHeard();
    site->RButtonDown(50, 279);
    EXPECT_EQ(EventLog(), std::vector<std::string>{"ClickInPic(50,279)"});
}

TEST_F(MouseButtonsTest, WithBothRowsOffEveryPressButTheLeftAndTopEdgeIsInThePicture) {
    SetBool("Buttons", false);
    SetBool("Slider", false);
    SetShort("Command", kCommandPlay);
    for (const int32_t x : {0, 1, 110 + 85, 250, 399}) {
        for (const int32_t y : {0, 1, 150, 270, 290, 299}) {
            ClearHeard();
            site->LButtonDown(x, y);
            site->LButtonUp(x, y);
            if (x > 0 && y > 0) {
                const std::string click =
                    "ClickInPic(" + std::to_string(x) + "," + std::to_string(y) + ")";
                EXPECT_EQ(EventLog(), std::vector<std::string>{click});
            } else {
                EXPECT_TRUE(EventLog().empty()) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    EXPECT_EQ(Probe().PauseState(), PauseState::Running);
}

}  // namespace
