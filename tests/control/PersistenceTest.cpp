// Saving, loading and resetting the control's state through the property exchange.
#include <algorithm>

#include "playback/Commands.h"
#include "tests/control/ControlFixture.h"
#include "tests/support/MovitrelCtrlProbe.h"

namespace control_test {
namespace {

using Log = std::vector<std::string>;

class PersistenceTest : public ControlTest {
protected:
    // Sets all ten exchanged properties away from their defaults, through the setters. The
    // source first: a new source stops playback.
    void SetNonDefaults() {
        SetString("Dir", "/data/run 7");
        SetString("BaseFile", "shot_");
        SetShort("Sort", 2);
        SetLong("Delay", 250);
        SetBool("Loop", true);
        SetBool("Buttons", false);
        SetBool("Slider", false);
        SetBool("Maximize", true);
        SetShort("Command", kCommandRew);
        SetBool("Pause", true);
        SetColour("BackColor", RGB(10, 20, 30));
        SetLong("CacheSize", 64);
        SetBool("Watch", true);
        SetBool("Bounce", true);
        SetLong("LastDelay", 1500);
        SetBool("DecodeToFit", true);
    }
    void ExpectNonDefaults(const char* where) {
        SCOPED_TRACE(where);
        EXPECT_EQ(GetString("Dir"), "/data/run 7");
        EXPECT_EQ(GetString("BaseFile"), "shot_");
        EXPECT_EQ(GetLong("Sort"), 2);
        EXPECT_EQ(GetLong("Delay"), 250);
        EXPECT_EQ(GetBool("Loop"), VARIANT_TRUE);
        EXPECT_EQ(GetBool("Buttons"), VARIANT_FALSE);
        EXPECT_EQ(GetBool("Slider"), VARIANT_FALSE);
        EXPECT_EQ(GetBool("Maximize"), VARIANT_TRUE);
        EXPECT_EQ(GetLong("Command"), kCommandRew);
        EXPECT_EQ(GetBool("Pause"), VARIANT_TRUE);
        EXPECT_EQ(GetLong("BackColor"), int32_t(RGB(10, 20, 30)));
    }
    void ExpectDefaults(const char* where) {
        SCOPED_TRACE(where);
        ExpectPersistedDefaults();
    }
    std::vector<std::string> SavedNames(const CPropertyBag& bag) {
        std::vector<std::string> names;
        for (const auto& [name, value] : bag.Entries()) names.push_back(name);
        return names;
    }
};

TEST_F(PersistenceTest, SavesVersionThenStockThenTheFifteenInExchangeOrder) {
    CPropertyBag bag;
    ctrl->SaveProperties(bag);
    const std::vector<std::string> names = SavedNames(bag);
    // The ten of version 1.0, then the four that 1.1 appends after Maximize, then the one of
    // 1.2.
    const std::vector<std::string> custom = {"BaseFile", "Dir",       "Loop",       "Pause",
                                             "Sort",     "Command",   "Delay",      "Buttons",
                                             "Slider",   "Maximize",  "CacheSize",  "Watch",
                                             "Bounce",   "LastDelay", "DecodeToFit"};
    ASSERT_GE(names.size(), custom.size() + 2);
    EXPECT_EQ(names.front(), "_Version");
    EXPECT_EQ(*bag.Read("_Version"), "0x00010002");
    const std::vector<std::string> tail(names.end() - std::ptrdiff_t(custom.size()), names.end());
    EXPECT_EQ(tail, custom);
    // The stock BackColor is saved by the framework's part, before the custom properties.
    auto back = std::find(names.begin(), names.end(), "BackColor");
    ASSERT_NE(back, names.end());
    EXPECT_LT(back - names.begin(), std::ptrdiff_t(names.size() - custom.size()));
    EXPECT_EQ(std::count(names.begin(), names.end(), "PictureBackColor"), 0);
}

TEST_F(PersistenceTest, EveryExchangedPropertyRoundTripsIntoANewControl) {
    SetNonDefaults();
    ExpectNonDefaults("before saving");
    CPropertyBag bag;
    ctrl->SaveProperties(bag);

    CMovitrelCtrl loaded;
    CHeadlessSite loadedSite(loaded, kWidth, kHeight);
    loaded.LoadProperties(bag);
    auto get = [&](const char* name, VARTYPE vt = VT_EMPTY) {
        CVariant out;
        EXPECT_EQ(loaded.GetProperty(CString(name), &out, vt), S_OK) << name;
        return out;
    };
    EXPECT_EQ(get("Dir").bstrVal(), "/data/run 7");
    EXPECT_EQ(get("BaseFile").bstrVal(), "shot_");
    EXPECT_EQ(get("Sort").iVal(), 2);
    EXPECT_EQ(get("Delay").lVal(), 250);
    EXPECT_EQ(get("Loop").boolVal(), VARIANT_TRUE);
    EXPECT_EQ(get("Buttons").boolVal(), VARIANT_FALSE);
    EXPECT_EQ(get("Slider").boolVal(), VARIANT_FALSE);
    EXPECT_EQ(get("Maximize").boolVal(), VARIANT_TRUE);
    EXPECT_EQ(get("Command").iVal(), 4);
    EXPECT_EQ(get("Pause").boolVal(), VARIANT_TRUE);
    EXPECT_EQ(get("BackColor").ulVal(), RGB(10, 20, 30));
    EXPECT_EQ(get("PictureBackColor").ulVal(), 0u);  // not saved
    EXPECT_EQ(get("CacheSize").lVal(), 64);
    EXPECT_EQ(get("Watch").boolVal(), VARIANT_TRUE);
    EXPECT_EQ(get("Bounce").boolVal(), VARIANT_TRUE);
    EXPECT_EQ(get("LastDelay").lVal(), 1500);
    EXPECT_EQ(get("DecodeToFit").boolVal(), VARIANT_TRUE);
}

// A state saved before the four playback options existed (version 1.0) still loads: its
// eleven properties as saved, the four options at their defaults.
TEST_F(PersistenceTest, AVersionOneStateLoadsWithTheOptionsAtTheirDefaults) {
    SetNonDefaults();
    CPropertyBag bag;
    ctrl->SaveProperties(bag);
    bag.Write("_Version", "0x00010000");
    for (const char* added : {"CacheSize", "Watch", "Bounce", "LastDelay", "DecodeToFit"}) {
        bag.Remove(added);
    }

    CMovitrelCtrl loaded;
    CHeadlessSite loadedSite(loaded, kWidth, kHeight);
    loaded.LoadProperties(bag);
    CVariant v;
    ASSERT_EQ(loaded.GetProperty(CString("Delay"), &v), S_OK);
    EXPECT_EQ(v.lVal(), 250);
    ASSERT_EQ(loaded.GetProperty(CString("CacheSize"), &v), S_OK);
    EXPECT_EQ(v.lVal(), 256);
    ASSERT_EQ(loaded.GetProperty(CString("Bounce"), &v), S_OK);
    EXPECT_EQ(v.boolVal(), VARIANT_FALSE);
    ASSERT_EQ(loaded.GetProperty(CString("LastDelay"), &v), S_OK);
    EXPECT_EQ(v.lVal(), 0);
    ASSERT_EQ(loaded.GetProperty(CString("DecodeToFit"), &v), S_OK);
    EXPECT_EQ(v.boolVal(), VARIANT_FALSE);
}

// A 1.1 state has the four playback options but not DecodeToFit, which loads false.
TEST_F(PersistenceTest, AVersionOnePointOneStateLoadsDecodeToFitFalse) {
    SetNonDefaults();
    CPropertyBag bag;
    ctrl->SaveProperties(bag);
    bag.Write("_Version", "0x00010001");
    bag.Remove("DecodeToFit");
    CMovitrelCtrl loaded;
    CHeadlessSite loadedSite(loaded, kWidth, kHeight);
    loaded.LoadProperties(bag);
    CVariant v;
    ASSERT_EQ(loaded.GetProperty(CString("LastDelay"), &v), S_OK);
    EXPECT_EQ(v.lVal(), 1500);
    ASSERT_EQ(loaded.GetProperty(CString("DecodeToFit"), &v), S_OK);
    EXPECT_EQ(v.boolVal(), VARIANT_FALSE);
}

TEST_F(PersistenceTest, LoadingRunsNoSetterFiresNothingAndTellsTheWorkerNothing) {
    SetNonDefaults();
    CPropertyBag bag;
    ctrl->SaveProperties(bag);

    CMovitrelCtrl loaded;
    CHeadlessSite loadedSite(loaded, kWidth, kHeight);
    loaded.LoadProperties(bag);
    EXPECT_TRUE(loadedSite.Events().empty());
    EXPECT_TRUE(loadedSite.PropertyChanges().empty());
    EXPECT_EQ(loadedSite.ModifiedReports(), 0);
    EXPECT_FALSE(loaded.IsModified());
    CMovitrelCtrl& worker = loaded;
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(worker)->GetCommand(), 0);
    EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(worker)->GetLoop(), FALSE);
    EXPECT_EQ(CMovitrelCtrlProbe::SourceSettings(worker)->GetDir(), "");
    EXPECT_NE(worker.RescanEvent().Wait(0), WAIT_OBJECT_0);
    EXPECT_NE(worker.WakeEvent().Wait(0), WAIT_OBJECT_0);
}

