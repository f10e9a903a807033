// The software device's surfaces for the Gdi tests: filled with a value a blit never writes, read
// back as rows, and DIB headers with room for masks or a full colour table.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Gdi.h"

// A pixel no test picture holds: what still shows it was not drawn.
constexpr uint32_t kSentinel = 0x123456;

using Rows = std::vector<std::vector<uint32_t>>;

inline void Fill(CDC& dc, uint32_t pixel) {
    for (int32_t y = 0; y < dc.Height(); ++y) {
        for (int32_t x = 0; x < dc.Width(); ++x) dc.Row(y)[x] = pixel;
    }
}

// The surface as rows of pixels, top first, for whole-picture comparisons.
inline Rows Pixels(const CDC& dc) {
    Rows rows;
    for (int32_t y = 0; y < dc.Height(); ++y) {
        rows.emplace_back(dc.Row(y), dc.Row(y) + dc.Width());
    }
    return rows;
}

// A BITMAPINFOHEADER followed by room for 256 table entries (or three masks), zeroed.
inline std::vector<uint8_t> DibHeader(int32_t width, int32_t height, uint16_t bitCount,
                                      uint32_t compression, uint32_t clrUsed = 0) {
    std::vector<uint8_t> header(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bitCount;
    h.biCompression = compression;
    h.biClrUsed = clrUsed;
    std::memcpy(header.data(), &h, sizeof h);
    return header;
}
