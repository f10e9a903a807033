// A container without a screen. It hosts one control at (0, 0) of its client area, paints it
// into a surface of the control's size, runs the calling thread's message loop on demand,
// feeds it mouse input, and records what the control tells its container.
//
// Use it on one thread: the one that creates the window owns it, and only that thread's
// pumping delivers the messages other threads post to the control.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "framework/ComBase.h"
#include "framework/OleControl.h"

// A property-change connection that hands each change to a function. On Windows the sink is
// the system's COM interface, answered here for an object its owner keeps alive.
#ifdef _WIN32
class CPropertyNotifyRelay final : public CComStatic<IPropertyNotifySink> {
#else
class CPropertyNotifyRelay final : public IPropertyNotifySink {
#endif
public:
    explicit CPropertyNotifyRelay(std::function<void(DISPID)> changed)
        : m_changed(std::move(changed)) {}
#ifdef _WIN32
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override {
        m_changed(dispid);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override {
        return S_OK;
    }
#else
    void OnChanged(DISPID dispid) override {
        m_changed(dispid);
    }
#endif

private:
    std::function<void(DISPID)> m_changed;
};

class CHeadlessSite : public IControlSite, private IControlEventSink {
public:
    struct FiredEvent {
        DISPID dispid;
        CString name;
        std::vector<CVariant> args;
    };

    // Attaches to the control (site, event and property-change connections); no window yet.
    CHeadlessSite(COleControl& control, int32_t cx, int32_t cy);
    // Destroys the window if it is live, then detaches.
    ~CHeadlessSite() override;
    CHeadlessSite(const CHeadlessSite&) = delete;
    CHeadlessSite& operator=(const CHeadlessSite&) = delete;

    // ---- Window and loop ------------------------------------------------------------------
    // Creates the control's window (in-place active) and paints it once; FALSE when the
    // control refused the window.
    BOOL CreateControlWindow();
    void DestroyControlWindow();
    BOOL IsWindowLive() const { return m_control.GetSafeHwnd() != nullptr; }
    HWND GetHwnd() const { return m_control.GetSafeHwnd(); }

    // Delivers the messages queued for this thread, then paints when the control was
    // invalidated; the number of messages delivered.
    int32_t Pump();
    // Pumps until done() holds or timeoutMs has passed; whether done() held. done() is
    // checked after every pump and at least every few milliseconds while waiting.
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs);

    // ---- Input, in client coordinates -----------------------------------------------------
    // Each is delivered at once on this thread, and the control is painted afterwards when it
    // asked to be.
    void MouseMove(int32_t x, int32_t y, uint32_t flags = 0);
    void LButtonDown(int32_t x, int32_t y, uint32_t flags = MK_LBUTTON);
    void LButtonUp(int32_t x, int32_t y, uint32_t flags = 0);
    void RButtonDown(int32_t x, int32_t y, uint32_t flags = MK_RBUTTON);
    // Press and release at one point.
    void Click(int32_t x, int32_t y);
    // A press on the non-client area; the point in the container's client coordinates.
    void NcLButtonDown(uint32_t hitTest, int32_t x, int32_t y);

    // ---- Surface --------------------------------------------------------------------------
    CDC& Surface() { return *m_surface; }
    int32_t Width() const { return m_surface->Width(); }
    int32_t Height() const { return m_surface->Height(); }
    COLORREF GetPixel(int32_t x, int32_t y) const { return m_surface->GetPixel(x, y); }
    // Writes the surface as an 8-bit RGB PNG file, through the PNG codec; FALSE when the file
    // cannot be written.
    BOOL SavePng(const CString& path) const;
    // A new surface of the size (black until painted), the control told, then painted.
    void Resize(int32_t cx, int32_t cy);
    // Paints now, as Refresh asks.
    void Paint();
    int32_t PaintCount() const { return m_paints; }

    // ---- What the control told the container ----------------------------------------------
    const std::vector<FiredEvent>& Events() const { return m_events; }
    void ClearEvents() { m_events.clear(); }
    // DISPIDs of bound-property changes, in order.
    const std::vector<DISPID>& PropertyChanges() const { return m_propertyChanges; }
    void ClearPropertyChanges() { m_propertyChanges.clear(); }
    // The last modified state the control reported, and how many reports there were.
    BOOL Modified() const { return m_modified; }
    int32_t ModifiedReports() const { return m_modifiedReports; }
    void ClearModified() {
        m_modified = FALSE;
        m_modifiedReports = 0;
    }
    const std::vector<RECT>& PosRectChanges() const { return m_posRects; }
    const std::vector<CDialogTemplate>& Dialogs() const { return m_dialogs; }
    const std::vector<std::vector<CLSID>>& PropertyPageRequests() const { return m_pageRequests; }

    // ---- What the container answers -------------------------------------------------------
    void SetAmbient(DISPID dispid, const CVariant& value);
    void ClearAmbient(DISPID dispid);
    // The button that closes every dialog the control shows (IDOK unless set).
    void SetDialogResult(int32_t id) { m_dialogResult = id; }

    // ---- IControlSite ---------------------------------------------------------------------
    void RedrawControlNow() override { Paint(); }
    void InvalidateControl(const RECT* rect) override { m_invalid = true; }
    BOOL GetAmbientProperty(DISPID dispid, CVariant* value) override;
    void OnControlModified(BOOL modified) override;
    void OnPosRectChange(const RECT& rect) override;
    BOOL ActivateInPlace() override;
    BOOL ShowPropertyPages(const std::vector<CLSID>& pages) override;
    int32_t DoModalDialog(const CDialogTemplate& dialog) override;

private:
    void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) override;
    void Deliver(uint32_t msg, WPARAM wParam, int32_t x, int32_t y);
    void PaintIfInvalid();

    COleControl& m_control;
    CPropertyNotifyRelay m_notify{[this](DISPID dispid) { m_propertyChanges.push_back(dispid); }};
    std::unique_ptr<CDC> m_surface;
    uint32_t m_eventCookie = 0;
    uint32_t m_notifyCookie = 0;
    bool m_invalid = false;
    int32_t m_paints = 0;
    std::vector<FiredEvent> m_events;
    std::vector<DISPID> m_propertyChanges;
    BOOL m_modified = FALSE;
    int32_t m_modifiedReports = 0;
    std::vector<RECT> m_posRects;
    std::vector<CDialogTemplate> m_dialogs;
    std::vector<std::vector<CLSID>> m_pageRequests;
    std::map<DISPID, CVariant> m_ambient;
    int32_t m_dialogResult = IDOK;
};