TEST_F(PersistenceTest, ResetReturnsTheDefaultsAndKeepsPictureBackColor) {
    SetNonDefaults();
    SetColour("PictureBackColor", RGB(200, 100, 50));
    ClearHeard();
    ctrl->OnResetState();
    ExpectDefaults("after reset");
    EXPECT_EQ(GetLong("PictureBackColor"), int32_t(RGB(200, 100, 50)));
    // The framework's part resets BackColor to the container's ambient colour.
    EXPECT_EQ(uint32_t(GetLong("BackColor")), ctrl->AmbientBackColor());
    EXPECT_TRUE(site->Events().empty());
}

TEST_F(PersistenceTest, MaximizeEndsFalseThroughTheExchange) {
    CMovitrelCtrl fresh;
    CVariant v;
    ASSERT_EQ(fresh.GetProperty("Maximize", &v), S_OK);
    EXPECT_EQ(v.boolVal(), VARIANT_TRUE);  // the constructor's value, before any exchange
    CPropertyBag withoutMaximize;
    withoutMaximize.Write("Dir", "/d");
    fresh.LoadProperties(withoutMaximize);
    ASSERT_EQ(fresh.GetProperty("Maximize", &v), S_OK);
    EXPECT_EQ(v.boolVal(), VARIANT_FALSE);
}

