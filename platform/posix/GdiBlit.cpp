// DIB blits: SetDIBitsToDevice and StretchDIBits onto a CDC surface.
//
// Both end in one routine. It maps each visible destination column and row to a source
// column and row once per call, keeps only the destination pixels whose sample lies inside
// the DIB rows the caller supplied, and converts row by row: indices through a 256-entry
// colour table built once per call, 16- and 32-bit pixels through their channel masks.
// Run-length rows are expanded once per call into 16-bit indices, with a value of their own
// for the pixels the data skips, which leave the destination untouched as GDI leaves it. A
// destination row that samples the same source row as the one above it is copied, which is
// what enlarging mostly does.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Gdi.h"
#include "platform/GdiDibFormats.h"

namespace {

// Headers up to BITMAPV5HEADER; a larger biSize is taken for garbage.
constexpr uint32_t kMaxHeaderSize = 124;
// Run-length DIBs are expanded at two bytes a pixel; larger ones are refused.
constexpr int64_t kMaxRlePixels = int64_t(1) << 26;
// Index of an expanded run-length pixel the data skipped, and its colour: no surface pixel
// has a high byte.
constexpr uint16_t kSkippedIndex = 256;
constexpr uint32_t kSkipped = 0xFF000000u;
// Depth code of expanded run-length rows.
constexpr int32_t kRleBits = 0;

enum class Rop { Copy, And, Paint };

// One colour channel of a packed pixel: value & mask, shifted down, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int32_t shift = 0;
    uint32_t max = 0;

    void Set(uint32_t m) {
        mask = m;
        shift = 0;
        while (m && !(m & 1)) {
            m >>= 1;
            ++shift;
        }
        max = m;
    }
    uint32_t Of(uint32_t value) const {
        if (max == 0) return 0;
        return uint32_t(uint64_t((value & mask) >> shift) * 255u / max);
    }
};

struct DibSource {
    const uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;  // rows of the whole DIB
    int64_t stride = 0;
    int32_t bitCount = 0;  // kRleBits for expanded run-length rows
    bool topDown = false;
    int64_t startScan = 0;  // DIB row held first by the bits (from the bottom if bottom-up)
    // The rows the bits hold, numbered from the top of the picture: [firstRow, endRow).
    int64_t firstRow = 0;
    int64_t endRow = 0;
    uint32_t lut[257] = {};          // pixel value to 0x00RRGGBB; black past the colour table
    Channel red, green, blue;        // 16 and 32 bits
    std::vector<uint16_t> expanded;  // run-length rows, bottom-up, width entries each

    // Row td (0 = top of the picture); td within [firstRow, endRow).
    const uint8_t* Row(int64_t td) const {
        const int64_t stored = topDown ? td : height - 1 - td;  // in storage order
        return bits + (stored - startScan) * stride;
    }
    uint32_t Packed(uint32_t value) const {
        return (red.Of(value) << 16) | (green.Of(value) << 8) | blue.Of(value);
    }
};

bool IsDrawableFormat(uint32_t compression, int32_t bitCount, bool topDown) {
    switch (compression) {
        case BI_RGB:
            return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                   bitCount == 24 || bitCount == 32;
        case BI_BITFIELDS:
            return bitCount == 16 || bitCount == 32;
        case BI_RLE8:
            return bitCount == 8 && !topDown;  // run-length DIBs are bottom-up only
        case BI_RLE4:
            return bitCount == 4 && !topDown;
        default:
            return false;
    }
}

