#include "control/AboutDialog.h"

#include <string>

CDialogTemplate MovitrelAboutDialog() {
    CDialogTemplate dlg;
    dlg.id = IDD_ABOUTBOX_MOVITREL;
    dlg.caption = "About Movitrel Control";
    dlg.x = 34;
    dlg.y = 22;
    dlg.cx = 260;
    dlg.cy = 55;
    dlg.fontName = "MS Sans Serif";
    dlg.pointSize = 8;
    const std::string icon = std::to_string(IDI_ABOUTDLL);
    dlg.items.push_back(
        MakeDialogItem(IDC_STATIC, DialogItemKind::Icon, icon.c_str(), 7, 7, 18, 20));
    dlg.items.push_back(MakeDialogItem(IDC_STATIC, DialogItemKind::Label,
                                       "Movitrel Control, Version 1.02", 40, 10, 170, 8));
    dlg.items.push_back(MakeDialogItem(IDC_STATIC, DialogItemKind::Label,
                                       "Plays a directory of JPEG frames", 40, 25, 146, 8));
    CDialogItem ok = MakeDialogItem(IDOK, DialogItemKind::DefPushButton, "OK", 221, 7, 32, 14);
    ok.group = true;
    ok.tabStop = true;
    dlg.items.push_back(ok);
    return dlg;
}
