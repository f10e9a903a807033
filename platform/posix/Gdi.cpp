// The device context: its surface, pixels, palette selection and solid fills.
#include "platform/Gdi.h"

#include <algorithm>
#include <new>

namespace {

std::vector<uint32_t> PaletteColors(HPALETTE palette) {
    std::vector<uint32_t> colors;
    const UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
    if (count == 0) return colors;
    std::vector<PALETTEENTRY> entries(count);
    const UINT copied = GetPaletteEntries(palette, 0, count, entries.data());
    colors.reserve(copied);
    for (UINT i = 0; i < copied; ++i) {
        colors.push_back((uint32_t(entries[i].peRed) << 16) | (uint32_t(entries[i].peGreen) << 8) |
                         entries[i].peBlue);
    }
    return colors;
}

}  // namespace

CDC::CDC() : m_palette(GetStockPalette()), m_realized(PaletteColors(m_palette)) {}

CDC::CDC(int32_t width, int32_t height) : CDC() {
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxSurfacePixels) return;
    m_own.reset(new (std::nothrow) uint32_t[size_t(width) * size_t(height)]());
    if (!m_own) return;
    m_pixels = m_own.get();
    m_width = width;
    m_height = height;
    m_stride = width * 4;
}

CDC::CDC(uint32_t* pixels, int32_t width, int32_t height, int32_t strideBytes) : CDC() {
    if (!pixels || width <= 0 || height <= 0 || strideBytes % 4 != 0 ||
        int64_t(strideBytes) < int64_t(width) * 4) {
        return;
    }
    m_pixels = pixels;
    m_width = width;
    m_height = height;
    m_stride = strideBytes;
}

CDC::~CDC() = default;

uint32_t CDC::GetPixelRGB32(int32_t x, int32_t y) const {
    if (!m_pixels || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    return Row(y)[x];
}

COLORREF CDC::GetPixel(int32_t x, int32_t y) const {
    if (!m_pixels || x < 0 || y < 0 || x >= m_width || y >= m_height) return CLR_INVALID;
    return ColorRefFromRGB32(Row(y)[x]);
}

void CDC::SetPixel(int32_t x, int32_t y, COLORREF color) {
    if (!m_pixels || x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    Row(y)[x] = ResolveColor(color);
}

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL /*forceBackground*/) {
    if (GetPaletteEntries(palette, 0, 0, nullptr) == 0) return nullptr;
    HPALETTE previous = m_palette;
    m_palette = palette;
    return previous;
}

UINT CDC::RealizePalette() {
    std::vector<uint32_t> colors = PaletteColors(m_palette);
    if (colors.empty()) {
        m_palette = GetStockPalette();
        colors = PaletteColors(m_palette);
    }
    m_realized = std::move(colors);
    return UINT(m_realized.size());
}

int32_t CDC::SetStretchBltMode(int32_t mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    const int32_t previous = m_stretchMode;
    m_stretchMode = mode;
    return previous;
}

uint32_t CDC::ResolveColor(COLORREF color) const {
    if ((color >> 24) == 0x01) {
        PALETTEENTRY entry{};
        if (GetPaletteEntries(m_palette, color & 0xFFFFu, 1, &entry) != 1) {
            return 0;  // an index past the palette draws black, as the blits do
        }
        return (uint32_t(entry.peRed) << 16) | (uint32_t(entry.peGreen) << 8) | entry.peBlue;
    }
    return RGB32FromColorRef(color);
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
    if (!m_pixels) return;
    const int32_t left = std::max(rect.left, 0);
    const int32_t top = std::max(rect.top, 0);
    const int32_t right = std::min(rect.right, m_width);
    const int32_t bottom = std::min(rect.bottom, m_height);
    if (left >= right || top >= bottom) return;
    const uint32_t pixel = ResolveColor(color);
    for (int32_t y = top; y < bottom; ++y) {
        uint32_t* row = Row(y);
        std::fill(row + left, row + right, pixel);
    }
}

void CDC::FillSolidRect(int32_t x, int32_t y, int32_t cx, int32_t cy, COLORREF color) {
    // Widened so a rectangle reaching past INT32_MAX clips instead of wrapping.
    const int64_t right = std::min<int64_t>(int64_t(x) + cx, INT32_MAX);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + cy, INT32_MAX);
    RECT rect{x, y, int32_t(std::max<int64_t>(right, INT32_MIN)),
              int32_t(std::max<int64_t>(bottom, INT32_MIN))};
    FillSolidRect(rect, color);
}
