// COleControl: the base of a windowed control hosted by a container.
//
// A derived control declares its automation members once (GetDispatchMap, see
// DispatchMap.h) and its events (GetEventMap), draws in OnDraw, and handles window messages
// through the virtual handlers below. Everything here runs on the control's thread: the
// container's thread, which owns the control's window and runs the loop that delivers the
// messages other threads post to it.
#pragma once

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/Colors.h"
#include "framework/ControlSite.h"
#include "framework/DispatchMap.h"
#include "framework/PropExchange.h"
#include "framework/WinTypes.h"
#include "platform/Gdi.h"
#include "platform/Window.h"

#ifndef _WIN32
// Verb numbers a container may pass to DoVerb.
constexpr int32_t OLEIVERB_PRIMARY = 0;
constexpr int32_t OLEIVERB_SHOW = -1;
constexpr int32_t OLEIVERB_UIACTIVATE = -4;
constexpr int32_t OLEIVERB_INPLACEACTIVATE = -5;
constexpr int32_t OLEIVERB_PROPERTIES = -7;
constexpr HRESULT OLEOBJ_S_INVALIDVERB = 0x00040180;
#endif

struct COleVerb {
    int32_t verb = 0;
    CString name;
};

class COleControl {
public:
    COleControl();
    virtual ~COleControl();
    COleControl(const COleControl&) = delete;
    COleControl& operator=(const COleControl&) = delete;

    // ---- Container side -------------------------------------------------------------------
    // The site stays attached until replaced; null detaches.
    void SetClientSite(IControlSite* site) { m_pSite = site; }
    IControlSite* GetClientSite() const { return m_pSite; }

    // Creates the control's window on the calling thread and runs OnCreate; FALSE (and no
    // window) when OnCreate returns -1 or a window already exists. On Windows a parent makes
    // it a child of the container's window.
    BOOL CreateControlWindow(const CRect& rectInContainer, HWND parent = nullptr);
    // Runs OnDestroy, then forgets the window: messages still posted to it are dropped.
    void DestroyControlWindow();
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Where the container shows the control; moves the window there and sends WM_SIZE when
    // the size changes.
    void SetRectInContainer(const CRect& rect);
    CRect GetRectInContainer() const { return m_rcPos; }
    // The client rectangle: (0, 0) to the size of the control.
    CRect GetClientRect() const { return CRect(0, 0, m_rcPos.Width(), m_rcPos.Height()); }

    void SetInPlaceActive(BOOL active) { m_bInPlaceActive = active; }
    // The control's size in HIMETRIC, saved with its state.
    SIZE GetExtent() const { return m_extent; }
    void SetExtent(SIZE extent) { m_extent = extent; }
    BOOL IsInPlaceActive() const { return m_bInPlaceActive; }

    // The painting entry for a site: runs OnDraw with the bounds in the device's coordinates.
    void Draw(CDC* dc, const CRect& bounds, const CRect& invalid);

    // ---- Automation -----------------------------------------------------------------------
    // The control's members; the base declares none.
    virtual const CDispatchMap& GetDispatchMap() const;
    virtual const CEventMap& GetEventMap() const;

    // DISP_E_UNKNOWNNAME for a name the dispatch map does not hold.
    HRESULT GetIDOfName(const CString& name, DISPID* dispid) const;
    // The value converted from the property's type to vtWanted (VT_EMPTY: as it is).
    HRESULT GetProperty(DISPID dispid, CVariant* value, VARTYPE vtWanted = VT_EMPTY);
    // The value converted to the property's type, then handed to its setter.
    HRESULT SetProperty(DISPID dispid, const CVariant& value);
    HRESULT InvokeMethod(DISPID dispid);
    HRESULT GetProperty(const CString& name, CVariant* value, VARTYPE vtWanted = VT_EMPTY);
    HRESULT SetProperty(const CString& name, const CVariant& value);
    HRESULT InvokeMethod(const CString& name);

