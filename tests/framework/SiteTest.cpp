#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SampleControl.h"

namespace {

using ::testing::_;
using ::testing::Return;

class MockSite : public IControlSite {
public:
    MOCK_METHOD(void, RedrawControlNow, (), (override));
    MOCK_METHOD(void, InvalidateControl, (const RECT*), (override));
    MOCK_METHOD(BOOL, GetAmbientProperty, (DISPID, CVariant*), (override));
    MOCK_METHOD(void, OnControlModified, (BOOL), (override));
    MOCK_METHOD(void, OnPosRectChange, (const RECT&), (override));
    MOCK_METHOD(BOOL, ActivateInPlace, (), (override));
    MOCK_METHOD(BOOL, ShowPropertyPages, (const std::vector<CLSID>&), (override));
    MOCK_METHOD(int32_t, DoModalDialog, (const CDialogTemplate&), (override));
};

TEST(Site, RefreshAsksTheSiteToPaintAtOnce) {
    CSampleCtrl c;
    MockSite site;
    c.SetClientSite(&site);
    EXPECT_CALL(site, RedrawControlNow()).Times(1);
    c.Refresh();
}

TEST(Site, InvalidateLeavesPaintingToTheSite) {
    CSampleCtrl c;
    MockSite site;
    c.SetClientSite(&site);
    EXPECT_CALL(site, InvalidateControl(nullptr)).Times(1);
    EXPECT_CALL(site, RedrawControlNow()).Times(0);
    c.InvalidateControl();
}

TEST(Site, ModifiedFlagReachesTheSite) {
    CSampleCtrl c;
    MockSite site;
    c.SetClientSite(&site);
    ::testing::InSequence order;
    EXPECT_CALL(site, OnControlModified(TRUE));
    EXPECT_CALL(site, OnControlModified(FALSE));
    c.SetModifiedFlag();
    EXPECT_TRUE(c.IsModified());
    CPropertyBag bag;
    c.SaveProperties(bag);
    EXPECT_FALSE(c.IsModified());
}

TEST(Site, AmbientPropertiesComeFromTheSiteOrFallBack) {
    CSampleCtrl c;
    EXPECT_EQ(c.AmbientUserMode(), TRUE);
    EXPECT_EQ(c.AmbientBackColor(), 0x80000000u | COLOR_WINDOW);
    MockSite site;
    c.SetClientSite(&site);
    EXPECT_CALL(site, GetAmbientProperty(DISPID_AMBIENT_USERMODE, _))
        .WillOnce([](DISPID, CVariant* v) {
            *v = CVariant::Bool(FALSE);
            return TRUE;
        });
    EXPECT_CALL(site, GetAmbientProperty(DISPID_AMBIENT_BACKCOLOR, _))
        .WillOnce([](DISPID, CVariant* v) {
            *v = CVariant::I4(0x00112233);
            return TRUE;
        });
    EXPECT_CALL(site, GetAmbientProperty(DISPID_AMBIENT_DISPLAYNAME, _)).WillOnce(Return(FALSE));
    EXPECT_EQ(c.AmbientUserMode(), FALSE);
    EXPECT_EQ(c.AmbientBackColor(), 0x00112233u);
    EXPECT_EQ(c.AmbientDisplayName(), "");
}

TEST(Site, ResetTakesTheAmbientBackColourAsDefault) {
    CSampleCtrl c;
    MockSite site;
    c.SetClientSite(&site);
    EXPECT_CALL(site, GetAmbientProperty(_, _)).WillRepeatedly(Return(FALSE));
    EXPECT_CALL(site, GetAmbientProperty(DISPID_AMBIENT_BACKCOLOR, _))
        .WillRepeatedly([](DISPID, CVariant* v) {
            *v = CVariant::Color(RGB(5, 6, 7));
            return TRUE;
        });
    EXPECT_CALL(site, InvalidateControl(_)).Times(::testing::AnyNumber());
    c.OnResetState();
    EXPECT_EQ(c.GetBackColor(), RGB(5, 6, 7));
}

TEST(Verbs, EditAndPropertiesAreOffered) {
    CSampleCtrl c;
    auto verbs = c.EnumVerbs();
    ASSERT_EQ(verbs.size(), 2u);
    EXPECT_EQ(verbs[0].verb, OLEIVERB_PRIMARY);
    EXPECT_EQ(verbs[0].name, "&Edit");
    EXPECT_EQ(verbs[1].name, "&Properties...");
}

TEST(Verbs, EditActivatesAndPropertiesShowsThePageList) {
    CSampleCtrl c;
    EXPECT_EQ(c.DoVerb(OLEIVERB_PRIMARY), E_FAIL) << "no site to activate in";
    MockSite site;
    c.SetClientSite(&site);
    EXPECT_CALL(site, ActivateInPlace()).WillOnce(Return(TRUE));
    EXPECT_CALL(site, ShowPropertyPages(std::vector<CLSID>{CLSID_StockColorPage}))
        .Times(2)
        .WillRepeatedly(Return(TRUE));
    EXPECT_EQ(c.DoVerb(c.EnumVerbs()[0].verb), S_OK);
    EXPECT_EQ(c.DoVerb(c.EnumVerbs()[1].verb), S_OK);
    EXPECT_EQ(c.DoVerb(OLEIVERB_PROPERTIES), S_OK);
    EXPECT_EQ(c.DoVerb(42), OLEOBJ_S_INVALIDVERB);
}

TEST(Verbs, AboutBoxShowsItsTemplateThroughTheSite) {
    CSampleCtrl c;
    MockSite site;
    c.SetClientSite(&site);
    EXPECT_CALL(site, DoModalDialog(_)).WillOnce([](const CDialogTemplate& d) {
        EXPECT_EQ(d.caption, "About Sample");
        const CDialogItem* ok = d.FindItem(IDOK);
        EXPECT_TRUE(ok && ok->kind == DialogItemKind::DefPushButton);
        return IDOK;
    });
    EXPECT_EQ(c.InvokeMethod("AboutBox"), S_OK);
    EXPECT_EQ(c.m_aboutResult, IDOK);
}

TEST(Window, CreateRunsOnCreateAndARefusalLeavesNoWindow) {
    CSampleCtrl c;
    c.m_createResult = -1;
    EXPECT_FALSE(c.CreateControlWindow(CRect(0, 0, 40, 30)));
    EXPECT_EQ(c.GetSafeHwnd(), nullptr);
    c.m_createResult = 0;
    ASSERT_TRUE(c.CreateControlWindow(CRect(0, 0, 40, 30)));
    HWND hwnd = c.GetSafeHwnd();
    EXPECT_TRUE(IsWindow(hwnd));
    ASSERT_EQ(c.m_messages.size(), 2u);
    EXPECT_EQ(c.m_messages[1].msg, WM_CREATE);
    EXPECT_EQ(c.m_messages[1].point, CPoint(40, 30));
    c.DestroyControlWindow();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(c.m_messages.back().msg, WM_DESTROY);
}

TEST(Window, MessagesReachTheirHandlersWithFlagsAndPoint) {
    CSampleCtrl c;
    ASSERT_TRUE(c.CreateControlWindow(CRect(0, 0, 40, 30)));
    HWND hwnd = c.GetSafeHwnd();
    c.m_messages.clear();
    SendMessage(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
    SendMessage(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(-3, 7));
    SendMessage(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(8, 9));
    SendMessage(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 2));
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTBORDER, MAKELPARAM(100, 200));
    EXPECT_EQ(SendMessage(hwnd, kSamplePrivateMessage, 4, 5), 1);
    EXPECT_EQ(SendMessage(hwnd, WM_USER + 7, 0, 0), 0) << "unhandled: default processing";
    ASSERT_EQ(c.m_messages.size(), 6u);
    EXPECT_EQ(c.m_messages[0].msg, WM_LBUTTONDOWN);
    EXPECT_EQ(c.m_messages[0].flags, MK_LBUTTON);
    EXPECT_EQ(c.m_messages[0].point, CPoint(5, 6));
    EXPECT_EQ(c.m_messages[1].point, CPoint(-3, 7));
    EXPECT_EQ(c.m_messages[2].msg, WM_LBUTTONUP);
    EXPECT_EQ(c.m_messages[3].msg, WM_RBUTTONDOWN);
    EXPECT_EQ(c.m_messages[4].flags, HTBORDER);
    EXPECT_EQ(c.m_messages[4].point, CPoint(100, 200));
    EXPECT_EQ(c.m_messages[5].msg, kSamplePrivateMessage);
    EXPECT_EQ(c.m_messages[5].flags, 4u);
    c.DestroyControlWindow();
}

TEST(Window, ResizingSendsSizeOnlyWhenTheSizeChanges) {
    CSampleCtrl c;
    ASSERT_TRUE(c.CreateControlWindow(CRect(0, 0, 40, 30)));
    c.m_messages.clear();
    c.SetRectInContainer(CRect(10, 10, 50, 40));  // moved, same size
    c.SetRectInContainer(CRect(10, 10, 70, 50));
    ASSERT_EQ(c.m_messages.size(), 1u);
    EXPECT_EQ(c.m_messages[0].msg, WM_SIZE);
    EXPECT_EQ(c.m_messages[0].point, CPoint(60, 40));
    EXPECT_EQ(c.GetClientRect().Width(), 60);
    c.DestroyControlWindow();
}

TEST(Extent, HimetricConversionRoundsToNearest) {
    EXPECT_EQ(PixelsToHimetric(96), 2540);
    EXPECT_EQ(PixelsToHimetric(1), 26);
    EXPECT_EQ(HimetricToPixels(2540), 96);
    EXPECT_EQ(HimetricToPixels(PixelsToHimetric(333)), 333);
    EXPECT_EQ(PixelsToHimetric(-96), -2540);
}

}  // namespace
