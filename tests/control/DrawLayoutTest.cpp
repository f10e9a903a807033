// Painting without a worker thread: a picture is put where the worker loads frames, and the
// next paint hands it over, as the worker's first frame would be. Positions are exact.
#include <filesystem>
#include <string>

#include "ControlFixture.h"
#include "control/Bitmaps.h"
#include "tests/support/FramePlayerProbe.h"
#include "tests/support/MovitrelCtrlProbe.h"
#include "tests/support/TestTmp.h"

namespace {

using namespace control_test;

constexpr COLORREF kPictureBack = RGB(40, 80, 120);
constexpr COLORREF kBack = RGB(200, 180, 160);
constexpr COLORREF kInk = RGB(250, 20, 20);
constexpr COLORREF kTopRow = RGB(20, 250, 20);
constexpr COLORREF kSentinel = RGB(7, 7, 7);

class DrawLayoutTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        SetColour("PictureBackColor", kPictureBack);
        SetColour("BackColor", kBack);
    }
    // A w by h picture in kInk with its top two rows in kTopRow (so that a shrunk copy keeps
    // one), carrying a palette as every frame does, loaded where the worker keeps its image.
    void PutFrame(int32_t w, int32_t h, bool withPalette = true) {
        CImage* image = CFramePlayerProbe::Image(CMovitrelCtrlProbe::Player(*ctrl)).get();
        ASSERT_GT(image->Create(w, h, 8, -1), 0);
        if (withPalette) {
            const BYTE rgb[] = {GetRValue(kInk),    GetGValue(kInk),    GetBValue(kInk),
                                GetRValue(kTopRow), GetGValue(kTopRow), GetBValue(kTopRow)};
            ASSERT_TRUE(image->CreatePaletteFromRGB(2, rgb));
        }
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) image->SetPixelIndex(x, y, y >= h - 2 ? 1 : 0);
        }
    }
    void PaintAt(int32_t cx, int32_t cy) {
        site->Resize(cx, cy);
        site->Paint();
    }

    // Pixels of the rectangle that are not the colour, counted.
    int32_t Mismatches(const CRect& r, COLORREF colour) {
        int32_t n = 0;
        for (int32_t y = r.top; y < r.bottom; ++y) {
            for (int32_t x = r.left; x < r.right; ++x) n += site->GetPixel(x, y) != colour;
        }
        return n;
    }
    // The frame drawn exactly over r, upright (the marked rows at its top), and the four bands
    // of the picture area (cx by cy) around it in kPictureBack.
    void ExpectFrameAt(const CRect& r, int32_t cx, int32_t cy) {
        int32_t outside = 0;
        for (int32_t y = r.top; y < r.bottom; ++y) {
            for (int32_t x = r.left; x < r.right; ++x) {
                const COLORREF c = site->GetPixel(x, y);
                outside += c != kInk && c != kTopRow;
            }
        }
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(Mismatches(CRect(r.left, r.top, r.right, r.top + 1), kTopRow), 0);
        EXPECT_EQ(Mismatches(CRect(r.left, r.bottom - 1, r.right, r.bottom), kInk), 0);
        EXPECT_EQ(Mismatches(CRect(0, 0, r.left, cy), kPictureBack), 0);
        EXPECT_EQ(Mismatches(CRect(r.right, 0, cx, cy), kPictureBack), 0);
        EXPECT_EQ(Mismatches(CRect(0, 0, cx, r.top), kPictureBack), 0);
        EXPECT_EQ(Mismatches(CRect(0, r.bottom, cx, cy), kPictureBack), 0);
    }

    // A 20-pixel image of a list as the control should have drawn it at (x, y).
    void ExpectImage(uint32_t bitmapId, int32_t width, int32_t image, int32_t x, int32_t y) {
        CImageList list;
        ASSERT_TRUE(CreateImageListFromBitmap(list, bitmapId, width, 0, kBitmapMaskColor));
        list.SetBkColor(kBack);
        CDC expected(width, kStripRowHeight);
        list.Draw(&expected, image, POINT{0, 0}, ILD_NORMAL);
        int32_t wrong = 0;
        for (int32_t dy = 0; dy < kStripRowHeight; ++dy) {
            for (int32_t dx = 0; dx < width; ++dx) {
                wrong += site->GetPixel(x + dx, y + dy) != expected.GetPixel(dx, dy);
            }
        }
        EXPECT_EQ(wrong, 0) << "image " << image << " at " << x << "," << y;
    }
    void ExpectSliderColumn(int32_t image, int32_t x, int32_t y) {
        ExpectImage(kBitmapSlider, 1, image, x, y);
    }
    void ExpectButton(int32_t image, int32_t x, int32_t y) {
        ExpectImage(kBitmapButtons, kButtonSize, image, x, y);
    }
};

