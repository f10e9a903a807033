// A dialog as data: what a container needs to build the About box or a property page.
// Positions and sizes are in dialog units, as the resource script gives them.
#pragma once

#include <vector>

#include "platform/MessageSink.h"  // IDOK
#include "platform/Types.h"

constexpr int32_t IDC_STATIC = -1;
constexpr int32_t IDCANCEL = 2;

enum class DialogItemKind {
    Label,  // static text
    Icon,   // static icon; text holds the icon resource id in decimal
    Edit,   // single-line edit box
    PushButton,
    DefPushButton,  // the button Enter presses
    RadioButton,
    CheckBox,
    GroupBox,
};

struct CDialogItem {
    int32_t id = IDC_STATIC;
    DialogItemKind kind = DialogItemKind::Label;
    CString text;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    bool group = false;  // starts a group (the first radio button of a radio group)
    bool tabStop = false;
};

struct CDialogTemplate {
    uint32_t id = 0;
    CString caption;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    CString fontName;
    uint16_t pointSize = 0;
    std::vector<CDialogItem> items;  // in template (tab) order

    // The item with the id, or null. Labels sharing IDC_STATIC are not found this way.
    const CDialogItem* FindItem(int32_t itemId) const {
        if (itemId == IDC_STATIC) return nullptr;
        for (const CDialogItem& item : items) {
            if (item.id == itemId) return &item;
        }
        return nullptr;
    }
};
