#include "framework/win32/BorderTracker.h"

#include <algorithm>
#include <utility>

#include "framework/ComBase.h"

namespace {

constexpr char kTrackerProp[] = "FrameworkBorderTracker";

// Each handle: where it sits along each side (0 the low edge, 1 the middle, 2 the high edge),
// which therefore are the edges it drags, and its hit-test code.
struct HandleInfo {
    int32_t column;
    int32_t row;
    uint32_t code;
};
constexpr HandleInfo kHandles[] = {
    {0, 0, HTTOPLEFT}, {2, 0, HTTOPRIGHT}, {2, 2, HTBOTTOMRIGHT}, {0, 2, HTBOTTOMLEFT},
    {1, 0, HTTOP},     {2, 1, HTRIGHT},    {1, 2, HTBOTTOM},      {0, 1, HTLEFT},
};
constexpr int32_t kHandleCount = int32_t(sizeof kHandles / sizeof kHandles[0]);

constexpr uint32_t kResizeStyles = CRectTracker::resizeInside | CRectTracker::resizeOutside;

// A handle's offset along one side of the window: at its low edge, centred on the client
// area, or at its high edge.
int32_t Along(int32_t place, int32_t border, int32_t length) {
    if (place == 0) return 0;
    if (place == 1) return border + (length - border) / 2;
    return border + length;
}

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

void CBorderTracker::Attach(HWND hwnd) {
    Detach();
    if (!hwnd || !SetPropA(hwnd, kTrackerProp, this)) return;
    // The platform's class is an ANSI one: staying ANSI spares every message a translation.
    m_original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    if (!m_original) {
        RemovePropA(hwnd, kTrackerProp);
        return;
    }
    m_hwnd = hwnd;
}

void CBorderTracker::Detach() {
    if (!m_hwnd) return;
    SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
    RemovePropA(m_hwnd, kTrackerProp);
    m_hwnd = nullptr;
    m_original = nullptr;
    m_nStyle = 0;
}

void CBorderTracker::Show(uint32_t style, const RECT& pos) {
    if (!m_hwnd || style == m_nStyle) return;
    m_nStyle = style;
    Place(pos);
}

void CBorderTracker::Place(const RECT& pos) {
    if (!m_hwnd) return;
    const int32_t b = IsShown() ? Border() : 0;
    // The frame changes with the border; the client area keeps its size but moves within the
    // window, so none of its old bits are worth copying.
    SetWindowPos(m_hwnd, nullptr, pos.left - b, pos.top - b, pos.right - pos.left + 2 * b,
                 pos.bottom - pos.top + 2 * b,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOCOPYBITS);
}

void CBorderTracker::Reset(int32_t width, int32_t height) {
    const int32_t n = m_nHandleSize - 1;
    m_rect = CRect(-n, -n, width - n, height - n);
}

SIZE CBorderTracker::ClientSize() const {
    RECT client{};
    if (m_hwnd) GetClientRect(m_hwnd, &client);
    return SIZE{client.right, client.bottom};
}

RECT CBorderTracker::HandleRect(int32_t handle) const {
    const SIZE client = ClientSize();
    const int32_t b = Border();
    const int32_t x = Along(kHandles[handle].column, b, client.cx);
    const int32_t y = Along(kHandles[handle].row, b, client.cy);
    return RECT{x, y, x + b, y + b};
}

uint32_t CBorderTracker::HitTest(POINT p) const {
    const SIZE client = ClientSize();
    const int32_t b = Border();
    if (!Inside(RECT{0, 0, client.cx + 2 * b, client.cy + 2 * b}, p)) return HTNOWHERE;
    if (Inside(RECT{b, b, b + client.cx, b + client.cy}, p)) return HTCLIENT;
    if (m_nStyle & kResizeStyles) {
        for (int32_t i = 0; i < kHandleCount; ++i)
            if (Inside(HandleRect(i), p)) return kHandles[i].code;
    }
    return HTBORDER;
}

void CBorderTracker::Draw(HDC dc) const {
    const SIZE client = ClientSize();
    const int32_t b = Border();
    const RECT window{0, 0, client.cx + 2 * b, client.cy + 2 * b};
    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, b, b, b + client.cx, b + client.cy);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    HBRUSH hatch = (m_nStyle & hatchedBorder)
                       ? CreateHatchBrush(HS_BDIAGONAL, GetSysColor(COLOR_3DSHADOW))
                       : nullptr;
    FillRect(dc, &window, hatch ? hatch : GetSysColorBrush(COLOR_WINDOW));
    if (hatch) DeleteObject(hatch);
    if (m_nStyle & kResizeStyles) {
        for (int32_t i = 0; i < kHandleCount; ++i) {
            const RECT handle = HandleRect(i);
            FillRect(dc, &handle, GetSysColorBrush(COLOR_WINDOWTEXT));
        }
    }
    RestoreDC(dc, saved);
}

LRESULT CALLBACK CBorderTracker::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CBorderTracker*>(GetPropA(hwnd, kTrackerProp));
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->WindowProc(msg, wParam, lParam);
}

