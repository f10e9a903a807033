#include "image/ImagePalette.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A LOGPALETTE with room for count entries; the structure declares only one.
class LogPaletteBuffer {
public:
    explicit LogPaletteBuffer(int32_t count)
        : bytes(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * size_t(std::max(count, 1) - 1)) {
        auto* log = Get();
        log->palVersion = 0x300;
        log->palNumEntries = WORD(count);
    }
    LOGPALETTE* Get() { return reinterpret_cast<LOGPALETTE*>(bytes.data()); }
    PALETTEENTRY* Entries() { return Get()->palPalEntry; }

private:
    std::vector<uint8_t> bytes;
};

}  // namespace

CImagePalette::~CImagePalette() {
    if (handle) DeleteObject(handle);
}

BOOL CImagePalette::CreateFromArrays(int32_t count, const BYTE* red, const BYTE* green,
                                     const BYTE* blue) {
    if (handle) return FALSE;
    if (count < 0 || count > kMaxPaletteEntries) return FALSE;
    if (count > 0 && (!red || !green || !blue)) return FALSE;
    LogPaletteBuffer log(count);
    PALETTEENTRY* entries = log.Entries();
    for (int32_t i = 0; i < count; ++i) entries[i] = PALETTEENTRY{red[i], green[i], blue[i], 0};
    handle = ::CreatePalette(log.Get());
    return TRUE;
}

UINT CImagePalette::GetNearestIndex(int32_t red, int32_t green, int32_t blue) const {
    if (!handle) return CLR_INVALID;
    return GetNearestPaletteIndex(handle, RGB(BYTE(red), BYTE(green), BYTE(blue)));
}

BOOL CImagePalette::GetEntryRGB(int32_t index, BYTE* red, BYTE* green, BYTE* blue) const {
    if (index < 0 || index > 255) return FALSE;
    PALETTEENTRY entry{};
    if (!handle || GetPaletteEntries(handle, UINT(index), 1, &entry) != 1) return FALSE;
    if (red) *red = entry.peRed;
    if (green) *green = entry.peGreen;
    if (blue) *blue = entry.peBlue;
    return TRUE;
}

int32_t CImagePalette::GetEntryCount() const {
    return handle ? int32_t(GetPaletteEntries(handle, 0, 0, nullptr)) : 0;
}

BOOL CImagePalette::Attach(HPALETTE palette) {
    if (handle) return FALSE;
    handle = palette;
    return TRUE;
}

HPALETTE CImagePalette::Detach() {
    HPALETTE old = handle;
    handle = nullptr;
    return old;
}

int32_t ColorCountOf(const BITMAPINFOHEADER* header) {
    if (header->biClrUsed == 0 && header->biBitCount <= 8) return 1 << header->biBitCount;
    return int32_t(std::min<uint32_t>(header->biClrUsed, 0x7FFFFFFF));
}

BOOL UpdateDIBColorTable(BITMAPINFOHEADER* block, HPALETTE palette, BOOL indexForm) {
    if (!palette) palette = GetStockPalette();
    if (!block) return FALSE;
    int32_t n = ColorCountOf(block);
    if (block->biCompression == BI_BITFIELDS) return TRUE;  // masks, not colours
    // The table has room for biClrUsed entries only; a count implied by the depth alone
    // would run into the pixel rows.
    n = std::min<int32_t>(n, int32_t(std::min<uint32_t>(block->biClrUsed, 0x7FFFFFFF)));
    if (n <= 0) return TRUE;
    uint8_t* table = reinterpret_cast<uint8_t*>(block) + block->biSize;
    if (indexForm) {
        for (int32_t i = 0; i < n; ++i) {
            const uint16_t word = uint16_t(i);
            std::memcpy(table + 2 * size_t(i), &word, sizeof word);
        }
        return TRUE;
    }
    n = std::min(n, kMaxPaletteEntries);
    PALETTEENTRY entries[kMaxPaletteEntries] = {};
    // Entries the palette lacks come out black rather than stale.
    GetPaletteEntries(palette, 0, UINT(n), entries);
    auto* quads = reinterpret_cast<RGBQUAD*>(table);
    for (int32_t i = 0; i < n; ++i) {
        quads[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    }
    return TRUE;
}

HPALETTE PaletteFromColorTable(const BITMAPINFOHEADER* block, BYTE flags) {
    if (!block) return nullptr;
    const int32_t count = std::min<int32_t>(int32_t(block->biClrUsed & 0xFFFF), kMaxPaletteEntries);
    if (count == 0) return nullptr;
    LogPaletteBuffer log(count);
    PALETTEENTRY* entries = log.Entries();
    const auto* quads = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(block) +
                                                         sizeof(BITMAPINFOHEADER));
    for (int32_t i = 0; i < count; ++i) {
        entries[i] = PALETTEENTRY{quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue, flags};
    }
    return ::CreatePalette(log.Get());
}
