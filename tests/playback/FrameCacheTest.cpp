// The frame cache: distances along the course, what the budget keeps, files that change, and
// the read-ahead threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "codecs/Codecs.h"
#include "image/Image.h"
#include "platform/FileIO.h"
#include "platform/Thread.h"
#include "playback/FrameCache.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestFrames.h"

namespace {

const std::function<bool()> kNeverStop = [] { return false; };

// Polls until done holds or a generous deadline passes.
bool PollUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// Centre colour of a decoded frame.
COLORREF CentreOf(CImage& image) {
    BYTE r = 0, g = 0, b = 0;
    image.GetPixelRGB(kFrameWidth / 2, kFrameHeight / 2, &r, &g, &b);
    return RGB(r, g, b);
}

class FrameCacheTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterCodecs(); }
    // n frames f0.jpg... in a fresh folder, listed in the cache in that order.
    void List(int32_t n) {
        const std::string dir = FreshDir();
        WriteFrames(dir, "f", n);
        paths.clear();
        for (int32_t i = 0; i < n; ++i) paths.push_back(dir + "/f" + std::to_string(i) + ".jpg");
        cache.SetList(paths);
    }
    std::shared_ptr<CImage> Take(int32_t i, bool* kept = nullptr) {
        bool ignored = false;
        return cache.Take(paths[size_t(i)], kNeverStop, kept ? kept : &ignored);
    }
    // The bytes one frame takes in the cache.
    int64_t FrameBytes() {
        CFrameCache probe;
        probe.SetBudget(1 << 20);
        probe.SetList({paths[0]});
        bool kept = false;
        probe.Take(paths[0], kNeverStop, &kept);
        return probe.BytesUsed();
    }

    CFrameCache cache;
    std::vector<CString> paths;
};

TEST(StepsUntilTest, CountsStepsAlongEveryKindOfCourse) {
    CPlayCourse loop{1, 5, true, true, false};
    EXPECT_EQ(StepsUntil(loop, 2), 1);
    EXPECT_EQ(StepsUntil(loop, 0), 4);
    EXPECT_EQ(StepsUntil(loop, 1), 5);  // the frame on show comes back after a whole pass
    loop.forward = false;
    EXPECT_EQ(StepsUntil(loop, 0), 1);
    EXPECT_EQ(StepsUntil(loop, 2), 4);

    CPlayCourse once{1, 5, true, false, false};
    EXPECT_EQ(StepsUntil(once, 4), 3);
    EXPECT_EQ(StepsUntil(once, 0), kNeverAgain);
    EXPECT_EQ(StepsUntil(once, 1), kNeverAgain);
    once.forward = false;
    EXPECT_EQ(StepsUntil(once, 0), 1);
    EXPECT_EQ(StepsUntil(once, 2), kNeverAgain);

    CPlayCourse fresh{-1, 5, true, false, false};
    EXPECT_EQ(StepsUntil(fresh, 0), 1);
    fresh.forward = false;
    EXPECT_EQ(StepsUntil(fresh, 4), 1);

    // Bounce over 4 frames, going back from 2: 1, 0, 1, 2, 3, 2...
    CPlayCourse bounce{2, 4, false, true, true};
    EXPECT_EQ(StepsUntil(bounce, 1), 1);
    EXPECT_EQ(StepsUntil(bounce, 0), 2);
    EXPECT_EQ(StepsUntil(bounce, 2), 4);
    EXPECT_EQ(StepsUntil(bounce, 3), 5);
    // At the last frame going forward, the turn comes first: 2, 1, 0.
    bounce = CPlayCourse{3, 4, true, true, true};
    EXPECT_EQ(StepsUntil(bounce, 2), 1);
    EXPECT_EQ(StepsUntil(bounce, 0), 3);

    EXPECT_EQ(StepsUntil(loop, 5), kNeverAgain);
    EXPECT_EQ(StepsUntil(CPlayCourse{0, 0, true, true, false}, 0), kNeverAgain);
}

