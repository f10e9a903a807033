// Small window types the control framework hands to its message handlers.
#pragma once

#include "platform/Types.h"
#include "platform/Window.h"

class CPoint : public POINT {
public:
    CPoint() = default;
    CPoint(int32_t px, int32_t py) : POINT{px, py} {}
    CPoint(const POINT& p) : POINT(p) {}  // NOLINT: implicit like the framework's
    friend bool operator==(const CPoint& a, const CPoint& b) { return a.x == b.x && a.y == b.y; }
};

#ifndef _WIN32
// What WM_CREATE carries in its lParam: the window's position in its container.
struct CREATESTRUCT {
    int32_t x = 0;
    int32_t y = 0;
    int32_t cx = 0;
    int32_t cy = 0;
};
using LPCREATESTRUCT = CREATESTRUCT*;

// Hit-test codes of WM_NCLBUTTONDOWN.
constexpr uint32_t HTCLIENT = 1;
constexpr uint32_t HTHSCROLL = 6;
constexpr uint32_t HTVSCROLL = 7;
// The handles of a resize border; the band between them is HTBORDER.
constexpr uint32_t HTLEFT = 10;
constexpr uint32_t HTRIGHT = 11;
constexpr uint32_t HTTOP = 12;
constexpr uint32_t HTTOPLEFT = 13;
constexpr uint32_t HTTOPRIGHT = 14;
constexpr uint32_t HTBOTTOM = 15;
constexpr uint32_t HTBOTTOMLEFT = 16;
constexpr uint32_t HTBOTTOMRIGHT = 17;
constexpr uint32_t HTBORDER = 18;
#endif  // _WIN32

// HIMETRIC (0.01 mm) from and to pixels of the 96-dot-per-inch screen, rounded to nearest.
constexpr int32_t kScreenDpi = 96;
constexpr int32_t PixelsToHimetric(int32_t px) {
    int64_t v = int64_t(px) * 2540;
    return int32_t(v >= 0 ? (v + kScreenDpi / 2) / kScreenDpi : (v - kScreenDpi / 2) / kScreenDpi);
}
constexpr int32_t HimetricToPixels(int32_t hm) {
    int64_t v = int64_t(hm) * kScreenDpi;
    return int32_t(v >= 0 ? (v + 1270) / 2540 : (v - 1270) / 2540);
}
