// A small control on the framework, declaring one member of each automation type.
#pragma once

#include <thread>
#include <vector>

#include "framework/OleControl.h"

constexpr uint32_t kSamplePrivateMessage = WM_USER + 100;

class CSampleCtrl : public COleControl {
public:
    enum : DISPID {
        kName = 1,
        kFlag = 2,
        kCount = 3,
        kDelay = 4,
        kTint = 5,
        kLabel = 6,
        kState = 7,
        kReadOnly = 8,
        kPing = 9
    };
    enum : DISPID { kEventClicked = 1, kEventToggled = 2 };

    CSampleCtrl() { OnMessage(kSamplePrivateMessage, &CSampleCtrl::OnPrivate); }

    const CDispatchMap& GetDispatchMap() const override {
        static const CDispatchMap map =
            CDispMapBuilder<CSampleCtrl>()
                .Property<VT_BSTR>("Name", kName, &CSampleCtrl::GetName, &CSampleCtrl::SetName)
                .Persist("Name", &CSampleCtrl::m_strName, "", 1)
                .Property<VT_BOOL>("Flag", kFlag, &CSampleCtrl::GetFlag, &CSampleCtrl::SetFlag)
                .Persist("Flag", &CSampleCtrl::m_bFlag, TRUE, 3)
                .Property<VT_I2>("Count", kCount, &CSampleCtrl::GetCount, &CSampleCtrl::SetCount)
                .Persist("Count", &CSampleCtrl::m_nCount, 7, 4)
                .Property<VT_I4>("Delay", kDelay, &CSampleCtrl::GetDelay, &CSampleCtrl::SetDelay)
                .Persist("Delay", &CSampleCtrl::m_lDelay, 500, 5)
                .Property<VT_COLOR>("Tint", kTint, &CSampleCtrl::GetTint, &CSampleCtrl::SetTint)
                .Persist("Tint", &CSampleCtrl::m_clrTint, 0x000000FFu, 2)
                .Property<VT_BSTR>("Label", kLabel, &CSampleCtrl::GetLabel, &CSampleCtrl::SetLabel)
                .Property<VT_BOOL>("State", kState, &CSampleCtrl::GetState, &CSampleCtrl::SetState)
                .Persist("State", &CSampleCtrl::m_nState, FALSE)
                .Property<VT_I4>("ReadOnly", kReadOnly, &CSampleCtrl::GetReadOnly, nullptr)
                .Method("Ping", kPing, &CSampleCtrl::Ping)
                .StockBackColor()
                .StockAboutBox()
                .Build();
        return map;
    }

    const CEventMap& GetEventMap() const override {
        static const CEventMap map =
            CEventMapBuilder()
                .Event("Clicked", kEventClicked, {{"X", VT_I2}, {"Y", VT_I2}})
                .Event("Toggled", kEventToggled, {{"value", VT_BOOL}})
                .Build();
        return map;
    }

    void DoPropExchange(CPropExchange* px) override {
        ExchangeVersion(px, 0x00010000);
        COleControl::DoPropExchange(px);
        ExchangeDispatchProperties(px);
    }

    std::vector<CLSID> GetPropPageIDs() const override { return {CLSID_StockColorPage}; }

    void AboutBox() override {
        CDialogTemplate about;
        about.id = 1;
        about.caption = "About Sample";
        about.items.push_back({IDOK, DialogItemKind::DefPushButton, "OK", 10, 10, 32, 14});
        m_aboutResult = DoModalDialog(about);
        ++m_aboutCalls;
    }

    // Getters and setters, as automation reaches them.
    CString GetName() { return m_strName; }
    void SetName(const CString& v) { m_strName = v; }
    BOOL GetFlag() { return m_bFlag; }
    void SetFlag(BOOL v) { m_bFlag = v; }
    int16_t GetCount() { return m_nCount; }
    void SetCount(int16_t v) { m_nCount = v; }
    int32_t GetDelay() { return m_lDelay; }
    void SetDelay(int32_t v) { m_lDelay = v; }
    OLE_COLOR GetTint() { return m_clrTint; }
    void SetTint(OLE_COLOR v) { m_clrTint = v; }
    CString GetLabel() { return m_strLabel; }
    void SetLabel(const char* v) { m_strLabel = v; }
    BOOL GetState() { return m_nState != 0 ? 1 : 0; }
    void SetState(BOOL v) { m_nState = v; }
    int32_t GetReadOnly() { return 42; }
    void Ping() { ++m_pings; }

    // The framework's protected services, opened for the tests.
    using COleControl::BoundPropertyChanged;
    using COleControl::FireEvent;
    using COleControl::GetExtent;
    using COleControl::GetVersion;
    using COleControl::InvalidateControl;
    using COleControl::Refresh;

    struct Message {
        uint32_t msg;
        uint32_t flags;
        CPoint point;
        std::thread::id thread;
    };

    CString m_strName;
    BOOL m_bFlag = 99;  // not a default: shows whether the exchange ran
    int16_t m_nCount = 99;
    int32_t m_lDelay = 99;
    OLE_COLOR m_clrTint = 99;
    CString m_strLabel;
    int32_t m_nState = 0;
    int32_t m_pings = 0;
    int32_t m_aboutCalls = 0;
    int32_t m_aboutResult = 0;
    int32_t m_backColorChanges = 0;
    int32_t m_draws = 0;
    CRect m_lastBounds;
    int32_t m_createResult = 0;
    std::vector<Message> m_messages;

protected:
    void OnDraw(CDC* dc, const CRect& bounds, const CRect& invalid) override {
        ++m_draws;
        m_lastBounds = bounds;
        dc->FillSolidRect(bounds, m_clrTint & 0x00FFFFFF);
    }
    void OnBackColorChanged() override {
        ++m_backColorChanges;
        COleControl::OnBackColorChanged();
    }
    int32_t OnCreate(LPCREATESTRUCT cs) override {
        Record(WM_CREATE, 0, CPoint(cs->cx, cs->cy));
        return m_createResult;
    }
    void OnDestroy() override { Record(WM_DESTROY, 0, CPoint()); }
    void OnSize(uint32_t type, int32_t cx, int32_t cy) override {
        Record(WM_SIZE, type, CPoint(cx, cy));
    }
    void OnLButtonDown(uint32_t f, CPoint p) override { Record(WM_LBUTTONDOWN, f, p); }
    void OnLButtonUp(uint32_t f, CPoint p) override { Record(WM_LBUTTONUP, f, p); }
    void OnMouseMove(uint32_t f, CPoint p) override { Record(WM_MOUSEMOVE, f, p); }
    void OnRButtonDown(uint32_t f, CPoint p) override { Record(WM_RBUTTONDOWN, f, p); }
    void OnNcLButtonDown(uint32_t hit, CPoint p) override { Record(WM_NCLBUTTONDOWN, hit, p); }

private:
    LRESULT OnPrivate(WPARAM w, LPARAM l) {
        Record(kSamplePrivateMessage, uint32_t(w), CPoint(int32_t(l), 0));
        Refresh();
        return 1;
    }
    void Record(uint32_t msg, uint32_t flags, CPoint p) {
        m_messages.push_back({msg, flags, p, std::this_thread::get_id()});
    }
};
