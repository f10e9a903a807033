// The pages' dialog templates, strings, initial members and radio groups.
#include <gtest/gtest.h>

#include "proppages/ControlPropPage.h"
#include "proppages/MovitrelPropPage.h"
#include "proppages/PageResources.h"

namespace {

using K = DialogItemKind;

struct Expected {
    int32_t id;
    K kind;
    const char* text;
    bool group;
};

void ExpectItems(const CDialogTemplate& d, const std::vector<Expected>& expected) {
    ASSERT_EQ(d.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const CDialogItem& item = d.items[i];
        EXPECT_EQ(item.id, expected[i].id) << i;
        EXPECT_EQ(item.kind, expected[i].kind) << i;
        EXPECT_EQ(item.text, expected[i].text) << i;
        EXPECT_EQ(item.group, expected[i].group) << i;
        // Inside the page.
        EXPECT_GE(item.x, 0);
        EXPECT_LE(item.x + item.cx, d.cx) << item.text;
        EXPECT_LE(item.y + item.cy, d.cy) << item.text;
    }
}

TEST(PageTemplates, FilesDirTemplateInTemplateOrder) {
    CDialogTemplate d = MovitrelPropPageTemplate();
    EXPECT_EQ(d.id, 200u);
    EXPECT_EQ(d.cx, 250);
    EXPECT_EQ(d.cy, 62);
    EXPECT_EQ(d.fontName, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    ExpectItems(d, {
                       {201, K::Edit, "", false},
                       {IDC_STATIC, K::Label, "Dela&y:", false},
                       {204, K::Edit, "", false},
                       {IDC_STATIC, K::Label, "&Dir:", false},
                       {214, K::Edit, "", false},
                       {IDC_STATIC, K::Label, "&FileName:", false},
                       {240, K::RadioButton, "Don't &Sort", true},
                       {241, K::RadioButton, "Sort By &Number", false},
                       {236, K::RadioButton, "Sort By &Time", false},
                       {202, K::CheckBox, "&Maximize image", false},
                   });
}

TEST(PageTemplates, ControlsTemplateInTemplateOrder) {
    CDialogTemplate d = ControlPropPageTemplate();
    EXPECT_EQ(d.id, 218u);
    EXPECT_EQ(d.cx, 250);
    EXPECT_EQ(d.cy, 62);
    EXPECT_EQ(d.fontName, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    ExpectItems(d, {
                       {245, K::RadioButton, "No &Action", true},
                       {246, K::RadioButton, "&Play", false},
                       {247, K::RadioButton, "&Rplay", false},
                       {242, K::RadioButton, "&Ff", false},
                       {248, K::CheckBox, "&Loop", false},
                       {206, K::CheckBox, "Pa&use", false},
                       {253, K::RadioButton, "Re&w", false},
                       {251, K::RadioButton, "StepFor", false},
                       {252, K::RadioButton, "Step&Back", false},
                       {254, K::RadioButton, "&Stop", false},
                       {203, K::CheckBox, "Show Buttons", false},
                       {207, K::CheckBox, "Show Slider", false},
                   });
}

TEST(PageTemplates, CaptionsAndTypeNames) {
    EXPECT_EQ(CMovitrelPropPage().GetCaption(), "Files/Dir");
    EXPECT_EQ(CControlPropPage().GetCaption(), "Controls");
    EXPECT_EQ(PageString(IDS_MOVITREL_PPG), "Movitrel Property Page");
    EXPECT_EQ(PageString(IDS_CONTROL_PPG), "MovitrelPropertyPage2");
    EXPECT_EQ(PageString(IDS_MOVITREL_PPG_CAPTION), "Files/Dir");
    EXPECT_EQ(PageString(IDS_CONTROL_PPG_CAPTION), "Controls");
    EXPECT_EQ(PageString(1), "");
}

TEST(PageTemplates, MembersBeforeTheFirstFill) {
    CMovitrelPropPage files;
    EXPECT_EQ(files.m_lDelay, 0);
    EXPECT_EQ(files.m_lUnused, 0);
    EXPECT_EQ(files.m_strBaseFile, "");
    EXPECT_EQ(files.m_strDir, "");
    EXPECT_EQ(files.m_nSort, -1);
    EXPECT_EQ(files.m_bMaximize, FALSE);
    EXPECT_FALSE(files.m_editDir.IsAttached());
    CControlPropPage controls;
    EXPECT_EQ(controls.m_bLoop, FALSE);
    EXPECT_EQ(controls.m_bPause, FALSE);
    EXPECT_EQ(controls.m_nCommand, -1);
    EXPECT_EQ(controls.m_bSlider, FALSE);
    EXPECT_EQ(controls.m_bButtons, FALSE);
    // Nothing is checked before the page is filled.
    for (const CDialogItem& item : controls.GetDialogTemplate().items) {
        EXPECT_EQ(controls.GetCheck(item.id), 0) << item.text;
    }
}

TEST(PageTemplates, RadioGroupsCountOnlyTheirRadioButtons) {
    CControlPropPage controls;
    // The check boxes between the buttons do not count: positions are the command codes.
    EXPECT_EQ(controls.RadioGroup(245),
              (std::vector<int32_t>{245, 246, 247, 242, 253, 251, 252, 254}));
    CMovitrelPropPage files;
    EXPECT_EQ(files.RadioGroup(240), (std::vector<int32_t>{240, 241, 236}));
}

TEST(PageTemplates, CheckingARadioButtonClearsTheRestOfItsGroup) {
    CControlPropPage page;
    ASSERT_TRUE(page.SetCheck(IDC_LOOP, 1));
    ASSERT_TRUE(page.SetCheck(IDC_CMD_PLAY, 1));
    ASSERT_TRUE(page.SetCheck(IDC_CMD_STOP, 1));
    EXPECT_EQ(page.GetCheck(IDC_CMD_PLAY), 0);
    EXPECT_EQ(page.GetCheck(IDC_CMD_STOP), 1);
    EXPECT_EQ(page.GetCheck(IDC_LOOP), 1);  // not in the group
    EXPECT_FALSE(page.SetCheck(999, 1));
    EXPECT_FALSE(page.SetItemText(999, "x"));
    EXPECT_TRUE(page.IsPageDirty());
}

}  // namespace
