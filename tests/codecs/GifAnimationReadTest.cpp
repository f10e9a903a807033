// The animation reader on hand-made files: what each frame carries, the composition of the
// four disposals, and the bounds it keeps on bad input.
#include <gtest/gtest.h>

#include "codecs/GifAnimation.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// Four colours: 0 black, 1 red, 2 green, 3 blue.
std::array<uint8_t, 3> Four(int32_t i) {
    static const std::array<uint8_t, 3> colours[4] = {
        {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    return colours[i];
}
constexpr uint32_t kRed = kOpaque | 0xFF0000u;
constexpr uint32_t kGreen = kOpaque | 0x00FF00u;
constexpr uint32_t kBlue = kOpaque | 0x0000FFu;

// A 4 x 2 screen with the four colours as its global table.
GifBuilder Screen() {
    GifBuilder b;
    b.Header("GIF89a", 4, 2, 0x81).Table(4, Four);
    return b;
}

GifReadStatus Read(const Bytes& bytes, CGifAnimation* animation,
                   const CGifReadLimits& limits = {}) {
    return ReadGifAnimation(bytes.data(), bytes.size(), animation, limits);
}

std::vector<Colours> Composed(const CGifAnimation& animation) {
    std::vector<Colours> shown;
    CGifScreen screen(animation);
    EXPECT_TRUE(screen.Valid());
    while (screen.Next()) shown.push_back(screen.Pixels());
    return shown;
}

}  // namespace

TEST(GifAnimationRead, FramesCarryTheirPlaceDelayDisposalTransparencyAndTable) {
    const Bytes bytes = Screen()
                            .Loop(3)
                            .Control(0x04 | 0x01, 2, 25)  // disposal 1, transparent 2
                            .Descriptor(4, 2, 0x00)
                            .Data(2, Pixels(4, 2, [](int r, int x) { return (r + x) % 4; }))
                            .Control(0x08, 0, 7)           // disposal 2
                            .Descriptor(1, 1, 2, 1, 0x80)  // a local table of 2 entries
                            .Table(2, Grey)
                            .Data(2, {1, 0})
                            .Trailer()
                            .bytes;
    CGifAnimation animation;
    ASSERT_EQ(Read(bytes, &animation), GifReadStatus::Ok);
    EXPECT_EQ(animation.width, 4);
    EXPECT_EQ(animation.height, 2);
    EXPECT_EQ(animation.loopCount, 3);
    EXPECT_EQ(animation.globalColors, (Colours{0x000000, 0xFF0000, 0x00FF00, 0x0000FF}));
    ASSERT_EQ(animation.frames.size(), 2u);
    const CGifFrame& a = animation.frames[0];
    EXPECT_EQ(a.delayCs, 25);
    EXPECT_EQ(a.disposal, 1);
    EXPECT_EQ(a.transparent, 2);
    EXPECT_FALSE(a.localTable);
    EXPECT_EQ(a.codeSize, 2);
    EXPECT_EQ(a.indices, (Bytes{0, 1, 2, 3, 1, 2, 3, 0}));
    const CGifFrame& b = animation.frames[1];
    EXPECT_EQ(b.left, 1);
    EXPECT_EQ(b.top, 1);
    EXPECT_EQ(b.width, 2);
    EXPECT_EQ(b.height, 1);
    EXPECT_EQ(b.delayCs, 7);
    EXPECT_EQ(b.disposal, 2);
    EXPECT_EQ(b.transparent, -1);  // a control block speaks for the next image only
    EXPECT_TRUE(b.localTable);
    EXPECT_EQ(b.colors, (Colours{0x000000, 0x010101}));
    EXPECT_EQ(b.indices, (Bytes{1, 0}));
}

TEST(GifAnimationRead, EachDisposalIsComposedAsBrowsersShowIt) {
    // Frame 0 fills the screen red; frame 1 draws green over the left half with the given
    // disposal; frame 2 draws one blue pixel at the right: what frame 1 leaves shows then.
    const auto file = [](uint8_t disposal) {
        return Screen()
            .Control(0x00, 0)
            .Descriptor(4, 2, 0x00)
            .Data(2, Bytes(8, 1))
            .Control(uint8_t(disposal << 2), 0)
            .Descriptor(0, 0, 2, 2, 0x00)
            .Data(2, Bytes(4, 2))
            .Control(0x00, 0)
            .Descriptor(3, 0, 1, 1, 0x00)
            .Data(2, {3})
            .Trailer()
            .bytes;
    };
    const Colours redScreen(8, kRed);
    const Colours greenLeft = {kGreen, kGreen, kRed, kRed, kGreen, kGreen, kRed, kRed};
    for (uint8_t disposal : {0, 1, 2, 3}) {
        CGifAnimation animation;
        ASSERT_EQ(Read(file(disposal), &animation), GifReadStatus::Ok);
        const std::vector<Colours> shown = Composed(animation);
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown[0], redScreen);
        EXPECT_EQ(shown[1], greenLeft) << int(disposal);
        Colours left;
        if (disposal == 2) {
            left = {0, 0, kRed, kBlue, 0, 0, kRed, kRed};  // cleared to transparent
        } else if (disposal == 3) {
            left = {kRed, kRed, kRed, kBlue, kRed, kRed, kRed, kRed};  // put back
        } else {
            left = {kGreen, kGreen, kRed, kBlue, kGreen, kGreen, kRed, kRed};
        }
        EXPECT_EQ(shown[2], left) << int(disposal);
    }
}