LRESULT CBorderTracker::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = m_hwnd;
    const WNDPROC original = m_original;
    if (msg == WM_NCDESTROY) {
        Detach();
        return CallWindowProcA(original, hwnd, msg, wParam, lParam);
    }
    if (!IsShown()) return CallWindowProcA(original, hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_NCCALCSIZE: {
            RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(lParam);
            const int32_t b = Border();
            r->left += b;
            r->top += b;
            r->right = std::max(r->left, r->right - b);
            r->bottom = std::max(r->top, r->bottom - b);
            return 0;
        }
        case WM_NCPAINT: {
            HDC dc = GetWindowDC(hwnd);
            if (dc) {
                Draw(dc);
                ReleaseDC(hwnd, dc);
            }
            return 0;
        }
        case WM_NCHITTEST: {
            RECT window{};
            GetWindowRect(hwnd, &window);
            return HitTest(
                POINT{GET_X_LPARAM(lParam) - window.left, GET_Y_LPARAM(lParam) - window.top});
        }
        case WM_SETCURSOR:
            // The system gives the handles their sizing cursors; the band moves.
            if (LOWORD(lParam) == HTBORDER && (m_nStyle & kResizeStyles)) {
                SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
                return TRUE;
            }
            break;
        case WM_NCLBUTTONDOWN: {
            // The control measures a press in its container's client area.
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), &p, 1);
            // The last reference may go during the drag and take this tracker with it: nothing
            // of it is touched once the held one is let go.
            const CComPtr<IUnknown> held(&m_owner);
            return CallWindowProcA(original, hwnd, msg, wParam, MAKELPARAM(p.x, p.y));
        }
        case WM_PRINT:
            // The system's printing knows nothing of this frame: the band first, then the
            // client area moved inside it.
            if (lParam & PRF_NONCLIENT) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                Draw(dc);
                const SIZE client = ClientSize();
                const int saved = SaveDC(dc);
                OffsetViewportOrgEx(dc, Border(), Border(), nullptr);
                IntersectClipRect(dc, 0, 0, client.cx, client.cy);
                const LRESULT result =
                    CallWindowProcA(original, hwnd, msg, wParam, lParam & ~LPARAM(PRF_NONCLIENT));
                RestoreDC(dc, saved);
                return result;
            }
            break;
        default:
            break;
    }
    return CallWindowProcA(original, hwnd, msg, wParam, lParam);
}

BOOL CBorderTracker::Track(COleControl*, CPoint point, BOOL allowInvert, COleControl*) {
    if (!IsShown() || m_tracking) return FALSE;
    const HWND hwnd = m_hwnd;
    const uint32_t hit = HitTest(POINT{point.x + Border(), point.y + Border()});
    if (hit == HTCLIENT || hit == HTNOWHERE) return FALSE;
    m_hit = -1;
    for (int32_t i = 0; i < kHandleCount; ++i)
        if (kHandles[i].code == hit) m_hit = i;
    m_start = m_rect;
    m_press = point;
    m_allowInvert = allowInvert != FALSE;
    m_tracking = true;

    // The positions come from the messages themselves, not from the cursor, so that whatever
    // posts them drives the drag.
    SetCapture(hwnd);
    InvertOutline();
    bool accepted = false;
    bool done = false;
    while (!done && m_hwnd == hwnd && GetCapture() == hwnd) {
        MSG msg;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(int(msg.wParam));  // the application's loop ends too
            break;
        }
        switch (msg.message) {
            case WM_MOUSEMOVE:
            case WM_LBUTTONUP: {
                if (msg.message == WM_MOUSEMOVE && !(msg.wParam & MK_LBUTTON)) {
                    done = true;  // the release went elsewhere
                    break;
                }
                POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
                if (msg.hwnd != hwnd) MapWindowPoints(msg.hwnd, hwnd, &p, 1);
                InvertOutline();
                Follow(p);
                InvertOutline();
                if (msg.message == WM_LBUTTONUP) accepted = done = true;
                break;
            }
            case WM_KEYDOWN:
                if (msg.wParam == VK_ESCAPE) done = true;
                break;
            case WM_KEYUP:
            case WM_CHAR:
                break;  // the drag has the keyboard
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
                done = true;
                break;
            default:
                DispatchMessageA(&msg);
                break;
        }
    }
    // A window ended or detached meanwhile is no longer the drag's to draw on.
    const bool alive = m_hwnd == hwnd;
    if (alive) InvertOutline();
    if (GetCapture() == hwnd) ReleaseCapture();
    m_tracking = false;
    if (!accepted || !alive) {
        m_rect = m_start;
        return FALSE;
    }
    return TRUE;
}

void CBorderTracker::Follow(POINT p) {
    const int32_t dx = p.x - m_press.x;
    const int32_t dy = p.y - m_press.y;
    CRect r = m_start;
    if (m_hit < 0) {
        r = CRect(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
    } else {
        const HandleInfo& h = kHandles[m_hit];
        // An edge stops a pixel short of the opposite one unless the rectangle may turn over.
        if (h.column == 0)
            r.left = m_allowInvert ? r.left + dx : std::min(r.left + dx, r.right - 1);
        if (h.column == 2)
            r.right = m_allowInvert ? r.right + dx : std::max(r.right + dx, r.left + 1);
        if (h.row == 0) r.top = m_allowInvert ? r.top + dy : std::min(r.top + dy, r.bottom - 1);
        if (h.row == 2)
            r.bottom = m_allowInvert ? r.bottom + dy : std::max(r.bottom + dy, r.top + 1);
        if (r.left > r.right) std::swap(r.left, r.right);
        if (r.top > r.bottom) std::swap(r.top, r.bottom);
    }
    m_rect = r;
}

void CBorderTracker::InvertOutline() const {
    const HWND parent = m_hwnd ? GetParent(m_hwnd) : nullptr;
    if (!parent) return;
    POINT origin{0, 0};
    MapWindowPoints(m_hwnd, parent, &origin, 1);
    const int32_t n = m_nHandleSize - 1;
    const RECT outline{origin.x + m_rect.left + n, origin.y + m_rect.top + n,
                       origin.x + m_rect.right + n, origin.y + m_rect.bottom + n};
    // Without the parent's own clipping, so the outline shows over the control's window too.
    HDC dc = GetDCEx(parent, nullptr, DCX_CACHE);
    if (!dc) return;
    DrawFocusRect(dc, &outline);
    ReleaseDC(parent, dc);
}
