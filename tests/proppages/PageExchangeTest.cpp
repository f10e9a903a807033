// The pages on the real control: filled from its properties when opened, applied through its
// setters in the exchange order, numeric text refused.
#include <gtest/gtest.h>

#include "control/MovitrelCtrl.h"
#include "host/headless/HeadlessSite.h"
#include "playback/Commands.h"
#include "proppages/ControlPropPage.h"
#include "proppages/MovitrelPropPage.h"
#include "proppages/PageResources.h"
#include "proppages/PlaybackPropPage.h"
#include "tests/support/ControlProperties.h"

namespace {

class PageOnControl : public ::testing::Test {
protected:
    void SetUp() override {
        m_ctrl.OnResetState();
        m_site = std::make_unique<CHeadlessSite>(m_ctrl, 200, 150);
    }
    void TearDown() override {
        m_files.SetObjects({});
        m_controls.SetObjects({});
        m_playback.SetObjects({});
        m_site.reset();
    }
    void Set(const char* name, const CVariant& v) { SetByName(m_ctrl, name, v); }
    CVariant Get(const char* name) { return GetByName(m_ctrl, name); }
    // Events as "Name(args)" text, in order.
    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const auto& e : m_site->Events()) {
            std::string s = e.name + "(";
            for (size_t i = 0; i < e.args.size(); ++i) {
                CVariant text;
                e.args[i].ChangeType(VT_BSTR, &text);
                s += (i ? "," : "") + text.bstrVal();
            }
            out.push_back(s + ")");
        }
        return out;
    }
    void Open(COlePropertyPage& page) {
        page.SetObjects({&m_ctrl});
        ASSERT_TRUE(page.Activate());
        m_site->ClearEvents();
        m_site->ClearPropertyChanges();
        m_ctrl.SetModifiedFlag(FALSE);
        m_site->ClearModified();
    }

    CMovitrelCtrl m_ctrl;
    std::unique_ptr<CHeadlessSite> m_site;
    CMovitrelPropPage m_files;
    CControlPropPage m_controls;
    CPlaybackPropPage m_playback;
};

TEST_F(PageOnControl, FilesPageOpensWithTheControlsValues) {
    Set("Delay", CVariant::I4(250));
    Set("BaseFile", CVariant::Str("shot"));
    Set("Dir", CVariant::Str("/frames"));
    Set("Sort", CVariant::I2(2));
    Set("Maximize", CVariant::Bool(TRUE));
    Open(m_files);
    EXPECT_EQ(m_files.GetItemText(IDC_DELAY), "250");
    EXPECT_EQ(m_files.GetItemText(IDC_BASEFILE), "shot");
    EXPECT_EQ(m_files.GetItemText(IDC_DIR), "/frames");
    EXPECT_EQ(m_files.m_editDir.GetWindowText(), "/frames");
    EXPECT_EQ(m_files.GetCheck(IDC_SORT_NONE), 0);
    EXPECT_EQ(m_files.GetCheck(IDC_SORT_NUMBER), 0);
    EXPECT_EQ(m_files.GetCheck(IDC_SORT_TIME), 1);
    EXPECT_EQ(m_files.GetCheck(IDC_MAXIMIZE), 1);
    EXPECT_EQ(m_files.m_nSort, 2);
    EXPECT_FALSE(m_files.IsPageDirty());
    EXPECT_EQ(m_files.GetFocusItem(), IDC_DELAY);  // the first tab stop
}

TEST_F(PageOnControl, ControlsPageOpensWithTheControlsValues) {
    Set("Buttons", CVariant::Bool(FALSE));
    Set("Command", CVariant::I2(kCommandStop));  // before Loop: Stop clears it
    Set("Loop", CVariant::Bool(TRUE));
    Open(m_controls);
    EXPECT_EQ(m_controls.GetCheck(IDC_LOOP), 1);
    EXPECT_EQ(m_controls.GetCheck(IDC_PAUSE), 0);
    EXPECT_EQ(m_controls.GetCheck(IDC_SHOW_BUTTONS), 0);
    EXPECT_EQ(m_controls.GetCheck(IDC_SHOW_SLIDER), 1);
    for (int32_t id : m_controls.RadioGroup(IDC_CMD_NOACTION)) {
        EXPECT_EQ(m_controls.GetCheck(id), id == IDC_CMD_STOP ? 1 : 0) << id;
    }
}

