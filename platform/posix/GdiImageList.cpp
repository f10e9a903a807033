// Image lists: a strip of equal-width images with a mask colour, drawn over a background.
#include <algorithm>

#include "platform/Gdi.h"

BOOL CImageList::Create(const BITMAPINFO* info, const void* bits, int32_t cx, int32_t /*grow*/,
                        COLORREF mask) {
    m_pixels.clear();
    m_isMask.clear();
    m_cx = m_cy = m_count = 0;
    m_mask = mask;
    if (!info || cx <= 0) return FALSE;
    const int32_t width = info->bmiHeader.biWidth;
    const int32_t height =
        info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || width > kMaxDibDimension || height > kMaxDibDimension ||
        width / cx == 0) {
        return FALSE;
    }
    // Decoding through a scratch device keeps one reader of DIB rows for every depth.
    CDC scratch(width, height);
    if (!scratch.GetSafeHdc()) return FALSE;
    if (SetDIBitsToDevice(&scratch, 0, 0, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), bits,
                          info, DIB_RGB_COLORS) == 0) {
        return FALSE;
    }
    const uint32_t maskPixel = RGB32FromColorRef(mask);
    m_pixels.resize(size_t(width) * size_t(height));
    m_isMask.resize(m_pixels.size());
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = scratch.Row(y);
        for (int32_t x = 0; x < width; ++x) {
            const size_t at = size_t(y) * size_t(width) + size_t(x);
            m_pixels[at] = row[x];
            m_isMask[at] = row[x] == maskPixel ? 1 : 0;
        }
    }
    m_cx = cx;
    m_cy = height;
    m_count = width / cx;
    return TRUE;
}

COLORREF CImageList::SetBkColor(COLORREF color) {
    const COLORREF previous = m_bkColor;
    m_bkColor = color;
    return previous;
}

BOOL CImageList::Draw(CDC* dc, int32_t image, POINT pt, UINT /*style*/) {
    if (!dc || !dc->GetSafeHdc() || image < 0 || image >= m_count) return FALSE;
    // The stored strip is m_count * m_cx pixels wide (plus any dropped columns).
    const int64_t stripWidth = int64_t(m_pixels.size()) / m_cy;
    const int64_t left = std::max<int64_t>(pt.x, 0);
    const int64_t right = std::min<int64_t>(int64_t(pt.x) + m_cx, dc->Width());
    const int64_t top = std::max<int64_t>(pt.y, 0);
    const int64_t bottom = std::min<int64_t>(int64_t(pt.y) + m_cy, dc->Height());
    const bool paintMask = m_bkColor != CLR_NONE;
    const uint32_t background = paintMask ? dc->ResolveColor(m_bkColor) : 0;
    for (int64_t y = top; y < bottom; ++y) {
        uint32_t* dst = dc->Row(int32_t(y));
        const int64_t rowStart = (y - pt.y) * stripWidth + int64_t(image) * m_cx;
        for (int64_t x = left; x < right; ++x) {
            const size_t at = size_t(rowStart + (x - pt.x));
            if (!m_isMask[at]) {
                dst[x] = m_pixels[at];
            } else if (paintMask) {
                dst[x] = background;
            }
        }
    }
    return TRUE;
}