TEST_F(FrameCacheTest, AnUnchangedFileIsServedFromMemoryAndARewrittenOneIsReadAgain) {
    List(3);
    cache.SetBudget(1 << 20);
    bool kept = false;
    const std::shared_ptr<CImage> first = Take(0, &kept);
    ASSERT_TRUE(first);
    EXPECT_TRUE(kept);
    EXPECT_EQ(Take(0).get(), first.get());
    EXPECT_EQ(cache.DecodeCount(), 1);
    EXPECT_EQ(cache.FrameCount(), 1);

    // Frame 2's bytes written over frame 0 in place, until the file's stamp shows it (a
    // file system's clock may tick coarser than two writes).
    FileStamp before;
    ASSERT_TRUE(GetFileStamp(paths[0], &before));
    const std::vector<uint8_t> other = ReadAll(paths[2]);
    ASSERT_TRUE(PollUntil([&] {
        FileStamp now;
        return WriteAll(paths[0], other) && GetFileStamp(paths[0], &now) && !(now == before);
    }));
    const std::shared_ptr<CImage> again = Take(0);
    ASSERT_TRUE(again);
    EXPECT_NE(again.get(), first.get());
    EXPECT_EQ(cache.DecodeCount(), 2);
    EXPECT_LT(ColourDistance(CentreOf(*again), FrameColour(2)), 60);
    EXPECT_EQ(cache.FrameCount(), 1);  // the stale picture is gone, not kept beside
}

TEST_F(FrameCacheTest, WithoutABudgetNothingIsKeptAndAMissingFileGivesNothing) {
    List(2);
    bool kept = true;
    ASSERT_TRUE(Take(0, &kept));
    EXPECT_FALSE(kept);
    EXPECT_EQ(cache.FrameCount(), 0);
    cache.SetBudget(1 << 20);
    EXPECT_FALSE(cache.Take(paths[0] + ".gone", kNeverStop, &kept));
    EXPECT_FALSE(kept);
}

// A loop of twice the budget: plain least-recently-used would evict every frame just before
// it is needed again; keeping the frames needed soonest serves half of every later pass.
TEST_F(FrameCacheTest, ALoopOfTwiceTheBudgetServesHalfOfEveryLaterPass) {
    List(8);
    cache.SetBudget(4 * FrameBytes() + FrameBytes() / 2);
    std::vector<int64_t> decodesPerPass;
    for (int pass = 0; pass < 3; ++pass) {
        const int64_t before = cache.DecodeCount();
        for (int32_t i = 0; i < 8; ++i) {
            cache.SetCourse(CPlayCourse{i, 8, true, true, false});
            ASSERT_TRUE(Take(i));
        }
        decodesPerPass.push_back(cache.DecodeCount() - before);
    }
    EXPECT_EQ(decodesPerPass, (std::vector<int64_t>{8, 4, 4}));
    EXPECT_LE(cache.BytesUsed(), 4 * FrameBytes() + FrameBytes() / 2);
}

TEST_F(FrameCacheTest, ASmallerBudgetEvictsTheFarthestFirst) {
    List(6);
    cache.SetBudget(1 << 20);
    cache.SetCourse(CPlayCourse{0, 6, true, true, false});
    for (int32_t i = 1; i < 6; ++i) ASSERT_TRUE(Take(i));
    cache.SetBudget(2 * FrameBytes());
    EXPECT_EQ(cache.FrameCount(), 2);
    const int64_t decodes = cache.DecodeCount();
    Take(1);
    Take(2);
    EXPECT_EQ(cache.DecodeCount(), decodes);  // 1 and 2, the nearest ahead, stayed
    cache.SetBudget(0);
    EXPECT_EQ(cache.FrameCount(), 0);
    EXPECT_EQ(cache.BytesUsed(), 0);
}

