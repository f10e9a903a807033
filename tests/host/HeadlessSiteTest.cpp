#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "host/headless/HeadlessSite.h"
#include "platform/Sync.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace {

constexpr uint32_t kRepaintMessage = WM_USER + 100;
constexpr uint32_t kGenerousMs = 10000;

// A control that paints its colour, fires an event per click and repaints on a private
// message, remembering the thread each message arrived on.
class CProbeCtrl : public COleControl {
public:
    CProbeCtrl() { OnMessage(kRepaintMessage, &CProbeCtrl::OnRepaint); }

    const CDispatchMap& GetDispatchMap() const override {
        static const CDispatchMap map =
            CDispMapBuilder<CProbeCtrl>()
                .Property<VT_COLOR>("Fill", 1, &CProbeCtrl::GetFill, &CProbeCtrl::SetFill)
                .StockBackColor()
                .Build();
        return map;
    }
    const CEventMap& GetEventMap() const override {
        static const CEventMap map = CEventMapBuilder()
                                         .Event("Pressed", 1, {{"X", VT_I2}, {"Y", VT_I2}})
                                         .Event("Released", 2, {})
                                         .Build();
        return map;
    }

    OLE_COLOR GetFill() { return m_fill; }
    void SetFill(OLE_COLOR c) {
        m_fill = c;
        SetModifiedFlag();
        BoundPropertyChanged(1);
        Refresh();
        ++m_refreshesDone;
        m_drawsAfterRefresh = m_draws;
    }

    std::atomic<int32_t> m_repaints{0};
    std::thread::id m_repaintThread;
    int32_t m_draws = 0;
    int32_t m_drawsAfterRefresh = -1;
    int32_t m_refreshesDone = 0;
    CRect m_lastBounds;
    OLE_COLOR m_fill = RGB(255, 0, 0);

protected:
    void OnDraw(CDC* dc, const CRect& bounds, const CRect&) override {
        ++m_draws;
        m_lastBounds = bounds;
        dc->FillSolidRect(bounds, TranslateColor(m_fill));
    }
    void OnLButtonDown(uint32_t, CPoint p) override {
        FireEvent(1, {CVariant::I4(p.x), CVariant::I4(p.y)});
    }
    void OnLButtonUp(uint32_t, CPoint) override { FireEvent(2, {}); }
    void OnMouseMove(uint32_t, CPoint) override { InvalidateControl(); }

private:
    LRESULT OnRepaint(WPARAM, LPARAM) {
        m_repaintThread = std::this_thread::get_id();
        Refresh();
        ++m_repaints;
        return 0;
    }
};

class HeadlessSiteTest : public ::testing::Test {
protected:
    CProbeCtrl ctrl;
    CHeadlessSite site{ctrl, 64, 48};
};

