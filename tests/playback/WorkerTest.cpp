// The playback worker, driven through a fake of the control side that records what the worker
// posts and signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <thread>
#include <vector>

#include "image/Image.h"
#include "platform/Memory.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "playback/Commands.h"
#include "playback/FramePlayer.h"
#include "tests/support/FramePlayerProbe.h"
#include "tests/support/TestFrames.h"
#include "tests/support/TestTmp.h"

namespace {

// Tiny real frames f0.jpg ... f<n-1>.jpg in the test's scratch folder, written once.
const std::string& FrameDir() {
    static const std::string dir = [] {
        const std::string d = TestTmp() + "/frames";
        std::filesystem::create_directories(d);
        for (int i = 0; i < 10; ++i) {
            if (!WriteSolidJpeg(d + "/f" + std::to_string(i) + ".jpg", FrameColour(i), 4, 4))
                std::abort();
        }
        return d;
    }();
    return dir;
}

// A directory search that finds the given paths, in order.
class PathsFind : public CFileFind {
public:
    explicit PathsFind(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    BOOL FindFile(const CString&) override { return paths_.empty() ? FALSE : TRUE; }
    BOOL FindNextFile() override { return ++i_ < int(paths_.size()) ? TRUE : FALSE; }
    CString GetFilePath() const override { return paths_[size_t(i_ - 1)]; }
    CString GetFileTitle() const override {
        const std::string& p = paths_[size_t(i_ - 1)];
        const size_t slash = p.rfind('/') + 1;
        return p.substr(slash, p.rfind('.') - slash);
    }

private:
    std::vector<std::string> paths_;
    int i_ = 0;
};

// The image on show, through the surface a paint uses.
CImage& ShownImage(CFramePlayer& player) {
    CImage* shown = nullptr;
    player.DrawShown([&](CImage& image) { shown = &image; });
    return *shown;
}
bool ShownIsValid(CFramePlayer& player) {
    return ShownImage(player).IsValid() != FALSE;
}

std::string FramePath(int i) {
    return FrameDir() + "/f" + std::to_string(i) + ".jpg";
}

class FakeControl : public CPlayerClient, public IWindowHandler {
public:
    FakeControl() : player(*this, source, playback) { m_hwnd = CreatePlatformWindow(this); }
    ~FakeControl() override { DestroyPlatformWindow(m_hwnd); }

    bool StopRequested() const override {
        if (onStopQuery) onStopQuery();
        return stop.load();
    }
    CEvent& RescanEvent() override { return rescan; }
    CEvent& WakeEvent() override {
        ++wakeLookups;  // the worker asks for it right before each wait
        return wake;
    }
    CEvent& EndEvent() override { return end; }
    CEvent& ExitEvent() override { return exitEvent; }
    HWND PlayerWindow() const override { return m_hwnd; }

    LRESULT OnWindowMessage(HWND, uint32_t msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_PLAYER_REFRESH && wParam == 0 && lParam == 0) {
            ++refreshes;
            if (paints) {
                // What a control's paint does with the worker: take the frame on show.
                int32_t count = 0, shown = -1;
                player.GetFrame(&painted, &count, &shown);
                paintedIndexes.push_back(shown);
            }
        }
        return 0;
    }

    // Builds a list of n entries and leaves the player just after the scan (index -1).
    void ScanFrames(int n) {
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i) paths.push_back(FramePath(i));
        ScanPaths(std::move(paths));
    }
    void ScanPaths(std::vector<std::string> paths) {
        source.SetSource("/nonexistent", "f", 0);
        PathsFind find(std::move(paths));
        player.ScanDirectory(find);
    }
    // Index of the entry whose file the last load asked for, from the image's path.
    int LoadedEntry() {
        const std::string path = player.ShownPath();
        if (path.empty()) return -1;
        return std::stoi(path.substr(path.rfind('f') + 1));
    }
    // Pumps the window's messages until the condition holds or a generous deadline passes.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            WaitMessage(20);
            PumpMessages();
        }
        return true;
    }

    CSourceSettings source;
    CPlaybackSettings playback;
    CFramePlayer player;
    CEvent rescan, wake, end, exitEvent;
    std::atomic<bool> stop{false};
    // Called at each stop query, from whichever thread asks (the worker, a decode).
    std::function<void()> onStopQuery;
    std::atomic<int> wakeLookups{0};
    int refreshes = 0;
    // Set, each refresh is painted as a control paints it.
    bool paints = false;
    std::shared_ptr<CImage> painted;
    std::vector<int32_t> paintedIndexes;