// ---- The picture ------------------------------------------------------------------------

TEST_F(DrawLayoutTest, SmallerFrameIsDrawnUnscaledInTheMiddleOfThePictureArea) {
    PutFrame(320, 240);
    PaintAt(400, 300);
    ExpectFrameAt(CRect(40, 10, 360, 250), 400, 260);
}

TEST_F(DrawLayoutTest, MaximizeEnlargesUntilTheFrameTouchesTopAndBottom) {
    SetBool("Maximize", true);
    PutFrame(320, 240);
    PaintAt(400, 300);
    // rx 1.25, ry 1.0833333 in single precision: 346 by 260 at (27, 0).
    ExpectFrameAt(CRect(27, 0, 373, 260), 400, 260);
}

TEST_F(DrawLayoutTest, MaximizeEnlargesUntilTheFrameTouchesTheSides) {
    SetBool("Maximize", true);
    PutFrame(100, 20);
    PaintAt(400, 300);
    // rx 4 is the smaller: 400 by 80, centred in 260 rows.
    ExpectFrameAt(CRect(0, 90, 400, 170), 400, 260);
}

TEST_F(DrawLayoutTest, LargerFrameShrinksToFitKeepingItsAspect) {
    PutFrame(800, 400);
    PaintAt(400, 300);
    ExpectFrameAt(CRect(0, 30, 400, 230), 400, 260);
}

TEST_F(DrawLayoutTest, WithoutBothRowsThePictureFillsTheControl) {
    SetBool("Buttons", false);
    SetBool("Slider", false);
    PutFrame(320, 240);
    PaintAt(400, 300);
    ExpectFrameAt(CRect(40, 30, 360, 270), 400, 300);
}

TEST_F(DrawLayoutTest, ANoPixelsImagePaintsThePictureAreaInPictureBackColor) {
    PaintAt(400, 300);  // the worker has loaded nothing
    EXPECT_EQ(Mismatches(CRect(0, 0, 400, 260), kPictureBack), 0);
    ExpectButton(kImagePlay, 130, 280);  // the strip is drawn all the same
}

TEST_F(DrawLayoutTest, AFrameWithoutPaletteLeavesThePictureAreaAlone) {
    PutFrame(320, 240, false);
    site->Resize(400, 300);
    site->Surface().FillSolidRect(0, 0, 400, 300, kSentinel);
    site->Paint();
    EXPECT_EQ(Mismatches(CRect(0, 0, 400, 260), kSentinel), 0);
    ExpectButton(kImagePlay, 130, 280);
}

TEST_F(DrawLayoutTest, PictureBackColorIsUsedAsRgbWithoutTranslation) {
    const OLE_COLOR systemWindow = 0x80000005u;
    SetColour("PictureBackColor", systemWindow);
    PutFrame(320, 240);
    PaintAt(400, 300);
    // The flag byte is not resolved to the system colour: the low 24 bits are drawn.
    EXPECT_EQ(site->GetPixel(5, 5), COLORREF(0x000005));
}

TEST_F(DrawLayoutTest, AControlShorterThanItsStripDrawsNoPicture) {
    PutFrame(320, 240);
    site->Resize(400, 30);
    site->Surface().FillSolidRect(0, 0, 400, 30, kSentinel);
    site->Paint();
    // The picture area has no rows: only the strip is drawn, from its top at y -10.
    ExpectButton(kImagePlay, 130, 10);
    EXPECT_NE(site->GetPixel(40, 5), kInk);
}

// ---- The strip --------------------------------------------------------------------------

