// Window creation and destruction with the worker thread, repaint requests, border resizing
// through the container's tracker, and the verbs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "playback/Commands.h"
#include "tests/control/ControlFixture.h"

namespace control_test {
namespace {

using Log = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class LifecycleTest : public ControlTest {};

#ifndef _WIN32  // Windows' file system has no FIFO
// A FIFO named like a frame, and a valve that, should a reader still be stuck on it after a
// generous while, opens it for writing to let that reader go: a fault fails the test instead
// of hanging it.
class FifoFrame {
public:
    explicit FifoFrame(std::string path) : m_path(std::move(path)) {
        m_made = ::mkfifo(m_path.c_str(), 0644) == 0;
        m_valve = std::thread([this] {
            std::unique_lock lock(m_mutex);
            while (!m_done) {
                if (m_cv.wait_for(lock, std::chrono::seconds(60)) == std::cv_status::timeout) {
                    const int writer = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
                    if (writer >= 0) {
                        m_readerWasStuck = true;
                        ::close(writer);
                    }
                }
            }
        });
    }
    ~FifoFrame() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_valve.join();
    }
    bool Made() const { return m_made; }
    bool ReaderWasStuck() {
        std::lock_guard lock(m_mutex);
        return m_readerWasStuck;
    }

private:
    std::string m_path;
    bool m_made = false;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    bool m_readerWasStuck = false;
    std::thread m_valve;
};

// A FIFO among the frames is an unreadable frame, with the cache and without: nothing reads
// from it, so neither a read-ahead nor the worker blocks, pausing and resuming goes on past
// it, and the window can be destroyed.
TEST_F(LifecycleTest, AFifoNamedLikeAFrameBlocksNeitherPlaybackNorDestroy) {
    for (const int32_t cacheSize : {256, 0}) {
        SCOPED_TRACE(cacheSize);
        frameDir = FreshDir("fifo" + std::to_string(cacheSize));
        WriteFrames(frameDir, "f", 12);
        FifoFrame fifo(frameDir + "/f9999.jpg");
        ASSERT_TRUE(fifo.Made());
        SetLong("CacheSize", cacheSize);
        SetString("Dir", frameDir);
        SetString("BaseFile", "f");
        SetShort("Sort", 1);
        SetLong("Delay", 5);
        SetBool("Loop", true);
        ASSERT_TRUE(site->CreateControlWindow());
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(12) == 0; }));
        SetShort("Command", kCommandPlay);
        // Past the FIFO, which keeps frame 11 up, and round to the start again.
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(12) == 11; }));
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(12) == 2; }));
        SetBool("Pause", true);
        Settle(100);
        SetBool("Pause", false);
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(12) == 11; }));
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(12) == 5; }));
        EXPECT_EQ(GetLong("Command"), kCommandPlay);
        site->DestroyControlWindow();
        EXPECT_FALSE(site->IsWindowLive());
        EXPECT_FALSE(fifo.ReaderWasStuck());
    }
}
#endif

TEST_F(LifecycleTest, CreatingTheWindowShowsTheFirstFrameAndMarksModified) {
    ClearHeard();
    ASSERT_TRUE(StartWithFrames(4));
    EXPECT_TRUE(site->Modified());
    EXPECT_EQ(GetLong("Command"), kCommandNone);
}

TEST_F(LifecycleTest, SavedPlayingStateDoesNotStartPlaybackWhenTheWindowIsCreated) {
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 5);
    CPropertyBag bag;
    bag.Write("Dir", frameDir);
    bag.Write("BaseFile", "f");
    bag.Write("Sort", "1");
    bag.Write("Command", "1");
    bag.Write("Delay", "20");
    ctrl->LoadProperties(bag);
    ASSERT_EQ(GetLong("Command"), kCommandPlay);

    EventRecorder heard(*ctrl);
    ASSERT_TRUE(site->CreateControlWindow());
    EXPECT_EQ(heard.log, (Log{"ChangeCommand(0)", "Bound(3)"}));
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(5) == 0; }));
    Settle();
    EXPECT_EQ(ShownFrame(5), 0);
    EXPECT_EQ(GetLong("Command"), kCommandNone);
    EXPECT_EQ(heard.log.size(), 2u);
}