TEST(GifAnimationRead, TransparentPixelsAndIndicesPastTheTableLeaveOrDrawBlack) {
    // Frame 1's index 2 is transparent; its table has 2 entries, so index 3 is past it.
    const Bytes bytes = Screen()
                            .Descriptor(4, 2, 0x00)
                            .Data(2, Bytes(8, 1))
                            .Control(0x01, 2)
                            .Descriptor(0, 0, 4, 1, 0x80)
                            .Table(2, Grey)
                            .Data(2, {2, 1, 3, 2})
                            .Trailer()
                            .bytes;
    CGifAnimation animation;
    ASSERT_EQ(Read(bytes, &animation), GifReadStatus::Ok);
    const std::vector<Colours> shown = Composed(animation);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1],
              (Colours{kRed, kOpaque | 0x010101u, kOpaque, kRed, kRed, kRed, kRed, kRed}));
}

TEST(GifAnimationRead, InterlacedFramesAreStoredInPictureOrder) {
    // Rows in the file in pass order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9; each row holds its number.
    const int32_t order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    Bytes pixels;
    for (int32_t row : order) pixels.insert(pixels.end(), 3, uint8_t(row));
    GifBuilder b;
    b.Header("GIF89a", 3, 10, 0x83).Table(16, Grey).Descriptor(3, 10, 0x40).Data(4, pixels);
    CGifAnimation animation;
    ASSERT_EQ(Read(b.Trailer().bytes, &animation), GifReadStatus::Ok);
    ASSERT_EQ(animation.frames.size(), 1u);
    EXPECT_TRUE(animation.frames[0].interlaced);
    for (int32_t r = 0; r < 10; ++r) {
        EXPECT_EQ(animation.frames[0].indices[size_t(3 * r)], r) << r;
    }
}

TEST(GifAnimationRead, TruncatedInputKeepsTheWholeFramesBeforeIt) {
    const Bytes whole = Screen()
                            .Descriptor(4, 2, 0x00)
                            .Data(2, Bytes(8, 1))
                            .Descriptor(4, 2, 0x00)
                            .Data(2, Bytes(8, 2))
                            .Trailer()
                            .bytes;
    CGifAnimation animation;
    ASSERT_EQ(Read(whole, &animation), GifReadStatus::Ok);
    ASSERT_EQ(animation.frames.size(), 2u);
    // Cut anywhere in the second frame or at its end: the first survives alone or with it.
    const size_t secondStart = 13 + 12 + (whole.size() - 13 - 12 - 1) / 2;
    for (size_t cut = secondStart; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + ptrdiff_t(cut));
        ASSERT_EQ(Read(part, &animation), GifReadStatus::Truncated) << cut;
        EXPECT_GE(animation.frames.size(), 1u) << cut;
        EXPECT_EQ(animation.frames[0].indices, Bytes(8, 1));
    }
    // Data that ends (with its empty sub-block) before the frame's pixels.
    const Bytes shortData = Screen()
                                .Descriptor(4, 2, 0x00)
                                .Data(2, Bytes(8, 1))
                                .Descriptor(4, 2, 0x00)
                                .Data(2, Bytes(5, 2))
                                .Trailer()
                                .bytes;
    ASSERT_EQ(Read(shortData, &animation), GifReadStatus::Truncated);
    EXPECT_EQ(animation.frames.size(), 1u);
}