// Expands biSizeImage bytes of run-length data; false when the DIB is too large to expand.
bool ExpandRle(const BITMAPINFOHEADER& h, DibSource& src) {
    if (h.biSizeImage == 0 || int64_t(src.width) * src.height > kMaxRlePixels) return false;
    try {
        src.expanded.assign(size_t(src.width) * size_t(src.height), kSkippedIndex);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint16_t* out = src.expanded.data();
    const int64_t width = src.width;
    // Data that ends early draws what it holds, as GDI does.
    DecodeDibRle(src.bits, h.biSizeImage, h.biCompression == BI_RLE4, src.width, src.height,
                 [&](int32_t x, int32_t row, uint8_t index) { out[row * width + x] = index; });
    src.bits = reinterpret_cast<const uint8_t*>(src.expanded.data());
    src.stride = width * int64_t(sizeof(uint16_t));
    src.bitCount = kRleBits;
    return true;
}

// Checks the header and builds the colour lookup; false when the DIB cannot be drawn.
bool ReadDib(const BITMAPINFO* info, const void* bits, UINT colorUse, const CDC& dc,
             DibSource& src) {
    if (!info || !bits || colorUse > DIB_PAL_COLORS) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > kMaxHeaderSize) return false;
    const int32_t bitCount = h.biBitCount;
    if (!IsDrawableFormat(h.biCompression, bitCount, h.biHeight < 0)) return false;
    const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    if (h.biWidth <= 0 || h.biWidth > kMaxDibDimension || height == 0 ||
        height > kMaxDibDimension) {
        return false;
    }
    src.bits = static_cast<const uint8_t*>(bits);
    src.width = h.biWidth;
    src.height = int32_t(height);
    src.topDown = h.biHeight < 0;
    src.bitCount = bitCount;
    src.stride = StrideOf(h.biWidth, bitCount);
    const uint8_t* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
    if (bitCount > 8) {
        if (h.biCompression == BI_BITFIELDS) {
            // Right after a 40-byte header, or inside a longer one: offset 40 either way.
            uint32_t masks[3];
            std::memcpy(masks, reinterpret_cast<const uint8_t*>(info) + sizeof(BITMAPINFOHEADER),
                        sizeof masks);
            src.red.Set(masks[0]);
            src.green.Set(masks[1]);
            src.blue.Set(masks[2]);
        } else if (bitCount == 16) {
            src.red.Set(0x7C00);
            src.green.Set(0x03E0);
            src.blue.Set(0x001F);
        } else {
            src.red.Set(0x00FF0000);
            src.green.Set(0x0000FF00);
            src.blue.Set(0x000000FF);
        }
        return true;
    }

    const uint32_t maxColors = 1u << bitCount;
    const uint32_t count = h.biClrUsed == 0 ? maxColors : std::min(h.biClrUsed, maxColors);
    if (colorUse == DIB_RGB_COLORS) {
        for (uint32_t i = 0; i < count; ++i) {
            RGBQUAD q;
            std::memcpy(&q, table + 4 * i, sizeof q);
            src.lut[i] = (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
        }
    } else {
        const std::vector<uint32_t>& realized = dc.RealizedColors();
        for (uint32_t i = 0; i < count; ++i) {
            uint16_t index;
            std::memcpy(&index, table + 2 * i, sizeof index);
            src.lut[i] = index < realized.size() ? realized[index] : 0;
        }
    }
    src.lut[kSkippedIndex] = kSkipped;
    if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) return ExpandRle(h, src);
    return true;
}