private:
    HWND m_hwnd;
};

TEST(StepTest, ForwardShowsEachFrameThenSignalsTheEnd) {
    FakeControl c;
    c.ScanFrames(3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(c.player.Step(kCommandPlay, FALSE));
        EXPECT_EQ(c.player.Shown(), i);
        EXPECT_EQ(c.LoadedEntry(), i);
        EXPECT_EQ(c.end.Wait(0), WAIT_TIMEOUT);
    }
    EXPECT_TRUE(c.player.Step(kCommandPlay, FALSE));
    EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(c.player.Current(), 2);
    EXPECT_TRUE(c.player.Step(kCommandPlay, FALSE));  // ends again at once
    PumpMessages();
    EXPECT_EQ(c.refreshes, 5);
}

TEST(StepTest, LoopWrapsBothWays) {
    FakeControl c;
    c.ScanFrames(3);
    std::vector<int> shown;
    for (int i = 0; i < 5; ++i) {
        c.player.Step(kCommandPlay, TRUE);
        shown.push_back(c.player.Shown());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0, 1}));
    shown.clear();
    for (int i = 0; i < 3; ++i) {
        c.player.Step(kCommandRplay, TRUE);
        shown.push_back(c.LoadedEntry());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 2, 1}));
}

// With Loop and Bounce a playing command turns at either end and records the turn for the
// control; turning back before the control followed leaves nothing to follow.
TEST(StepTest, BounceTurnsAtEitherEndAndRecordsTheTurn) {
    FakeControl c;
    c.ScanFrames(3);
    c.playback.SetBounce(TRUE);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        c.player.Step(kCommandPlay, TRUE);
        shown.push_back(c.player.Shown());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 1}));
    int32_t from = 0, to = 0;
    ASSERT_TRUE(c.player.PendingTurn(&from, &to));
    EXPECT_EQ(from, kCommandPlay);
    EXPECT_EQ(to, kCommandRplay);
    c.player.Step(kCommandRplay, TRUE);
    EXPECT_EQ(c.player.Shown(), 0);
    c.player.Step(kCommandRplay, TRUE);
    EXPECT_EQ(c.player.Shown(), 1);
    EXPECT_FALSE(c.player.PendingTurn(&from, &to));
    // Ff turns into Rew, the same speed the other way.
    c.player.Seek(2);
    c.player.Step(kCommandFf, TRUE);
    ASSERT_TRUE(c.player.PendingTurn(&from, &to));
    EXPECT_EQ(to, kCommandRew);
}

TEST(StepTest, BounceLeavesSingleStepsAndUnloopedPlayAsTheyWere) {
    FakeControl c;
    c.ScanFrames(3);
    c.playback.SetBounce(TRUE);
    c.player.Seek(2);
    c.player.Step(kCommandStepFor, TRUE);  // a step wraps with Loop, as before
    EXPECT_EQ(c.player.Shown(), 0);
    c.player.Seek(2);
    EXPECT_TRUE(c.player.Step(kCommandPlay, FALSE));  // the end, as before
    int32_t from = 0, to = 0;
    EXPECT_FALSE(c.player.PendingTurn(&from, &to));
}

TEST(StepTest, BackwardFromAFreshListStartsAtTheLastEntry) {
    FakeControl c;
    c.ScanFrames(3);
    std::vector<int> shown;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(c.player.Step(kCommandRew, FALSE));
        shown.push_back(c.LoadedEntry());
    }
    EXPECT_EQ(shown, (std::vector<int>{2, 1, 0}));
    EXPECT_TRUE(c.player.Step(kCommandRplay, FALSE));  // at entry 0 without loop: the end
    EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
}

TEST(StepTest, StopShowsTheFirstFrameAndAsksToWait) {
    FakeControl c;
    c.ScanFrames(4);
    c.player.Step(kCommandPlay, FALSE);
    c.player.Step(kCommandPlay, FALSE);
    EXPECT_TRUE(c.player.Step(kCommandStop, FALSE));
    EXPECT_EQ(c.player.Shown(), 0);
    EXPECT_EQ(c.LoadedEntry(), 0);
    EXPECT_TRUE(c.player.Step(kCommandNone, FALSE));
}