TEST_F(LifecycleTest, DestroyWhileTheWorkerSleepsReturnsAfterAtMostTheDelay) {
    ASSERT_TRUE(StartWithFrames(10));
    SetBool("Loop", true);
    SetLong("Delay", 500);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(10) >= 2; }));  // playing, so mostly asleep
    const auto start = Clock::now();
    site->DestroyControlWindow();
    // One delay at most; the margin only keeps a slow machine from failing it.
    EXPECT_LT(MsSince(start), 500 + 5000);
    EXPECT_FALSE(site->IsWindowLive());
}

TEST_F(LifecycleTest, DestroyWhileTheWorkerWaitsReturnsAtOnce) {
    SetLong("Delay", 60000);  // a sleeping worker would hold the destroy for a minute
    ASSERT_TRUE(StartWithFrames(3));
    Quiesce();
    const auto start = Clock::now();
    site->DestroyControlWindow();
    EXPECT_LT(MsSince(start), 5000);
}

TEST_F(LifecycleTest, ANegativeDelayStillLetsTheWindowBeDestroyed) {
    ASSERT_TRUE(StartWithFrames(3));
    SetBool("Loop", true);
    SetLong("Delay", -1000);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 1; }));
    const auto start = Clock::now();
    site->DestroyControlWindow();
    EXPECT_LT(MsSince(start), 5000);
}

TEST_F(LifecycleTest, RecreatingTheWindowStartsAWorkerOnTheCurrentSettings) {
    ASSERT_TRUE(StartWithFrames(3));
    site->DestroyControlWindow();

    // A second directory whose frames have other colours, chosen while there is no window.
    const std::string other = FreshDir("other");
    for (int32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(WriteSolidJpeg(other + "/f" + std::to_string(i) + ".jpg", FrameColour(5 + i)));
    }
    SetString("Dir", other);
    ClearHeard();
    ASSERT_TRUE(site->CreateControlWindow());
    EXPECT_TRUE(site->Modified());
    auto colourIs = [&](int32_t i) {
        return ColourDistance(site->GetPixel(kWidth / 2, (kHeight - kStripHeight) / 2),
                              FrameColour(i)) < 60;
    };
    ASSERT_TRUE(WaitFor([&] { return colourIs(5); }));
    Quiesce();
    // The new thread steps on request: the second step moves one frame.
    SetShort("Command", kCommandStepFor);
    SetShort("Command", kCommandStepFor);
    EXPECT_TRUE(WaitFor([&] { return colourIs(6); }));
    Settle();
    EXPECT_TRUE(colourIs(6));
}

TEST_F(LifecycleTest, EachRefreshMessageLeadsToExactlyOnePaint) {
    ASSERT_TRUE(StartWithFrames(3));
    Quiesce();
    const int32_t before = site->PaintCount();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(PostMessage(site->GetHwnd(), WM_PLAYER_REFRESH, 0, 0));
    ASSERT_TRUE(WaitFor([&] { return site->PaintCount() >= before + 3; }));
    Settle();
    EXPECT_EQ(site->PaintCount(), before + 3);
}

TEST_F(LifecycleTest, EndOfPlaybackNoticedAtAPaintStopsTheCommandAndNotifies) {
    ASSERT_TRUE(StartWithFrames(3));
    SetLong("Delay", 10);
    EventRecorder heard(*ctrl);
    SetShort("Command", kCommandPlay);
    ASSERT_TRUE(WaitFor([&] { return GetLong("Command") == 0; }));
    EXPECT_EQ(heard.log, (Log{"ChangeCommand(1)", "ChangeCommand(0)", "Bound(3)"}));
    EXPECT_EQ(ShownFrame(3), 2);
}

// ---- A worker that cannot start -----------------------------------------------------------

class CThreadlessCtrl : public CMovitrelCtrl {
protected:
    CWinThread* BeginPlayerThread() override { return nullptr; }
};

