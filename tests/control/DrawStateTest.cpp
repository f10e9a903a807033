// What a paint shows of the control's state: buttons by command, pause and loop, BackColor,
// the end of playback, and the worker's lock held while the shared image is drawn.
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "ControlFixture.h"
#include "control/Bitmaps.h"
#include "playback/Commands.h"
#include "tests/support/FramePlayerProbe.h"
#include "tests/support/MovitrelCtrlProbe.h"
#include "tests/support/TestTmp.h"

namespace {

using namespace control_test;

constexpr COLORREF kBack = RGB(200, 180, 160);

class DrawStateTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        SetColour("BackColor", kBack);
    }
    // Whether the button at position k (0 to 8) shows its given picture, on kBack.
    bool ButtonShows(int32_t k, int32_t image) {
        CImageList list;
        EXPECT_TRUE(CreateImageListFromBitmap(list, kBitmapButtons, 20, 0, kBitmapMaskColor));
        list.SetBkColor(kBack);
        CDC expected(20, 20);
        list.Draw(&expected, image, POINT{0, 0}, ILD_NORMAL);
        const int32_t x0 = (site->Width() - 180) / 2 + 20 * k;
        const int32_t y0 = site->Height() - 20;
        for (int32_t y = 0; y < 20; ++y) {
            for (int32_t x = 0; x < 20; ++x) {
                if (site->GetPixel(x0 + x, y0 + y) != expected.GetPixel(x, y)) return false;
            }
        }
        return true;
    }
};

TEST_F(DrawStateTest, EachCommandDrawsItsButtonPressed) {
    struct Case {
        int16_t command;
        int32_t k;
        int32_t offImage;
    };
    const Case cases[] = {{2, 0, kImageRplay},    {1, 1, kImagePlay},    {7, 2, kImageStop},
                          {6, 3, kImageStepBack}, {5, 5, kImageStepFor}, {4, 6, kImageRew},
                          {3, 7, kImageFf}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        SetShort("Command", c.command);  // the setter repaints
        for (const Case& other : cases) {
            EXPECT_TRUE(ButtonShows(other.k, other.offImage + (other.k == c.k ? 1 : 0)))
                << "button " << other.k;
        }
    }
}

TEST_F(DrawStateTest, PauseAndLoopButtonsFollowTheirState) {
    site->Paint();
    EXPECT_TRUE(ButtonShows(4, kImagePause));
    EXPECT_TRUE(ButtonShows(8, kImageLoopOff));
    SetShort("Command", kCommandPlay);
    SetBool("Pause", true);
    EXPECT_TRUE(ButtonShows(4, kImagePause + 1));
    SetBool("Loop", true);
    EXPECT_TRUE(ButtonShows(8, kImageLoopOn));
    SetBool("Pause", false);
    EXPECT_TRUE(ButtonShows(4, kImagePause));
}

TEST_F(DrawStateTest, BackColorChangeRecoloursTheStripsTransparentPixels) {
    site->Paint();
    EXPECT_EQ(site->GetPixel(130, 280), kBack);  // Play button, column 0: transparent
    const COLORREF other = RGB(10, 120, 30);
    SetColour("BackColor", other);
    site->Paint();
    EXPECT_EQ(site->GetPixel(130, 280), other);
    EXPECT_EQ(site->GetPixel(5, 290), other);    // side piece
    EXPECT_EQ(site->GetPixel(112, 262), other);  // slider column 2, row 2
}

TEST_F(DrawStateTest, BackColorIsTranslatedForTheStrip) {
    // A palette-index colour names an entry of the default palette: entry 1 is dark red.
    SetColour("BackColor", 0x01000001u);
    site->Paint();
    EXPECT_EQ(site->GetPixel(5, 290), RGB(128, 0, 0));
    EXPECT_EQ(site->GetPixel(130, 280), RGB(128, 0, 0));
}

TEST_F(DrawStateTest, ReachingTheEndWithoutLoopReturnsCommandToZeroAtTheNextPaint) {
    SetShort("Sort", 1);  // by the number in the name: frame i is the i-th
    ASSERT_TRUE(StartWithFrames(3));
    SetLong("Delay", 10);
    EventRecorder recorder(*ctrl);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == 0; }));
    EXPECT_EQ(ShownFrame(3), 2);
    const std::vector<std::string> expected = {"ChangeCommand(1)", "ChangeCommand(0)", "Bound(3)"};
    EXPECT_EQ(recorder.log, expected);
    EXPECT_TRUE(ButtonShows(1, kImagePlay));
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetCommand(), 0);
}

TEST_F(DrawStateTest, TheEndOfPlaybackAlsoLeavesThePause) {
    SetShort("Sort", 1);
    ASSERT_TRUE(StartWithFrames(2));
    SetShort("Command",
             kCommandStepFor);  // single-step mode; from rest the first step moves nothing
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(2) == 1; }));
    EventRecorder recorder(*ctrl);
    SetShort("Command", kCommandStepFor);  // past the last frame: the end
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == 0; }));
    const std::vector<std::string> expected = {"ChangeCommand(5)", "ChangeCommand(0)",
                                               "ChangePause(false)", "Bound(3)"};
    EXPECT_EQ(recorder.log, expected);
    EXPECT_EQ(GetBool("Pause"), VARIANT_FALSE);
    EXPECT_TRUE(ButtonShows(4, kImagePause));
    EXPECT_TRUE(ButtonShows(5, kImageStepFor));
}

// An image that, while it is drawn, lets another thread try for the worker's lock.
class CLockProbeImage : public CImage {
public:
    explicit CLockProbeImage(CCriticalSection& lock) : m_lock(lock) {}
    BOOL StretchDraw(CDC* dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t xs, int32_t ys,
                     int32_t ws, int32_t hs) override {
        ++draws;
        if (draws == 1) {
            contender = std::thread([this] {
                m_lock.Lock();
                acquired.SetEvent();
                m_lock.Unlock();
            });
            // The worker's lock is free while the picture is drawn.
            gotInDuringDraw = acquired.Wait(kGenerousMs) == WAIT_OBJECT_0;
        }
        return CImage::StretchDraw(dc, x, y, w, h, xs, ys, ws, hs);
    }
    CCriticalSection& m_lock;
    std::thread contender;
    CEvent acquired;
    int32_t draws = 0;
    bool gotInDuringDraw = false;
};

// A paint keeps swaps out while it draws the shared image, but not by holding the worker's
// lock, so the worker moves on and decodes meanwhile.
TEST_F(DrawStateTest, TheSharedImageIsDrawnWithTheWorkersLockFree) {
    CFramePlayer& player = CMovitrelCtrlProbe::Player(*ctrl);
    auto probe = std::make_shared<CLockProbeImage>(CFramePlayerProbe::Lock(player));
    CFramePlayerProbe::Image(player) = probe;  // shown, and handed to the control at the paint
    ASSERT_GT(probe->Create(4, 4, 8, -1), 0);
    const BYTE rgb[] = {255, 0, 0};
    ASSERT_TRUE(probe->CreatePaletteFromRGB(1, rgb));

    site->Paint();
    ASSERT_EQ(probe->draws, 1);
    EXPECT_TRUE(probe->gotInDuringDraw);
    probe->contender.join();
}

}  // namespace