    void InitializeIIDs(const IID* dispatchIID, const IID* eventIID);
    const IID& GetDispatchIID() const { return m_dispatchIID; }
    const IID& GetEventIID() const { return m_eventIID; }

    // Connections; the cookie (never 0) ends one. Sinks are told in the order they connected.
    uint32_t AdviseEvents(IControlEventSink* sink);
    HRESULT UnadviseEvents(uint32_t cookie);
    uint32_t AdvisePropertyNotify(IPropertyNotifySink* sink);
    HRESULT UnadvisePropertyNotify(uint32_t cookie);

    // ---- Persistence ----------------------------------------------------------------------
    // Load, save, reset through DoPropExchange. Loading and resetting leave the control
    // unmodified; saving with clearDirty clears the modified flag.
    void LoadProperties(CPropertyBag& bag);
    void SaveProperties(CPropertyBag& bag, BOOL clearDirty = TRUE);
    virtual void OnResetState();

    BOOL IsModified() const { return m_bModified; }
    void SetModifiedFlag(BOOL modified = TRUE);

    // ---- Stock members --------------------------------------------------------------------
    OLE_COLOR GetBackColor() const { return m_clrBackColor; }
    void SetBackColor(OLE_COLOR color);
    COLORREF TranslateColor(OLE_COLOR color, HPALETTE palette = nullptr) const {
        return TranslateOleColor(color, palette);
    }
    // The stock AboutBox method; the base shows nothing.
    virtual void AboutBox() {}

    // ---- Verbs and pages ------------------------------------------------------------------
    virtual std::vector<COleVerb> EnumVerbs() const;
    // S_OK, E_FAIL when the handler fails, OLEOBJ_S_INVALIDVERB for an unknown verb.
    HRESULT DoVerb(int32_t verb);
    // The property pages the control offers, in order; the base offers none.
    virtual std::vector<CLSID> GetPropPageIDs() const { return {}; }
    // An interface of the control's own beyond dispatch, by IID, valid while the control
    // lives; null for one it does not offer.
    virtual void* GetInterface(const IID& iid) { return nullptr; }

    // ---- Ambient properties ---------------------------------------------------------------
    // The container's value, or empty when it gives none.
    CVariant GetAmbientProperty(DISPID dispid) const;
    OLE_COLOR AmbientBackColor() const;  // COLOR_WINDOW when unknown
    OLE_COLOR AmbientForeColor() const;  // COLOR_WINDOWTEXT when unknown
    BOOL AmbientUserMode() const;        // TRUE (run mode) when unknown
    BOOL AmbientUIDead() const;          // FALSE when unknown
    CString AmbientDisplayName() const;  // "" when unknown
    // The container tells the control an ambient property changed (DISPID_UNKNOWN: several).
    virtual void OnAmbientPropertyChange(DISPID dispid) {}

protected:
    // ---- For the derived control ----------------------------------------------------------
    // Draws the control; the base fills the bounds with the translated BackColor.
    virtual void OnDraw(CDC* dc, const CRect& bounds, const CRect& invalid);

    // Tells every connected sink before returning. Arguments are converted to the types the
    // event map declares for the event.
    void FireEvent(DISPID dispid, std::vector<CVariant> args);
    void BoundPropertyChanged(DISPID dispid);
    // Invalidates and paints at once: OnDraw has run when this returns (when there is a site).
    void Refresh();
    void InvalidateControl(const RECT* rect = nullptr);

    // The exchange the control's state goes through. The base exchanges the extent and the
    // stock properties the dispatch map declares.
    virtual void DoPropExchange(CPropExchange* px);
    BOOL ExchangeVersion(CPropExchange* px, DWORD defaultVersion, BOOL convert = TRUE);
    // Exchanges every persisted member of the dispatch map, in exchange order.
    void ExchangeDispatchProperties(CPropExchange* px);
    DWORD GetVersion() const { return m_dwVersionLoaded; }

    virtual void OnBackColorChanged() { InvalidateControl(); }
    virtual BOOL OnEdit();
    virtual BOOL OnProperties();
    int32_t DoModalDialog(const CDialogTemplate& dialog);