TEST_F(FrameCacheTest, ReadAheadDecodesEachFrameOnceAndTheTakesThenDecodeNothing) {
    List(10);
    cache.SetBudget(1 << 20);
    const int32_t threadsBefore = RunningThreadCount();
    cache.SetCourse(CPlayCourse{0, 10, true, true, false});
    cache.StartReadAhead(2);
    ASSERT_TRUE(PollUntil([&] { return cache.FrameCount() == 10; }));
    cache.StopReadAhead();
    EXPECT_FALSE(cache.ReadingAhead());
    EXPECT_TRUE(PollUntil([&] { return RunningThreadCount() == threadsBefore; }));
    EXPECT_EQ(cache.DecodeCount(), 10);
    for (int32_t i = 0; i < 10; ++i) {
        bool kept = false;
        ASSERT_TRUE(Take(i, &kept));
        EXPECT_TRUE(kept);
    }
    EXPECT_EQ(cache.DecodeCount(), 10);
}

// With the budget binding, read-ahead takes the frames nearest ahead and then rests, leaving
// room for a decode under way (four frames' worth); a file it cannot read is tried once and
// left to the step that needs it.
TEST_F(FrameCacheTest, ReadAheadStopsAtTheBudgetAndDoesNotRetryABadFile) {
    List(10);
    ASSERT_TRUE(WriteAll(paths[2], {'n', 'o', 't'}));
    const int64_t frame = FrameBytes();
    cache.SetBudget(7 * frame + frame / 2);
    cache.SetCourse(CPlayCourse{0, 10, true, true, false});
    cache.StartReadAhead(1);
    ASSERT_TRUE(PollUntil([&] { return cache.FrameCount() == 4; }));
    cache.StopReadAhead();
    // Frames 1, 3, 4 and 5 are kept; 2 was read once and failed.
    EXPECT_EQ(cache.DecodeCount(), 5);
    EXPECT_LE(cache.BytesUsed(), 7 * frame + frame / 2);
    cache.StartReadAhead(1);
    cache.SetCourse(CPlayCourse{0, 10, true, true, false});
    cache.StopReadAhead();
    EXPECT_EQ(cache.DecodeCount(), 5);
    for (int32_t i : {1, 3, 4, 5}) {
        bool kept = false;
        ASSERT_TRUE(Take(i, &kept));
        EXPECT_TRUE(kept) << i;
    }
    EXPECT_EQ(cache.DecodeCount(), 5);
    EXPECT_FALSE(Take(2));
}

// Room for a decode ahead is made from frames needed later, never from sooner ones.
TEST_F(FrameCacheTest, ReadAheadMakesRoomFromFramesNeededLater) {
    List(10);
    const int64_t frame = FrameBytes();
    cache.SetBudget(6 * frame + frame / 2);
    // The worker kept 7, 8 and 9 while the cursor was far from them.
    cache.SetCourse(CPlayCourse{0, 10, true, true, false});
    for (int32_t i : {7, 8, 9}) ASSERT_TRUE(Take(i));
    ASSERT_EQ(cache.FrameCount(), 3);
    // Now 1 is next: 9, then 8, give way to it and to 2. A stop abandons the decode under
    // way, so the one after 2 has to have started (one thread: 1 and 2 are done by then).
    cache.StartReadAhead(1);
    ASSERT_TRUE(PollUntil([&] { return cache.DecodeCount() >= 6; }));
    cache.StopReadAhead();
    const int64_t decodes = cache.DecodeCount();
    for (int32_t i : {1, 2}) {
        bool kept = false;
        ASSERT_TRUE(Take(i, &kept));
        EXPECT_TRUE(kept) << i;
    }
    EXPECT_EQ(cache.DecodeCount(), decodes);
    EXPECT_LE(cache.BytesUsed(), 6 * frame + frame / 2);
}