TEST_F(DrawLayoutTest, StripIsCentredWithSidePiecesInBackColor) {
    PutFrame(320, 240);
    CFramePlayerProbe::SetShownState(CMovitrelCtrlProbe::Player(*ctrl), 1, 0);
    PaintAt(400, 300);
    EXPECT_EQ(Mismatches(CRect(0, 260, 110, 300), kBack), 0);
    EXPECT_EQ(Mismatches(CRect(290, 260, 400, 300), kBack), 0);
    const int32_t offImages[9] = {kImageRplay,    kImagePlay,  kImageStop,
                                  kImageStepBack, kImagePause, kImageStepFor,
                                  kImageRew,      kImageFf,    kImageLoopOff};
    for (int32_t k = 0; k < 9; ++k) ExpectButton(offImages[k], 110 + 20 * k, 280);
    // One frame: scale 1, the thumb at column 5, groove on to its right end at 175.
    for (int32_t c = 0; c < 5; ++c) ExpectSliderColumn(kSliderEmpty, 110 + c, 260);
    for (int32_t t = 0; t < 12; ++t) ExpectSliderColumn(kSliderThumbFirst + t, 115 + t, 260);
    for (int32_t c = 17; c < 175; ++c) ExpectSliderColumn(kSliderGroove, 110 + c, 260);
    ExpectSliderColumn(kSliderGrooveRight, 285, 260);
    for (int32_t c = 176; c < 180; ++c) ExpectSliderColumn(kSliderEmpty, 110 + c, 260);
}

TEST_F(DrawLayoutTest, ButtonRowIsTheBottomRowWithoutSlider) {
    SetBool("Slider", false);
    PaintAt(400, 300);
    ExpectButton(kImagePlay, 130, 280);
    EXPECT_EQ(Mismatches(CRect(0, 0, 400, 280), kPictureBack), 0);
}

TEST_F(DrawLayoutTest, SliderRowIsTheBottomRowWithoutButtons) {
    SetBool("Buttons", false);
    PaintAt(400, 300);
    ExpectSliderColumn(kSliderGrooveRight, 285, 280);
    EXPECT_EQ(Mismatches(CRect(0, 0, 400, 280), kPictureBack), 0);
}

TEST_F(DrawLayoutTest, ThumbFollowsTheShownFrameOfTen) {
    CFramePlayerProbe::SetShownState(CMovitrelCtrlProbe::Player(*ctrl), 10, 9);
    PaintAt(400, 300);
    ExpectSliderColumn(kSliderGrooveLeft, 115, 260);
    ExpectSliderColumn(kSliderGroove, 273, 260);
    // Column 164: its last column replaces the groove's right end.
    for (int32_t t = 0; t < 12; ++t) ExpectSliderColumn(kSliderThumbFirst + t, 274 + t, 260);
    ExpectSliderColumn(kSliderEmpty, 286, 260);

    CFramePlayerProbe::SetShownState(CMovitrelCtrlProbe::Player(*ctrl), 10, 0);
    site->Paint();
    for (int32_t t = 0; t < 12; ++t) ExpectSliderColumn(kSliderThumbFirst + t, 115 + t, 260);
    ExpectSliderColumn(kSliderGroove, 127, 260);
    ExpectSliderColumn(kSliderGrooveRight, 285, 260);
}

TEST_F(DrawLayoutTest, AThumbPositionOutsideTheStripDrawsNoThumb) {
    // A list shorter than the index it last showed, as after a rescan.
    CFramePlayerProbe::SetShownState(CMovitrelCtrlProbe::Player(*ctrl), 3, 9);
    PaintAt(400, 300);
    ExpectSliderColumn(kSliderGrooveLeft, 115, 260);
    for (int32_t c = 6; c < 175; ++c) ExpectSliderColumn(kSliderGroove, 110 + c, 260);
    ExpectSliderColumn(kSliderGrooveRight, 285, 260);
}

