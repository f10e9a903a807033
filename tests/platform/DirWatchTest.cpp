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

// Polls TakeChange, which reads what the system reports, until the watch no longer says it
// is watching.
bool DropSeen(CDirectoryWatch& watch) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (watch.IsWatching()) {
        if (watch.TakeChange() || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// A frame written into dir is seen, one written into other is not.
void ExpectFollows(CDirectoryWatch& watch, const std::string& dir, const std::string& other) {
    ASSERT_TRUE(WriteAll(other + "/elsewhere.jpg", {1}));
    EXPECT_TRUE(QuietFor(watch));
    ASSERT_TRUE(WriteAll(dir + "/here.jpg", {1}));
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_TRUE(watch.IsWatching());
    EXPECT_EQ(watch.Dir(), dir);
}

TEST(DirWatchTest, AFileCountsOnceClosedAndIsUnderWayUntilThen) {
    const std::string dir = FreshDir("watch-close");
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
    const std::string dir = FreshDir("watch-burst");
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

    const std::string dir = FreshDir("watch-stop");
    ASSERT_TRUE(watch.Start(dir));
    watch.Stop();
    ASSERT_TRUE(WriteAll(dir + "/f.jpg", {1}));
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_TRUE(watch.Dir().empty());
}

TEST(DirWatchTest, AFolderRemovedAndMadeAgainIsFollowedAgain) {
    const std::string dir = FreshDir("watch-remade");
    const std::string other = FreshDir("watch-remade-other");
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));
    ASSERT_TRUE(WriteAll(dir + "/f1.jpg", {1}));
    ASSERT_TRUE(ChangeSeen(watch));

    // Gone: not watching, nothing to report, still following the path.
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(DropSeen(watch));
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_FALSE(watch.IsWatching());
    EXPECT_EQ(watch.Dir(), dir);

    // Back: what it holds counts as one change, and it is followed from then on.
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(WriteAll(dir + "/f2.jpg", {1}));
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_TRUE(watch.IsWatching());
    EXPECT_TRUE(QuietFor(watch));
    ExpectFollows(watch, dir, other);

    // Removed and made again before the watch looks: the new folder is followed all the same.
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_TRUE(QuietFor(watch));
    ExpectFollows(watch, dir, other);
}

TEST(DirWatchTest, AFolderRenamedAwayIsLeftForTheOneMadeInItsPlace) {
    const std::string dir = FreshDir("watch-swap");
    const std::string away = TempPath("watch-swap-away");
    std::filesystem::remove_all(away);
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));

    std::filesystem::rename(dir, away);
    ASSERT_TRUE(DropSeen(watch));
    EXPECT_TRUE(QuietFor(watch));
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(ChangeSeen(watch));
    ExpectFollows(watch, dir, away);

    // Swapped at once: the one renamed away is the old one, the one at the path the new.
    std::filesystem::remove_all(away);
    std::filesystem::rename(dir, away);
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(ChangeSeen(watch));
    ExpectFollows(watch, dir, away);
}

// The folder itself sees nothing of its parent's rename; the path is checked all the same.
TEST(DirWatchTest, AFolderWhoseParentIsRenamedIsFollowedAtItsPath) {
    const std::string parent = FreshDir("watch-parent");
    const std::string away = TempPath("watch-parent-away");
    std::filesystem::remove_all(away);
    const std::string dir = parent + "/frames";
    std::filesystem::create_directories(dir);
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));

    std::filesystem::rename(parent, away);
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(ChangeSeen(watch));
    ExpectFollows(watch, dir, away + "/frames");
}

#ifndef _WIN32  // symbolic links need a privilege on Windows
// Links have no writer to wait for: they join at once, whichever way they are made.
TEST(DirWatchTest, HardAndSymbolicLinksJoinAtOnce) {
    const std::string dir = FreshDir("watch-links");
    const std::string staging = FreshDir("watch-links-staging");
    ASSERT_TRUE(WriteAll(staging + "/a.jpg", {1, 2}));
    ASSERT_TRUE(WriteAll(staging + "/b.jpg", {1, 2}));
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));

    ASSERT_EQ(::link((staging + "/a.jpg").c_str(), (dir + "/hard.jpg").c_str()), 0);
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_FALSE(watch.IsBeingWritten("hard.jpg"));

    ASSERT_EQ(::symlink((staging + "/a.jpg").c_str(), (dir + "/soft.jpg").c_str()), 0);
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_FALSE(watch.IsBeingWritten("soft.jpg"));

    // Linked in and its first name removed: a single link, still no writer.
    ASSERT_EQ(::link((staging + "/b.jpg").c_str(), (dir + "/moved.jpg").c_str()), 0);
    ASSERT_EQ(::unlink((staging + "/b.jpg").c_str()), 0);
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_FALSE(watch.IsBeingWritten("moved.jpg"));
    EXPECT_TRUE(QuietFor(watch));
}
#endif

// A slow writer: open before its first byte, pauses, a reader looking in meanwhile. None of
// it lets the file join before it is closed.
TEST(DirWatchTest, AFileHeldOpenForWritingStaysHeldBackUntilClosed) {
    const std::string dir = FreshDir("watch-slow");
    const std::string path = dir + "/slow.jpg";
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));

    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_TRUE(watch.IsBeingWritten("slow.jpg"));
    ASSERT_EQ(::write(fd, "ab", 2), 2);
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ::close(reader);
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_TRUE(watch.IsBeingWritten("slow.jpg"));
    ASSERT_EQ(::write(fd, "cd", 2), 2);
    EXPECT_TRUE(QuietFor(watch));
    EXPECT_TRUE(watch.IsBeingWritten("slow.jpg"));

    ::close(fd);
    EXPECT_TRUE(ChangeSeen(watch));
    EXPECT_FALSE(watch.IsBeingWritten("slow.jpg"));
}

// Names under way are capped: a burst of files written and never closed holds no more than
// the cap, and the ones past it join as files elsewhere do.
TEST(DirWatchTest, NamesUnderWayStayBoundedWhateverTheBurst) {
    const std::string dir = FreshDir("watch-cap");
    const size_t n = CDirectoryWatch::kMaxUnderway + 64;
    for (size_t i = 0; i < n; ++i) {
        ASSERT_TRUE(WriteAll(dir + "/f" + std::to_string(i) + ".jpg", {1, 2, 3}));
    }
    CDirectoryWatch watch;
    ASSERT_TRUE(watch.Start(dir));
    // A size change by name opens nothing, so no close ever follows it.
    bool seen = false;
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(::truncate((dir + "/f" + std::to_string(i) + ".jpg").c_str(), 1), 0);
        if (watch.TakeChange()) seen = true;
    }
    EXPECT_TRUE(seen || ChangeSeen(watch));
    size_t held = 0;
    for (size_t i = 0; i < n; ++i) {
        if (watch.IsBeingWritten("f" + std::to_string(i) + ".jpg")) ++held;
    }
    EXPECT_GT(held, 0u);
    EXPECT_LE(held, CDirectoryWatch::kMaxUnderway);
    EXPECT_FALSE(watch.IsBeingWritten("f" + std::to_string(n - 1) + ".jpg"));
}

}  // namespace
