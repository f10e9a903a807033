#include <gtest/gtest.h>

#include "SampleControl.h"

namespace {

TEST(Dispatch, NamesResolveToDispidsWithoutRegardToCase) {
    CSampleCtrl c;
    DISPID id = 0;
    EXPECT_EQ(c.GetIDOfName("name", &id), S_OK);
    EXPECT_EQ(id, CSampleCtrl::kName);
    EXPECT_EQ(c.GetIDOfName("BACKCOLOR", &id), S_OK);
    EXPECT_EQ(id, DISPID_BACKCOLOR);
    EXPECT_EQ(c.GetIDOfName("AboutBox", &id), S_OK);
    EXPECT_EQ(id, DISPID_ABOUTBOX);
    EXPECT_EQ(c.GetIDOfName("Nope", &id), DISP_E_UNKNOWNNAME);
}

TEST(Dispatch, StringPropertyByIdAndByName) {
    CSampleCtrl c;
    EXPECT_EQ(c.SetProperty(CSampleCtrl::kName, CVariant::Str("frames")), S_OK);
    EXPECT_EQ(c.m_strName, "frames");
    CVariant v;
    EXPECT_EQ(c.GetProperty("Name", &v), S_OK);
    EXPECT_EQ(v, CVariant::Str("frames"));
    // A setter taking const char* receives the same text.
    EXPECT_EQ(c.SetProperty("Label", CVariant::Str("a b")), S_OK);
    EXPECT_EQ(c.m_strLabel, "a b");
}

TEST(Dispatch, NumbersConvertToStringProperties) {
    CSampleCtrl c;
    EXPECT_EQ(c.SetProperty("Name", CVariant::I4(-12)), S_OK);
    EXPECT_EQ(c.m_strName, "-12");
}

TEST(Dispatch, ShortPropertyNarrowsWithOverflowCheck) {
    CSampleCtrl c;
    c.m_nCount = 1;
    EXPECT_EQ(c.SetProperty(CSampleCtrl::kCount, CVariant::I4(-300)), S_OK);
    EXPECT_EQ(c.m_nCount, -300);
    EXPECT_EQ(c.SetProperty(CSampleCtrl::kCount, CVariant::I4(40000)), DISP_E_OVERFLOW);
    EXPECT_EQ(c.m_nCount, -300) << "a refused value must not reach the setter";
    EXPECT_EQ(c.SetProperty(CSampleCtrl::kCount, CVariant::Str("0x10")), S_OK);
    EXPECT_EQ(c.m_nCount, 16);
    EXPECT_EQ(c.SetProperty(CSampleCtrl::kCount, CVariant::Str("12abc")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(c.m_nCount, 16);
    CVariant v;
    EXPECT_EQ(c.GetProperty(CSampleCtrl::kCount, &v), S_OK);
    EXPECT_EQ(v, CVariant::I2(16));
}

TEST(Dispatch, LongPropertyFromEveryIntegerForm) {
    CSampleCtrl c;
    EXPECT_EQ(c.SetProperty("Delay", CVariant::I2(-5)), S_OK);
    EXPECT_EQ(c.m_lDelay, -5);
    EXPECT_EQ(c.SetProperty("Delay", CVariant::Str("1000")), S_OK);
    EXPECT_EQ(c.m_lDelay, 1000);
    CVariant v;
    EXPECT_EQ(c.GetProperty("Delay", &v, VT_BSTR), S_OK);
    EXPECT_EQ(v, CVariant::Str("1000"));
}

TEST(Dispatch, ColorKeepsItsBitsFromSignedIntegers) {
    CSampleCtrl c;
    // Scripting clients send 0x80000005 as a negative 32-bit integer.
    EXPECT_EQ(c.SetProperty("Tint", CVariant::I4(int32_t(0x80000005u))), S_OK);
    EXPECT_EQ(c.m_clrTint, 0x80000005u);
    CVariant v;
    EXPECT_EQ(c.GetProperty("Tint", &v), S_OK);
    EXPECT_EQ(v, CVariant::Color(0x80000005u));
    EXPECT_EQ(c.GetProperty("Tint", &v, VT_I4), S_OK);
    EXPECT_EQ(v, CVariant::I4(int32_t(0x80000005u)));
}

TEST(Dispatch, BooleanReachesSetterAsMinusOneOrZero) {
    CSampleCtrl c;
    EXPECT_EQ(c.SetProperty("Flag", CVariant::Bool(TRUE)), S_OK);
    EXPECT_EQ(c.m_bFlag, -1);
    EXPECT_EQ(c.SetProperty("Flag", CVariant::Bool(FALSE)), S_OK);
    EXPECT_EQ(c.m_bFlag, 0);
    // Any non-zero integer is true to automation, and arrives as -1.
    EXPECT_EQ(c.SetProperty("Flag", CVariant::I4(5)), S_OK);
    EXPECT_EQ(c.m_bFlag, -1);
    EXPECT_EQ(c.SetProperty("Flag", CVariant::Str("false")), S_OK);
    EXPECT_EQ(c.m_bFlag, 0);
}

TEST(Dispatch, BooleanGetterAnswersMinusOneForAnyNonZero) {
    CSampleCtrl c;
    c.m_nState = 3;  // a getter that returns 1, as a state-carrying property does
    CVariant v;
    EXPECT_EQ(c.GetProperty("State", &v), S_OK);
    EXPECT_EQ(v.vt(), VT_BOOL);
    EXPECT_EQ(v.boolVal(), VARIANT_TRUE);
    c.m_nState = 0;
    EXPECT_EQ(c.GetProperty("State", &v), S_OK);
    EXPECT_EQ(v.boolVal(), VARIANT_FALSE);
    // The round trip: what the getter answered goes back unchanged.
    EXPECT_EQ(c.SetProperty("State", CVariant::Bool(TRUE)), S_OK);
    EXPECT_EQ(c.m_nState, -1);
    EXPECT_EQ(c.GetProperty("State", &v, VT_I4), S_OK);
    EXPECT_EQ(v, CVariant::I4(-1));
}

TEST(Dispatch, ReadOnlyAndMissingMembersAreRefused) {
    CSampleCtrl c;
    CVariant v;
    EXPECT_EQ(c.GetProperty("ReadOnly", &v), S_OK);
    EXPECT_EQ(v, CVariant::I4(42));
    EXPECT_EQ(c.SetProperty("ReadOnly", CVariant::I4(1)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(c.SetProperty(1234, CVariant::I4(1)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(c.GetProperty("Ping", &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(c.InvokeMethod("Name"), DISP_E_MEMBERNOTFOUND);
}

TEST(Dispatch, MethodsAreInvokedByIdAndName) {
    CSampleCtrl c;
    EXPECT_EQ(c.InvokeMethod(CSampleCtrl::kPing), S_OK);
    EXPECT_EQ(c.InvokeMethod("PING"), S_OK);
    EXPECT_EQ(c.m_pings, 2);
}

TEST(Dispatch, StockAboutBoxReachesTheOverride) {
    CSampleCtrl c;
    EXPECT_EQ(c.InvokeMethod(DISPID_ABOUTBOX), S_OK);
    EXPECT_EQ(c.m_aboutCalls, 1);
    EXPECT_EQ(c.m_aboutResult, IDCANCEL) << "no site: no dialog can be shown";
}

TEST(Dispatch, StockBackColorNotifiesOnlyOnChange) {
    CSampleCtrl c;
    EXPECT_EQ(c.SetProperty(DISPID_BACKCOLOR, CVariant::Color(RGB(1, 2, 3))), S_OK);
    EXPECT_EQ(c.GetBackColor(), RGB(1, 2, 3));
    EXPECT_EQ(c.m_backColorChanges, 1);
    EXPECT_TRUE(c.IsModified());
    EXPECT_EQ(c.SetProperty("BackColor", CVariant::Color(RGB(1, 2, 3))), S_OK);
    EXPECT_EQ(c.m_backColorChanges, 1);
}

TEST(Dispatch, PersistedEntriesFollowTheExchangeOrder) {
    CSampleCtrl c;
    std::vector<CString> names;
    for (const CDispEntry* e : PersistedEntries(c.GetDispatchMap()))
        names.push_back(e->persistName);
    EXPECT_EQ(names, (std::vector<CString>{"Name", "Tint", "Flag", "Count", "Delay", "State"}));
}

}  // namespace
