#include "playback/FrameLayout.h"

#include "image/Image.h"

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

void DrawFramePicture(CDC* dc, CImage& image, int32_t cx, int32_t cy, BOOL maximize,
                      COLORREF back) {
    // A control shorter than its strip has no picture area; the scale below would turn
    // negative and mirror the frame over the strip.
    if (cx <= 0 || cy <= 0) return;
    if (!image.IsValid()) {
        dc->FillSolidRect(0, 0, cx, cy, back);
        return;
    }
    CImagePalette* palette = image.GetPalette();
    if (palette == nullptr) return;  // every frame the reader makes carries one

    // A frame decoded smaller than its file is laid out at the file's size, so it lands where
    // the whole frame would; the draw then stretches what was decoded into that rectangle.
    const int32_t w = image.GetFullWidth();
    const int32_t h = image.GetFullHeight();
    if (w <= 0 || h <= 0) {  // pixels without a size: nothing to scale
        dc->FillSolidRect(0, 0, cx, cy, back);
        return;
    }

    const HPALETTE previous = dc->SelectPalette(*palette, TRUE);
    dc->RealizePalette();

    const CFrameRect drawn = FrameLayout(w, h, cx, cy, maximize);
    const int32_t x0 = drawn.x, y0 = drawn.y, dw = drawn.width, dh = drawn.height;
    image.StretchDraw(dc, x0, y0, dw, dh, 0, 0, -1, -1);

    // Only the bands are filled: the area under the frame is never cleared, so it does not
    // flicker.
    dc->FillSolidRect(CRect(0, 0, x0, cy), back);
    dc->FillSolidRect(CRect(x0 + dw, 0, cx, cy), back);
    dc->FillSolidRect(CRect(0, 0, cx, y0), back);
    dc->FillSolidRect(CRect(0, y0 + dh, cx, cy), back);

    if (previous != nullptr) dc->SelectPalette(previous, TRUE);
}