// The Playback page shows the four options and DecodeToFit, and applies them through the
// setters: none of them fires an event.
TEST_F(PageOnControl, PlaybackPageShowsAndAppliesTheOptionsAndDecodeToFit) {
    Set("CacheSize", CVariant::I4(64));
    Set("Bounce", CVariant::Bool(TRUE));
    Open(m_playback);
    EXPECT_EQ(m_playback.GetItemText(IDC_CACHESIZE), "64");
    EXPECT_EQ(m_playback.GetCheck(IDC_BOUNCE), 1);
    EXPECT_EQ(m_playback.GetCheck(IDC_DECODETOFIT), 0);
    ASSERT_TRUE(m_playback.SetCheck(IDC_DECODETOFIT, 1));
    ASSERT_TRUE(m_playback.SetItemText(IDC_LASTDELAY, "700"));
    EXPECT_EQ(m_playback.Apply(), S_OK);
    EXPECT_EQ(Get("DecodeToFit"), CVariant::Bool(TRUE));
    EXPECT_EQ(Get("LastDelay"), CVariant::I4(700));
    EXPECT_EQ(Get("Bounce"), CVariant::Bool(TRUE));
    EXPECT_TRUE(Events().empty());
    EXPECT_TRUE(m_site->Modified());
}

TEST_F(PageOnControl, ACommandOutsideTheCodesChecksNoButtonAndStaysWhenApplied) {
    Set("Command", CVariant::I2(9));
    Open(m_controls);
    for (int32_t id : m_controls.RadioGroup(IDC_CMD_NOACTION)) {
        EXPECT_EQ(m_controls.GetCheck(id), 0) << id;
    }
    ASSERT_TRUE(m_controls.SetCheck(IDC_SHOW_SLIDER, 0));
    EXPECT_EQ(m_controls.Apply(), S_OK);
    EXPECT_EQ(Get("Command"), CVariant::I2(9));
    EXPECT_EQ(Get("Slider"), CVariant::Bool(FALSE));
}

TEST_F(PageOnControl, ADelayThatIsNotANumberIsRefusedAndNothingIsSet) {
    Open(m_files);
    ASSERT_TRUE(m_files.SetItemText(IDC_DELAY, "12x"));
    ASSERT_TRUE(m_files.SetItemText(IDC_BASEFILE, "other"));
    ASSERT_TRUE(m_files.SetCheck(IDC_MAXIMIZE, 1));
    EXPECT_EQ(m_files.Apply(), S_FALSE);
    ASSERT_TRUE(m_files.GetValidationFailure().has_value());
    EXPECT_EQ(m_files.GetValidationFailure()->itemId, IDC_DELAY);
    EXPECT_EQ(m_files.GetValidationFailure()->prompt, "Please enter an integer.");
    EXPECT_EQ(m_files.GetFocusItem(), IDC_DELAY);
    EXPECT_EQ(Get("Delay"), CVariant::I4(500));
    EXPECT_EQ(Get("BaseFile"), CVariant::Str(""));
    EXPECT_EQ(Get("Maximize"), CVariant::Bool(FALSE));
    EXPECT_TRUE(Events().empty());
    EXPECT_FALSE(m_ctrl.IsModified());
    // The page keeps what the user typed; corrected, it applies everything.
    EXPECT_EQ(m_files.GetItemText(IDC_DELAY), "12x");
    EXPECT_TRUE(m_files.IsPageDirty());
    ASSERT_TRUE(m_files.SetItemText(IDC_DELAY, " -40 "));
    EXPECT_EQ(m_files.Apply(), S_OK);
    EXPECT_FALSE(m_files.GetValidationFailure().has_value());
    EXPECT_EQ(Get("Delay"), CVariant::I4(-40));
    EXPECT_EQ(Get("BaseFile"), CVariant::Str("other"));
    EXPECT_EQ(Get("Maximize"), CVariant::Bool(TRUE));
}

TEST_F(PageOnControl, NumbersBeyondThirtyTwoBitsAndEmptyTextAreRefused) {
    Open(m_files);
    for (const char* text : {"", "  ", "+", "2147483648", "-2147483649", "0x10", "1 2"}) {
        ASSERT_TRUE(m_files.SetItemText(IDC_DELAY, text));
        EXPECT_EQ(m_files.Apply(), S_FALSE) << '"' << text << '"';
    }
    ASSERT_TRUE(m_files.SetItemText(IDC_DELAY, "2147483647"));
    EXPECT_EQ(m_files.Apply(), S_OK);
    EXPECT_EQ(Get("Delay"), CVariant::I4(2147483647));
}