TEST_F(HeadlessSiteTest, CreatingTheWindowPaintsTheSurface) {
    EXPECT_EQ(site.GetPixel(10, 10), RGB(0, 0, 0));
    ASSERT_TRUE(site.CreateControlWindow());
    EXPECT_TRUE(ctrl.IsInPlaceActive());
    EXPECT_EQ(site.PaintCount(), 1);
    EXPECT_EQ(ctrl.m_lastBounds.Width(), 64);
    EXPECT_EQ(ctrl.m_lastBounds.Height(), 48);
    EXPECT_EQ(site.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(site.GetPixel(63, 47), RGB(255, 0, 0));
}

TEST_F(HeadlessSiteTest, RefreshPaintsBeforeItReturns) {
    ASSERT_TRUE(site.CreateControlWindow());
    int32_t before = ctrl.m_draws;
    EXPECT_EQ(ctrl.SetProperty("Fill", CVariant::Color(RGB(0, 0, 255))), S_OK);
    EXPECT_EQ(ctrl.m_drawsAfterRefresh, before + 1);
    EXPECT_EQ(site.GetPixel(5, 5), RGB(0, 0, 255));
}

TEST_F(HeadlessSiteTest, SystemColoursArePaintedTranslated) {
    ASSERT_TRUE(site.CreateControlWindow());
    ctrl.SetFill(0x80000000u | COLOR_BTNFACE);
    EXPECT_EQ(site.GetPixel(1, 1), RGB(212, 208, 200));
}

TEST_F(HeadlessSiteTest, RecordsPropertyChangesAndTheModifiedState) {
    ctrl.SetFill(RGB(1, 1, 1));
    ctrl.SetBackColor(RGB(2, 2, 2));
    EXPECT_EQ(site.PropertyChanges(), (std::vector<DISPID>{1, DISPID_BACKCOLOR}));
    EXPECT_TRUE(site.Modified());
    EXPECT_EQ(site.ModifiedReports(), 2);
    CPropertyBag bag;
    ctrl.SaveProperties(bag);
    EXPECT_FALSE(site.Modified());
}

TEST_F(HeadlessSiteTest, ClicksFireEventsInOrder) {
    ASSERT_TRUE(site.CreateControlWindow());
    site.Click(3, 4);
    site.LButtonDown(-1, 40);
    ASSERT_EQ(site.Events().size(), 3u);
    EXPECT_EQ(site.Events()[0].name, "Pressed");
    EXPECT_EQ(site.Events()[0].args, (std::vector<CVariant>{CVariant::I2(3), CVariant::I2(4)}));
    EXPECT_EQ(site.Events()[1].dispid, 2);
    EXPECT_EQ(site.Events()[2].args, (std::vector<CVariant>{CVariant::I2(-1), CVariant::I2(40)}));
}

TEST_F(HeadlessSiteTest, InputWithoutAWindowIsIgnored) {
    site.Click(3, 4);
    EXPECT_TRUE(site.Events().empty());
}

TEST_F(HeadlessSiteTest, InvalidationPaintsAfterTheInput) {
    ASSERT_TRUE(site.CreateControlWindow());
    int32_t before = site.PaintCount();
    site.MouseMove(1, 1);
    EXPECT_EQ(site.PaintCount(), before + 1);
    site.Click(1, 1);  // no invalidation
    EXPECT_EQ(site.PaintCount(), before + 1);
}

TEST_F(HeadlessSiteTest, MessagesPostedFromAnotherThreadArriveOnTheContainerThread) {
    ASSERT_TRUE(site.CreateControlWindow());
    HWND hwnd = site.GetHwnd();
    constexpr int32_t kPosts = 5;
    std::thread worker([hwnd] {
        for (int32_t i = 0; i < kPosts; ++i) PostMessage(hwnd, kRepaintMessage, 0, 0);
    });
    int32_t paintsBefore = site.PaintCount();
    EXPECT_TRUE(site.PumpUntil([&] { return ctrl.m_repaints == kPosts; }, kGenerousMs));
    worker.join();
    EXPECT_EQ(ctrl.m_repaintThread, std::this_thread::get_id());
    EXPECT_EQ(site.PaintCount(), paintsBefore + kPosts) << "one paint per message";
}

TEST_F(HeadlessSiteTest, MessagesForADestroyedWindowAreDropped) {
    ASSERT_TRUE(site.CreateControlWindow());
    HWND hwnd = site.GetHwnd();
    CEvent posted;
    std::thread worker([&] {
        PostMessage(hwnd, kRepaintMessage, 0, 0);
        posted.SetEvent();
    });
    ASSERT_EQ(posted.Wait(kGenerousMs), WAIT_OBJECT_0);
    worker.join();
    site.DestroyControlWindow();
    EXPECT_FALSE(PostMessage(hwnd, kRepaintMessage, 0, 0));
    site.Pump();
    EXPECT_EQ(ctrl.m_repaints, 0);
    EXPECT_FALSE(ctrl.IsInPlaceActive());
}

TEST_F(HeadlessSiteTest, PumpUntilGivesUpAtItsDeadline) {
    ASSERT_TRUE(site.CreateControlWindow());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(site.PumpUntil([] { return false; }, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    // A condition that holds at once needs no waiting at all.
    EXPECT_TRUE(site.PumpUntil([] { return true; }, 0));
}

TEST_F(HeadlessSiteTest, PumpUntilSeesConditionsSetWithoutMessages) {
    std::atomic<bool> flag{false};
    std::thread setter([&] { flag = true; });
    EXPECT_TRUE(site.PumpUntil([&] { return flag.load(); }, kGenerousMs));
    setter.join();
}

TEST_F(HeadlessSiteTest, ResizeGivesANewSurfaceAndTellsTheControl) {
    ASSERT_TRUE(site.CreateControlWindow());
    site.Resize(100, 20);
    EXPECT_EQ(site.Width(), 100);
    EXPECT_EQ(site.Height(), 20);
    EXPECT_EQ(ctrl.GetClientRect().Width(), 100);
    EXPECT_EQ(ctrl.m_lastBounds.Width(), 100);
    EXPECT_EQ(site.GetPixel(99, 19), RGB(255, 0, 0));
}

TEST_F(HeadlessSiteTest, AmbientPropertiesAreSettable) {
    EXPECT_EQ(ctrl.AmbientUserMode(), TRUE);
    site.SetAmbient(DISPID_AMBIENT_USERMODE, CVariant::Bool(FALSE));
    site.SetAmbient(DISPID_AMBIENT_BACKCOLOR, CVariant::Color(RGB(7, 8, 9)));
    EXPECT_EQ(ctrl.AmbientUserMode(), FALSE);
    EXPECT_EQ(ctrl.AmbientBackColor(), RGB(7, 8, 9));
    site.ClearAmbient(DISPID_AMBIENT_USERMODE);
    EXPECT_EQ(ctrl.AmbientUserMode(), TRUE);
}

TEST_F(HeadlessSiteTest, EditVerbCreatesTheWindow) {
    EXPECT_FALSE(site.IsWindowLive());
    EXPECT_EQ(ctrl.DoVerb(OLEIVERB_PRIMARY), S_OK);
    EXPECT_TRUE(site.IsWindowLive());
    EXPECT_EQ(ctrl.DoVerb(OLEIVERB_PROPERTIES), E_FAIL) << "the probe offers no pages";
    ASSERT_EQ(site.PropertyPageRequests().size(), 1u);
}

// Through the PNG codec, read back by libpng: 8-bit RGB without alpha, every pixel as drawn.
TEST_F(HeadlessSiteTest, ASavedPngHoldsEveryPixelOfTheSurface) {
    CDC& dc = site.Surface();
    for (int32_t y = 0; y < site.Height(); ++y) {
        for (int32_t x = 0; x < site.Width(); ++x)
            dc.Row(y)[x] = uint32_t(x * 0x30000 + y * 0x50 + 7);
    }
    dc.Row(1)[2] = 0xFF000000u | 0x00ABCDEFu;  // a stray spare byte must not leak as alpha
    const CString path = TempPath("headless_roundtrip.png");
    std::filesystem::remove(path);
    ASSERT_TRUE(site.SavePng(path));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    EXPECT_EQ(image.width, uint32_t(site.Width()));
    EXPECT_EQ(image.height, uint32_t(site.Height()));
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
    int32_t wrong = 0;
    for (int32_t y = 0; y < site.Height(); ++y) {
        for (int32_t x = 0; x < site.Width(); ++x) {
            const uint8_t* p = &rgb[size_t(y * site.Width() + x) * 3];
            const uint32_t got = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
            if (got != (dc.Row(y)[x] & 0xFFFFFFu)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(HeadlessSiteTest, SavingToAnUnwritablePathFails) {
    EXPECT_FALSE(site.SavePng(TempPath("no/such/dir/x.png")));
    EXPECT_FALSE(site.SavePng(""));
}

TEST_F(HeadlessSiteTest, SavesTheSurfaceAsPng) {
    ASSERT_TRUE(site.CreateControlWindow());
    std::filesystem::create_directories(TestTmp());
    CString path = CString(TestTmp()) + "/headless.png";
    std::filesystem::remove(path);
    ASSERT_TRUE(site.SavePng(path));
    EXPECT_EQ(ReadText(path).substr(0, 4), "\x89PNG");
}

TEST(HeadlessSiteLifetime, DestroyingTheSiteDestroysTheWindowAndDetaches) {
    CProbeCtrl ctrl;
    HWND hwnd;
    {
        CHeadlessSite site(ctrl, 10, 10);
        ASSERT_TRUE(site.CreateControlWindow());
        hwnd = site.GetHwnd();
        EXPECT_EQ(ctrl.GetClientSite(), &site);
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(ctrl.GetClientSite(), nullptr);
    ctrl.SetFill(RGB(1, 2, 3));  // no site left to tell: must not crash
    EXPECT_EQ(ctrl.m_refreshesDone, 1);
}

}  // namespace
