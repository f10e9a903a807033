// DecodeToFit: a frame the layout shrinks is decoded at a smaller scale and drawn at the very
// rectangle the whole frame would take; a change of the picture area or of the property
// re-decodes the frame on show when it would otherwise be enlarged, and no sooner.
#include <algorithm>

#include "playback/Commands.h"
#include "playback/FrameLayout.h"
#include "tests/control/ControlFixture.h"
#include "tests/support/MovitrelCtrlProbe.h"

namespace control_test {
namespace {

// Frames of 1600x1200: in the 400x260 picture area of the fixture's control they are drawn at
// 346x260, which the scale 2/8 (400x300) covers.
constexpr int32_t kBigWidth = 1600;
constexpr int32_t kBigHeight = 1200;

class DecodeToFitTest : public ControlTest {
protected:
    void StartWithBigFrames(int32_t n) {
        frameDir = FreshDir();
        for (int32_t i = 0; i < n; ++i) {
            ASSERT_TRUE(WriteSolidJpeg(frameDir + "/f" + std::to_string(i) + ".jpg", FrameColour(i),
                                       kBigWidth, kBigHeight));
        }
        SetString("Dir", frameDir);
        SetString("BaseFile", "f");
        SetShort("Sort", 1);
        ASSERT_TRUE(site->CreateControlWindow());
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(n) == 0; }));
        Quiesce();
    }
    // The width the frame on show was decoded at.
    int32_t DecodedWidth() {
        int32_t width = 0;
        CMovitrelCtrlProbe::Player(*ctrl).DrawShown(
            [&](CImage& image) { width = image.GetWidth(); });
        return width;
    }
    bool DecodedWidthBecomes(int32_t width) {
        return WaitFor([&] { return DecodedWidth() == width; });
    }
    // One step forward from rest: the first step command only enters single-step mode (a
    // waiting worker gets no wake from it), the next one steps.
    void StepForward() {
        SetShort("Command", kCommandStepFor);
        Quiesce();
        SetShort("Command", kCommandStepFor);
    }
    // The rectangle the frame of that index covers on the surface.
    CFrameRect DrawnRect(int32_t index) {
        CRect r(INT32_MAX, INT32_MAX, -1, -1);
        for (int32_t y = 0; y < site->Height() - StripHeight(); ++y) {
            for (int32_t x = 0; x < site->Width(); ++x) {
                if (ColourDistance(site->GetPixel(x, y), FrameColour(index)) >= 60) continue;
                r.left = std::min<int32_t>(r.left, x);
                r.top = std::min<int32_t>(r.top, y);
                r.right = std::max<int32_t>(r.right, x + 1);
                r.bottom = std::max<int32_t>(r.bottom, y + 1);
            }
        }
        return CFrameRect{r.left, r.top, r.Width(), r.Height()};
    }
};

TEST_F(DecodeToFitTest, AShrunkFrameIsDecodedSmallerAndDrawnAtTheSameRectangle) {
    StartWithBigFrames(2);
    EXPECT_EQ(DecodedWidth(), kBigWidth);
    const CFrameRect whole = DrawnRect(0);
    EXPECT_EQ(whole, (CFrameRect{27, 0, 346, 260}));

    // Turned on at rest: the frame on show is decoded again at once, nothing else happens.
    ClearHeard();
    SetBool("DecodeToFit", true);
    ASSERT_TRUE(DecodedWidthBecomes(400));
    ASSERT_TRUE(WaitFor([&] { return DrawnRect(0) == whole; }));
    EXPECT_EQ(ctrl->ShownFrameIndex(), 0);
    EXPECT_EQ(GetLong("Command"), kCommandNone);
    EXPECT_TRUE(EventLog().empty());
    EXPECT_TRUE(site->Modified());

    // The next frame comes at the same scale, at the same place.
    StepForward();
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(2) == 1; }));
    EXPECT_EQ(DecodedWidth(), 400);
    EXPECT_EQ(DrawnRect(1), whole);

    // Off again: the frame on show is decoded whole again, where it was.
    SetBool("DecodeToFit", false);
    ASSERT_TRUE(DecodedWidthBecomes(kBigWidth));
    EXPECT_EQ(ctrl->ShownFrameIndex(), 1);
    EXPECT_EQ(DrawnRect(1), whole);
}

TEST_F(DecodeToFitTest, AFrameThatIsNotShrunkDecodesWhole) {
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 2);  // 32x24, drawn unscaled
    SetBool("DecodeToFit", true);
    SetBool("Maximize", true);  // enlarged, never shrunk
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    SetShort("Sort", 1);
    ASSERT_TRUE(site->CreateControlWindow());
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(2) == 0; }));
    EXPECT_EQ(DecodedWidth(), kFrameWidth);
}

// A smaller area makes do with the decode on show and takes effect at the next frame; a larger
// one re-decodes the frame on show at once, as a paused or stopped control shows nothing new
// otherwise. Neither moves the cursor, changes Command or fires an event.
TEST_F(DecodeToFitTest, AResizeTakesEffectAtTheNextFrameOrAtOnceWhenItGrows) {
    SetBool("DecodeToFit", true);
    StartWithBigFrames(3);
    ASSERT_TRUE(DecodedWidthBecomes(400));
    ClearHeard();

    site->Resize(200, 150);  // 200x110: drawn at 146x110, which 1/8 (200x150) covers
    Settle();
    EXPECT_EQ(DecodedWidth(), 400) << "the frame on show stays as it was decoded";
    StepForward();
    ASSERT_TRUE(WaitFor([&] { return ctrl->ShownFrameIndex() == 1; }));
    EXPECT_EQ(DecodedWidth(), 200);

    SetBool("Pause", true);
    ClearHeard();
    site->Resize(800, 640);  // 800x600: drawn at 800x600, which 4/8 covers exactly
    ASSERT_TRUE(DecodedWidthBecomes(800));
    EXPECT_EQ(ctrl->ShownFrameIndex(), 1);
    EXPECT_EQ(GetLong("Command"), kCommandStepFor);
    EXPECT_EQ(GetBool("Pause"), VARIANT_TRUE);
    EXPECT_TRUE(EventLog().empty());
    ASSERT_TRUE(WaitFor([&] { return DrawnRect(1) == CFrameRect{0, 0, 800, 600}; }));
}

}  // namespace
}  // namespace control_test