// Command keeps any 16-bit value. A code that names no command moves nowhere: each step shows
// the frame at the cursor again (following a seek), and neither ends nor asks to wait.
TEST(StepTest, AnUnknownCommandShowsTheFrameAtTheCursorAgain) {
    FakeControl c;
    c.ScanFrames(3);
    c.player.Step(kCommandPlay, FALSE);
    c.player.Step(kCommandPlay, FALSE);
    for (const int32_t code : {8, -1, 300}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(c.player.Step(code, TRUE));
        EXPECT_EQ(c.player.Shown(), 1);
        EXPECT_EQ(c.LoadedEntry(), 1);
    }
    c.player.Seek(2);
    EXPECT_FALSE(c.player.Step(8, FALSE));
    EXPECT_EQ(c.player.Shown(), 2);
    EXPECT_EQ(c.LoadedEntry(), 2);
    EXPECT_EQ(c.end.Wait(0), WAIT_TIMEOUT);
    PumpMessages();
    EXPECT_EQ(c.refreshes, 6);  // one per step
}

TEST(StepTest, SeekMovesFromTheGivenIndex) {
    FakeControl c;
    c.ScanFrames(10);
    c.player.Step(kCommandPlay, FALSE);
    c.player.Step(kCommandPlay, FALSE);
    ASSERT_EQ(c.player.Shown(), 1);
    c.player.Seek(5);
    c.player.Step(kCommandPlay, FALSE);
    EXPECT_EQ(c.player.Shown(), 6);
    EXPECT_EQ(c.LoadedEntry(), 6);
    c.player.Seek(2);
    c.player.Step(kCommandStepBack, FALSE);
    EXPECT_EQ(c.LoadedEntry(), 1);
}

TEST(StepTest, SeekBeyondTheEndWithABackwardCommandLoadsTheLastEntry) {
    FakeControl c;
    c.ScanFrames(3);
    c.player.Step(kCommandPlay, FALSE);
    c.player.Seek(10);
    EXPECT_FALSE(c.player.Step(kCommandRplay, FALSE));
    EXPECT_EQ(c.player.Current(), 9);
    EXPECT_EQ(c.LoadedEntry(), 2);
}

// A list that shrank under a slider drag leaves a request past its end: forward, that shows
// the last frame and plays on (wrapping after it with loop); it never ends playback.
TEST(StepTest, SeekBeyondTheEndWithAForwardCommandShowsTheLastEntryAndPlaysOn) {
    for (const int32_t command : {kCommandPlay, kCommandFf, kCommandStepFor}) {
        SCOPED_TRACE(command);
        FakeControl c;
        c.ScanFrames(5);
        c.player.Step(kCommandPlay, TRUE);
        c.player.Seek(18);
        EXPECT_EQ(c.player.Step(command, TRUE), false);
        EXPECT_EQ(c.player.Shown(), 4);
        EXPECT_EQ(c.LoadedEntry(), 4);
        EXPECT_EQ(c.end.Wait(0), WAIT_TIMEOUT);
        c.player.Step(command, TRUE);
        EXPECT_EQ(c.player.Shown(), 0) << "the loop wraps as usual";

        // Without loop the last frame is shown first; the end comes at the step after it.
        c.player.Seek(18);
        c.player.Step(command, FALSE);
        EXPECT_EQ(c.player.Shown(), 4);
        EXPECT_EQ(c.end.Wait(0), WAIT_TIMEOUT);
        c.player.Step(command, FALSE);
        EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
    }
}

TEST(StepTest, SeekRightAfterARescanStillFollowsRealEntries) {
    FakeControl c;
    c.ScanFrames(10);
    for (int i = 0; i < 8; ++i) c.player.Step(kCommandPlay, FALSE);
    c.ScanFrames(10);  // cursor at no entry, shown index from the old list
    c.player.Seek(3);
    c.player.Step(kCommandPlay, FALSE);
    EXPECT_EQ(c.LoadedEntry(), 4);
}

TEST(StepTest, NothingFoundPostsNothingAndKeepsTheImage) {
    FakeControl c;
    c.ScanFrames(2);
    c.player.Step(kCommandPlay, FALSE);
    PumpMessages();
    const int before = c.refreshes;
    c.ScanFrames(0);
    EXPECT_EQ(c.player.Current(), -2);
    EXPECT_TRUE(c.player.Step(kCommandPlay, FALSE));
    PumpMessages();
    EXPECT_EQ(c.refreshes, before);
    EXPECT_EQ(c.LoadedEntry(), 0);
}

