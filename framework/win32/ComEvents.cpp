// Connection points: the control's events to the event sinks, its property changes to the
// property-notify sinks.
#include "framework/win32/ComControlObject.h"

HRESULT CControlObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return Guard([&] {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT CControlObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    return Guard([&] {
        if (!out) return E_POINTER;
        *out = nullptr;
        CComPtr<IConnectionPoint> point;
        if (iid == m_control->GetEventIID()) {
            point = &m_eventPoint;
        } else if (iid == IID_IPropertyNotifySink) {
            point = &m_notifyPoint;
        } else {
            return CONNECT_E_NOCONNECTION;
        }
        *out = point.Detach();
        return S_OK;
    });
}

void CControlObject::TellEvent(DISPID dispid, const std::vector<CVariant>& args) {
    // A frozen container hears no events, as it asked.
    if (m_frozen > 0) return;
    // Arguments go in reverse order, as automation passes them.
    std::vector<CVariantHolder> reversed(args.size());
    for (size_t i = 0; i < args.size(); ++i)
        ToVariant(args[i], reversed[args.size() - 1 - i].Get());
    std::vector<VARIANT> passed(args.size());
    for (size_t i = 0; i < args.size(); ++i) passed[i] = *reversed[i].Get();
    DISPPARAMS params{passed.data(), nullptr, UINT(passed.size()), 0};
    // A sink may release the last reference to the control: the object outlives the calls.
    const CComPtr<IDispatch> self(this);
    for (const CComPtr<IDispatch>& sink : m_eventPoint.Sinks()) {
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
    }
}

void CControlObject::TellChanged(DISPID dispid) {
    for (const CComPtr<IPropertyNotifySink>& sink : m_notifyPoint.Sinks()) sink->OnChanged(dispid);
}

CEventRelay::CEventRelay(CControlObject& owner)
    : CComPart(static_cast<IDispatch&>(owner)), m_owner(owner) {}

void CEventRelay::OnEvent(DISPID dispid, const CString&, const std::vector<CVariant>& args) {
    m_owner.TellEvent(dispid, args);
}

HRESULT CEventRelay::OnChanged(DISPID dispid) {
    m_owner.TellChanged(dispid);
    return S_OK;
}

HRESULT CEventRelay::OnRequestEdit(DISPID) {
    return S_OK;
}
