// A property page as the system's property frames host it: an IPropertyPage over the
// framework's page, whose dialog is a child window built from the page's own template. The
// framework's page keeps the items' values; the dialog shows them, and what the user types
// goes back into them before an apply.
#include "framework/ComGuard.h"
#include "framework/PropertyPage.h"
#include "framework/win32/ComObject.h"

namespace {

bool IsButtonItem(DialogItemKind kind) {
    return kind == DialogItemKind::CheckBox || kind == DialogItemKind::RadioButton;
}

class CPageObject final : public CComObject<CPageObject, IPropertyPage> {
public:
    explicit CPageObject(std::unique_ptr<COlePropertyPage> page) : m_page(std::move(page)) {}
    ~CPageObject() {
        Deactivate();
        // The page lets go of its controls before their objects are released.
        m_page->SetObjects({});
        m_page.reset();
    }

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override {
        return Guard([&] {
            m_site = site;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override {
        return Guard([&] {
            if (m_dialog) DestroyWindow(m_dialog);
            m_dialog = nullptr;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT cmd) override {
        return Guard([&] {
            if (m_dialog) ShowWindow(m_dialog, int(cmd));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override {
        return Guard([&] {
            if (!rect) return E_POINTER;
            if (m_dialog) {
                MoveWindow(m_dialog, rect->left, rect->top, rect->right - rect->left,
                           rect->bottom - rect->top, TRUE);
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE IsPageDirty() override {
        return Guard([&] {
            TakeItems();
            return m_page->IsPageDirty() ? S_OK : S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override {
        return Guard([] { return S_FALSE; });
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    // The page's values into the dialog's items, and the items into the page's values.
    void ShowItems();
    void TakeItems();

    CModuleLock m_moduleLock;  // first made, last gone
    std::unique_ptr<COlePropertyPage> m_page;
    CComPtr<IPropertyPageSite> m_site;
    std::vector<CComPtr<IFrameworkControl>> m_objects;
    HWND m_dialog = nullptr;
    bool m_showing = false;  // items change because the page fills them, not the user
};

HRESULT CPageObject::GetPageInfo(PROPPAGEINFO* info) {
    return Guard([&] {
        if (!info) return E_POINTER;
        const CDialogTemplate& t = m_page->GetDialogTemplate();
        info->cb = sizeof *info;
        info->pszTitle = BstrToTaskMem(m_page->GetCaption());
        // Dialog units to pixels with the system font's base units, as the frame lays pages out.
        const LONG units = GetDialogBaseUnits();
        info->size.cx = MulDiv(t.cx, LOWORD(units), 4);
        info->size.cy = MulDiv(t.cy, HIWORD(units), 8);
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return info->pszTitle ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CPageObject::SetObjects(ULONG count, IUnknown** objects) {
    return Guard([&] {
        // References taken so far go back however this ends, unless they are kept.
        std::vector<CComPtr<IFrameworkControl>> held;
        std::vector<COleControl*> controls;
        held.reserve(count);
        controls.reserve(count);
        for (ULONG i = 0; i < count; ++i) {
            CComPtr<IFrameworkControl> access;
            if (objects && objects[i])
                access = CComPtr<IUnknown>(objects[i]).As<IFrameworkControl>();
            if (!access) return E_NOINTERFACE;  // not a control of this framework
            controls.push_back(access->Control());
            held.push_back(std::move(access));
        }
        m_page->SetObjects(controls);
        m_objects.swap(held);
        return S_OK;
    });
}

HRESULT CPageObject::Activate(HWND parent, LPCRECT rect, BOOL) {
    return Guard([&] {
        if (m_dialog) return S_OK;
        if (m_objects.empty()) return E_UNEXPECTED;
        const std::vector<WORD> words =
            BuildDialogTemplate(m_page->GetDialogTemplate(), WS_CHILD | DS_CONTROL | DS_3DLOOK);
        m_dialog = CreateDialogIndirectParamW(FrameworkModule(),
                                              reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                              parent, DialogProc, reinterpret_cast<LPARAM>(this));
        if (!m_dialog) return E_FAIL;
        if (rect) Move(rect);
        m_page->Activate();
        ShowItems();
        return S_OK;
    });
}

HRESULT CPageObject::Apply() {
    return Guard([&] {
        TakeItems();
        const HRESULT hr = m_page->Apply();
        if (hr == S_FALSE) {
            // An item that does not convert: the user hears why, and the item gets the focus.
            if (auto failure = m_page->GetValidationFailure()) {
                MessageBoxA(m_dialog, failure->prompt.c_str(), m_page->GetCaption().c_str(),
                            MB_OK | MB_ICONEXCLAMATION);
                if (m_dialog) SetFocus(GetDlgItem(m_dialog, failure->itemId));
            }
            return E_FAIL;
        }
        if (SUCCEEDED(hr)) ShowItems();
        return hr;
    });
}

void CPageObject::ShowItems() {
    if (!m_dialog) return;
    m_showing = true;
    for (const CDialogItem& item : m_page->GetDialogTemplate().items) {
        if (item.kind == DialogItemKind::Edit) {
            SetDlgItemTextA(m_dialog, item.id, m_page->GetItemText(item.id).c_str());
        } else if (IsButtonItem(item.kind)) {
            CheckDlgButton(m_dialog, item.id,
                           m_page->GetCheck(item.id) ? BST_CHECKED : BST_UNCHECKED);
        }
    }
    m_showing = false;
}

void CPageObject::TakeItems() {
    if (!m_dialog) return;
    for (const CDialogItem& item : m_page->GetDialogTemplate().items) {
        if (item.kind == DialogItemKind::Edit) {
            char text[1024] = {};
            GetDlgItemTextA(m_dialog, item.id, text, sizeof text);
            m_page->SetItemText(item.id, text);
        } else if (IsButtonItem(item.kind)) {
            const int32_t state = IsDlgButtonChecked(m_dialog, item.id) == BST_CHECKED ? 1 : 0;
            // Only a checked radio button speaks for its group: setting it clears the others.
            if (item.kind == DialogItemKind::CheckBox || state == 1)
                m_page->SetCheck(item.id, state);
        }
    }
}

INT_PTR CALLBACK CPageObject::DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<CPageObject*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (msg == WM_COMMAND && self && !self->m_showing &&
        (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == BN_CLICKED)) {
        // The system's dialog code takes no exception either.
        Guard([&] {
            self->TakeItems();
            if (self->m_site && self->m_page->IsPageDirty()) {
                self->m_site->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
            }
            return S_OK;
        });
        return TRUE;
    }
    return FALSE;
}

}  // namespace

IUnknown* CreatePropertyPageObject(std::unique_ptr<COlePropertyPage> page) {
    return new CPageObject(std::move(page));
}