template <int kBits>
inline uint32_t Fetch(const uint8_t* row, int32_t x, const DibSource& src) {
    if constexpr (kBits == 8) {
        return src.lut[row[x]];
    } else if constexpr (kBits == 4) {
        return src.lut[(row[x >> 1] >> ((~x & 1) << 2)) & 0x0F];
    } else if constexpr (kBits == 1) {
        return src.lut[(row[x >> 3] >> (7 - (x & 7))) & 1];
    } else if constexpr (kBits == kRleBits) {
        uint16_t index;
        std::memcpy(&index, row + 2 * int64_t(x), sizeof index);
        return src.lut[index];
    } else if constexpr (kBits == 16) {
        const uint8_t* p = row + 2 * int64_t(x);
        return src.Packed(uint32_t(p[0]) | (uint32_t(p[1]) << 8));
    } else if constexpr (kBits == 32) {
        uint32_t value;
        std::memcpy(&value, row + 4 * int64_t(x), sizeof value);
        return src.Packed(value);
    } else {
        const uint8_t* p = row + 3 * int64_t(x);
        return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
}

template <Rop kRop>
inline void Apply(uint32_t& d, uint32_t s) {
    if constexpr (kRop == Rop::Copy) {
        d = s;
    } else if constexpr (kRop == Rop::And) {
        d &= s;
    } else {
        d |= s;
    }
}

using RowFn = void (*)(uint32_t* dst, const uint8_t* row, const int32_t* cols, int32_t n,
                       const DibSource& src);

template <int kBits, Rop kRop>
inline void Put(uint32_t& d, const uint8_t* row, int32_t x, const DibSource& src) {
    const uint32_t s = Fetch<kBits>(row, x, src);
    if constexpr (kBits == kRleBits) {
        if (s == kSkipped) return;
    }
    Apply<kRop>(d, s);
}

// cols[0] is the first source column; with kIdentity the rest follow one by one and the
// map is not read again.
template <int kBits, Rop kRop, bool kIdentity>
void ConvertRow(uint32_t* dst, const uint8_t* row, const int32_t* cols, int32_t n,
                const DibSource& src) {
    if constexpr (kIdentity) {
        const int32_t x0 = cols[0];
        for (int32_t i = 0; i < n; ++i) Put<kBits, kRop>(dst[i], row, x0 + i, src);
    } else {
        for (int32_t i = 0; i < n; ++i) Put<kBits, kRop>(dst[i], row, cols[i], src);
    }
}

template <Rop kRop, bool kIdentity>
RowFn PickDepth(int32_t bitCount) {
    switch (bitCount) {
        case 1:
            return &ConvertRow<1, kRop, kIdentity>;
        case 4:
            return &ConvertRow<4, kRop, kIdentity>;
        case 8:
            return &ConvertRow<8, kRop, kIdentity>;
        case 16:
            return &ConvertRow<16, kRop, kIdentity>;
        case 32:
            return &ConvertRow<32, kRop, kIdentity>;
        case kRleBits:
            return &ConvertRow<kRleBits, kRop, kIdentity>;
        default:
            return &ConvertRow<24, kRop, kIdentity>;
    }
}

template <Rop kRop>
RowFn PickIdentity(int32_t bitCount, bool identity) {
    return identity ? PickDepth<kRop, true>(bitCount) : PickDepth<kRop, false>(bitCount);
}

RowFn PickRow(int32_t bitCount, Rop rop, bool identity) {
    switch (rop) {
        case Rop::Copy:
            return PickIdentity<Rop::Copy>(bitCount, identity);
        case Rop::And:
            return PickIdentity<Rop::And>(bitCount, identity);
        default:
            return PickIdentity<Rop::Paint>(bitCount, identity);
    }
}

// The source index destination index i of size samples, as the platform's COLORONCOLOR
// stretch picks it: enlarging, floor(((2i + 1) * srcSize - 1) / (2 * destSize)) on both axes;
// shrinking, columns take floor(((2i + 2) * srcSize - destSize) / (2 * destSize)) and rows
// (counted from the top) floor((2i * srcSize + destSize) / (2 * destSize)). Sizes are below
// 2^32 and unequal only for StretchDIBits (below 2^31 each), so the products stay below 2^63.
int64_t SampleIndex(int64_t i, int64_t destSize, int64_t srcSize, bool isRow) {
    const uint64_t src = uint64_t(srcSize), dest = uint64_t(destSize), n = uint64_t(i);
    if (destSize >= srcSize) return int64_t(((2 * n + 1) * src - 1) / (2 * dest));
    if (isRow) return int64_t((2 * n * src + dest) / (2 * dest));
    return int64_t(((2 * n + 2) * src - dest) / (2 * dest));
}

// One axis of the mapping. Destination positions [destPos, destPos + destSize) within
// [0, limit) sample source positions srcPos + SampleIndex; the ones whose sample lies in
// [validLo, validHi) go to map, the first of them at *first. The mapping is monotonic, so
// the kept positions are contiguous.
void MapAxis(int64_t destPos, int64_t destSize, int64_t srcPos, int64_t srcSize, bool flip,
             bool isRow, int32_t limit, int64_t validLo, int64_t validHi, int32_t* first,
             std::vector<int32_t>& map) {
    map.clear();
    const int64_t lo = std::max<int64_t>(destPos, 0);
    const int64_t hi = std::min<int64_t>(destPos + destSize, limit);
    for (int64_t d = lo; d < hi; ++d) {
        int64_t i = d - destPos;
        if (flip) i = destSize - 1 - i;
        const int64_t s = srcSize == destSize ? i : SampleIndex(i, destSize, srcSize, isRow);
        const int64_t pos = srcPos + s;
        if (pos >= validLo && pos < validHi) {
            if (map.empty()) *first = int32_t(d);
            map.push_back(int32_t(pos));
        } else if (!map.empty()) {
            break;
        }
    }
}

struct Rect64 {
    int64_t x, y, w, h;  // w, h > 0
};

void Blit(CDC& dc, const Rect64& dest, bool flipX, bool flipY, const Rect64& srcRect,
          const DibSource& src, Rop rop) {
    std::vector<int32_t> cols;
    std::vector<int32_t> rows;
    int32_t x0 = 0;
    int32_t y0 = 0;
    MapAxis(dest.x, dest.w, srcRect.x, srcRect.w, flipX, false, dc.Width(), 0, src.width, &x0,
            cols);
    if (cols.empty()) return;
    MapAxis(dest.y, dest.h, srcRect.y, srcRect.h, flipY, true, dc.Height(), src.firstRow,
            src.endRow, &y0, rows);
    if (rows.empty()) return;

    const bool identity = !flipX && srcRect.w == dest.w;
    const RowFn convert = PickRow(src.bitCount, rop, identity);
    const int32_t n = int32_t(cols.size());
    const uint32_t* previous = nullptr;
    for (size_t k = 0; k < rows.size(); ++k) {
        uint32_t* dst = dc.Row(y0 + int32_t(k)) + x0;
        // Skipped run-length pixels keep each row's own destination, so those rows are
        // never copied.
        if (previous && rop == Rop::Copy && src.bitCount != kRleBits && rows[k] == rows[k - 1]) {
            std::memcpy(dst, previous, size_t(n) * sizeof(uint32_t));
        } else {
            convert(dst, src.Row(rows[k]), cols.data(), n, src);
        }
        previous = dst;
    }
}

// A negative extent covers pos + size + 1 to pos, as GDI's rectangles do; returns whether
// the axis flipped.
bool Normalize(int64_t& pos, int64_t& size) {
    if (size >= 0) return false;
    pos += size + 1;
    size = -size;
    return true;
}

}  // namespace

