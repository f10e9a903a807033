// The OLE object: the container's client site, verbs, extent, advise sinks and status, and
// IOleControl (ambient changes, frozen events).
#include "framework/win32/ComControlObject.h"

HRESULT CControlObject::SetClientSite(IOleClientSite* site) {
    return Guard([&] {
        m_ambient.Reset();
        m_clientSite = site;
        m_ambient = m_clientSite.As<IDispatch>();
        m_control->OnAmbientPropertyChange(DISPID_UNKNOWN);
        UpdateTracker();
        return S_OK;
    });
}

HRESULT CControlObject::GetClientSite(IOleClientSite** site) {
    return Guard([&] {
        if (!site) return E_POINTER;
        *site = m_clientSite.CopyOut();
        return S_OK;
    });
}

HRESULT CControlObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::Close(DWORD saveOption) {
    return Guard([&] {
        InPlaceDeactivate();
        if (m_clientSite && saveOption != OLECLOSE_NOSAVE && m_control->IsModified()) {
            m_clientSite->SaveObject();
        }
        return S_OK;
    });
}

HRESULT CControlObject::SetMoniker(DWORD, IMoniker*) {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::GetMoniker(DWORD, DWORD, IMoniker** out) {
    return Guard([&] {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT CControlObject::InitFromData(IDataObject*, BOOL, DWORD) {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::GetClipboardData(DWORD, IDataObject** out) {
    return Guard([&] {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT CControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) {
    return Guard([&] {
        if (site && !m_clientSite) SetClientSite(site);
        switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
                return InPlaceActivate(false);
            case OLEIVERB_UIACTIVATE:
                return InPlaceActivate(true);
            case OLEIVERB_HIDE:
                return InPlaceDeactivate();
            case OLEIVERB_PROPERTIES:
                return ShowPropertyPages(m_control->GetPropPageIDs()) ? S_OK : E_FAIL;
            default:
                return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
        }
    });
}

HRESULT CControlObject::EnumVerbs(IEnumOLEVERB** out) {
    return Guard([&] { return OleRegEnumVerbs(m_info.clsid, out); });
}

HRESULT CControlObject::Update() {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::IsUpToDate() {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::GetUserClassID(CLSID* clsid) {
    return Guard([&] {
        if (!clsid) return E_POINTER;
        *clsid = m_info.clsid;
        return S_OK;
    });
}

HRESULT CControlObject::GetUserType(DWORD form, LPOLESTR* name) {
    return Guard([&] { return OleRegGetUserType(m_info.clsid, form, name); });
}

HRESULT CControlObject::SetExtent(DWORD aspect, SIZEL* size) {
    return Guard([&] {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        m_control->SetExtent(SIZE{size->cx, size->cy});
        return S_OK;
    });
}

HRESULT CControlObject::GetExtent(DWORD aspect, SIZEL* size) {
    return Guard([&] {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        const SIZE extent = m_control->GetExtent();
        size->cx = extent.cx;
        size->cy = extent.cy;
        return S_OK;
    });
}

HRESULT CControlObject::Advise(IAdviseSink* sink, DWORD* cookie) {
    return Guard([&] {
        if (!m_oleAdvise) {
            const HRESULT hr = CreateOleAdviseHolder(m_oleAdvise.Out());
            if (FAILED(hr)) return hr;
        }
        return m_oleAdvise->Advise(sink, cookie);
    });
}

HRESULT CControlObject::Unadvise(DWORD cookie) {
    return Guard([&] { return m_oleAdvise ? m_oleAdvise->Unadvise(cookie) : OLE_E_NOCONNECTION; });
}

HRESULT CControlObject::EnumAdvise(IEnumSTATDATA** out) {
    return Guard([&] {
        if (!out) return E_POINTER;
        *out = nullptr;
        return m_oleAdvise ? m_oleAdvise->EnumAdvise(out) : S_OK;
    });
}

HRESULT CControlObject::GetMiscStatus(DWORD aspect, DWORD* status) {
    return Guard([&] {
        if (!status) return E_POINTER;
        *status = aspect == DVASPECT_CONTENT ? m_info.miscStatus : 0;
        return S_OK;
    });
}

HRESULT CControlObject::SetColorScheme(LOGPALETTE*) {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::GetControlInfo(CONTROLINFO* info) {
    return Guard([&] {
        if (!info) return E_POINTER;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    });
}

HRESULT CControlObject::OnMnemonic(LPMSG) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::OnAmbientPropertyChange(DISPID dispid) {
    return Guard([&] {
        m_control->OnAmbientPropertyChange(dispid);
        if (dispid == DISPID_UNKNOWN || dispid == DISPID_AMBIENT_SHOWGRABHANDLES ||
            dispid == DISPID_AMBIENT_SHOWHATCHING) {
            UpdateTracker();
        }
        return S_OK;
    });
}

HRESULT CControlObject::FreezeEvents(BOOL freeze) {
    return Guard([&] {
        m_frozen += freeze ? 1 : (m_frozen > 0 ? -1 : 0);
        return S_OK;
    });
}