    // ---- Window messages ------------------------------------------------------------------
    // Routes a message to the handlers below or to one registered with OnMessage.
    virtual LRESULT WindowProc(uint32_t msg, WPARAM wParam, LPARAM lParam);
    // A handler for a private message (WM_USER and up); a later one replaces an earlier.
    template <class T>
    void OnMessage(uint32_t msg, LRESULT (T::*handler)(WPARAM, LPARAM)) {
        T* self = static_cast<T*>(this);
        m_messageHandlers[msg] = [self, handler](WPARAM w, LPARAM l) {
            return (self->*handler)(w, l);
        };
    }

    // 0 to go on, -1 to refuse the window.
    virtual int32_t OnCreate(LPCREATESTRUCT createStruct) { return 0; }
    virtual void OnDestroy() {}
    virtual void OnSize(uint32_t type, int32_t cx, int32_t cy) {}
    virtual void OnLButtonDown(uint32_t flags, CPoint point) {}
    virtual void OnLButtonUp(uint32_t flags, CPoint point) {}
    virtual void OnMouseMove(uint32_t flags, CPoint point) {}
    virtual void OnRButtonDown(uint32_t flags, CPoint point) {}
    // The point is in screen coordinates: the container's client area.
    virtual void OnNcLButtonDown(uint32_t hitTest, CPoint point) {}
    // The default processing of a message no handler took.
    LRESULT DefWindowProc(uint32_t msg, WPARAM wParam, LPARAM lParam) {
        return DefPlatformWindowProc(m_hWnd, msg, wParam, lParam);
    }

    CPoint ScreenToClient(CPoint p) const { return CPoint(p.x - m_rcPos.left, p.y - m_rcPos.top); }
    CPoint ClientToScreen(CPoint p) const { return CPoint(p.x + m_rcPos.left, p.y + m_rcPos.top); }

private:
    class WindowHandler;
    template <class Sink>
    struct Connection {
        uint32_t cookie;
        Sink* sink;
    };

    void ExchangeStockProps(CPropExchange* px);

    IControlSite* m_pSite = nullptr;
    HWND m_hWnd = nullptr;
    std::unique_ptr<WindowHandler> m_windowHandler;
    CRect m_rcPos;
    SIZE m_extent{PixelsToHimetric(100), PixelsToHimetric(50)};
    BOOL m_bInPlaceActive = FALSE;
    BOOL m_bModified = FALSE;
    OLE_COLOR m_clrBackColor = 0x80000000u | COLOR_WINDOW;
    DWORD m_dwVersionLoaded = 0;
    IID m_dispatchIID{};
    IID m_eventIID{};
    uint32_t m_nextCookie = 1;
    std::vector<Connection<IControlEventSink>> m_eventSinks;
    std::vector<Connection<IPropertyNotifySink>> m_notifySinks;
    std::unordered_map<uint32_t, std::function<LRESULT(WPARAM, LPARAM)>> m_messageHandlers;
};

template <class T>
CDispMapBuilder<T>& CDispMapBuilder<T>::StockBackColor() {
    CDispEntry e;
    e.name = "BackColor";
    e.dispid = DISPID_BACKCOLOR;
    e.vt = VT_COLOR;
    e.stock = true;
    e.get = [](COleControl& c) { return CVariant::Color(c.GetBackColor()); };
    e.set = [](COleControl& c, const CVariant& v) { c.SetBackColor(v.ulVal()); };
    m_map.push_back(std::move(e));
    return *this;
}

template <class T>
CDispMapBuilder<T>& CDispMapBuilder<T>::StockAboutBox() {
    CDispEntry e;
    e.name = "AboutBox";
    e.dispid = DISPID_ABOUTBOX;
    e.kind = DispKind::Method;
    e.stock = true;
    e.invoke = [](COleControl& c) { c.AboutBox(); };
    m_map.push_back(std::move(e));
    return *this;
}
