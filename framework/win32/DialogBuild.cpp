// Dialog templates in the layout DialogBoxIndirectParam reads, from the framework's
// CDialogTemplate: the same data the other platform's containers build their dialogs from.
#include "framework/win32/ComObject.h"

namespace {

class CTemplateWriter {
public:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) {
        Word(WORD(d & 0xFFFF));
        Word(WORD(d >> 16));
    }
    void Text(const CString& text) {
        const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
        std::vector<wchar_t> wide(size_t(n) + 1, L'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), n);
        for (wchar_t c : wide) Word(WORD(c));
    }
    void AlignDword() {
        if (m_words.size() % 2) Word(0);
    }
    std::vector<WORD> Take() { return std::move(m_words); }

private:
    std::vector<WORD> m_words;
};

// The predefined class atom and the style of an item of this kind.
void ItemClass(DialogItemKind kind, WORD* atom, DWORD* style) {
    constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
    switch (kind) {
        case DialogItemKind::Label:
            *atom = kStatic;
            *style = SS_LEFT;
            return;
        case DialogItemKind::Icon:
            *atom = kStatic;
            *style = SS_ICON;
            return;
        case DialogItemKind::Edit:
            *atom = kEdit;
            *style = ES_AUTOHSCROLL | WS_BORDER;
            return;
        case DialogItemKind::PushButton:
            *atom = kButton;
            *style = BS_PUSHBUTTON;
            return;
        case DialogItemKind::DefPushButton:
            *atom = kButton;
            *style = BS_DEFPUSHBUTTON;
            return;
        case DialogItemKind::RadioButton:
            *atom = kButton;
            *style = BS_AUTORADIOBUTTON;
            return;
        case DialogItemKind::CheckBox:
            *atom = kButton;
            *style = BS_AUTOCHECKBOX;
            return;
        case DialogItemKind::GroupBox:
            *atom = kButton;
            *style = BS_GROUPBOX;
            return;
    }
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const CDialogTemplate& dialog, DWORD style) {
    CTemplateWriter w;
    const bool font = !dialog.fontName.empty();
    w.Dword(style | (font ? DS_SETFONT : 0));
    w.Dword(0);  // extended style
    w.Word(WORD(dialog.items.size()));
    w.Word(WORD(dialog.x));
    w.Word(WORD(dialog.y));
    w.Word(WORD(dialog.cx));
    w.Word(WORD(dialog.cy));
    w.Word(0);  // no menu
    w.Word(0);  // the standard dialog class
    w.Text(dialog.caption);
    if (font) {
        w.Word(dialog.pointSize);
        w.Text(dialog.fontName);
    }
    for (const CDialogItem& item : dialog.items) {
        w.AlignDword();
        WORD atom = 0;
        DWORD itemStyle = 0;
        ItemClass(item.kind, &atom, &itemStyle);
        itemStyle |= WS_CHILD | WS_VISIBLE;
        if (item.group) itemStyle |= WS_GROUP;
        if (item.tabStop) itemStyle |= WS_TABSTOP;
        w.Dword(itemStyle);
        w.Dword(0);
        w.Word(WORD(item.x));
        w.Word(WORD(item.y));
        w.Word(WORD(item.cx));
        w.Word(WORD(item.cy));
        w.Word(WORD(item.id));  // IDC_STATIC (-1) becomes 0xFFFF, as resource compilers write
        w.Word(0xFFFF);
        w.Word(atom);
        if (item.kind == DialogItemKind::Icon) {
            w.Word(0xFFFF);
            w.Word(WORD(std::strtoul(item.text.c_str(), nullptr, 10)));
        } else {
            w.Text(item.text);
        }
        w.Word(0);  // no creation data
    }
    return w.Take();
}
