// The playback worker, driven through a fake of the control side that records what the worker
// posts and signals.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "image/Image.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "playback/FramePlayer.h"

namespace {

class ListFind : public CFileFind {
public:
    explicit ListFind(int n) : n_(n) {}
    BOOL FindFile(const CString&) override { return n_ > 0 ? TRUE : FALSE; }
    BOOL FindNextFile() override { return ++i_ < n_ ? TRUE : FALSE; }
    CString GetFilePath() const override { return "/nonexistent/f" + std::to_string(i_ - 1) + ".jpg"; }
    CString GetFileTitle() const override { return "f" + std::to_string(i_ - 1); }

private:
    int n_;
    int i_ = 0;
};

class FakeControl : public CPlayerClient, public IWindowHandler {
public:
    FakeControl() { m_hwnd = CreatePlatformWindow(this); }
    ~FakeControl() override { DestroyPlatformWindow(m_hwnd); }

    CFramePlayer& Player() override { return player; }
    bool StopRequested() const override { return stop.load(); }
    CEvent& RescanEvent() override { return rescan; }
    CEvent& WakeEvent() override {
        ++wakeLookups;  // the worker asks for it right before each wait
        return wake;
    }
    CEvent& EndEvent() override { return end; }
    CEvent& ExitEvent() override { return exitEvent; }
    HWND PlayerWindow() const override { return m_hwnd; }
    CSourceSettings* SourceSettings() override { return &source; }
    CPlaybackSettings* PlaybackSettings() override { return &playback; }

    LRESULT OnWindowMessage(HWND, uint32_t msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_PLAYER_REFRESH && wParam == 0 && lParam == 0) ++refreshes;
        return 0;
    }

    // Builds a list of n entries and leaves the player just after the scan (index -1).
    void ScanFrames(int n) {
        source.SetSource("/nonexistent", "f", 0);
        player.m_pSource = &source;
        ListFind find(n);
        player.ScanDirectory(find);
    }
    // Index of the entry whose file the last load asked for, from the image's path.
    int LoadedEntry() {
        const std::string& path = player.m_pImage->GetImagePath();
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

    CFramePlayer player;
    CSourceSettings source;
    CPlaybackSettings playback;
    CEvent rescan, wake, end, exitEvent;
    std::atomic<bool> stop{false};
    std::atomic<int> wakeLookups{0};
    int refreshes = 0;

private:
    HWND m_hwnd;
};

TEST(StepTest, ForwardShowsEachFrameThenSignalsTheEnd) {
    FakeControl c;
    c.ScanFrames(3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(c.player.Step(1, FALSE, c));
        EXPECT_EQ(c.player.m_nShown, i);
        EXPECT_EQ(c.LoadedEntry(), i);
        EXPECT_EQ(c.end.Wait(0), WAIT_TIMEOUT);
    }
    EXPECT_TRUE(c.player.Step(1, FALSE, c));
    EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(c.player.m_nCurrent.load(), 2);
    EXPECT_TRUE(c.player.Step(1, FALSE, c));  // ends again at once
    PumpMessages();
    EXPECT_EQ(c.refreshes, 5);
}

TEST(StepTest, LoopWrapsBothWays) {
    FakeControl c;
    c.ScanFrames(3);
    std::vector<int> shown;
    for (int i = 0; i < 5; ++i) {
        c.player.Step(1, TRUE, c);
        shown.push_back(c.player.m_nShown);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0, 1}));
    shown.clear();
    for (int i = 0; i < 3; ++i) {
        c.player.Step(2, TRUE, c);
        shown.push_back(c.LoadedEntry());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 2, 1}));
}

TEST(StepTest, BackwardFromAFreshListStartsAtTheLastEntry) {
    FakeControl c;
    c.ScanFrames(3);
    std::vector<int> shown;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(c.player.Step(4, FALSE, c));
        shown.push_back(c.LoadedEntry());
    }
    EXPECT_EQ(shown, (std::vector<int>{2, 1, 0}));
    EXPECT_TRUE(c.player.Step(2, FALSE, c));  // at entry 0 without loop: the end
    EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
}

TEST(StepTest, StopShowsTheFirstFrameAndAsksToWait) {
    FakeControl c;
    c.ScanFrames(4);
    c.player.Step(1, FALSE, c);
    c.player.Step(1, FALSE, c);
    EXPECT_TRUE(c.player.Step(7, FALSE, c));
    EXPECT_EQ(c.player.m_nShown, 0);
    EXPECT_EQ(c.LoadedEntry(), 0);
    EXPECT_TRUE(c.player.Step(0, FALSE, c));
}

TEST(StepTest, SeekMovesFromTheGivenIndex) {
    FakeControl c;
    c.ScanFrames(10);
    c.player.Step(1, FALSE, c);
    c.player.Step(1, FALSE, c);
    ASSERT_EQ(c.player.m_nShown, 1);
    c.player.Seek(5);
    c.player.Step(1, FALSE, c);
    EXPECT_EQ(c.player.m_nShown, 6);
    EXPECT_EQ(c.LoadedEntry(), 6);
    c.player.Seek(2);
    c.player.Step(6, FALSE, c);
    EXPECT_EQ(c.LoadedEntry(), 1);
}

