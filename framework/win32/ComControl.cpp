// The COM object of one control: its life, the interfaces it answers and its property pages.
// It is also the control's site (IControlSite): what the control asks of its container goes
// to the container's OLE site (ComOleObject.cpp).
#include <algorithm>

#include "framework/win32/ComControlObject.h"

CControlObject::CControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info)
    : m_control(std::move(control)),
      m_info(info),
      m_relay(*this),
      m_eventPoint(*this, m_control->GetEventIID()),
      m_notifyPoint(*this, IID_IPropertyNotifySink),
      m_tracker(static_cast<IDispatch&>(*this)) {
    m_control->SetClientSite(this);
    m_eventCookie = m_control->AdviseEvents(&m_relay);
    m_notifyCookie = m_control->AdvisePropertyNotify(&m_relay);
    // Script engines call neither InitNew nor Load: the control starts reset.
    m_control->OnResetState();
}

CControlObject::~CControlObject() {
    InPlaceDeactivate();
    m_control->UnadviseEvents(m_eventCookie);
    m_control->UnadvisePropertyNotify(m_notifyCookie);
    m_control->SetClientSite(nullptr);
    // The control goes before the container's interfaces it may still reach through its site.
    m_control.reset();
}

void* CControlObject::FindInterface(const IID& iid) {
    if (iid == m_control->GetDispatchIID()) return static_cast<IDispatch*>(this);
    if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo2*>(this);
    if (iid == IID_IOleWindow) return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IViewObject) return static_cast<IViewObject2*>(this);
    if (iid == IID_IPersist) return static_cast<IPersistStreamInit*>(this);
    // An interface of the control's own, valid while the object lives.
    return m_control->GetInterface(iid);
}

HRESULT CControlObject::GetPages(CAUUID* pages) {
    return Guard([&] {
        if (!pages) return E_POINTER;
        pages->cElems = 0;
        pages->pElems = nullptr;
        const std::vector<CLSID> ids = m_control->GetPropPageIDs();
        auto* elems =
            static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * std::max<size_t>(ids.size(), 1)));
        if (!elems) return E_OUTOFMEMORY;
        std::copy(ids.begin(), ids.end(), elems);
        pages->cElems = ULONG(ids.size());
        pages->pElems = elems;
        return S_OK;
    });
}

IDispatch* CreateControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info) {
    return new CControlObject(std::move(control), info);
}