TEST(StepTest, AFrameThatFailsToLoadLeavesThePreviousPictureOnShow) {
    FakeControl c;
    c.ScanPaths({FramePath(0), FrameDir() + "/missing.jpg", FramePath(2)});
    c.player.Step(kCommandPlay, FALSE);
    c.player.Step(kCommandPlay, FALSE);
    EXPECT_EQ(c.player.Shown(), 1);
    EXPECT_EQ(c.LoadedEntry(), 0);
    EXPECT_TRUE(ShownIsValid(c.player));
    c.player.Step(kCommandPlay, FALSE);
    EXPECT_EQ(c.player.Shown(), 2);
    EXPECT_EQ(c.LoadedEntry(), 2);
}

// A frame decodes outside the worker's lock: while a step is inside its load (held there
// through the stop query the decode makes at each of its progress calls), the control must
// still be able to take the current frame and paint.
TEST(StepTest, APaintIsNotHeldUpWhileAFrameDecodes) {
    FakeControl c;
    c.ScanFrames(2);
    c.player.Step(kCommandPlay, FALSE);
    std::promise<void> inLoad, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> holding{true};
    c.onStopQuery = [&] {
        if (holding.exchange(false)) {
            inLoad.set_value();
            released.wait();
        }
    };
    std::thread step([&] { c.player.Step(kCommandPlay, FALSE); });
    ASSERT_EQ(inLoad.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    std::shared_ptr<CImage> mine;
    int32_t count = 0, shown = -9;
    auto paint = std::async(std::launch::async, [&] { c.player.GetFrame(&mine, &count, &shown); });
    const bool paintedMeanwhile =
        paint.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    release.set_value();
    paint.get();
    step.join();

    EXPECT_TRUE(paintedMeanwhile);
    EXPECT_EQ(shown, 0);  // the previous frame, until the new one is whole
    EXPECT_EQ(c.player.Shown(), 1);
    EXPECT_EQ(c.player.ShownPath(), FramePath(1));
    EXPECT_TRUE(ShownIsValid(c.player));
}

TEST(StepTest, EmptyListAfterASearchMovesToZeroThenEnds) {
    FakeControl c;
    c.source.SetSource("", "", 0);  // empty Dir: list built empty, index -1
    c.player.ScanDirectory();
    EXPECT_FALSE(c.player.Step(kCommandPlay, FALSE));
    EXPECT_EQ(c.player.Current(), 0);
    EXPECT_TRUE(c.player.Step(kCommandPlay, FALSE));
    EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
}

TEST(GetFrameTest, HandsOverTheWorkersImageOnce) {
    FakeControl c;
    c.ScanFrames(3);
    c.player.Step(kCommandPlay, FALSE);
    auto mine = std::make_shared<CImage>();  // destroyed by the first GetFrame
    const std::weak_ptr<CImage> before = mine;
    int32_t count = -9, shown = -9;
    c.player.GetFrame(&mine, &count, &shown);
    EXPECT_TRUE(before.expired());
    EXPECT_EQ(mine.get(), &ShownImage(c.player));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(shown, 0);
    CImage* const handedOver = mine.get();
    c.player.GetFrame(&mine, &count, &shown);
    EXPECT_EQ(mine.get(), handedOver);  // the same image from now on, loaded frame by frame
    c.player.Step(kCommandPlay, FALSE);
    EXPECT_EQ(&ShownImage(c.player), handedOver);
}

TEST(StepTest, ADrawHoldsBackOnlyTheSwap) {
    FakeControl c;
    c.ScanFrames(2);
    c.player.Step(kCommandPlay, FALSE);
    std::future<bool> step;
    bool waitedToSwap = false;
    std::string drawnAtTheSwap;
    c.player.DrawShown([&](CImage& image) {
        // A draw as slow as GDI under Wine can be: the next step moves the cursor and decodes
        // meanwhile, and waits with its frame until the draw is done.
        step = std::async(std::launch::async, [&] { return c.player.Step(kCommandPlay, FALSE); });
        waitedToSwap = c.PumpUntil([&] { return CFramePlayerProbe::SwapWaited(c.player); });
        drawnAtTheSwap = image.GetImagePath();
    });
    step.get();
    EXPECT_TRUE(waitedToSwap);
    EXPECT_EQ(drawnAtTheSwap, FramePath(0));
    EXPECT_EQ(c.player.Shown(), 1);
    EXPECT_EQ(ShownImage(c.player).GetImagePath(), FramePath(1));
}

// The thread loop.
class RunTest : public ::testing::Test {
protected:
    void Start(int frames, int32_t command, PauseState pauseState, int32_t delay, BOOL loop) {
        c.source.SetSource("/nonexistent", "f", 0);
        c.playback.SetAll(command, loop, pauseState, delay);
        // The fake search stands in for the real one through a pre-built list: scan now,
        // and let the worker's own first rescan find the same (empty) directory untouched.
        c.ScanFrames(frames);
        ASSERT_NE(AfxBeginThread(&CFramePlayer::ThreadProc, &c.player), nullptr);
        running = true;
    }
    void Stop() {
        if (!running) return;
        c.stop = true;
        c.wake.SetEvent();
        ASSERT_EQ(c.exitEvent.Wait(20000), WAIT_OBJECT_0);
        running = false;
    }
    void TearDown() override { Stop(); }
    // Waits until the worker has reached its wake wait n times in all.
    bool WaitForWaits(int n) {
        return c.PumpUntil([&] { return c.wakeLookups >= n; });
    }
    FakeControl c;
    bool running = false;
};

// The dwell on the last frame ends at once on a stop request: a stop never waits for it.
TEST_F(RunTest, TheDwellOnTheLastFrameEndsWhenStopped) {
    c.playback.SetLastDelay(600000);
    Start(3, kCommandPlay, PauseState::Running, 0, TRUE);
    // The worker asks for the wake event when it starts to dwell.
    ASSERT_TRUE(c.PumpUntil([&] { return c.player.Shown() == 2 && c.wakeLookups >= 1; }));
    Stop();  // fails the test if the exit takes the deadline
    EXPECT_EQ(c.player.Shown(), 2);
}

// The dwell follows its settings while it lasts: LastDelay set to 0 ends it (the loop wraps
// on), and so does Loop turned off (playback then ends at the last frame). Neither setter
// wakes the worker.
TEST_F(RunTest, TheDwellEndsWhenLastDelayOrLoopChanges) {
    c.playback.SetLastDelay(600000);
    Start(3, kCommandPlay, PauseState::Running, 0, TRUE);
    ASSERT_TRUE(c.PumpUntil([&] { return c.player.Shown() == 2 && c.wakeLookups >= 1; }));
    c.playback.SetLastDelay(0);
    ASSERT_TRUE(c.PumpUntil([&] { return c.player.Shown() == 0; }));

    c.playback.SetLastDelay(600000);
    ASSERT_TRUE(c.PumpUntil([&] { return c.player.Shown() == 2; }));
    // While playing only the dwell asks for the wake event: two more asks, it is dwelling.
    const int asked = c.wakeLookups;
    ASSERT_TRUE(c.PumpUntil([&] { return c.wakeLookups >= asked + 2; }));
    c.playback.SetAll(kCommandPlay, FALSE, PauseState::Running, 0);
    EXPECT_EQ(c.end.Wait(20000), WAIT_OBJECT_0);
    EXPECT_EQ(c.player.Shown(), 2);
}

TEST_F(RunTest, PlaysToTheEndAndWaits) {
    Start(3, 1, PauseState::Running, 0, FALSE);
    c.wake.SetEvent();
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes >= 4; }));  // frames 0, 1, 2 and the end
    EXPECT_EQ(c.end.Wait(20000), WAIT_OBJECT_0);
    EXPECT_EQ(c.player.Current(), 2);
}