TEST(StepTest, SeekBeyondTheEndWithABackwardCommandLoadsTheLastEntry) {
    FakeControl c;
    c.ScanFrames(3);
    c.player.Step(1, FALSE, c);
    c.player.Seek(10);
    EXPECT_FALSE(c.player.Step(2, FALSE, c));
    EXPECT_EQ(c.player.m_nCurrent.load(), 9);
    EXPECT_EQ(c.LoadedEntry(), 2);
}

TEST(StepTest, SeekRightAfterARescanStillFollowsRealEntries) {
    FakeControl c;
    c.ScanFrames(10);
    for (int i = 0; i < 8; ++i) c.player.Step(1, FALSE, c);
    c.ScanFrames(10);  // cursor at no entry, shown index from the old list
    c.player.Seek(3);
    c.player.Step(1, FALSE, c);
    EXPECT_EQ(c.LoadedEntry(), 4);
}

TEST(StepTest, NothingFoundPostsNothingAndKeepsTheImage) {
    FakeControl c;
    c.ScanFrames(2);
    c.player.Step(1, FALSE, c);
    PumpMessages();
    const int before = c.refreshes;
    c.ScanFrames(0);
    EXPECT_EQ(c.player.m_nCurrent.load(), -2);
    EXPECT_TRUE(c.player.Step(1, FALSE, c));
    PumpMessages();
    EXPECT_EQ(c.refreshes, before);
    EXPECT_EQ(c.LoadedEntry(), 0);
}

TEST(StepTest, EmptyListAfterASearchMovesToZeroThenEnds) {
    FakeControl c;
    c.source.SetSource("", "", 0);  // empty Dir: list built empty, index -1
    c.player.m_pSource = &c.source;
    c.player.ScanDirectory();
    EXPECT_FALSE(c.player.Step(1, FALSE, c));
    EXPECT_EQ(c.player.m_nCurrent.load(), 0);
    EXPECT_TRUE(c.player.Step(1, FALSE, c));
    EXPECT_EQ(c.end.Wait(0), WAIT_OBJECT_0);
}

TEST(GetFrameTest, HandsOverTheWorkersImageOnce) {
    FakeControl c;
    c.ScanFrames(3);
    c.player.Step(1, FALSE, c);
    CImage* mine = new CImage;  // destroyed by the first GetFrame
    int32_t count = -9, shown = -9;
    c.player.GetFrame(&mine, &count, &shown);
    EXPECT_EQ(mine, c.player.m_pImage);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(shown, 0);
    c.player.GetFrame(&mine, &count, &shown);
    EXPECT_EQ(mine, c.player.m_pImage);
    delete mine;  // the control's to destroy from now on
}

// The thread loop.
class RunTest : public ::testing::Test {
protected:
    void Start(int frames, int32_t command, int32_t pauseState, int32_t delay, BOOL loop) {
        c.source.SetSource("/nonexistent", "f", 0);
        c.playback.SetAll(command, loop, pauseState, delay);
        // The fake search stands in for the real one through a pre-built list: scan now,
        // and let the worker's own first rescan find the same (empty) directory untouched.
        c.ScanFrames(frames);
        ASSERT_NE(AfxBeginThread(PlayerThreadProc, &c), nullptr);
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

TEST_F(RunTest, PlaysToTheEndAndWaits) {
    Start(3, 1, 0, 0, FALSE);
    c.wake.SetEvent();
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes >= 4; }));  // frames 0, 1, 2 and the end
    EXPECT_EQ(c.end.Wait(20000), WAIT_OBJECT_0);
    EXPECT_EQ(c.player.m_nCurrent.load(), 2);
}

TEST_F(RunTest, PauseStateOneTakesNoStepHoweverOftenWoken) {
    Start(3, 1, 1, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));
    for (int i = 1; i <= 3; ++i) {
        c.wake.SetEvent();
        ASSERT_TRUE(WaitForWaits(1 + i));
    }
    PumpMessages();
    EXPECT_EQ(c.refreshes, 0);
    EXPECT_EQ(c.player.m_nCurrent.load(), -1);
}

TEST_F(RunTest, PauseStateTwoTakesOneStepPerWake) {
    Start(5, 5, 2, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));  // the first pass steps without a wake
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes == 1; }));
    for (int i = 1; i <= 3; ++i) {
        c.wake.SetEvent();
        ASSERT_TRUE(WaitForWaits(1 + i));
        ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes == 1 + i; }));
        EXPECT_EQ(c.player.m_nCurrent.load(), i);
    }
}

TEST_F(RunTest, StopIsServedAfterALongDelay) {
    Start(3, 1, 0, 500, TRUE);
    c.wake.SetEvent();
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes >= 1; }));
    Stop();  // the worker is in its 500 ms sleep; it leaves when the sleep ends
}

TEST_F(RunTest, StopIsServedWithANegativeDelay) {
    Start(3, 1, 0, -1, TRUE);
    c.wake.SetEvent();
    ASSERT_TRUE(c.PumpUntil([&] { return c.refreshes >= 2; }));
    Stop();
}

TEST_F(RunTest, StopIsServedWhileWaiting) {
    Start(3, 1, 1, 0, FALSE);
    ASSERT_TRUE(WaitForWaits(1));
    Stop();
}

}  // namespace
