// The COM object of one control: automation from the dispatch map, the OLE embedding
// interfaces a container activates it through, drawing into a container's device,
// persistence through the framework's property exchange, connection points for events and
// property changes, and the property-page list. It is also the control's site (IControlSite):
// what the control asks of its container goes to the container's OLE site.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "framework/ComGuard.h"
#include "framework/PropertyBag.h"
#include "framework/StateStream.h"
#include "framework/win32/BorderTracker.h"
#include "framework/win32/ComObject.h"

namespace {

template <class T>
void ReleaseAndClear(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// Frees what it holds however the scope is left.
class CBstrHolder {
public:
    explicit CBstrHolder(BSTR text) : m_text(text) {}
    ~CBstrHolder() { SysFreeString(m_text); }
    CBstrHolder(const CBstrHolder&) = delete;
    CBstrHolder& operator=(const CBstrHolder&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

class CVariantHolder {
public:
    CVariantHolder() { VariantInit(&m_value); }
    ~CVariantHolder() { VariantClear(&m_value); }
    CVariantHolder(const CVariantHolder&) = delete;
    CVariantHolder& operator=(const CVariantHolder&) = delete;
    VARIANT* Get() { return &m_value; }

private:
    VARIANT m_value;
};

// ---- The saved state in a stream ------------------------------------------------------------
// framework/StateStream.h reads and writes the bytes; a stream only carries them. The count is
// checked before the text is allocated, and a stream that ends early is refused before the
// control is touched.

HRESULT ReadExactly(IStream* stream, void* buffer, ULONG size) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : STG_E_READFAULT;
}

HRESULT LoadBag(IStream* stream, CPropertyBag* bag) {
    if (!stream) return E_POINTER;
    uint8_t header[kStateHeaderBytes];
    HRESULT hr = ReadExactly(stream, header, sizeof header);
    if (FAILED(hr)) return hr;
    uint32_t size = 0;
    if (ParseStateHeader(header, &size) != StateError::None) return E_FAIL;
    CString text(size, '\0');
    if (size > 0) {
        hr = ReadExactly(stream, text.data(), size);
        if (FAILED(hr)) return hr;
    }
    return ParseStateText(text, bag) == StateError::None ? S_OK : E_FAIL;
}

HRESULT SaveBag(IStream* stream, const CPropertyBag& bag) {
    if (!stream) return E_POINTER;
    CString bytes;
    if (FormatState(bag, &bytes) != StateError::None) return E_FAIL;
    return stream->Write(bytes.data(), ULONG(bytes.size()), nullptr);
}

const wchar_t kContentsStream[] = L"Contents";

// ---- Connection points ----------------------------------------------------------------------

// One outgoing interface's connections. Its references are the object's. Each sink is held as
// the interface it is called through: iid, or IDispatch where the point takes that instead.
class CConnectionPoint final : public IConnectionPoint {
public:
    CConnectionPoint(IConnectionPointContainer& owner, const IID& iid, bool takesDispatch)
        : m_owner(owner), m_iid(iid), m_takesDispatch(takesDispatch) {}
    ~CConnectionPoint() {
        for (auto& c : m_sinks) c.sink->Release();
    }
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
                *out = static_cast<IConnectionPoint*>(this);
                AddRef();
                return S_OK;
            }
            *out = nullptr;
            return E_NOINTERFACE;
        });
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        return Guard([&] {
            if (!iid) return E_POINTER;
            *iid = m_iid;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            *out = &m_owner;
            m_owner.AddRef();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        return Guard([&] {
            if (!sink || !cookie) return E_POINTER;
            *cookie = 0;
            // Room first, so that no reference is taken that a failed push would leak.
            m_sinks.reserve(m_sinks.size() + 1);
            // Events are called through IDispatch, so an event sink may offer only that; a
            // property sink is called through its own interface and must offer it.
            IUnknown* held = nullptr;
            if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&held))) &&
                (!m_takesDispatch ||
                 FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&held))))) {
                return CONNECT_E_CANNOTCONNECT;
            }
            *cookie = m_nextCookie++;
            m_sinks.push_back({*cookie, held});
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        return Guard([&] {
            auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                                   [cookie](const Sink& s) { return s.cookie == cookie; });
            if (it == m_sinks.end()) return CONNECT_E_NOCONNECTION;
            IUnknown* sink = it->sink;
            m_sinks.erase(it);
            sink->Release();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        return Guard([&] {
            if (out) *out = nullptr;
            return E_NOTIMPL;
        });
    }

    // The sinks connected when it was made, each with a reference it releases: a sink may
    // disconnect while it is told.
    class CHeld {
    public:
        explicit CHeld(const CConnectionPoint& point) {
            m_sinks.reserve(point.m_sinks.size());
            for (const Sink& s : point.m_sinks) {
                s.sink->AddRef();
                m_sinks.push_back(s.sink);
            }
        }
        ~CHeld() {
            for (IUnknown* sink : m_sinks) sink->Release();
        }
        CHeld(const CHeld&) = delete;
        CHeld& operator=(const CHeld&) = delete;
        const std::vector<IUnknown*>& Sinks() const { return m_sinks; }

    private:
        std::vector<IUnknown*> m_sinks;
    };

