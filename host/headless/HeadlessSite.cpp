#include "host/headless/HeadlessSite.h"

#include <algorithm>
#include <chrono>

#include "codecs/PngImpl.h"

namespace {

// How long PumpUntil waits for a message before it looks at its condition again: the
// condition may depend on another thread that posts nothing.
constexpr uint32_t kPollSliceMs = 5;

}  // namespace

CHeadlessSite::CHeadlessSite(COleControl& control, int32_t cx, int32_t cy)
    : m_control(control), m_surface(std::make_unique<CDC>(cx, cy)) {
    m_control.SetClientSite(this);
    m_control.SetRectInContainer(CRect(0, 0, cx, cy));
    m_eventCookie = m_control.AdviseEvents(this);
    m_notifyCookie = m_control.AdvisePropertyNotify(&m_notify);
}

CHeadlessSite::~CHeadlessSite() {
    DestroyControlWindow();
    m_control.UnadvisePropertyNotify(m_notifyCookie);
    m_control.UnadviseEvents(m_eventCookie);
    m_control.SetClientSite(nullptr);
}

BOOL CHeadlessSite::CreateControlWindow() {
    if (IsWindowLive()) return TRUE;
    if (!m_control.CreateControlWindow(CRect(0, 0, Width(), Height()))) return FALSE;
    m_control.SetInPlaceActive(TRUE);
    Paint();
    return TRUE;
}

void CHeadlessSite::DestroyControlWindow() {
    m_control.SetInPlaceActive(FALSE);
    m_control.DestroyControlWindow();
}

int32_t CHeadlessSite::Pump() {
    int32_t delivered = PumpMessages();
    PaintIfInvalid();
    return delivered;
}

bool CHeadlessSite::PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Pump();
        if (done()) return true;
        auto now = Clock::now();
        if (now >= deadline) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        WaitMessage(std::min<uint32_t>(kPollSliceMs, uint32_t(left) + 1));
    }
}

void CHeadlessSite::Deliver(uint32_t msg, WPARAM wParam, int32_t x, int32_t y) {
    HWND hwnd = GetHwnd();
    if (!hwnd) return;
    SendMessage(hwnd, msg, wParam, MAKELPARAM(x, y));
    PaintIfInvalid();
}

void CHeadlessSite::MouseMove(int32_t x, int32_t y, uint32_t flags) {
    Deliver(WM_MOUSEMOVE, flags, x, y);
}

void CHeadlessSite::LButtonDown(int32_t x, int32_t y, uint32_t flags) {
    Deliver(WM_LBUTTONDOWN, flags, x, y);
}

void CHeadlessSite::LButtonUp(int32_t x, int32_t y, uint32_t flags) {
    Deliver(WM_LBUTTONUP, flags, x, y);
}

void CHeadlessSite::RButtonDown(int32_t x, int32_t y, uint32_t flags) {
    Deliver(WM_RBUTTONDOWN, flags, x, y);
}

void CHeadlessSite::Click(int32_t x, int32_t y) {
    LButtonDown(x, y);
    LButtonUp(x, y);
}

void CHeadlessSite::NcLButtonDown(uint32_t hitTest, int32_t x, int32_t y) {
    Deliver(WM_NCLBUTTONDOWN, hitTest, x, y);
}

void CHeadlessSite::Resize(int32_t cx, int32_t cy) {
    m_surface = std::make_unique<CDC>(cx, cy);
    CRect pos = m_control.GetRectInContainer();
    m_control.SetRectInContainer(CRect(pos.left, pos.top, pos.left + cx, pos.top + cy));
    if (IsWindowLive()) Paint();
}

void CHeadlessSite::Paint() {
    CRect bounds(0, 0, Width(), Height());
    m_invalid = false;
    ++m_paints;
    m_control.Draw(m_surface.get(), bounds, bounds);
}

void CHeadlessSite::PaintIfInvalid() {
    if (m_invalid && IsWindowLive()) Paint();
}

void CHeadlessSite::SetAmbient(DISPID dispid, const CVariant& value) {
    m_ambient[dispid] = value;
    m_control.OnAmbientPropertyChange(dispid);
}

void CHeadlessSite::ClearAmbient(DISPID dispid) {
    if (m_ambient.erase(dispid)) m_control.OnAmbientPropertyChange(dispid);
}

BOOL CHeadlessSite::GetAmbientProperty(DISPID dispid, CVariant* value) {
    auto it = m_ambient.find(dispid);
    if (it == m_ambient.end()) return FALSE;
    *value = it->second;
    return TRUE;
}

void CHeadlessSite::OnControlModified(BOOL modified) {
    m_modified = modified;
    ++m_modifiedReports;
}

void CHeadlessSite::OnPosRectChange(const RECT& rect) {
    m_posRects.push_back(rect);
    CRect r(rect);
    m_control.SetRectInContainer(r);
    if (r.Width() != Width() || r.Height() != Height()) {
        m_surface = std::make_unique<CDC>(r.Width(), r.Height());
        m_invalid = true;
    }
}

BOOL CHeadlessSite::ActivateInPlace() {
    return CreateControlWindow();
}

BOOL CHeadlessSite::ShowPropertyPages(const std::vector<CLSID>& pages) {
    m_pageRequests.push_back(pages);
    return pages.empty() ? FALSE : TRUE;
}

int32_t CHeadlessSite::DoModalDialog(const CDialogTemplate& dialog) {
    m_dialogs.push_back(dialog);
    return m_dialogResult;
}

void CHeadlessSite::OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) {
    m_events.push_back(FiredEvent{dispid, name, args});
}

BOOL CHeadlessSite::SavePng(const CString& path) const {
    if (path.empty()) return FALSE;
    const int32_t width = m_surface->Width(), height = m_surface->Height();
    CPngImpl png(path);
    if (png.Create(width, height, 24, kColorTypeColor) == 0) return FALSE;
    for (int32_t y = 0; y < height; ++y) {
        BYTE* row = png.PictureRow(y);
        for (int32_t x = 0; x < width; ++x) {
            const COLORREF c = m_surface->GetPixel(x, y);
            row[3 * x + 0] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return png.Write(path);
}
