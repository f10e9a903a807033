#include "playback/FrameLayout.h"

CFrameRect FrameLayout(int32_t width, int32_t height, int32_t cx, int32_t cy, BOOL maximize) {
    int32_t dw = width;
    int32_t dh = height;
    if (width > cx || height > cy || maximize) {
        const double rx = double(cx) / double(width);
        const float ry = float(cy) / float(height);
        const double s = rx < double(ry) ? rx : double(ry);
        dw = int32_t(double(width) * s);
        dh = int32_t(double(float(height)) * s);
    }
    return CFrameRect{(cx - dw) / 2, (cy - dh) / 2, dw, dh};
}

void FitSizeFor(int32_t width, int32_t height, const CFrameFit& fit, int32_t* fitWidth,
                int32_t* fitHeight) {
    *fitWidth = 0;
    *fitHeight = 0;
    if (!fit.on || width <= 0 || height <= 0 || fit.cx <= 0 || fit.cy <= 0) return;
    const CFrameRect drawn = FrameLayout(width, height, fit.cx, fit.cy, fit.maximize);
    // Only a frame drawn smaller than it is gains from a smaller decode.
    if (drawn.width >= width && drawn.height >= height) return;
    if (drawn.width <= 0 || drawn.height <= 0) return;
    *fitWidth = drawn.width;
    *fitHeight = drawn.height;
}
