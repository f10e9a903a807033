// In-place activation in a child of the site's window, and the border the object draws around
// itself while UI-active.
#include "framework/win32/ComControlObject.h"

HRESULT CControlObject::GetWindow(HWND* hwnd) {
    return Guard([&] {
        if (!hwnd) return E_POINTER;
        *hwnd = m_control->GetSafeHwnd();
        return *hwnd ? S_OK : E_FAIL;
    });
}

HRESULT CControlObject::ContextSensitiveHelp(BOOL) {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::SetObjectRects(LPCRECT pos, LPCRECT) {
    return Guard([&] {
        if (!pos) return E_POINTER;
        m_control->SetRectInContainer(CRect(*pos));
        if (m_tracker.IsShown()) m_tracker.Place(*pos);
        return S_OK;
    });
}

HRESULT CControlObject::ReactivateAndUndo() {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::TranslateAccelerator(LPMSG) {
    return Guard([] { return S_FALSE; });
}

HRESULT CControlObject::OnFrameWindowActivate(BOOL) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::OnDocWindowActivate(BOOL) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::EnableModeless(BOOL) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::InPlaceActivate(bool uiActivate) {
    if (!m_clientSite) return E_UNEXPECTED;
    if (!m_inPlaceSite) {
        CComPtr<IOleInPlaceSite> site;
        const HRESULT hr = m_clientSite->QueryInterface(IID_IOleInPlaceSite, site.OutVoid());
        if (FAILED(hr)) return hr;
        if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
        site->OnInPlaceActivate();
        HWND parent = nullptr;
        site->GetWindow(&parent);
        CComPtr<IOleInPlaceFrame> frame;
        CComPtr<IOleInPlaceUIWindow> document;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        site->GetWindowContext(frame.Out(), document.Out(), &pos, &clip, &frameInfo);
        // The site is known while the window is made: the control may already ask it things.
        m_inPlaceSite = site;
        // The site's rectangle, not its SetExtent: some containers pass a wrong HIMETRIC size.
        if (!m_control->CreateControlWindow(CRect(pos), parent)) {
            m_inPlaceSite.Reset();
            site->OnInPlaceDeactivate();
            return E_FAIL;
        }
        m_control->SetInPlaceActive(TRUE);
        m_tracker.Attach(m_control->GetSafeHwnd());
    }
    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        SetFocus(m_control->GetSafeHwnd());
        UpdateTracker();
    }
    return S_OK;
}

HRESULT CControlObject::UIDeactivate() {
    return Guard([&] {
        if (m_uiActive && m_inPlaceSite) m_inPlaceSite->OnUIDeactivate(FALSE);
        m_uiActive = false;
        UpdateTracker();
        return S_OK;
    });
}

HRESULT CControlObject::InPlaceDeactivate() {
    return Guard([&] {
        if (!m_inPlaceSite) return S_OK;
        UIDeactivate();
        m_tracker.Detach();
        // The window's end stops the worker; the window goes before the site hears of it.
        m_control->DestroyControlWindow();
        m_aside.reset();
        m_control->SetInPlaceActive(FALSE);
        const CComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
        site->OnInPlaceDeactivate();
        return S_OK;
    });
}

CRectTracker* CControlObject::GetRectTracker() {
    if (!m_tracker.IsShown()) return nullptr;
    const CRect client = m_control->GetClientRect();
    m_tracker.Reset(client.Width(), client.Height());
    return &m_tracker;
}

bool CControlObject::AmbientFlag(DISPID dispid) const {
    CVariant flag;
    const CVariant value = m_control->GetAmbientProperty(dispid);
    if (value.IsEmpty() || FAILED(value.ChangeType(VT_BOOL, &flag))) return true;
    return flag.boolVal() != VARIANT_FALSE;
}

void CControlObject::UpdateTracker() {
    uint32_t style = 0;
    if (m_uiActive && m_control->GetSafeHwnd()) {
        if (AmbientFlag(DISPID_AMBIENT_SHOWHATCHING)) style |= CRectTracker::hatchedBorder;
        if (AmbientFlag(DISPID_AMBIENT_SHOWGRABHANDLES)) style |= CRectTracker::resizeOutside;
    }
    m_tracker.Show(style, m_control->GetRectInContainer());
}