TEST_F(DrawLayoutTest, AThumbNearTheRightEndIsCutAtTheStripEdge) {
    // Twelve frames with a stale index of 12: the thumb starts at column 178.
    CFramePlayerProbe::SetShownState(CMovitrelCtrlProbe::Player(*ctrl), 12, 12);
    PaintAt(400, 300);
    ExpectSliderColumn(kSliderThumbFirst, 288, 260);
    ExpectSliderColumn(kSliderThumbFirst + 1, 289, 260);
    EXPECT_EQ(Mismatches(CRect(290, 260, 400, 280), kBack), 0);
}

TEST_F(DrawLayoutTest, NarrowControlShowsTheLeftOfTheStripWithoutSidePieces) {
    PaintAt(100, 300);
    ExpectButton(kImageRplay, 0, 280);
    ExpectButton(kImagePlay, 20, 280);
    ExpectButton(kImagePause, 80, 280);

    // Drawn inside a wider device, the cut and the absence of side pieces show.
    CDC wide(300, 300);
    wide.FillSolidRect(0, 0, 300, 300, kSentinel);
    ctrl->Draw(&wide, CRect(0, 0, 100, 300), CRect(0, 0, 100, 300));
    for (int32_t y = 0; y < 300; ++y) {
        ASSERT_EQ(wide.GetPixel(100, y), kSentinel) << y;
    }
    EXPECT_EQ(wide.GetPixel(99, 265), kBack);  // slider column 99 is groove, rows 0 to 5 empty
}

TEST_F(DrawLayoutTest, Width181LeavesOneColumnOfBackColorAtTheRight) {
    CDC wide(300, 300);
    wide.FillSolidRect(0, 0, 300, 300, kSentinel);
    ctrl->Draw(&wide, CRect(0, 0, 181, 300), CRect(0, 0, 181, 300));
    for (int32_t y = 260; y < 300; ++y) {
        EXPECT_EQ(wide.GetPixel(180, y), kBack) << y;
        EXPECT_EQ(wide.GetPixel(181, y), kSentinel) << y;
    }
    // The strip itself starts at 0: the Rplay button's raised frame at column 1.
    EXPECT_EQ(wide.GetPixel(1, 281), RGB(255, 255, 255));
}

TEST_F(DrawLayoutTest, BoundsAwayFromTheCornerAreDrawnRelativeToTheirCorner) {
    PutFrame(320, 240);
    CDC dc(500, 400);
    dc.FillSolidRect(0, 0, 500, 400, kSentinel);
    const CRect bounds(50, 60, 450, 360);
    ctrl->Draw(&dc, bounds, bounds);
    EXPECT_EQ(dc.GetPixel(90, 70), kTopRow);  // the frame at (40, 10) of the bounds
    EXPECT_EQ(dc.GetPixel(90, 100), kInk);
    EXPECT_EQ(dc.GetPixel(89, 100), kPictureBack);
    EXPECT_EQ(dc.GetPixel(161, 341), RGB(255, 255, 255));  // Rplay at (110, 280) of the bounds
    for (int32_t x = 0; x < 500; ++x) {
        ASSERT_EQ(dc.GetPixel(x, 59), kSentinel) << x;
        ASSERT_EQ(dc.GetPixel(x, 360), kSentinel) << x;
    }
    for (int32_t y = 0; y < 400; ++y) {
        ASSERT_EQ(dc.GetPixel(49, y), kSentinel) << y;
        ASSERT_EQ(dc.GetPixel(450, y), kSentinel) << y;
    }
}

TEST_F(DrawLayoutTest, BoundsPartlyOffTheDeviceDrawTheVisiblePart) {
    PutFrame(320, 240);
    CDC dc(300, 300);
    dc.FillSolidRect(0, 0, 300, 300, kSentinel);
    const CRect bounds(-100, -50, 300, 250);
    ctrl->Draw(&dc, bounds, bounds);
    EXPECT_EQ(dc.GetPixel(0, 0), kInk);              // inside the frame, which starts at (-60, -40)
    EXPECT_EQ(dc.GetPixel(260, 100), kPictureBack);  // right band from x 260
    EXPECT_EQ(dc.GetPixel(11, 231), RGB(255, 255, 255));  // the Rplay button, at (10, 230)
    EXPECT_EQ(dc.GetPixel(100, 260), kSentinel);          // below the bounds
}

}  // namespace