// Frames of two sizes: a small one first, then larger ones, as a camera that changes its
// resolution writes them.
class MixedFramesTest : public FrameCacheTest {
protected:
    static constexpr int32_t kLargeWidth = 400;
    static constexpr int32_t kLargeHeight = 300;
    void ListMixed(int32_t large) {
        const std::string dir = FreshDir();
        paths = {dir + "/m0.jpg"};
        ASSERT_TRUE(WriteSolidJpeg(paths[0], FrameColour(0)));
        for (int32_t i = 1; i <= large; ++i) {
            paths.push_back(dir + "/m" + std::to_string(i) + ".jpg");
            ASSERT_TRUE(WriteSolidJpeg(paths.back(), FrameColour(i), kLargeWidth, kLargeHeight));
        }
        cache.SetList(paths);
    }
    // What one large frame takes when kept, measured as a small one is.
    int64_t LargeFrameBytes() {
        CFrameCache probe;
        probe.SetBudget(8 << 20);
        probe.SetList({paths[1]});
        bool kept = false;
        probe.Take(paths[1], kNeverStop, &kept);
        return probe.BytesUsed();
    }
};

// Each decode ahead reserves what its own frame needs, read from its header, so many threads
// never hold more than the budget, whatever frame came before.
TEST_F(MixedFramesTest, DecodesAheadReserveTheirOwnFrameAndFitTheBudgetOnManyThreads) {
    ListMixed(15);
    const int64_t large = LargeFrameBytes();
    // Room for three large decodes at a time (each reserves four frames: the picture and the
    // decoder's 24-bit copy).
    const int64_t budget = 12 * large + large / 2;
    cache.SetBudget(budget);
    ASSERT_TRUE(Take(0));  // the small frame is the last one seen
    // Played once from the small frame: every frame ahead is a large one. (With a loop the
    // small one, evicted to make room, would come round again and decode beside three large.)
    cache.SetCourse(CPlayCourse{0, 16, true, false, false});
    cache.StartReadAhead(15);
    ASSERT_TRUE(PollUntil([&] { return cache.FrameCount() >= 4; }));
    cache.StopReadAhead();
    EXPECT_LE(cache.PeakCommitted(), budget);
    EXPECT_GE(cache.PeakDecodesAhead(), 1);
    EXPECT_LE(cache.PeakDecodesAhead(), 3);
    EXPECT_LE(cache.BytesUsed(), budget);
}

// A frame that needs more than the whole budget to decode is left to the worker; read-ahead
// goes on to the frames after it.
TEST_F(MixedFramesTest, AFrameLargerThanTheBudgetIsNotDecodedAheadButStillShown) {
    ListMixed(2);
    const std::string after = FreshDir("small-after") + "/m3.jpg";
    ASSERT_TRUE(WriteSolidJpeg(after, FrameColour(3)));
    paths.push_back(after);
    cache.SetList(paths);
    const int64_t large = LargeFrameBytes();
    cache.SetBudget(2 * large);
    cache.SetCourse(CPlayCourse{0, 4, true, false, false});
    cache.StartReadAhead(2);
    ASSERT_TRUE(PollUntil([&] { return cache.FrameCount() == 1; }));
    cache.StopReadAhead();
    EXPECT_EQ(cache.DecodeCount(), 1) << "only the small frame after the large ones";
    bool kept = false;
    ASSERT_TRUE(Take(3, &kept));
    EXPECT_TRUE(kept);
    const std::shared_ptr<CImage> shown = Take(1, &kept);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->GetWidth(), kLargeWidth);
}

