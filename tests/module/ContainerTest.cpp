// A container making the control and its pages through the registry and the module: one
// platform for both, so the module's worker thread reaches the container's message loop.
#include <gtest/gtest.h>

#include <filesystem>

#include "codecs/JpegImpl.h"
#include "control/MovitrelCtrl.h"
#include "framework/ComClient.h"
#include "framework/PropertyPage.h"
#include "host/headless/HeadlessSite.h"
#include "tests/module/ModuleTestSupport.h"

using namespace module_test;

namespace {

constexpr uint32_t kGenerousMs = 20000;

class ThroughTheModule : public ::testing::Test {
protected:
    void SetUp() override {
        m_registry = FreshRegistryPath();
        ASSERT_EQ(RegisterModule(kModule, m_registry, false), S_OK);
    }
    std::string m_registry;
};

TEST_F(ThroughTheModule, CreatesTheControlByProgIdAndByClsid) {
    CComInstance byProgId;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, "MOVITREL.MovitrelCtrl.1", &byProgId), S_OK);
    ASSERT_NE(byProgId.Control(), nullptr);
    EXPECT_EQ(byProgId.Module()->Path(), CanonicalModulePath());
    CComInstance byClsid;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, kControlClsid, &byClsid), S_OK);
    EXPECT_NE(byClsid.Control(), byProgId.Control());
    EXPECT_EQ(byClsid.Control()->GetDispatchIID(), byProgId.Control()->GetDispatchIID());

    CComInstance none;
    EXPECT_EQ(CreateObjectFromRegistry(m_registry, "No.Such.1", &none), CO_E_CLASSSTRING);
    EXPECT_EQ(CreateObjectFromRegistry(m_registry, "{01234567-89AB-CDEF-0123-456789ABCDEF}", &none),
              REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(none.IsEmpty());
}

TEST_F(ThroughTheModule, ReleasingTheLastObjectLetsTheModuleUnload) {
    CComInstance ctrl;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, "MOVITREL.MovitrelCtrl.1", &ctrl), S_OK);
    std::shared_ptr<CModuleHandle> module = ctrl.Module();
    EXPECT_EQ(module->CanUnloadNow(), S_FALSE);
    CComInstance moved = std::move(ctrl);
    EXPECT_TRUE(ctrl.IsEmpty());
    EXPECT_EQ(module->CanUnloadNow(), S_FALSE);
    moved.Reset();
    EXPECT_EQ(module->CanUnloadNow(), S_OK);
}

TEST_F(ThroughTheModule, TheWorkerInTheModuleRepaintsTheContainersControl) {
    CComInstance made;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, "MOVITREL.MovitrelCtrl.1", &made), S_OK);
    COleControl* ctrl = made.Control();
    ctrl->OnResetState();
    {
        CHeadlessSite site(*ctrl, 200, 150);
        ASSERT_TRUE(site.CreateControlWindow());
        ASSERT_EQ(ctrl->SetProperty("PictureBackColor", CVariant::Color(RGB(0, 0, 255))), S_OK);
        int32_t paints = site.PaintCount();
        // The worker's first pass posts its refresh to this thread's queue: only one shared
        // platform lets it arrive here.
        EXPECT_TRUE(site.PumpUntil([&] { return site.PaintCount() > paints; }, kGenerousMs));
        EXPECT_EQ(site.GetPixel(100, 40), RGB(0, 0, 255));

        // Events from the module's control reach the container's sinks.
        site.ClearEvents();
        ASSERT_EQ(ctrl->SetProperty("Loop", CVariant::Bool(TRUE)), S_OK);
        ASSERT_EQ(site.Events().size(), 1u);
        EXPECT_EQ(site.Events()[0].name, "ChangeLoop");
        site.DestroyControlWindow();
    }
}

// The module carries its own image library: a JPEG format that its control failed to register
// would leave the picture in PictureBackColor.
TEST_F(ThroughTheModule, TheModulesControlDecodesAJpegFrame) {
    const std::string dir = TestTmp() + "/module-jpeg";
    std::filesystem::create_directories(dir);
    {
        CJpegImpl jpeg(dir + "/frame0.jpg");
        ASSERT_NE(jpeg.Create(32, 24, 24, kColorTypeColor), 0);
        for (int32_t y = 0; y < 24; ++y) {
            for (int32_t x = 0; x < 32; ++x) {
                BYTE* px = jpeg.PictureRow(y) + 3 * x;
                px[0] = 20, px[1] = 20, px[2] = 230;  // blue, green, red: red
            }
        }
        ASSERT_TRUE(jpeg.Write(""));
    }
    CComInstance made;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, "MOVITREL.MovitrelCtrl.1", &made), S_OK);
    COleControl* ctrl = made.Control();
    ctrl->OnResetState();
    ASSERT_EQ(ctrl->SetProperty("PictureBackColor", CVariant::Color(RGB(0, 0, 255))), S_OK);
    ASSERT_EQ(ctrl->SetProperty("Dir", CVariant::Str(dir)), S_OK);
    CHeadlessSite site(*ctrl, 200, 150);
    ASSERT_TRUE(site.CreateControlWindow());
    const auto isRed = [&] {
        const COLORREF c = site.GetPixel(100, 55);
        return GetRValue(c) > 180 && GetGValue(c) < 80 && GetBValue(c) < 80;
    };
    EXPECT_TRUE(site.PumpUntil(isRed, kGenerousMs))
        << "centre pixel " << std::hex << site.GetPixel(100, 55);
    site.DestroyControlWindow();
}

TEST_F(ThroughTheModule, PagesFromTheModuleEditTheControlFromTheModule) {
    CComInstance made;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, "MOVITREL.MovitrelCtrl.1", &made), S_OK);
    COleControl* ctrl = made.Control();
    ctrl->OnResetState();
    std::vector<CLSID> pages = ctrl->GetPropPageIDs();
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[3], CLSID_StockColorPage);

    CComInstance files;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, StringFromGUID(pages[0]), &files), S_OK);
    ASSERT_NE(files.PropertyPage(), nullptr);
    EXPECT_EQ(files.PropertyPage()->GetCaption(), "Files/Dir");
    CComInstance controls;
    ASSERT_EQ(CreateObjectFromRegistry(m_registry, StringFromGUID(pages[1]), &controls), S_OK);
    ASSERT_NE(controls.PropertyPage(), nullptr);
    EXPECT_EQ(controls.PropertyPage()->GetCaption(), "Controls");

    COlePropertyPage* page = files.PropertyPage();
    page->SetObjects({ctrl});
    ASSERT_TRUE(page->Activate());
    EXPECT_EQ(page->GetItemText(201), "500");
    ASSERT_TRUE(page->SetItemText(201, "750"));
    EXPECT_EQ(page->Apply(), S_OK);
    CVariant delay;
    ASSERT_EQ(ctrl->GetProperty("Delay", &delay), S_OK);
    EXPECT_EQ(delay, CVariant::I4(750));
    page->SetObjects({});
}

}  // namespace