private:
    struct Sink {
        DWORD cookie;
        IUnknown* sink;
    };
    IConnectionPointContainer& m_owner;
    IID m_iid;
    bool m_takesDispatch;
    DWORD m_nextCookie = 1;
    std::vector<Sink> m_sinks;
};

class CControlObject;

// The control's events and property changes, told to the connected sinks.
class CEventRelay final : public IControlEventSink, public IPropertyNotifySink {
public:
    explicit CEventRelay(CControlObject& owner) : m_owner(owner) {}
    void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) override;
    // Not a COM object of its own: the control holds it only while the object lives.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

private:
    CControlObject& m_owner;
};

// ---- The object -----------------------------------------------------------------------------

class CControlObject final : public IDispatch,
                             public IProvideClassInfo2,
                             public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IOleControl,
                             public IViewObject2,
                             public IPersistStreamInit,
                             public IPersistPropertyBag,
                             public IPersistStorage,
                             public IConnectionPointContainer,
                             public ISpecifyPropertyPages,
                             public IFrameworkControl,
                             // Public, so the control finds the tracker beside its site.
                             public IControlSite,
                             public IRectTrackerSite {
public:
    CControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info)
        : m_control(std::move(control)),
          m_info(info),
          m_relay(*this),
          m_eventPoint(*this, m_control->GetEventIID(), true),
          m_notifyPoint(*this, IID_IPropertyNotifySink, false),
          m_tracker(static_cast<IDispatch&>(*this)) {
        m_control->SetClientSite(this);
        m_eventCookie = m_control->AdviseEvents(&m_relay);
        m_notifyCookie = m_control->AdvisePropertyNotify(&m_relay);
        // Script engines call neither InitNew nor Load: the control starts reset.
        m_control->OnResetState();
        // Last: a construction that throws holds no lock on the module.
        ModuleLock();
    }
    ~CControlObject() {
        InPlaceDeactivate();
        m_control->UnadviseEvents(m_eventCookie);
        m_control->UnadvisePropertyNotify(m_notifyCookie);
        m_control->SetClientSite(nullptr);
        m_control.reset();
        ReleaseAndClear(m_typeLib);
        ReleaseAndClear(m_viewSink);
        ReleaseAndClear(m_oleAdvise);
        ReleaseAndClear(m_ambient);
        ReleaseAndClear(m_clientSite);
        ModuleUnlock();
    }
    CControlObject(const CControlObject&) = delete;
    CControlObject& operator=(const CControlObject&) = delete;

    // ---- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    // ---- IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return Guard([&] {
            if (!count) return E_POINTER;
            *count = 1;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return Guard([&] {
            if (!info) return E_POINTER;
            *info = nullptr;
            if (index != 0) return DISP_E_BADINDEX;
            return TypeInfoOf(m_control->GetDispatchIID(), lcid, info);
        });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) override;

    // ---- IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        return Guard([&] {
            if (!info) return E_POINTER;
            *info = nullptr;
            return TypeInfoOf(m_info.clsid, LOCALE_USER_DEFAULT, info);
        });
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        return Guard([&] {
            if (!guid) return E_POINTER;
            if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
            *guid = m_control->GetEventIID();
            return S_OK;
        });
    }

    // ---- IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        return Guard([&] {
            if (!site) return E_POINTER;
            *site = m_clientSite;
            if (m_clientSite) m_clientSite->AddRef();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        return Guard([&] {
            if (out) *out = nullptr;
            return E_NOTIMPL;
        });
    }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override {
        return Guard([&] {
            if (out) *out = nullptr;
            return E_NOTIMPL;
        });
    }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                     LPCRECT) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override {
        return Guard([&] { return OleRegEnumVerbs(m_info.clsid, out); });
    }
    HRESULT STDMETHODCALLTYPE Update() override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override {
        return Guard([&] {
            if (!clsid) return E_POINTER;
            *clsid = m_info.clsid;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* name) override {
        return Guard([&] { return OleRegGetUserType(m_info.clsid, form, name); });
    }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override {
        return Guard([&] {
            if (!size) return E_POINTER;
            if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
            m_control->SetExtent(SIZE{size->cx, size->cy});
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override {
        return Guard([&] {
            if (!size) return E_POINTER;
            if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
            const SIZE extent = m_control->GetExtent();
            size->cx = extent.cx;
            size->cy = extent.cy;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override {
        return Guard([&] {
            if (!m_oleAdvise) {
                const HRESULT hr = CreateOleAdviseHolder(&m_oleAdvise);
                if (FAILED(hr)) return hr;
            }
            return m_oleAdvise->Advise(sink, cookie);
        });
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        return Guard(
            [&] { return m_oleAdvise ? m_oleAdvise->Unadvise(cookie) : OLE_E_NOCONNECTION; });
    }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            *out = nullptr;
            return m_oleAdvise ? m_oleAdvise->EnumAdvise(out) : S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override {
        return Guard([&] {
            if (!status) return E_POINTER;
            *status = aspect == DVASPECT_CONTENT ? m_info.miscStatus : 0;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override {
        return Guard([] { return E_NOTIMPL; });
    }

    // ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        return Guard([&] {
            if (!hwnd) return E_POINTER;
            *hwnd = m_control->GetSafeHwnd();
            return *hwnd ? S_OK : E_FAIL;
        });
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override {
        return Guard([&] {
            if (!pos) return E_POINTER;
            m_control->SetRectInContainer(CRect(*pos));
            if (m_tracker.IsShown()) m_tracker.Place(*pos);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override {
        return Guard([] { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override {
        return Guard([] { return S_OK; });
    }

    // ---- IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
        return Guard([&] {
            if (!info) return E_POINTER;
            info->hAccel = nullptr;
            info->cAccel = 0;
            info->dwFlags = 0;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(LPMSG) override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispid) override {
        return Guard([&] {
            m_control->OnAmbientPropertyChange(dispid);
            if (dispid == DISPID_UNKNOWN || dispid == DISPID_AMBIENT_SHOWGRABHANDLES ||
                dispid == DISPID_AMBIENT_SHOWHATCHING) {
                UpdateTracker();
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override {
        return Guard([&] {
            m_frozen += freeze ? 1 : (m_frozen > 0 ? -1 : 0);
            return S_OK;
        });
    }

    // ---- IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR) override {
        return Guard([&] {
            if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
            if (!dc || !bounds) return E_INVALIDARG;
            const CRect rect(bounds->left, bounds->top, bounds->right, bounds->bottom);
            CDC device(dc);
            m_control->Draw(&device, rect, rect);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                          LOGPALETTE** out) override {
        return Guard([&] {
            if (out) *out = nullptr;
            return S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override {
        return Guard([] { return E_NOTIMPL; });
    }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override {
        return Guard([&] {
            if (sink) sink->AddRef();
            ReleaseAndClear(m_viewSink);
            m_viewSink = sink;
            m_viewAspects = aspects;
            m_viewFlags = flags;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override {
        return Guard([&] {
            if (aspects) *aspects = m_viewAspects;
            if (flags) *flags = m_viewFlags;
            if (sink) {
                *sink = m_viewSink;
                if (m_viewSink) m_viewSink->AddRef();
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*,
                                        LPSIZEL size) override {
        return GetExtent(aspect, size);
    }

    // ---- IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage
    // A state is read whole and checked before the control hears of it, so a refused one
    // leaves every property as it was.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override { return GetUserClassID(clsid); }
    HRESULT STDMETHODCALLTYPE IsDirty() override {
        return Guard([&] { return m_control->IsModified() ? S_OK : S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override {
        return Guard([&] {
            CPropertyBag bag;
            const HRESULT hr = LoadBag(stream, &bag);
            if (FAILED(hr)) return hr;
            m_control->LoadProperties(bag);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override {
        return Guard([&] {
            CPropertyBag bag;
            m_control->SaveProperties(bag, FALSE);
            const HRESULT hr = SaveBag(stream, bag);
            // Clean only once the state is written.
            if (SUCCEEDED(hr) && clearDirty && m_control->IsModified()) {
                m_control->SetModifiedFlag(FALSE);
            }
            return hr;
        });
    }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
        return Guard([&] {
            if (!size) return E_POINTER;
            CPropertyBag bag;
            m_control->SaveProperties(bag, FALSE);
            size->QuadPart = kStateHeaderBytes + bag.ToText().size();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE InitNew() override {
        return Guard([&] {
            m_control->OnResetState();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL) override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage*) override { return InitNew(); }
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override {
        return Guard([&] {
            if (!storage) return E_POINTER;
            IStream* stream = nullptr;
            HRESULT hr = storage->OpenStream(kContentsStream, nullptr,
                                             STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
            if (FAILED(hr)) return hr;
            hr = Load(stream);
            stream->Release();
            return hr;
        });
    }
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL) override {
        return Guard([&] {
            if (!storage) return E_POINTER;
            IStream* stream = nullptr;
            HRESULT hr = storage->CreateStream(
                kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
            if (FAILED(hr)) return hr;
            hr = Save(stream, TRUE);
            stream->Release();
            return hr;
        });
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage*) override {
        return Guard([] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override {
        return Guard([] { return S_OK; });
    }

    // ---- IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return Guard([&] {
            if (out) *out = nullptr;
            return E_NOTIMPL;
        });
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (iid == m_control->GetEventIID()) {
                *out = &m_eventPoint;
            } else if (iid == IID_IPropertyNotifySink) {
                *out = &m_notifyPoint;
            } else {
                return CONNECT_E_NOCONNECTION;
            }
            AddRef();
            return S_OK;
        });
    }

    // ---- ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override {
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

    // ---- IFrameworkControl
    COleControl* Control() override { return m_control.get(); }

    // ---- For the relay
    void TellEvent(DISPID dispid, const std::vector<CVariant>& args);
    void TellChanged(DISPID dispid);

private:
    // ---- IControlSite: what the control asks of its container
    void RedrawControlNow() override;
    void InvalidateControl(const RECT* rect) override;
    BOOL GetAmbientProperty(DISPID dispid, CVariant* value) override;
    void OnControlModified(BOOL) override {}
    void OnPosRectChange(const RECT& rect) override {
        if (m_inPlaceSite) m_inPlaceSite->OnPosRectChange(&rect);
    }
    BOOL ActivateInPlace() override { return SUCCEEDED(InPlaceActivate(false)) ? TRUE : FALSE; }
    BOOL ShowPropertyPages(const std::vector<CLSID>& pages) override;
    int32_t DoModalDialog(const CDialogTemplate& dialog) override;

    // ---- IRectTrackerSite: no container lends a tracker here, so the object is its own
    CRectTracker* GetRectTracker() override;
    // Shows the border while UI-active, as the ambient properties allow.
    void UpdateTracker();
    // The ambient property as a flag, true when the container does not say.
    bool AmbientFlag(DISPID dispid) const;

    HRESULT InPlaceActivate(bool uiActivate);
    HWND ContainerWindow() const;
    // From the registered library (by id, version and the caller's locale), else from the
    // module's own resource, so an unregistered copy still describes itself.
    HRESULT TypeInfoOf(const GUID& guid, LCID lcid, ITypeInfo** info);

    std::atomic<ULONG> m_refs{1};
    std::unique_ptr<COleControl> m_control;
    CComClassInfo m_info;
    CEventRelay m_relay;
    CConnectionPoint m_eventPoint;
    CConnectionPoint m_notifyPoint;
    uint32_t m_eventCookie = 0;
    uint32_t m_notifyCookie = 0;
    ITypeLib* m_typeLib = nullptr;
    IOleClientSite* m_clientSite = nullptr;
    IDispatch* m_ambient = nullptr;  // the site's ambient properties, when it offers them
    IOleInPlaceSite* m_inPlaceSite = nullptr;
    bool m_uiActive = false;
    IOleAdviseHolder* m_oleAdvise = nullptr;
    IAdviseSink* m_viewSink = nullptr;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    int m_frozen = 0;
    CBorderTracker m_tracker;
    // RedrawControlNow's surface, kept while the window's size stays: a fresh 32-bit surface
    // at every frame costs an allocation, a clear and, under Wine, a remap of its pages.
    std::unique_ptr<CDC> m_aside;
};

HRESULT CControlObject::QueryInterface(REFIID iid, void** out) {
    return Guard([&] {
        if (!out) return E_POINTER;
        void* found = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_control->GetDispatchIID()) {
            found = static_cast<IDispatch*>(this);
        } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
            found = static_cast<IProvideClassInfo2*>(this);
        } else if (iid == IID_IOleObject) {
            found = static_cast<IOleObject*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
            found = static_cast<IOleInPlaceObject*>(this);
        } else if (iid == IID_IOleInPlaceActiveObject) {
            found = static_cast<IOleInPlaceActiveObject*>(this);
        } else if (iid == IID_IOleControl) {
            found = static_cast<IOleControl*>(this);
        } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
            found = static_cast<IViewObject2*>(this);
        } else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) {
            found = static_cast<IPersistStreamInit*>(this);
        } else if (iid == IID_IPersistPropertyBag) {
            found = static_cast<IPersistPropertyBag*>(this);
        } else if (iid == IID_IPersistStorage) {
            found = static_cast<IPersistStorage*>(this);
        } else if (iid == IID_IConnectionPointContainer) {
            found = static_cast<IConnectionPointContainer*>(this);
        } else if (iid == IID_ISpecifyPropertyPages) {
            found = static_cast<ISpecifyPropertyPages*>(this);
        } else if (iid == IID_IFrameworkControl) {
            found = static_cast<IFrameworkControl*>(this);
        } else if (void* own = m_control->GetInterface(iid)) {
            found = own;  // an interface of the control's own, valid while the object lives
        }
        *out = found;
        if (!found) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    });
}

HRESULT CControlObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return Guard([&] {
        if (!names || !ids) return E_POINTER;
        if (count == 0) return S_OK;
        HRESULT hr = m_control->GetIDOfName(StringFromBstr(names[0]), &ids[0]);
        if (FAILED(hr)) ids[0] = DISPID_UNKNOWN;
        // No member takes named arguments.
        for (UINT i = 1; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    });
}

HRESULT CControlObject::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* argError) {
    return Guard([&] {
        if (!params) return E_INVALIDARG;
        const CDispEntry* entry = FindDispEntry(m_control->GetDispatchMap(), dispid);
        if (!entry) return DISP_E_MEMBERNOTFOUND;
        if (entry->kind == DispKind::Method) {
            if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
            if (result) VariantInit(result);
            return m_control->InvokeMethod(dispid);
        }
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (!entry->set) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
                return DISP_E_PARAMNOTOPTIONAL;
            }
            CVariant value;
            HRESULT hr = FromVariant(params->rgvarg[0], entry->vt, &value);
            if (SUCCEEDED(hr)) hr = m_control->SetProperty(dispid, value);
            if (FAILED(hr) && argError) *argError = 0;
            return hr;
        }
        if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
            if (!entry->get) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
            CVariant value;
            const HRESULT hr = m_control->GetProperty(dispid, &value);
            if (FAILED(hr)) return hr;
            if (result) ToVariant(value, result);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT CControlObject::TypeInfoOf(const GUID& guid, LCID lcid, ITypeInfo** info) {
    if (!m_typeLib) {
        HRESULT hr = LoadRegTypeLib(m_info.libId, m_info.majorVersion, m_info.minorVersion, lcid,
                                    &m_typeLib);
        if (FAILED(hr)) {
            wchar_t path[MAX_PATH];
            if (!GetModuleFileNameW(FrameworkModule(), path, MAX_PATH)) return hr;
            hr = LoadTypeLibEx(path, REGKIND_NONE, &m_typeLib);
            if (FAILED(hr)) return hr;
        }
    }
    return m_typeLib->GetTypeInfoOfGuid(guid, info);
}

HRESULT CControlObject::SetClientSite(IOleClientSite* site) {
    return Guard([&] {
        if (site) site->AddRef();
        ReleaseAndClear(m_ambient);
        ReleaseAndClear(m_clientSite);
        m_clientSite = site;
        if (site) site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_ambient));
        m_control->OnAmbientPropertyChange(DISPID_UNKNOWN);
        UpdateTracker();
        return S_OK;
    });
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

HRESULT CControlObject::InPlaceActivate(bool uiActivate) {
    if (!m_clientSite) return E_UNEXPECTED;
    if (!m_inPlaceSite) {
        IOleInPlaceSite* site = nullptr;
        HRESULT hr =
            m_clientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site));
        if (FAILED(hr)) return hr;
        if (site->CanInPlaceActivate() != S_OK) {
            site->Release();
            return E_FAIL;
        }
        site->OnInPlaceActivate();
        HWND parent = nullptr;
        site->GetWindow(&parent);
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        site->GetWindowContext(&frame, &document, &pos, &clip, &frameInfo);
        ReleaseAndClear(frame);
        ReleaseAndClear(document);
        m_inPlaceSite = site;
        // The site's rectangle, not its SetExtent: some containers pass a wrong HIMETRIC size.
        if (!m_control->CreateControlWindow(CRect(pos), parent)) {
            site->OnInPlaceDeactivate();
            ReleaseAndClear(m_inPlaceSite);
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
        IOleInPlaceSite* site = m_inPlaceSite;
        m_inPlaceSite = nullptr;
        site->OnInPlaceDeactivate();
        site->Release();
        return S_OK;
    });
}

HWND CControlObject::ContainerWindow() const {
    HWND hwnd = m_control->GetSafeHwnd();
    if (hwnd) return GetParent(hwnd) ? GetParent(hwnd) : hwnd;
    IOleWindow* window = nullptr;
    if (m_clientSite && SUCCEEDED(m_clientSite->QueryInterface(
                            IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
        window->GetWindow(&hwnd);
        window->Release();
    }
    return hwnd;
}

void CControlObject::RedrawControlNow() {
    const HWND hwnd = m_control->GetSafeHwnd();
    if (!hwnd || !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) {
        // Not on show in a window of its own: the container redraws it through IViewObject.
        if (m_viewSink) m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
        return;
    }
    // Drawn aside and copied in one piece, so a paint never shows half a frame.
    const CRect client = m_control->GetClientRect();
    if (client.IsRectEmpty()) return;
    if (!m_aside || m_aside->Width() != client.Width() || m_aside->Height() != client.Height()) {
        m_aside.reset();
        m_aside = std::make_unique<CDC>(client.Width(), client.Height());
    }
    m_control->Draw(m_aside.get(), client, client);
    HDC dc = GetDC(hwnd);
    BitBlt(dc, 0, 0, client.Width(), client.Height(), m_aside->GetSafeHdc(), 0, 0, SRCCOPY);
    ReleaseDC(hwnd, dc);
    ValidateRect(hwnd, nullptr);
}

void CControlObject::InvalidateControl(const RECT* rect) {
    const HWND hwnd = m_control->GetSafeHwnd();
    if (hwnd && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) {
        InvalidateRect(hwnd, rect, FALSE);
    } else if (m_viewSink) {
        m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
    }
}

BOOL CControlObject::GetAmbientProperty(DISPID dispid, CVariant* value) {
    if (!m_ambient) return FALSE;
    DISPPARAMS none{};
    CVariantHolder result;
    const HRESULT hr =
        m_ambient->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          result.Get(), nullptr, nullptr);
    if (FAILED(hr)) return FALSE;
    *value = AsCVariant(*result.Get());
    return value->IsEmpty() ? FALSE : TRUE;
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

BOOL CControlObject::ShowPropertyPages(const std::vector<CLSID>& pages) {
    if (pages.empty()) return FALSE;
    IUnknown* self = static_cast<IDispatch*>(this);
    const HRESULT hr = OleCreatePropertyFrame(
        ContainerWindow(), 0, 0, L"Movitrel Control", 1, &self, ULONG(pages.size()),
        const_cast<CLSID*>(pages.data()), LOCALE_USER_DEFAULT, 0, nullptr);
    return SUCCEEDED(hr) ? TRUE : FALSE;
}

INT_PTR CALLBACK ModalDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
        (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (msg == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

int32_t CControlObject::DoModalDialog(const CDialogTemplate& dialog) {
    const std::vector<WORD> words = BuildDialogTemplate(
        dialog, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    const INT_PTR id = DialogBoxIndirectParamW(FrameworkModule(),
                                               reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                               ContainerWindow(), ModalDialogProc, 0);
    return id < 0 ? IDCANCEL : int32_t(id);
}

HRESULT CControlObject::Load(IPropertyBag* source, IErrorLog* log) {
    return Guard([&] {
        if (!source) return E_POINTER;
        // The names to read are those a save writes.
        CPropertyBag names;
        m_control->SaveProperties(names, FALSE);
        CPropertyBag bag;
        for (const auto& [name, unused] : names.Entries()) {
            const CBstrHolder wide(BstrFromString(name));
            if (!wide.Get()) return E_OUTOFMEMORY;
            // The hint asks for a string; the bag owns nothing in it until a Read succeeds.
            VARIANT value;
            VariantInit(&value);
            value.vt = VT_BSTR;
            value.bstrVal = nullptr;
            if (FAILED(source->Read(wide.Get(), &value, log))) continue;
            CVariantHolder read;
            *read.Get() = value;
            CVariantHolder text;
            if (SUCCEEDED(VariantChangeType(text.Get(), read.Get(), 0, VT_BSTR)) &&
                !bag.Write(name, StringFromBstr(text.Get()->bstrVal))) {
                return E_FAIL;
            }
        }
        m_control->LoadProperties(bag);
        return S_OK;
    });
}

HRESULT CControlObject::Save(IPropertyBag* target, BOOL clearDirty, BOOL) {
    return Guard([&] {
        if (!target) return E_POINTER;
        CPropertyBag bag;
        m_control->SaveProperties(bag, FALSE);
        for (const auto& [name, text] : bag.Entries()) {
            const CBstrHolder wide(BstrFromString(name));
            CVariantHolder value;
            value.Get()->vt = VT_BSTR;
            value.Get()->bstrVal = BstrFromString(text);
            if (!wide.Get() || !value.Get()->bstrVal) return E_OUTOFMEMORY;
            const HRESULT hr = target->Write(wide.Get(), value.Get());
            if (FAILED(hr)) return hr;
        }
        if (clearDirty && m_control->IsModified()) m_control->SetModifiedFlag(FALSE);
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
    const CConnectionPoint::CHeld held(m_eventPoint);
    // A sink may release the last reference to the control: the object outlives the calls.
    AddRef();
    for (IUnknown* sink : held.Sinks()) {
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
            dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                             nullptr, nullptr, nullptr);
            dispatch->Release();
        }
    }
    Release();
}

void CControlObject::TellChanged(DISPID dispid) {
    const CConnectionPoint::CHeld held(m_notifyPoint);
    // The point holds each sink as IPropertyNotifySink.
    for (IUnknown* sink : held.Sinks()) static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispid);
}

void CEventRelay::OnEvent(DISPID dispid, const CString&, const std::vector<CVariant>& args) {
    m_owner.TellEvent(dispid, args);
}

HRESULT CEventRelay::OnChanged(DISPID dispid) {
    m_owner.TellChanged(dispid);
    return S_OK;
}

}  // namespace

IDispatch* CreateControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info) {
    return new CControlObject(std::move(control), info);
}