// A stop request reaches read-ahead at once: threads leave without being told to stop reading
// ahead, no decode starts after it, and the worker's own Take starts none either.
TEST_F(FrameCacheTest, AfterAStopRequestNoDecodeStarts) {
    std::atomic<bool> stopped{false};
    CFrameCache owned([&] { return stopped.load(); });
    List(6);
    owned.SetList(paths);
    owned.SetBudget(1 << 20);
    owned.SetCourse(CPlayCourse{0, 6, true, true, false});
    bool kept = false;
    const auto stop = [&] { return stopped.load(); };
    ASSERT_TRUE(owned.Take(paths[0], stop, &kept));
    stopped = true;
    const int64_t decodes = owned.DecodeCount();
    owned.StartReadAhead(3);
    EXPECT_TRUE(PollUntil([&] { return !owned.ReadingAhead(); }));
    EXPECT_FALSE(owned.Take(paths[1], stop, &kept));
    EXPECT_EQ(owned.DecodeCount(), decodes);
    // What was kept before the stop is still served.
    EXPECT_EQ(owned.FrameCount(), 1);
}

// A stop check whose copy fails once armed, as a copy that runs out of memory would: the
// decode that copies it throws.
struct CFailingCopy {
    std::atomic<bool>* armed;
    explicit CFailingCopy(std::atomic<bool>* a) : armed(a) {}
    CFailingCopy(const CFailingCopy& other) : armed(other.armed) {
        if (armed->load()) throw std::bad_alloc();
    }
    bool operator()() const { return false; }
};

TEST_F(FrameCacheTest, ADecodeThatThrowsLeavesTheFrameToTheNextTake) {
    List(2);
    cache.SetBudget(1 << 20);
    std::atomic<bool> armed{false};
    const std::function<bool()> failing{CFailingCopy(&armed)};
    armed = true;
    bool kept = false;
    EXPECT_THROW(cache.Take(paths[0], failing, &kept), std::bad_alloc);
    // Had the throw left the frame marked as under way, this Take would wait for that decode
    // until its own stop (a generous deadline) gave up.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const std::function<bool()> patient = [&] {
        return std::chrono::steady_clock::now() > deadline;
    };
    const std::shared_ptr<CImage> frame = cache.Take(paths[0], patient, &kept);
    ASSERT_TRUE(frame);
    EXPECT_LT(ColourDistance(CentreOf(*frame), FrameColour(0)), 60);
}

// Frames kept are keyed by their scale too: a hit needs the scale the fit asks for now, and a
// fit that asks for another drops what was kept at the old one.
TEST_F(MixedFramesTest, KeptFramesAreServedOnlyAtTheScaleTheFitAsksFor) {
    ListMixed(2);
    cache.SetBudget(8 << 20);
    // 400x300 in an area of 100x100: drawn at 100x75, which 2/8 covers.
    const CFrameFit small{true, 100, 100, FALSE};
    cache.SetFit(small);
    bool kept = false;
    const std::shared_ptr<CImage> scaled = Take(1, &kept);
    ASSERT_TRUE(scaled);
    EXPECT_TRUE(kept);
    EXPECT_EQ(scaled->GetWidth(), 100);
    EXPECT_EQ(scaled->GetFullWidth(), kLargeWidth);
    EXPECT_EQ(Take(1).get(), scaled.get());
    // The small frame is not shrunk in that area: it decodes whole under the same fit.
    EXPECT_EQ(Take(0)->GetWidth(), kFrameWidth);
    EXPECT_EQ(cache.DecodeCount(), 2);

    // A larger area needs 4/8: the frame kept at 2/8 is dropped, the small one stays.
    cache.SetFit(CFrameFit{true, 200, 200, FALSE});
    EXPECT_EQ(cache.FrameCount(), 1);
    EXPECT_EQ(Take(1)->GetWidth(), 200);
    EXPECT_EQ(cache.DecodeCount(), 3);
    // Off: whole frames again.
    cache.SetFit(CFrameFit{});
    EXPECT_EQ(Take(1)->GetWidth(), kLargeWidth);
    EXPECT_EQ(Take(0, &kept)->GetWidth(), kFrameWidth);
    EXPECT_TRUE(kept);
    EXPECT_EQ(cache.DecodeCount(), 4) << "the small frame was kept at the scale it still needs";
}

}  // namespace
