// The COM object of one control, private to the framework's COM face. Its methods live in one
// file per concern:
//   ComControl.cpp     the object's life, its interfaces, the property-page list
//   ComDispatch.cpp    automation from the dispatch map, type information
//   ComPersist.cpp     persistence in a stream, a storage and a property bag
//   ComOleObject.cpp   IOleObject, in-place activation, IOleControl, and the control's site
//   ComView.cpp        drawing: IViewObject2, and redraws the control asks for
//   ComEvents.cpp      connection points for events and property changes
// Every method a client can call runs its body through the COM guard.
#pragma once

#include <memory>
#include <vector>

#include "framework/win32/BorderTracker.h"
#include "framework/win32/ComConnectionPoint.h"
#include "framework/win32/ComObject.h"

class CControlObject;

// The control's events and property changes, told to the connected sinks. A part of the
// object: the control holds it, without a reference, only while the object lives.
class CEventRelay final : public CComPart<IPropertyNotifySink>, public IControlEventSink {
public:
    explicit CEventRelay(CControlObject& owner);
    void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) override;
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override;

private:
    CControlObject& m_owner;
};

class CControlObject final
    : public CComObject<CControlObject, IDispatch, IProvideClassInfo2, IOleObject,
                        IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl, IViewObject2,
                        IPersistStreamInit, IPersistPropertyBag, IPersistStorage,
                        IConnectionPointContainer, ISpecifyPropertyPages, IFrameworkControl>,
      // Not COM interfaces: the control finds the tracker beside its site.
      public IControlSite,
      public IRectTrackerSite {
public:
    CControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info);
    ~CControlObject();

    // ---- IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) override;

    // ---- IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // ---- IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                     LPCRECT) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* name) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override;

    // ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override;

    // ---- IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(LPMSG) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // ---- IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                          LOGPALETTE** out) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

    // ---- IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL) override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage*) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage*) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

    // ---- IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // ---- ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // ---- IFrameworkControl
    COleControl* Control() override { return m_control.get(); }

    // ---- For the relay
    void TellEvent(DISPID dispid, const std::vector<CVariant>& args);
    void TellChanged(DISPID dispid);

protected:
    // The ids that name a listed interface's base, or the control's own interfaces.
    void* FindInterface(const IID& iid) override;

private:
    // ---- IControlSite: what the control asks of its container
    void RedrawControlNow() override;
    void InvalidateControl(const RECT* rect) override;
    BOOL GetAmbientProperty(DISPID dispid, CVariant* value) override;
    void OnControlModified(BOOL) override {}
    void OnPosRectChange(const RECT& rect) override;
    BOOL ActivateInPlace() override;
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

    CModuleLock m_moduleLock;  // first made, last gone
    std::unique_ptr<COleControl> m_control;
    CComClassInfo m_info;
    CEventRelay m_relay;
    CConnectionPoint<IDispatch> m_eventPoint;
    CConnectionPoint<IPropertyNotifySink> m_notifyPoint;
    uint32_t m_eventCookie = 0;
    uint32_t m_notifyCookie = 0;
    CComPtr<ITypeLib> m_typeLib;
    CComPtr<IOleClientSite> m_clientSite;
    CComPtr<IDispatch> m_ambient;  // the site's ambient properties, when it offers them
    CComPtr<IOleInPlaceSite> m_inPlaceSite;
    bool m_uiActive = false;
    CComPtr<IOleAdviseHolder> m_oleAdvise;
    CComPtr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    int m_frozen = 0;
    CBorderTracker m_tracker;
    // RedrawControlNow's surface, kept while the window's size stays: a fresh 32-bit surface
    // at every frame costs an allocation, a clear and, under Wine, a remap of its pages.
    std::unique_ptr<CDC> m_aside;
};
