// A dialog as data: what a container needs to build the About box or a property page.
// Positions and sizes are in dialog units, as the resource script gives them.
#pragma once

#include <vector>

#include "platform/MessageSink.h"  // IDOK
#include "platform/Types.h"

#ifndef IDC_STATIC
constexpr int32_t IDC_STATIC = -1;
#endif
#ifndef _WIN32
constexpr int32_t IDCANCEL = 2;
#endif

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

// An item at (x, y) of size (cx, cy) in dialog units; not a group start, no tab stop.
inline CDialogItem MakeDialogItem(int32_t id, DialogItemKind kind, const char* text, int16_t x,
                                  int16_t y, int16_t cx, int16_t cy) {
    CDialogItem item;
    item.id = id;
    item.kind = kind;
    item.text = text;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

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
