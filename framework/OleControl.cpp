#include "framework/OleControl.h"

class COleControl::WindowHandler : public IWindowHandler {
public:
    explicit WindowHandler(COleControl& owner) : m_owner(owner) {}
    LRESULT OnWindowMessage(HWND, uint32_t msg, WPARAM wParam, LPARAM lParam) override {
        return m_owner.WindowProc(msg, wParam, lParam);
    }

private:
    COleControl& m_owner;
};

namespace {

constexpr const char* kExtentXName = "_ExtentX";
constexpr const char* kExtentYName = "_ExtentY";
constexpr const char* kBackColorName = "BackColor";

// Verbs the container sees in its menu; numbers are their positions.
constexpr int32_t kVerbEdit = 0;
constexpr int32_t kVerbProperties = 1;

template <class Sink>
HRESULT Unadvise(std::vector<Sink>& sinks, uint32_t cookie) {
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->cookie == cookie) {
            sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace

COleControl::COleControl() : m_windowHandler(std::make_unique<WindowHandler>(*this)) {}

COleControl::~COleControl() {
    // The derived part is gone, so its OnDestroy cannot run; a container destroys the window
    // first. This only makes sure no message reaches a dead object.
    if (m_hWnd) DestroyPlatformWindow(m_hWnd);
}

BOOL COleControl::CreateControlWindow(const CRect& rectInContainer, HWND parent) {
    if (m_hWnd) return FALSE;
    m_rcPos = rectInContainer;
    m_hWnd = CreatePlatformWindow(m_windowHandler.get(), parent, &m_rcPos);
    CREATESTRUCT cs{};
    cs.x = m_rcPos.left;
    cs.y = m_rcPos.top;
    cs.cx = m_rcPos.Width();
    cs.cy = m_rcPos.Height();
    if (SendMessage(m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyPlatformWindow(m_hWnd);
        m_hWnd = nullptr;
        return FALSE;
    }
    return TRUE;
}

void COleControl::DestroyControlWindow() {
    if (!m_hWnd) return;
    SendMessage(m_hWnd, WM_DESTROY, 0, 0);
    DestroyPlatformWindow(m_hWnd);
    m_hWnd = nullptr;
    m_bInPlaceActive = FALSE;
}

void COleControl::SetRectInContainer(const CRect& rect) {
    bool resized = rect.Width() != m_rcPos.Width() || rect.Height() != m_rcPos.Height();
    m_rcPos = rect;
    if (m_hWnd) MovePlatformWindow(m_hWnd, rect);
    if (resized && m_hWnd) {
        SendMessage(m_hWnd, WM_SIZE, 0, MAKELPARAM(rect.Width(), rect.Height()));
    }
}

void COleControl::Draw(CDC* dc, const CRect& bounds, const CRect& invalid) {
    OnDraw(dc, bounds, invalid);
}

void COleControl::OnDraw(CDC* dc, const CRect& bounds, const CRect&) {
    dc->FillSolidRect(bounds, TranslateColor(GetBackColor()));
}

// ---- Automation -------------------------------------------------------------------------

const CDispatchMap& COleControl::GetDispatchMap() const {
    static const CDispatchMap empty;
    return empty;
}

const CEventMap& COleControl::GetEventMap() const {
    static const CEventMap empty;
    return empty;
}

HRESULT COleControl::GetIDOfName(const CString& name, DISPID* dispid) const {
    const CDispEntry* e = FindDispEntry(GetDispatchMap(), name);
    if (!e) return DISP_E_UNKNOWNNAME;
    *dispid = e->dispid;
    return S_OK;
}

HRESULT COleControl::GetProperty(DISPID dispid, CVariant* value, VARTYPE vtWanted) {
    const CDispEntry* e = FindDispEntry(GetDispatchMap(), dispid);
    if (!e || e->kind != DispKind::Property || !e->get) return DISP_E_MEMBERNOTFOUND;
    CVariant v = e->get(*this);
    if (vtWanted == VT_EMPTY) {
        *value = std::move(v);
        return S_OK;
    }
    return v.ChangeType(vtWanted, value);
}

HRESULT COleControl::SetProperty(DISPID dispid, const CVariant& value) {
    const CDispEntry* e = FindDispEntry(GetDispatchMap(), dispid);
    if (!e || e->kind != DispKind::Property || !e->set) return DISP_E_MEMBERNOTFOUND;
    CVariant converted;
    HRESULT hr = value.ChangeType(e->vt, &converted);
    if (FAILED(hr)) return hr;
    e->set(*this, converted);
    return S_OK;
}

HRESULT COleControl::InvokeMethod(DISPID dispid) {
    const CDispEntry* e = FindDispEntry(GetDispatchMap(), dispid);
    if (!e || e->kind != DispKind::Method) return DISP_E_MEMBERNOTFOUND;
    e->invoke(*this);
    return S_OK;
}

HRESULT COleControl::GetProperty(const CString& name, CVariant* value, VARTYPE vtWanted) {
    DISPID id;
    HRESULT hr = GetIDOfName(name, &id);
    return FAILED(hr) ? hr : GetProperty(id, value, vtWanted);
}

HRESULT COleControl::SetProperty(const CString& name, const CVariant& value) {
    DISPID id;
    HRESULT hr = GetIDOfName(name, &id);
    return FAILED(hr) ? hr : SetProperty(id, value);
}

HRESULT COleControl::InvokeMethod(const CString& name) {
    DISPID id;
    HRESULT hr = GetIDOfName(name, &id);
    return FAILED(hr) ? hr : InvokeMethod(id);
}

void COleControl::InitializeIIDs(const IID* dispatchIID, const IID* eventIID) {
    m_dispatchIID = dispatchIID ? *dispatchIID : GUID_NULL;
    m_eventIID = eventIID ? *eventIID : GUID_NULL;
}

// ---- Events and notifications -----------------------------------------------------------

uint32_t COleControl::AdviseEvents(IControlEventSink* sink) {
    m_eventSinks.push_back({m_nextCookie, sink});
    return m_nextCookie++;
}

HRESULT COleControl::UnadviseEvents(uint32_t cookie) {
    return Unadvise(m_eventSinks, cookie);
}

uint32_t COleControl::AdvisePropertyNotify(IPropertyNotifySink* sink) {
    m_notifySinks.push_back({m_nextCookie, sink});
    return m_nextCookie++;
}

HRESULT COleControl::UnadvisePropertyNotify(uint32_t cookie) {
    return Unadvise(m_notifySinks, cookie);
}

void COleControl::FireEvent(DISPID dispid, std::vector<CVariant> args) {
    const CEventEntry* e = FindEventEntry(GetEventMap(), dispid);
    assert(e && "event not in the event map");
    CString name;
    if (e) {
        name = e->name;
        assert(args.size() == e->params.size());
        for (size_t i = 0; i < args.size() && i < e->params.size(); ++i) {
            CVariant converted;
            if (SUCCEEDED(args[i].ChangeType(e->params[i].vt, &converted))) {
                args[i] = std::move(converted);
            }
        }
    }
    // A sink may disconnect itself or another while it is told.
    auto sinks = m_eventSinks;
    for (const auto& c : sinks) c.sink->OnEvent(dispid, name, args);
}

void COleControl::BoundPropertyChanged(DISPID dispid) {
    auto sinks = m_notifySinks;
    for (const auto& c : sinks) c.sink->OnChanged(dispid);
}

void COleControl::Refresh() {
    if (m_pSite) m_pSite->RedrawControlNow();
}

void COleControl::InvalidateControl(const RECT* rect) {
    if (m_pSite) m_pSite->InvalidateControl(rect);
}

void COleControl::SetModifiedFlag(BOOL modified) {
    m_bModified = modified ? TRUE : FALSE;
    if (m_pSite) m_pSite->OnControlModified(m_bModified);
}

// ---- Persistence ------------------------------------------------------------------------

void COleControl::LoadProperties(CPropertyBag& bag) {
    CPropExchange px(bag, CPropExchange::Mode::Load);
    DoPropExchange(&px);
    m_bModified = FALSE;
}

void COleControl::SaveProperties(CPropertyBag& bag, BOOL clearDirty) {
    CPropExchange px(bag, CPropExchange::Mode::Save);
    DoPropExchange(&px);
    if (clearDirty && m_bModified) SetModifiedFlag(FALSE);
}

void COleControl::OnResetState() {
    CPropertyBag unused;
    CPropExchange px(unused, CPropExchange::Mode::Reset);
    DoPropExchange(&px);
    m_bModified = FALSE;
}

void COleControl::DoPropExchange(CPropExchange* px) {
    int32_t cx = m_extent.cx;
    int32_t cy = m_extent.cy;
    PX_Long(px, kExtentXName, cx, m_extent.cx);
    PX_Long(px, kExtentYName, cy, m_extent.cy);
    if (px->IsLoading() && !px->IsResetting() && cx > 0 && cy > 0) m_extent = SIZE{cx, cy};
    ExchangeStockProps(px);
}

void COleControl::ExchangeStockProps(CPropExchange* px) {
    if (!FindDispEntry(GetDispatchMap(), DISPID_BACKCOLOR)) return;
    OLE_COLOR old = m_clrBackColor;
    PX_Color(px, kBackColorName, m_clrBackColor, AmbientBackColor());
    if (px->IsLoading() && old != m_clrBackColor) OnBackColorChanged();
}

BOOL COleControl::ExchangeVersion(CPropExchange* px, DWORD defaultVersion, BOOL convert) {
    DWORD version = defaultVersion;
    BOOL ok = px->ExchangeVersion(version, defaultVersion, convert);
    m_dwVersionLoaded = px->GetVersion();
    return ok;
}

void COleControl::ExchangeDispatchProperties(CPropExchange* px) {
    for (const CDispEntry* e : PersistedEntries(GetDispatchMap())) e->exchange(*this, *px);
}

// ---- Stock members ----------------------------------------------------------------------

void COleControl::SetBackColor(OLE_COLOR color) {
    if (color == m_clrBackColor) return;
    m_clrBackColor = color;
    SetModifiedFlag();
    OnBackColorChanged();
    BoundPropertyChanged(DISPID_BACKCOLOR);
}

// ---- Verbs ------------------------------------------------------------------------------

std::vector<COleVerb> COleControl::EnumVerbs() const {
    return {{kVerbEdit, "&Edit"}, {kVerbProperties, "&Properties..."}};
}

HRESULT COleControl::DoVerb(int32_t verb) {
    BOOL ok;
    switch (verb) {
        case kVerbEdit:
        case OLEIVERB_SHOW:
        case OLEIVERB_UIACTIVATE:
        case OLEIVERB_INPLACEACTIVATE:
            ok = OnEdit();
            break;
        case kVerbProperties:
        case OLEIVERB_PROPERTIES:
            ok = OnProperties();
            break;
        default:
            return OLEOBJ_S_INVALIDVERB;
    }
    return ok ? S_OK : E_FAIL;
}

BOOL COleControl::OnEdit() {
    return m_pSite ? m_pSite->ActivateInPlace() : FALSE;
}

BOOL COleControl::OnProperties() {
    return m_pSite ? m_pSite->ShowPropertyPages(GetPropPageIDs()) : FALSE;
}

int32_t COleControl::DoModalDialog(const CDialogTemplate& dialog) {
    return m_pSite ? m_pSite->DoModalDialog(dialog) : IDCANCEL;
}

// ---- Ambient properties -----------------------------------------------------------------

CVariant COleControl::GetAmbientProperty(DISPID dispid) const {
    CVariant v;
    if (!m_pSite || !m_pSite->GetAmbientProperty(dispid, &v)) return CVariant();
    return v;
}

namespace {

template <class T>
T AmbientAs(const CVariant& v, VARTYPE vt, T fallback, T (*extract)(const CVariant&)) {
    CVariant converted;
    if (v.IsEmpty() || FAILED(v.ChangeType(vt, &converted))) return fallback;
    return extract(converted);
}

}  // namespace

OLE_COLOR COleControl::AmbientBackColor() const {
    return AmbientAs<OLE_COLOR>(GetAmbientProperty(DISPID_AMBIENT_BACKCOLOR), VT_COLOR,
                                0x80000000u | COLOR_WINDOW,
                                [](const CVariant& v) -> OLE_COLOR { return v.ulVal(); });
}

OLE_COLOR COleControl::AmbientForeColor() const {
    return AmbientAs<OLE_COLOR>(GetAmbientProperty(DISPID_AMBIENT_FORECOLOR), VT_COLOR,
                                0x80000000u | COLOR_WINDOWTEXT,
                                [](const CVariant& v) -> OLE_COLOR { return v.ulVal(); });
}

BOOL COleControl::AmbientUserMode() const {
    return AmbientAs<BOOL>(GetAmbientProperty(DISPID_AMBIENT_USERMODE), VT_BOOL, TRUE,
                           [](const CVariant& v) { return BOOL(v.boolVal() ? TRUE : FALSE); });
}

BOOL COleControl::AmbientUIDead() const {
    return AmbientAs<BOOL>(GetAmbientProperty(DISPID_AMBIENT_UIDEAD), VT_BOOL, FALSE,
                           [](const CVariant& v) { return BOOL(v.boolVal() ? TRUE : FALSE); });
}

CString COleControl::AmbientDisplayName() const {
    return AmbientAs<CString>(GetAmbientProperty(DISPID_AMBIENT_DISPLAYNAME), VT_BSTR, CString(),
                              [](const CVariant& v) { return v.bstrVal(); });
}

// ---- Window messages --------------------------------------------------------------------

LRESULT COleControl::WindowProc(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    uint32_t flags = uint32_t(wParam);
    switch (msg) {
        case WM_CREATE:
            return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_SIZE:
            OnSize(flags, point.x, point.y);
            return 0;
        case WM_PAINT:
            Refresh();
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(flags, point);
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp(flags, point);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(flags, point);
            return 0;
        case WM_RBUTTONDOWN:
            OnRButtonDown(flags, point);
            return 0;
        case WM_NCLBUTTONDOWN:
            OnNcLButtonDown(flags, point);
            return 0;
#ifdef _WIN32
        case WM_PRINTCLIENT: {
            // PrintWindow and the like: the control draws into the device they lend.
            CDC dc(reinterpret_cast<HDC>(wParam));
            Draw(&dc, GetClientRect(), GetClientRect());
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole client area
#endif
        default:
            break;
    }
    auto it = m_messageHandlers.find(msg);
    if (it != m_messageHandlers.end()) return it->second(wParam, lParam);
    return DefWindowProc(msg, wParam, lParam);
}