int32_t SetDIBitsToDevice(HDC dc, int32_t xDest, int32_t yDest, DWORD width, DWORD height,
                          int32_t xSrc, int32_t ySrc, UINT startScan, UINT scanLines,
                          const void* bits, const BITMAPINFO* info, UINT colorUse) {
    if (!dc || !dc->GetSafeHdc()) return 0;
    DibSource src;
    if (!ReadDib(info, bits, colorUse, *dc, src)) return 0;
    if (startScan >= UINT(src.height)) return 0;
    const int64_t lines = std::min<int64_t>(scanLines, int64_t(src.height) - startScan);
    if (lines == 0) return 0;
    // Expanded run-length rows hold the whole picture, whatever scans were asked for.
    src.startScan = src.bitCount == kRleBits ? 0 : startScan;
    if (src.topDown) {
        src.firstRow = startScan;
        src.endRow = startScan + lines;
    } else {
        src.firstRow = src.height - int64_t(startScan) - lines;
        src.endRow = src.height - int64_t(startScan);
    }
    if (width > 0 && height > 0) {
        // ySrc counts from the bottom of a bottom-up DIB: the rectangle's top row is the
        // picture row height - ySrc - h.
        const int64_t top = src.topDown ? int64_t(ySrc) : src.height - int64_t(ySrc) - height;
        const Rect64 dest{xDest, yDest, width, height};
        const Rect64 source{xSrc, top, width, height};
        Blit(*dc, dest, false, false, source, src, Rop::Copy);
    }
    return int32_t(lines);
}

int32_t StretchDIBits(HDC dc, int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                      int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                      const void* bits, const BITMAPINFO* info, UINT colorUse, DWORD rop) {
    if (!dc || !dc->GetSafeHdc()) return 0;
    Rop kind;
    switch (rop) {
        case SRCCOPY:
            kind = Rop::Copy;
            break;
        case SRCAND:
            kind = Rop::And;
            break;
        case SRCPAINT:
            kind = Rop::Paint;
            break;
        default:
            return 0;
    }
    if (destWidth == 0 || destHeight == 0 || srcWidth == 0 || srcHeight == 0) return 0;
    DibSource src;
    if (!ReadDib(info, bits, colorUse, *dc, src)) return 0;
    src.firstRow = 0;
    src.endRow = src.height;

    Rect64 dest{xDest, yDest, destWidth, destHeight};
    Rect64 source{xSrc, ySrc, srcWidth, srcHeight};
    const bool flipX = Normalize(dest.x, dest.w) != Normalize(source.x, source.w);
    const bool flipY = Normalize(dest.y, dest.h) != Normalize(source.y, source.h);
    if (!src.topDown) source.y = src.height - source.y - source.h;
    Blit(*dc, dest, flipX, flipY, source, src, kind);
    return src.height;
}