TEST(GifAnimationRead, BadFramesAndScreensAreRefused) {
    CGifAnimation animation;
    // A frame reaching past the right edge, after a good one.
    const Bytes outside = Screen()
                              .Descriptor(4, 2, 0x00)
                              .Data(2, Bytes(8, 1))
                              .Descriptor(3, 0, 2, 1, 0x00)
                              .Data(2, Bytes(2, 1))
                              .Trailer()
                              .bytes;
    EXPECT_EQ(Read(outside, &animation), GifReadStatus::BadFrame);
    EXPECT_EQ(animation.frames.size(), 1u);

    Bytes badCode = Screen().Descriptor(4, 2, 0x00).bytes;
    badCode.insert(badCode.end(), {9, 1, 0, 0, 0x3B});  // minimum code size 9
    EXPECT_EQ(Read(badCode, &animation), GifReadStatus::BadFrame);

    GifBuilder huge;
    huge.Header("GIF89a", 16385, 1, 0x00).Trailer();
    EXPECT_EQ(Read(huge.bytes, &animation), GifReadStatus::BadScreen);
    GifBuilder empty;
    empty.Header("GIF89a", 0, 5, 0x00).Trailer();
    EXPECT_EQ(Read(empty.bytes, &animation), GifReadStatus::BadScreen);

    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0, 0};
    EXPECT_EQ(Read(png, &animation), GifReadStatus::NotGif);
    EXPECT_EQ(Read(Bytes{'G', 'I', 'F', '8', '9', 'a'}, &animation), GifReadStatus::NotGif);

    Bytes stray = Screen().bytes;
    stray.push_back(0x42);
    EXPECT_EQ(Read(stray, &animation), GifReadStatus::UnknownBlock);

    EXPECT_EQ(ReadGifAnimation(TempPath("no-such.gif"), &animation), GifReadStatus::CannotOpen);
}

TEST(GifAnimationRead, SurplusPixelsAreIgnoredAndTheNextFrameIsRead) {
    const Bytes bytes = Screen()
                            .Descriptor(4, 1, 0x00)
                            .Data(2, Bytes(40, 3))  // ten rows' worth for one row
                            .Descriptor(4, 2, 0x00)
                            .Data(2, Bytes(8, 2))
                            .Trailer()
                            .bytes;
    CGifAnimation animation;
    ASSERT_EQ(Read(bytes, &animation), GifReadStatus::Ok);
    ASSERT_EQ(animation.frames.size(), 2u);
    EXPECT_EQ(animation.frames[0].indices, Bytes(4, 3));
    EXPECT_EQ(animation.frames[1].indices, Bytes(8, 2));
}

TEST(GifAnimationRead, AMillionEmptyFramesStopAtTheFrameLimit) {
    GifBuilder b = Screen();
    for (int32_t i = 0; i < 1000000; ++i) {
        b.bytes.insert(b.bytes.end(), {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 2, 0});
    }
    b.Trailer();
    CGifAnimation animation;
    EXPECT_EQ(Read(b.bytes, &animation), GifReadStatus::TooManyFrames);
    EXPECT_EQ(animation.frames.size(), size_t(CGifReadLimits{}.maxFrames));
    CGifReadLimits few;
    few.maxFrames = 10;
    EXPECT_EQ(Read(b.bytes, &animation, few), GifReadStatus::TooManyFrames);
    EXPECT_EQ(animation.frames.size(), 10u);
    // Empty frames count against the memory bound too.
    CGifReadLimits small;
    small.maxBytes = 50 * kGifFrameRecordBytes;
    EXPECT_EQ(Read(b.bytes, &animation, small), GifReadStatus::TooLarge);
    EXPECT_EQ(animation.frames.size(), 50u);
}

TEST(GifAnimationRead, FramesBeyondTheMemoryBoundAreNotHeld) {
    GifBuilder b;
    b.Header("GIF89a", 100, 100, 0x81).Table(4, Four);
    for (int32_t i = 0; i < 5; ++i) b.Descriptor(100, 100, 0x00).Data(2, Bytes(10000, 1));
    b.Trailer();
    CGifReadLimits limits;
    limits.maxBytes = 3 * (10000 + kGifFrameRecordBytes);
    CGifAnimation animation;
    EXPECT_EQ(Read(b.bytes, &animation, limits), GifReadStatus::TooLarge);
    EXPECT_EQ(animation.frames.size(), 3u);
}