// A script sets the source and at once Play: the two wakes merge into one, which wakes the
// waiting worker for the scan. Playback must go on from the first frame, not wait there for
// a wake that was already spent.
TEST_F(RunTest, PlayGivenWithANewSourcePlaysOnAfterTheScan) {
    ASSERT_NE(AfxBeginThread(&CFramePlayer::ThreadProc, &c.player), nullptr);
    running = true;
    ASSERT_TRUE(WaitForWaits(1));  // nothing scanned yet: the worker waits
    c.source.SetSource(FrameDir(), "f", 1);
    c.playback.SetAll(kCommandPlay, FALSE, PauseState::Running, 0);
    c.rescan.SetEvent();
    c.wake.SetEvent();
    EXPECT_EQ(c.end.Wait(20000), WAIT_OBJECT_0);
    EXPECT_EQ(c.player.Current(), c.player.Count() - 1);
    EXPECT_GE(c.player.Count(), 10);
}

// A new source with no command (what the control sends) still shows the first frame and waits.
TEST_F(RunTest, ANewSourceWithoutACommandShowsTheFirstFrameAndWaits) {
    c.source.SetSource(FrameDir(), "f", 1);
    c.playback.SetAll(kCommandNone, FALSE, PauseState::Running, 0);
    c.rescan.SetEvent();
    c.wake.SetEvent();
    ASSERT_NE(AfxBeginThread(&CFramePlayer::ThreadProc, &c.player), nullptr);
    running = true;
    ASSERT_TRUE(WaitForWaits(1));
    EXPECT_EQ(c.player.Shown(), 0);
    EXPECT_EQ(c.LoadedEntry(), 0);
}

