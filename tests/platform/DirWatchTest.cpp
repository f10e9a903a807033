// Following a directory: what counts as a change, files under way, and bursts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/DirWatch.h"
#include "tests/support/TestFiles.h"

namespace {

std::string FreshFolder(const std::string& name) {
    const std::string dir = TempPath(name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// Polls TakeChange until it answers true or a generous deadline passes.
bool ChangeSeen(CDirectoryWatch& watch) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!watch.TakeChange()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// True when no change settles within twice the longest wait a change can take.
bool QuietFor(CDirectoryWatch& watch) {
    const auto until = std::chrono::steady_clock::now() + 2 * CDirectoryWatch::kMaxWait;
    while (std::chrono::steady_clock::now() < until) {
        if (watch.TakeChange()) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(DirWatchTest, AFileCountsOnceClosedAndIsUnderWayUntilThen) {
    const std::string dir = FreshFolder("watch-close");
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));
    EXPECT_EQ(watch.Dir(), dir);

    const int fd = ::open((dir + "/f1.jpg").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_TRUE(watch.IsBeingWritten("f1.jpg"));
    ::close(fd);
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_FALSE(watch.IsBeingWritten("f1.jpg"));

    std::filesystem::rename(dir + "/f1.jpg", dir + "/f2.jpg");
    EXPECT_TRUE(ChangeSeen(watch));
    std::filesystem::remove(dir + "/f2.jpg");
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_TRUE(QuietFor(watch));
}

TEST(DirWatchTest, ABurstOfAThousandFilesSettlesIntoAFewChanges) {
    const std::string dir = FreshFolder("watch-burst");
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));
    int changes = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(WriteAll(dir + "/f" + std::to_string(i) + ".jpg", {1, 2, 3}));
        if (watch.TakeChange()) ++changes;
    }
    EXPECT_TRUE(ChangeSeen(watch));
    ++changes;
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_LT(changes, 50);
}

TEST(DirWatchTest, AMissingDirectoryIsRefusedAndStopEndsTheWatch) {
    CDirectoryWatch watch;
    EXPECT_FALSE(watch.Start(TempPath("no-such-folder/inside")));
    EXPECT_FALSE(watch.IsWatching());
    EXPECT_FALSE(watch.TakeChange());

    const std::string dir = FreshFolder("watch-stop");
    ASSERT_TRUE(watch.Start(dir));
    watch.Stop();
    ASSERT_TRUE(WriteAll(dir + "/f.jpg", {1}));
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_TRUE(watch.Dir().empty());
}

}  // namespace
