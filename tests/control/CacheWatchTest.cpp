// The frame cache and the live directory, seen from the control: what is shown, what the
// container hears, and what the cache holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ControlFixture.h"
#include "platform/FileIO.h"
#include "playback/Commands.h"
#include "tests/support/TestFiles.h"

namespace control_test {
namespace {

using Log = std::vector<std::string>;

class CacheWatchTest : public ControlTest {
protected:
    void PlayLooped(int32_t delay) {
        SetBool("Loop", true);
        SetLong("Delay", delay);
        SetShort("Command", kCommandPlay);
    }
    std::string FramePath(int32_t i) const { return frameDir + "/f" + std::to_string(i) + ".jpg"; }
};

// The cache never shows what a file held before: a frame rewritten in place while the loop
// plays from memory shows its new picture when the loop comes round to it.
TEST_F(CacheWatchTest, AFrameRewrittenInPlaceShowsItsNewPictureAtTheNextTurn) {
    ASSERT_TRUE(StartWithFrames(3));
    PlayLooped(20);
    ASSERT_TRUE(WaitFor([&] { return ctrl->CachedFrameCount() == 3; }));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(16) == 1; }));

    // Frame 1's file takes another picture, written over the old bytes, until its stamp
    // shows the change (a file system's clock may tick coarser than two writes).
    const std::string other = FreshDir("other") + "/new.jpg";
    ASSERT_TRUE(WriteSolidJpeg(other, FrameColour(9)));
    const std::vector<uint8_t> bytes = ReadAll(other);
    FileStamp before;
    ASSERT_TRUE(GetFileStamp(FramePath(1), &before));
    ASSERT_TRUE(WaitFor([&] {
        FileStamp now;
        return WriteAll(FramePath(1), bytes) && GetFileStamp(FramePath(1), &now) &&
               !(now == before);
    }));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(16) == 9; }));
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
}

TEST_F(CacheWatchTest, CacheSizeZeroKeepsNothingAndTheDefaultKeepsTheLoop) {
    ASSERT_TRUE(StartWithFrames(4));
    SetLong("CacheSize", 0);
    PlayLooped(5);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(4) == 3; }));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(4) == 0; }));
    EXPECT_EQ(ctrl->CachedFrameCount(), 0);
    SetLong("CacheSize", 256);
    EXPECT_TRUE(WaitFor([&] { return ctrl->CachedFrameCount() == 4; }));
}

// Fifty frames renamed in while the loop plays join the list: the command stays, the
// container hears nothing.
TEST_F(CacheWatchTest, WatchTakesFramesRenamedInWithoutStoppingOrAnEvent) {
    ASSERT_TRUE(StartWithFrames(5));
    SetBool("Watch", true);
    PlayLooped(10);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(5) == 2; }));
    EventRecorder heard(*ctrl);

    const std::string staging = FreshDir("staging");
    for (int32_t i = 5; i < 55; ++i) {
        ASSERT_TRUE(WriteSolidJpeg(staging + "/f" + std::to_string(i) + ".jpg", FrameColour(i)));
    }
    for (int32_t i = 5; i < 55; ++i) {
        const std::string name = "/f" + std::to_string(i) + ".jpg";
        std::filesystem::rename(staging + name, frameDir + name);
    }
    ASSERT_TRUE(WaitFor([&] { return ctrl->ShownFrameCount() == 55; }));
    // The new frames are played: the loop reaches beyond the first five.
    ASSERT_TRUE(WaitFor([&] { return ctrl->ShownFrameIndex() >= 40; }));
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    EXPECT_EQ(heard.log, Log{});
}

