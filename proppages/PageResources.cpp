#include "proppages/PageResources.h"

namespace {

constexpr int16_t kPageWidth = 250;
constexpr int16_t kPageHeight = 62;
constexpr const char* kFontName = "MS Sans Serif";
constexpr uint16_t kFontSize = 8;

CDialogItem Item(int32_t id, DialogItemKind kind, const char* text, int16_t x, int16_t y,
                 int16_t cx, int16_t cy, bool group = false) {
    CDialogItem item = MakeDialogItem(id, kind, text, x, y, cx, cy);
    item.group = group;
    item.tabStop = kind != DialogItemKind::Label && (kind != DialogItemKind::RadioButton || group);
    return item;
}

CDialogTemplate Page(uint32_t id) {
    CDialogTemplate dialog;
    dialog.id = id;
    dialog.cx = kPageWidth;
    dialog.cy = kPageHeight;
    dialog.fontName = kFontName;
    dialog.pointSize = kFontSize;
    return dialog;
}

}  // namespace

CDialogTemplate MovitrelPropPageTemplate() {
    using K = DialogItemKind;
    CDialogTemplate d = Page(IDD_PROPPAGE_MOVITREL);
    // Template order is the tab order; each edit box comes before its label.
    d.items = {
        Item(IDC_DELAY, K::Edit, "", 186, 22, 57, 12),
        Item(IDC_STATIC, K::Label, "Dela&y:", 158, 24, 26, 8),
        Item(IDC_DIR, K::Edit, "", 46, 5, 197, 12),
        Item(IDC_STATIC, K::Label, "&Dir:", 7, 7, 36, 8),
        Item(IDC_BASEFILE, K::Edit, "", 46, 22, 104, 12),
        Item(IDC_STATIC, K::Label, "&FileName:", 7, 24, 36, 8),
        Item(IDC_SORT_NONE, K::RadioButton, "Don't &Sort", 7, 39, 60, 10, true),
        Item(IDC_SORT_NUMBER, K::RadioButton, "Sort By &Number", 72, 39, 72, 10),
        Item(IDC_SORT_TIME, K::RadioButton, "Sort By &Time", 150, 39, 68, 10),
        Item(IDC_MAXIMIZE, K::CheckBox, "&Maximize image", 7, 50, 80, 10),
    };
    return d;
}

CDialogTemplate ControlPropPageTemplate() {
    using K = DialogItemKind;
    CDialogTemplate d = Page(IDD_PROPPAGE_CONTROL);
    // One radio group from "No &Action" to "&Stop"; the two check boxes between its buttons
    // belong to no group and do not count in its value.
    d.items = {
        Item(IDC_CMD_NOACTION, K::RadioButton, "No &Action", 7, 5, 56, 10, true),
        Item(IDC_CMD_PLAY, K::RadioButton, "&Play", 67, 5, 56, 10),
        Item(IDC_CMD_RPLAY, K::RadioButton, "&Rplay", 127, 5, 56, 10),
        Item(IDC_CMD_FF, K::RadioButton, "&Ff", 187, 5, 56, 10),
        Item(IDC_LOOP, K::CheckBox, "&Loop", 7, 35, 56, 10),
        Item(IDC_PAUSE, K::CheckBox, "Pa&use", 67, 35, 56, 10),
        Item(IDC_CMD_REW, K::RadioButton, "Re&w", 7, 19, 56, 10),
        Item(IDC_CMD_STEPFOR, K::RadioButton, "StepFor", 67, 19, 56, 10),
        Item(IDC_CMD_STEPBACK, K::RadioButton, "Step&Back", 127, 19, 56, 10),
        Item(IDC_CMD_STOP, K::RadioButton, "&Stop", 187, 19, 56, 10),
        Item(IDC_SHOW_BUTTONS, K::CheckBox, "Show Buttons", 7, 49, 70, 10),
        Item(IDC_SHOW_SLIDER, K::CheckBox, "Show Slider", 87, 49, 70, 10),
    };
    return d;
}

CDialogTemplate PlaybackPropPageTemplate() {
    using K = DialogItemKind;
    CDialogTemplate d = Page(IDD_PROPPAGE_PLAYBACK);
    d.items = {
        Item(IDC_CACHESIZE, K::Edit, "", 76, 5, 50, 12),
        Item(IDC_STATIC, K::Label, "&Cache (MB):", 7, 7, 66, 8),
        Item(IDC_LASTDELAY, K::Edit, "", 76, 22, 50, 12),
        Item(IDC_STATIC, K::Label, "&Last frame (ms):", 7, 24, 66, 8),
        Item(IDC_WATCH, K::CheckBox, "&Watch the directory", 136, 6, 100, 10),
        Item(IDC_BOUNCE, K::CheckBox, "&Bounce at the ends", 136, 23, 100, 10),
        Item(IDC_DECODETOFIT, K::CheckBox, "&Decode to fit", 136, 40, 100, 10),
    };
    return d;
}

CString PageString(uint32_t id) {
    switch (id) {
        case IDS_MOVITREL_PPG:
            return "Movitrel Property Page";
        case IDS_MOVITREL_PPG_CAPTION:
            return "Files/Dir";
        case IDS_CONTROL_PPG:
            return "MovitrelPropertyPage2";
        case IDS_CONTROL_PPG_CAPTION:
            return "Controls";
        case IDS_PLAYBACK_PPG:
            return "MovitrelPropertyPage3";
        case IDS_PLAYBACK_PPG_CAPTION:
            return "Playback";
        default:
            return CString();
    }
}
