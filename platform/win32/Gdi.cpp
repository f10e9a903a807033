// The graphics device over the system's GDI and comctl32.
#include "platform/Gdi.h"

#include <algorithm>
#include <cstring>
#include <memory>

HPALETTE GetStockPalette() {
    return static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
}

// ---- CDC ---------------------------------------------------------------------------------

CDC::CDC() = default;

CDC::CDC(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxSurfacePixels) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the software device's rows are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        ::DeleteObject(bitmap);
        return;
    }
    m_hdc = dc;
    m_own = true;
    m_bitmap = bitmap;
    m_oldBitmap = SelectObject(dc, bitmap);
    m_pixels = static_cast<uint32_t*>(bits);
    m_width = width;
    m_height = height;
    GdiFlush();
    std::memset(m_pixels, 0, size_t(width) * size_t(height) * 4);
}

CDC::CDC(HDC attached) : m_hdc(attached) {
    RECT box{};
    if (attached && GetClipBox(attached, &box) != ERROR) {
        m_width = box.right;
        m_height = box.bottom;
    }
}

CDC::~CDC() {
    if (!m_own) return;
    SelectObject(m_hdc, m_oldBitmap);
    DeleteDC(m_hdc);
    ::DeleteObject(m_bitmap);
}

COLORREF CDC::GetPixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || !m_hdc) return CLR_INVALID;
    return ColorRefFromRGB32(GetPixelRGB32(x, y));
}

uint32_t CDC::GetPixelRGB32(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || !m_hdc) return 0;
    if (m_pixels) {
        GdiFlush();
        return Row(y)[x] & 0x00FFFFFFu;
    }
    const COLORREF c = ::GetPixel(m_hdc, x, y);
    return c == CLR_INVALID ? 0 : RGB32FromColorRef(c);
}

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL forceBackground) {
    return m_hdc ? ::SelectPalette(m_hdc, palette, forceBackground) : nullptr;
}

UINT CDC::RealizePalette() {
    return m_hdc ? ::RealizePalette(m_hdc) : 0;
}

int32_t CDC::SetStretchBltMode(int32_t mode) {
    return m_hdc ? ::SetStretchBltMode(m_hdc, mode) : 0;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
    if (!m_hdc || rect.right <= rect.left || rect.bottom <= rect.top) return;
    // An opaque empty text run fills with the background colour without making a brush.
    const COLORREF old = ::SetBkColor(m_hdc, color);
    ExtTextOutA(m_hdc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hdc, old);
}

void CDC::FillSolidRect(int32_t x, int32_t y, int32_t cx, int32_t cy, COLORREF color) {
    const RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(rect, color);
}

// ---- CImageList ----------------------------------------------------------------------------

CImageList::~CImageList() {
    if (m_list) ImageList_Destroy(m_list);
}

BOOL CImageList::Create(const BITMAPINFO* info, const void* bits, int32_t cx, int32_t grow,
                        COLORREF mask) {
    if (m_list) {
        ImageList_Destroy(m_list);
        m_list = nullptr;
    }
    if (!info || !bits || cx <= 0) return FALSE;
    const int32_t width = info->bmiHeader.biWidth;
    const int32_t height = std::abs(info->bmiHeader.biHeight);
    if (width <= 0 || height <= 0 || width > kMaxDibDimension || height > kMaxDibDimension ||
        width / cx == 0) {
        return FALSE;
    }
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bits, info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (!bitmap) return FALSE;
    m_list = ImageList_Create(cx, height, ILC_COLOR24 | ILC_MASK, width / cx, std::max(grow, 0));
    if (m_list && ImageList_AddMasked(m_list, bitmap, mask) < 0) {
        ImageList_Destroy(m_list);
        m_list = nullptr;
    }
    ::DeleteObject(bitmap);
    m_pictures.reset();
    m_masks.reset();
    if (!m_list) return FALSE;
    m_cx = cx;
    m_cy = height;
    const int32_t count = ImageList_GetImageCount(m_list);
    auto pictures = std::make_unique<CDC>(cx * count, height);
    auto masks = std::make_unique<CDC>(cx * count, height);
    if (pictures->GetSafeHdc() && masks->GetSafeHdc() &&
        SetDIBitsToDevice(pictures->GetSafeHdc(), 0, 0, width, height, 0, 0, 0, height, bits, info,
                          DIB_RGB_COLORS) != 0) {
        GdiFlush();
        // As the list keys them: pixels of the mask colour are transparent, and black in the
        // picture so that a masked blit leaves what is under them.
        const uint32_t key = uint32_t(GetRValue(mask)) << 16 | uint32_t(GetGValue(mask)) << 8 |
                             uint32_t(GetBValue(mask));
        for (int32_t y = 0; y < height; ++y) {
            uint32_t* picture = pictures->Row(y);
            uint32_t* cut = masks->Row(y);
            for (int32_t x = 0; x < cx * count; ++x) {
                if ((picture[x] & 0xFFFFFF) == key) {
                    picture[x] = 0;
                    cut[x] = 0xFFFFFF;
                }
            }
        }
        m_pictures = std::move(pictures);
        m_masks = std::move(masks);
    }
    return TRUE;
}

int32_t CImageList::GetImageCount() const {
    return m_list ? ImageList_GetImageCount(m_list) : 0;
}

COLORREF CImageList::SetBkColor(COLORREF color) {
    return m_list ? ImageList_SetBkColor(m_list, color) : CLR_NONE;
}

COLORREF CImageList::GetBkColor() const {
    return m_list ? ImageList_GetBkColor(m_list) : CLR_NONE;
}

BOOL CImageList::Draw(CDC* dc, int32_t image, POINT pt, UINT style) {
    if (!m_list || !dc || !dc->GetSafeHdc() || image < 0 || image >= GetImageCount()) {
        return FALSE;
    }
    if (style != ILD_NORMAL || !m_pictures) {
        return ImageList_Draw(m_list, image, dc->GetSafeHdc(), pt.x, pt.y, style);
    }
    // The list's background where the mask is white, else the picture; none: transparent.
    HDC target = dc->GetSafeHdc();
    const COLORREF back = ImageList_GetBkColor(m_list);
    if (back != CLR_NONE) dc->FillSolidRect(pt.x, pt.y, m_cx, m_cy, back);
    return BitBlt(target, pt.x, pt.y, m_cx, m_cy, m_masks->GetSafeHdc(), image * m_cx, 0, SRCAND) &&
           BitBlt(target, pt.x, pt.y, m_cx, m_cy, m_pictures->GetSafeHdc(), image * m_cx, 0,
                  SRCPAINT);
}

// ---- CBoundsDC -----------------------------------------------------------------------------

CBoundsDC::CBoundsDC(CDC* dc, const CRect& bounds) : m_dc(dc), m_bounds(bounds) {
    if (!dc || !dc->GetSafeHdc()) return;
    HDC hdc = dc->GetSafeHdc();
    m_saved = SaveDC(hdc);
    IntersectClipRect(hdc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    OffsetViewportOrgEx(hdc, bounds.left, bounds.top, nullptr);
}

CBoundsDC::~CBoundsDC() {
    if (m_saved) RestoreDC(m_dc->GetSafeHdc(), m_saved);
}

CDC* CBoundsDC::Device() {
    return m_dc ? m_dc : &m_none;
}