TEST_F(PersistenceTest, MissingOrMalformedValuesLoadTheirDefaults) {
    SetNonDefaults();
    CPropertyBag bag;
    bag.Write("Delay", "soon");
    bag.Write("Sort", "99999");  // does not fit 16 bits
    bag.Write("Dir", "/only/this");
    ctrl->LoadProperties(bag);
    EXPECT_EQ(GetLong("Delay"), 500);
    EXPECT_EQ(GetLong("Sort"), 0);
    EXPECT_EQ(GetString("Dir"), "/only/this");
    EXPECT_EQ(GetString("BaseFile"), "");
    EXPECT_EQ(GetBool("Buttons"), VARIANT_TRUE);
}

TEST_F(PersistenceTest, SingleStepStateIsSavedAsPauseTrue) {
    SetShort("Command", kCommandStepFor);  // pause state 2
    CPropertyBag bag;
    ctrl->SaveProperties(bag);
    EXPECT_EQ(*bag.Read("Pause"), "True");
    EXPECT_EQ(*bag.Read("Command"), "5");
}

TEST_F(PersistenceTest, NegativeValuesSurviveTheRoundTrip) {
    SetShort("Sort", -7);
    SetLong("Delay", -1);
    SetShort("Command", -300);
    CPropertyBag bag;
    ctrl->SaveProperties(bag);
    ctrl->OnResetState();
    ctrl->LoadProperties(bag);
    EXPECT_EQ(GetLong("Sort"), -7);
    EXPECT_EQ(GetLong("Delay"), -1);
    EXPECT_EQ(GetLong("Command"), -300);
}

TEST_F(PersistenceTest, SavingClearsTheModifiedState) {
    SetLong("Delay", 90);
    EXPECT_TRUE(ctrl->IsModified());
    CPropertyBag bag;
    ctrl->SaveProperties(bag);
    EXPECT_FALSE(ctrl->IsModified());
    EXPECT_FALSE(site->Modified());
}

}  // namespace
}  // namespace control_test