TEST_F(RunTest, PauseStateOneTakesNoStepHoweverOftenWoken) {
    Start(3, 1, PauseState::User, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));
    for (int i = 1; i <= 3; ++i) {
        c.wake.SetEvent();
        ASSERT_TRUE(WaitForWaits(1 + i));
    }
    PumpMessages();
    EXPECT_EQ(c.refreshes, 0);
    EXPECT_EQ(c.player.Current(), -1);
}

TEST_F(RunTest, PauseStateTwoTakesOneStepPerWake) {
    Start(5, 5, PauseState::SingleStep, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));  // the first pass steps without a wake
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes == 1; }));
    for (int i = 1; i <= 3; ++i) {
        c.wake.SetEvent();
        ASSERT_TRUE(WaitForWaits(1 + i));
        ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes == 1 + i; }));
        EXPECT_EQ(c.player.Current(), i);
    }
}

TEST_F(RunTest, StopIsServedAfterALongDelay) {
    Start(3, 1, PauseState::Running, 500, TRUE);
    c.wake.SetEvent();
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes >= 1; }));
    Stop();  // the worker is in its 500 ms sleep; it leaves when the sleep ends
}

TEST_F(RunTest, StopIsServedWithANegativeDelay) {
    Start(3, 1, PauseState::Running, -1, TRUE);
    c.wake.SetEvent();
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes >= 2; }));
    Stop();
}

// Steps from memory are far cheaper than paints: the worker waits for each refresh's paint
// before it swaps in the next frame, so every step is painted, in order.
TEST_F(RunTest, WithTheCacheEveryStepIsPaintedInOrder) {
    c.paints = true;
    Start(10, kCommandPlay, PauseState::Running, 0, TRUE);
    ASSERT_TRUE(c.PumpUntil([&] { return c.paintedIndexes.size() >= 40; }));
    Stop();
    for (size_t i = 1; i < c.paintedIndexes.size(); ++i) {
        ASSERT_EQ(c.paintedIndexes[i], (c.paintedIndexes[i - 1] + 1) % 10) << "paint " << i;
    }
}

// A window that never paints holds each step back a little while instead of drowning in
// refreshes; without the cache nothing waits for paints.
TEST_F(RunTest, WithTheCacheAWindowThatDoesNotPaintIsNotFlooded) {
    Start(10, kCommandPlay, PauseState::Running, 0, TRUE);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    c.PumpUntil([&] { return std::chrono::steady_clock::now() > until; });
    Stop();
    EXPECT_GE(c.refreshes, 1);
    EXPECT_LT(c.refreshes, 100);

    FakeControl uncached;
    uncached.playback.SetCacheSize(0);
    uncached.source.SetSource("/nonexistent", "f", 0);
    uncached.playback.SetAll(kCommandPlay, TRUE, PauseState::Running, 0);
    uncached.ScanFrames(10);
    ASSERT_NE(AfxBeginThread(&CFramePlayer::ThreadProc, &uncached.player), nullptr);
    ASSERT_TRUE(uncached.PumpUntil([&] { return uncached.refreshes >= 200; }));
    uncached.stop = true;
    uncached.wake.SetEvent();
    ASSERT_EQ(uncached.exitEvent.Wait(20000), WAIT_OBJECT_0);
}

// CacheSize is kept as set, but the cache applies at most half the memory the process can
// count on: a state saved on a large machine does not exhaust a small one.
TEST_F(RunTest, TheCacheTakesAtMostHalfTheMachinesMemoryWhateverCacheSizeSays) {
    c.playback.SetCacheSize(INT32_MAX);
    Start(3, kCommandNone, PauseState::Running, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));
    EXPECT_EQ(CFramePlayerProbe::CacheBudget(c.player), MemoryLimitBytes() / 2);
    EXPECT_EQ(c.playback.GetCacheSize(), INT32_MAX);
    c.playback.SetCacheSize(16);
    c.wake.SetEvent();
    ASSERT_TRUE(WaitForWaits(2));
    EXPECT_EQ(CFramePlayerProbe::CacheBudget(c.player), int64_t(16) << 20);
}

TEST_F(RunTest, StopIsServedWhileWaiting) {
    Start(3, 1, PauseState::User, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));
    Stop();
}

}  // namespace