TEST_F(LifecycleTest, AFailedThreadStartShowsStripAndBackgroundAndDestroyWaitsForNothing) {
    HostNew<CThreadlessCtrl>();
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 3);
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    SetColour("PictureBackColor", RGB(10, 20, 30));
    ASSERT_TRUE(site->CreateControlWindow());
    Settle();
    EXPECT_EQ(site->GetPixel(kWidth / 2, (kHeight - kStripHeight) / 2), RGB(10, 20, 30));
    EXPECT_EQ(ShownFrame(3), -1);
    // The strip's side pieces are in BackColor.
    const COLORREF back = ctrl->TranslateColor(ctrl->GetBackColor());
    EXPECT_EQ(site->GetPixel(2, kHeight - 10), back);
    EXPECT_EQ(site->GetPixel(2, kHeight - 30), back);
    site->DestroyControlWindow();
    EXPECT_FALSE(site->IsWindowLive());
}

// ---- Border resize ------------------------------------------------------------------------

class CScriptedTracker : public CRectTracker {
public:
    BOOL Track(COleControl*, CPoint point, BOOL allowInvert, COleControl* clipTo) override {
        ++calls;
        pointSeen = point;
        invertAllowed = allowInvert;
        clipWindow = clipTo;
        if (!accept) return FALSE;
        m_rect = next;
        return TRUE;
    }
    CRect next;
    bool accept = true;
    int calls = 0;
    CPoint pointSeen;
    BOOL invertAllowed = TRUE;
    COleControl* clipWindow = reinterpret_cast<COleControl*>(1);
};

class CTrackerSite : public CHeadlessSite, public IRectTrackerSite {
public:
    using CHeadlessSite::CHeadlessSite;
    CRectTracker* GetRectTracker() override { return lend ? &tracker : nullptr; }
    CScriptedTracker tracker;
    bool lend = true;
};

class BorderResizeTest : public LifecycleTest {
protected:
    void SetUp() override {
        LifecycleTest::SetUp();
        site.reset();
        auto owned = std::make_unique<CTrackerSite>(*ctrl, kWidth, kHeight);
        tsite = owned.get();
        site = std::move(owned);
        ASSERT_TRUE(site->CreateControlWindow());
        // The control sits at (10, 20) of the container.
        ctrl->SetRectInContainer(CRect(10, 20, 10 + kWidth, 20 + kHeight));
        tsite->tracker.m_rect = CRect(-3, -3, kWidth + 3, kHeight + 3);
        tsite->tracker.m_nStyle = CRectTracker::hatchedBorder | CRectTracker::resizeOutside;
        tsite->tracker.m_nHandleSize = 4;
        ClearHeard();
    }
    SIZE SavedExtent() {
        CPropertyBag bag;
        ctrl->SaveProperties(bag, FALSE);
        return SIZE{int32_t(std::stol(*bag.Read("_ExtentX"))),
                    int32_t(std::stol(*bag.Read("_ExtentY")))};
    }
    CTrackerSite* tsite = nullptr;
};

TEST_F(BorderResizeTest, ANewSizeIsStoredInHimetricAndTheContainerHearsThePosition) {
    tsite->tracker.next = CRect(0, 0, 300, 200);
    site->NcLButtonDown(HTBORDER, 415, 100);
    EXPECT_EQ(tsite->tracker.calls, 1);
    EXPECT_EQ(tsite->tracker.pointSeen, CPoint(405, 80));  // the control's client coordinates
    EXPECT_FALSE(tsite->tracker.invertAllowed);
    EXPECT_EQ(tsite->tracker.clipWindow, nullptr);
    const SIZE extent = SavedExtent();
    EXPECT_EQ(extent.cx, PixelsToHimetric(300));
    EXPECT_EQ(extent.cy, PixelsToHimetric(200));
    EXPECT_EQ(extent.cx, 7938);
    EXPECT_TRUE(site->Modified());
    ASSERT_EQ(site->PosRectChanges().size(), 1u);
    // Offset by the handle size less one and the control's place in the container.
    const RECT r = site->PosRectChanges()[0];
    EXPECT_EQ((std::vector<int32_t>{r.left, r.top, r.right, r.bottom}),
              (std::vector<int32_t>{13, 23, 313, 223}));
    const CRect& t = tsite->tracker.m_rect;
    EXPECT_EQ((std::vector<int32_t>{t.left, t.top, t.right, t.bottom}),
              (std::vector<int32_t>{0, 0, 300, 200}));
}