TEST_F(PageOnControl, NoActionSetsCommandZero) {
    Set("Command", CVariant::I2(kCommandPlay));
    Open(m_controls);
    EXPECT_EQ(m_controls.GetCheck(IDC_CMD_PLAY), 1);
    ASSERT_TRUE(m_controls.SetCheck(IDC_CMD_NOACTION, 1));
    EXPECT_EQ(m_controls.Apply(), S_OK);
    EXPECT_EQ(Get("Command"), CVariant::I2(kCommandNone));
    EXPECT_EQ(Events(), (std::vector<std::string>{"ChangeCommand(0)"}));
    EXPECT_TRUE(m_ctrl.IsModified());
}

TEST_F(PageOnControl, ButtonsAfterTheCheckBoxesGiveTheirCommandCodes) {
    const std::pair<int32_t, int16_t> buttons[] = {
        {IDC_CMD_FF, kCommandFf},           {IDC_CMD_REW, kCommandRew},
        {IDC_CMD_STEPFOR, kCommandStepFor}, {IDC_CMD_STEPBACK, kCommandStepBack},
        {IDC_CMD_STOP, kCommandStop},       {IDC_CMD_RPLAY, kCommandRplay}};
    Open(m_controls);
    for (auto [id, code] : buttons) {
        ASSERT_TRUE(m_controls.SetCheck(id, 1));
        EXPECT_EQ(m_controls.Apply(), S_OK);
        EXPECT_EQ(Get("Command"), CVariant::I2(code)) << id;
    }
}

TEST_F(PageOnControl, ControlsPageSetsPropertiesInItsExchangeOrder) {
    Set("Command", CVariant::I2(kCommandPlay));
    Open(m_controls);
    // Changed in the reverse of the exchange order; applied Loop, Pause, Command.
    ASSERT_TRUE(m_controls.SetCheck(IDC_CMD_RPLAY, 1));
    ASSERT_TRUE(m_controls.SetCheck(IDC_PAUSE, 1));
    ASSERT_TRUE(m_controls.SetCheck(IDC_LOOP, 1));
    EXPECT_EQ(m_controls.Apply(), S_OK);
    EXPECT_EQ(Events(), (std::vector<std::string>{"ChangeLoop(True)", "ChangePause(True)",
                                                  "ChangePause(False)", "ChangeCommand(2)"}));
    EXPECT_EQ(Get("Command"), CVariant::I2(kCommandRplay));
    EXPECT_EQ(Get("Loop"), CVariant::Bool(TRUE));
}

TEST_F(PageOnControl, FilesPageSetsPropertiesInItsExchangeOrder) {
    Set("Command", CVariant::I2(kCommandPlay));
    Open(m_files);
    ASSERT_TRUE(m_files.SetCheck(IDC_SORT_NUMBER, 1));
    ASSERT_TRUE(m_files.SetItemText(IDC_DIR, "/elsewhere"));
    ASSERT_TRUE(m_files.SetItemText(IDC_BASEFILE, "img"));
    EXPECT_EQ(m_files.Apply(), S_OK);
    // BaseFile's change stops playback (Command 3 notified), then Sort's setter notifies 11.
    EXPECT_EQ(m_site->PropertyChanges(), (std::vector<DISPID>{3, 11}));
    EXPECT_EQ(Events(), (std::vector<std::string>{"ChangeCommand(0)"}));
    EXPECT_EQ(Get("Dir"), CVariant::Str("/elsewhere"));
    EXPECT_EQ(Get("Sort"), CVariant::I2(1));
}

TEST_F(PageOnControl, ItemsTheUserDidNotChangeAreNotWritten) {
    Set("Command", CVariant::I2(kCommandStepFor));  // a repeated step would move a frame
    Open(m_controls);
    Open(m_files);
    EXPECT_EQ(m_controls.Apply(), S_OK);
    EXPECT_EQ(m_files.Apply(), S_OK);
    EXPECT_TRUE(Events().empty());
    EXPECT_FALSE(m_ctrl.IsModified());
    // Typing the same text back is no change either.
    ASSERT_TRUE(m_files.SetItemText(IDC_DELAY, "500"));
    EXPECT_FALSE(m_files.IsPageDirty());
}

TEST_F(PageOnControl, ApplyingWithoutAControlFails) {
    CControlPropPage page;
    EXPECT_FALSE(page.Activate());
    EXPECT_EQ(page.Apply(), E_FAIL);
}

TEST_F(PageOnControl, TheControlListsItsThreePagesThenTheStockColourPage) {
    EXPECT_EQ(m_ctrl.GetPropPageIDs(),
              (std::vector<CLSID>{CLSID_MovitrelPropPage, CLSID_ControlPropPage,
                                  CLSID_PlaybackPropPage, CLSID_StockColorPage}));
}

}  // namespace