// The frame on show is removed while the control rests on it: the one after it takes its
// place, and nothing else changes.
TEST_F(CacheWatchTest, WatchShowsTheNextFrameWhenTheOneOnShowIsRemoved) {
    ASSERT_TRUE(StartWithFrames(5));
    SetBool("Watch", true);
    // The first step command enters single-step mode; then one step at a time, since wakes
    // given faster than the worker takes them merge into one.
    SetShort("Command", kCommandStepFor);
    Quiesce();
    for (int32_t i = 0; i < 5 && ShownFrame(5) < 2; ++i) {
        const int32_t next = ShownFrame(5) + 1;
        SetShort("Command", kCommandStepFor);
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(5) == next; }));
    }
    ASSERT_EQ(ShownFrame(5), 2);
    Quiesce();
    const VARIANT_BOOL pause = GetBool("Pause");
    EventRecorder heard(*ctrl);

    std::filesystem::remove(FramePath(2));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(5) == 3 && ctrl->ShownFrameCount() == 4; }));
    EXPECT_EQ(ctrl->ShownFrameIndex(), 2);  // frame 3 of the files is index 2 of the list now
    EXPECT_EQ(GetLong("Command"), kCommandStepFor);
    EXPECT_EQ(GetBool("Pause"), pause);
    Settle();
    EXPECT_EQ(heard.log, Log{});
    // The next step goes on from there.
    SetShort("Command", kCommandStepFor);
    EXPECT_TRUE(WaitFor([&] { return ShownFrame(5) == 4; }));
}

// Every frame removed, then one written again: the list empties without a crash or an event,
// and the frame that comes back is shown.
TEST_F(CacheWatchTest, WatchFollowsAFolderEmptiedAndFilledAgain) {
    ASSERT_TRUE(StartWithFrames(3));
    SetBool("Watch", true);
    EventRecorder heard(*ctrl);
    for (int32_t i = 0; i < 3; ++i) std::filesystem::remove(FramePath(i));
    ASSERT_TRUE(WaitFor([&] { return ctrl->ShownFrameCount() == 0; }));
    ASSERT_TRUE(WriteSolidJpeg(FramePath(5), FrameColour(5)));
    EXPECT_TRUE(WaitFor([&] { return ctrl->ShownFrameCount() == 1 && ShownFrame(16) == 5; }));
    EXPECT_EQ(heard.log, Log{});
}

// The folder removed while the loop plays and made again with other frames: the loop goes on
// with them, the command stays, the container hears nothing.
TEST_F(CacheWatchTest, WatchFollowsAFolderRemovedAndMadeAgainWithNewFrames) {
    ASSERT_TRUE(StartWithFrames(3));
    SetBool("Watch", true);
    PlayLooped(10);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 2; }));
    EventRecorder heard(*ctrl);

    std::filesystem::remove_all(frameDir);
    Settle();
    std::filesystem::create_directories(frameDir);
    for (int32_t i = 8; i < 12; ++i) ASSERT_TRUE(WriteSolidJpeg(FramePath(i), FrameColour(i)));
    ASSERT_TRUE(WaitFor([&] { return ctrl->ShownFrameCount() == 4; }));
    // Every new frame comes round, the last one too.
    EXPECT_TRUE(WaitFor([&] { return ShownFrame(16) == 8; }));
    EXPECT_TRUE(WaitFor([&] { return ShownFrame(16) == 11; }));
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    EXPECT_EQ(heard.log, Log{});
}

TEST_F(CacheWatchTest, WithoutWatchTheListStaysAsScannedUntilWatchIsTurnedOn) {
    ASSERT_TRUE(StartWithFrames(3));
    SetShort("Command", kCommandStepFor);
    SetShort("Command", kCommandStepFor);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(5) == 1; }));
    ASSERT_TRUE(WriteSolidJpeg(FramePath(3), FrameColour(3)));
    ASSERT_TRUE(WriteSolidJpeg(FramePath(4), FrameColour(4)));
    std::filesystem::remove(FramePath(1));
    Settle(600);
    EXPECT_EQ(ctrl->ShownFrameCount(), 3);
    EXPECT_EQ(ShownFrame(5), 1);
    // Turning Watch on takes in what changed meanwhile.
    SetBool("Watch", true);
    EXPECT_TRUE(WaitFor([&] { return ctrl->ShownFrameCount() == 4 && ShownFrame(5) == 2; }));
}

}  // namespace
}  // namespace control_test
