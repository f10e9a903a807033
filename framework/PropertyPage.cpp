#include "framework/PropertyPage.h"

#include <cerrno>
#include <cstdlib>

#include "framework/OleControl.h"

namespace {

constexpr const char* kPromptInteger = "Please enter an integer.";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A whole decimal number within int32_t, blanks around it allowed.
std::optional<int32_t> ParseDecimal(const CString& text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    CString s = text.substr(b, e - b);
    size_t digits = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (digits == s.size()) return std::nullopt;
    for (size_t i = digits; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
    }
    errno = 0;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return int32_t(v);
}

}  // namespace

void CDataExchange::Fail(int32_t itemId, const CString& prompt) {
    m_bFailed = true;
    m_pDlgWnd->RecordFailure(itemId, prompt);
}

CString CEdit::GetWindowText() const {
    return m_page ? m_page->GetItemText(m_id) : CString();
}

void CEdit::SetWindowText(const CString& text) {
    if (m_page) m_page->SetItemText(m_id, text);
}

// ---- Page ---------------------------------------------------------------------------------

COlePropertyPage::COlePropertyPage(CDialogTemplate dialog, CString caption)
    : m_dialog(std::move(dialog)), m_caption(std::move(caption)) {
    for (const CDialogItem& item : m_dialog.items) {
        if (item.id == IDC_STATIC) continue;
        CItemState state;
        if (item.kind != DialogItemKind::Edit) state.text = item.text;
        m_items[item.id] = state;
    }
}

COlePropertyPage::~COlePropertyPage() = default;

void COlePropertyPage::SetObjects(std::vector<COleControl*> controls) {
    m_objects = std::move(controls);
}

BOOL COlePropertyPage::Activate() {
    if (m_objects.empty()) return FALSE;
    m_failure.reset();
    m_queued.clear();
    CDataExchange dx(this, FALSE);
    DoDataExchange(&dx);
    for (auto& [id, state] : m_items) state.changed = false;
    m_focus = IDC_STATIC;
    for (const CDialogItem& item : m_dialog.items) {
        if (item.tabStop && item.id != IDC_STATIC) {
            m_focus = item.id;
            break;
        }
    }
    return TRUE;
}

HRESULT COlePropertyPage::Apply() {
    if (m_objects.empty()) return E_FAIL;
    m_failure.reset();
    m_queued.clear();
    CDataExchange dx(this, TRUE);
    DoDataExchange(&dx);
    m_queued.clear();
    if (dx.Failed()) return S_FALSE;
    for (auto& [id, state] : m_items) state.changed = false;
    return S_OK;
}

BOOL COlePropertyPage::IsPageDirty() const {
    for (const auto& [id, state] : m_items) {
        if (state.changed) return TRUE;
    }
    return FALSE;
}

COlePropertyPage::CItemState* COlePropertyPage::Item(int32_t itemId) {
    auto it = m_items.find(itemId);
    return it == m_items.end() ? nullptr : &it->second;
}

const COlePropertyPage::CItemState* COlePropertyPage::Item(int32_t itemId) const {
    auto it = m_items.find(itemId);
    return it == m_items.end() ? nullptr : &it->second;
}

CString COlePropertyPage::GetItemText(int32_t itemId) const {
    const CItemState* item = Item(itemId);
    return item ? item->text : CString();
}

BOOL COlePropertyPage::SetItemText(int32_t itemId, const CString& text) {
    CItemState* item = Item(itemId);
    if (!item) return FALSE;
    if (item->text != text) {
        item->text = text;
        item->changed = true;
    }
    return TRUE;
}

int32_t COlePropertyPage::GetCheck(int32_t itemId) const {
    const CItemState* item = Item(itemId);
    return item ? item->check : 0;
}

BOOL COlePropertyPage::SetCheck(int32_t itemId, int32_t state) {
    CItemState* item = Item(itemId);
    const CDialogItem* def = m_dialog.FindItem(itemId);
    if (!item || !def) return FALSE;
    if (item->check != state) {
        item->check = state;
        item->changed = true;
    }
    if (def->kind == DialogItemKind::RadioButton && state != 0) {
        for (int32_t other : RadioGroup(GroupOf(itemId))) {
            CItemState* o = Item(other);
            if (other != itemId && o && o->check != 0) {
                o->check = 0;
                o->changed = true;
            }
        }
    }
    return TRUE;
}

void COlePropertyPage::ShowItemText(int32_t itemId, const CString& text) {
    if (CItemState* item = Item(itemId)) item->text = text;
}

void COlePropertyPage::ShowCheck(int32_t itemId, int32_t state) {
    if (CItemState* item = Item(itemId)) item->check = state;
}

void COlePropertyPage::RecordFailure(int32_t itemId, const CString& prompt) {
    m_failure = CValidationFailure{itemId, prompt};
    m_focus = itemId;
}

int32_t COlePropertyPage::GroupOf(int32_t itemId) const {
    const auto& items = m_dialog.items;
    size_t index = 0;
    while (index < items.size() && items[index].id != itemId) ++index;
    if (index == items.size()) return itemId;
    if (items[index].kind != DialogItemKind::RadioButton) return itemId;
    // A group runs from an item that starts one to the next; the first item of a dialog
    // starts one whether marked or not.
    while (index > 0 && !items[index].group) --index;
    return items[index].id;
}

std::vector<int32_t> COlePropertyPage::RadioGroup(int32_t firstId) const {
    std::vector<int32_t> group;
    const auto& items = m_dialog.items;
    size_t index = 0;
    while (index < items.size() && items[index].id != firstId) ++index;
    for (size_t i = index; i < items.size(); ++i) {
        if (i > index && items[i].group) break;
        if (items[i].kind == DialogItemKind::RadioButton) group.push_back(items[i].id);
    }
    return group;
}

