#include <gtest/gtest.h>

#include "framework/Com.h"
#include "framework/Variant.h"

namespace {

CVariant Convert(const CVariant& v, VARTYPE to, HRESULT expected = S_OK) {
    CVariant out;
    EXPECT_EQ(v.ChangeType(to, &out), expected);
    return out;
}

TEST(Variant, BooleansAreMinusOneOrZero) {
    EXPECT_EQ(CVariant::Bool(7).boolVal(), VARIANT_TRUE);
    EXPECT_EQ(Convert(CVariant::Bool(TRUE), VT_I4), CVariant::I4(-1));
    EXPECT_EQ(Convert(CVariant::I2(0), VT_BOOL), CVariant::Bool(FALSE));
    EXPECT_EQ(Convert(CVariant::Str("True"), VT_BOOL), CVariant::Bool(TRUE));
    EXPECT_EQ(Convert(CVariant::Bool(TRUE), VT_BSTR), CVariant::Str("True"));
}

TEST(Variant, IntegersNarrowWithOverflowCheck) {
    EXPECT_EQ(Convert(CVariant::I4(-32768), VT_I2), CVariant::I2(-32768));
    Convert(CVariant::I4(32768), VT_I2, DISP_E_OVERFLOW);
    Convert(CVariant::Str("4294967296"), VT_I4, DISP_E_OVERFLOW);
    EXPECT_EQ(Convert(CVariant::UI4(0xFFFFFFFFu), VT_I4), CVariant::I4(-1));
}

TEST(Variant, TextParsesWhollyOrNotAtAll) {
    EXPECT_EQ(Convert(CVariant::Str("-42"), VT_I4), CVariant::I4(-42));
    EXPECT_EQ(Convert(CVariant::Str("0xff"), VT_I2), CVariant::I2(255));
    Convert(CVariant::Str(" 1"), VT_I4, DISP_E_TYPEMISMATCH);
    Convert(CVariant::Str(""), VT_I4, DISP_E_TYPEMISMATCH);
    Convert(CVariant::Str("0x"), VT_I4, DISP_E_TYPEMISMATCH);
}

TEST(Variant, FailedConversionLeavesTheTargetAlone) {
    CVariant out = CVariant::I4(5);
    EXPECT_EQ(CVariant::Str("nope").ChangeType(VT_I4, &out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(out, CVariant::I4(5));
}

TEST(Guid, StringRoundTrip) {
    CString text = StringFromGUID(CLSID_StockColorPage);
    EXPECT_EQ(text, "{7EBDAAE1-8120-11CF-899F-00AA00688B10}");
    auto back = GUIDFromString("7ebdaae1-8120-11cf-899f-00aa00688b10");
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, CLSID_StockColorPage);
    EXPECT_FALSE(GUIDFromString("{7EBDAAE1-8120-11CF-899F-00AA00688B1G}"));
    EXPECT_FALSE(GUIDFromString("{7EBDAAE1+8120-11CF-899F-00AA00688B10}"));
}

}  // namespace