TEST_F(BorderResizeTest, TheSameRectangleChangesNothing) {
    const SIZE before = SavedExtent();
    tsite->tracker.next = tsite->tracker.m_rect;
    site->NcLButtonDown(HTBORDER, 415, 100);
    EXPECT_EQ(tsite->tracker.calls, 1);
    EXPECT_TRUE(site->PosRectChanges().empty());
    EXPECT_EQ(site->ModifiedReports(), 0);
    EXPECT_EQ(SavedExtent().cx, before.cx);
    EXPECT_EQ(tsite->tracker.m_rect.left, -3);
}

TEST_F(BorderResizeTest, AMovedRectangleOfTheSameSizeReportsThePositionOnly) {
    const SIZE before = SavedExtent();
    // The same size as the stored extent, elsewhere.
    const int32_t w = HimetricToPixels(before.cx);
    const int32_t h = HimetricToPixels(before.cy);
    tsite->tracker.next = CRect(5, 5, 5 + w, 5 + h);
    site->NcLButtonDown(HTBORDER, 415, 100);
    EXPECT_EQ(site->ModifiedReports(), 0);
    EXPECT_EQ(site->PosRectChanges().size(), 1u);
}

TEST_F(BorderResizeTest, ACancelledDragChangesNothing) {
    tsite->tracker.accept = false;
    tsite->tracker.next = CRect(0, 0, 300, 200);
    site->NcLButtonDown(HTBORDER, 415, 100);
    EXPECT_EQ(tsite->tracker.calls, 1);
    EXPECT_TRUE(site->PosRectChanges().empty());
    EXPECT_EQ(site->ModifiedReports(), 0);
}

TEST_F(BorderResizeTest, FallsBackWithoutTrackingWhenResizingDoesNotApply) {
    tsite->tracker.next = CRect(0, 0, 300, 200);
    site->NcLButtonDown(HTHSCROLL, 415, 100);
    site->NcLButtonDown(HTVSCROLL, 415, 100);
    tsite->tracker.m_nStyle = CRectTracker::hatchedBorder;
    site->NcLButtonDown(HTBORDER, 415, 100);
    tsite->tracker.m_nStyle = CRectTracker::resizeInside;
    tsite->lend = false;
    site->NcLButtonDown(HTBORDER, 415, 100);
    tsite->lend = true;
    ctrl->SetInPlaceActive(FALSE);
    site->NcLButtonDown(HTBORDER, 415, 100);
    EXPECT_EQ(tsite->tracker.calls, 0);
    EXPECT_TRUE(site->PosRectChanges().empty());
    EXPECT_EQ(site->ModifiedReports(), 0);

    ctrl->SetInPlaceActive(TRUE);  // resize inside counts as well
    site->NcLButtonDown(HTBORDER, 415, 100);
    EXPECT_EQ(tsite->tracker.calls, 1);
}

// ---- Verbs --------------------------------------------------------------------------------

TEST_F(LifecycleTest, EditActivatesTheControlAndPropertiesAsksForItsThreePages) {
    const std::vector<COleVerb> verbs = ctrl->EnumVerbs();
    ASSERT_EQ(verbs.size(), 2u);
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 2);
    SetString("Dir", frameDir);
    SetString("BaseFile", "f");
    SetShort("Sort", 1);

    EXPECT_EQ(ctrl->DoVerb(verbs[0].verb), S_OK);
    EXPECT_TRUE(site->IsWindowLive());
    EXPECT_TRUE(WaitFor([&] { return ShownFrame(2) == 0; }));

    EXPECT_EQ(ctrl->DoVerb(verbs[1].verb), S_OK);
    ASSERT_EQ(site->PropertyPageRequests().size(), 1u);
    EXPECT_EQ(site->PropertyPageRequests()[0],
              (std::vector<CLSID>{CLSID_MovitrelPropPage, CLSID_ControlPropPage,
                                  CLSID_PlaybackPropPage, CLSID_StockColorPage}));
}

}  // namespace
}  // namespace control_test