bool COlePropertyPage::GroupChanged(int32_t itemId) const {
    const CDialogItem* def = m_dialog.FindItem(itemId);
    if (def && def->kind == DialogItemKind::RadioButton) {
        for (int32_t id : RadioGroup(itemId)) {
            const CItemState* item = Item(id);
            if (item && item->changed) return true;
        }
        return false;
    }
    const CItemState* item = Item(itemId);
    return item && item->changed;
}

BOOL COlePropertyPage::GetPropValue(const CString& name, VARTYPE vt, CVariant* value) const {
    if (m_objects.empty() || !m_objects.front()) return FALSE;
    return SUCCEEDED(m_objects.front()->GetProperty(name, value, vt)) ? TRUE : FALSE;
}

void COlePropertyPage::QueueProperty(int32_t itemId, const CString& name,
                                     std::function<CVariant()> read) {
    if (GroupChanged(itemId)) m_queued.push_back({name, std::move(read)});
}

void COlePropertyPage::CommitProperties() {
    std::vector<CQueued> queued = std::move(m_queued);
    m_queued.clear();
    for (const CQueued& q : queued) {
        CVariant value = q.read();
        for (COleControl* control : m_objects) {
            if (control) control->SetProperty(q.name, value);
        }
    }
}

// ---- DDX ----------------------------------------------------------------------------------

void DDX_Text(CDataExchange* pDX, int32_t itemId, int32_t& value) {
    if (pDX->Failed()) return;
    COlePropertyPage* page = pDX->m_pDlgWnd;
    if (!pDX->m_bSaveAndValidate) {
        page->ShowItemText(itemId, std::to_string(value));
        return;
    }
    std::optional<int32_t> parsed = ParseDecimal(page->GetItemText(itemId));
    if (!parsed) return pDX->Fail(itemId, kPromptInteger);
    value = *parsed;
}

void DDX_Text(CDataExchange* pDX, int32_t itemId, CString& value) {
    if (pDX->Failed()) return;
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetItemText(itemId);
    } else {
        pDX->m_pDlgWnd->ShowItemText(itemId, value);
    }
}

void DDX_Check(CDataExchange* pDX, int32_t itemId, BOOL& value) {
    if (pDX->Failed()) return;
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetCheck(itemId) ? TRUE : FALSE;
    } else {
        pDX->m_pDlgWnd->ShowCheck(itemId, value ? 1 : 0);
    }
}

void DDX_Radio(CDataExchange* pDX, int32_t itemId, int32_t& value) {
    if (pDX->Failed()) return;
    COlePropertyPage* page = pDX->m_pDlgWnd;
    std::vector<int32_t> group = page->RadioGroup(itemId);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i) {
            if (page->GetCheck(group[i])) {
                value = int32_t(i);
                break;
            }
        }
        return;
    }
    for (size_t i = 0; i < group.size(); ++i) {
        page->ShowCheck(group[i], value >= 0 && size_t(value) == i ? 1 : 0);
    }
}

void DDX_Control(CDataExchange* pDX, int32_t itemId, CEdit& control) {
    if (pDX->Failed() || control.IsAttached()) return;
    control.m_page = pDX->m_pDlgWnd;
    control.m_id = itemId;
}

// ---- DDP ----------------------------------------------------------------------------------

namespace {

template <class Member, class Load, class Save>
void ExchangeProperty(CDataExchange* pDX, int32_t itemId, Member& member, const char* name,
                      VARTYPE vt, Load load, Save save) {
    if (pDX->Failed()) return;
    COlePropertyPage* page = pDX->m_pDlgWnd;
    if (pDX->m_bSaveAndValidate) {
        // The member is read when the queue is committed, after its DDX_ has filled it.
        page->QueueProperty(itemId, name, [&member, save] { return save(member); });
        return;
    }
    CVariant value;
    if (page->GetPropValue(name, vt, &value)) member = load(value);
}

}  // namespace

void DDP_Text(CDataExchange* pDX, int32_t itemId, int32_t& member, const char* propName) {
    ExchangeProperty(
        pDX, itemId, member, propName, VT_I4, [](const CVariant& v) { return v.lVal(); },
        [](int32_t m) { return CVariant::I4(m); });
}

void DDP_Text(CDataExchange* pDX, int32_t itemId, CString& member, const char* propName) {
    ExchangeProperty(
        pDX, itemId, member, propName, VT_BSTR, [](const CVariant& v) { return v.bstrVal(); },
        [](const CString& m) { return CVariant::Str(m); });
}

void DDP_Check(CDataExchange* pDX, int32_t itemId, BOOL& member, const char* propName) {
    ExchangeProperty(
        pDX, itemId, member, propName, VT_BOOL,
        [](const CVariant& v) { return BOOL(v.boolVal() ? TRUE : FALSE); },
        [](BOOL m) { return CVariant::Bool(m); });
}

void DDP_Radio(CDataExchange* pDX, int32_t itemId, int32_t& member, const char* propName) {
    ExchangeProperty(
        pDX, itemId, member, propName, VT_I4, [](const CVariant& v) { return v.lVal(); },
        [](int32_t m) { return CVariant::I4(m); });
}

void DDP_PostProcessing(CDataExchange* pDX) {
    if (pDX->Failed() || !pDX->m_bSaveAndValidate) return;
    pDX->m_pDlgWnd->CommitProperties();
}
