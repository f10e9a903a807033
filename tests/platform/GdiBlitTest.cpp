// SetDIBitsToDevice and StretchDIBits: exact pixels of small blits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Gdi.h"
#include "tests/support/GdiSurface.h"

namespace {

// A DIB: header and a 256-entry colour table in one buffer, the rows in another sized
// exactly, so that the sanitizer build catches any read past them.
class Dib {
public:
    Dib(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed = 0)
        : m_header(DibHeader(width, height, bitCount, BI_RGB, clrUsed)),
          m_height(height < 0 ? -height : height),
          m_topDown(height < 0),
          m_bitCount(bitCount),
          m_stride((width * bitCount + 31) / 32 * 4),
          m_bits(size_t(m_stride) * size_t(m_height)) {}
    // Colour table entry i as an RGBQUAD, from 0x00RRGGBB.
    void SetColor(int32_t i, uint32_t rgb) {
        RGBQUAD q{uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0};
        std::memcpy(m_header.data() + sizeof(BITMAPINFOHEADER) + 4 * i, &q, sizeof q);
    }
    // Colour table entry i as a palette index (DIB_PAL_COLORS).
    void SetIndex(int32_t i, uint16_t index) {
        std::memcpy(m_header.data() + sizeof(BITMAPINFOHEADER) + 2 * i, &index, sizeof index);
    }
    // Pixel (x, y), y = 0 the top row of the picture; a pixel value, or 0x00RRGGBB at 24 bits.
    void Put(int32_t x, int32_t y, uint32_t value) {
        uint8_t* row = m_bits.data() + size_t(m_topDown ? y : m_height - 1 - y) * m_stride;
        switch (m_bitCount) {
            case 1:
                row[x / 8] =
                    uint8_t((row[x / 8] & ~(0x80 >> (x % 8))) | ((value & 1) << (7 - x % 8)));
                break;
            case 4: {
                const int shift = x % 2 == 0 ? 4 : 0;
                row[x / 2] = uint8_t((row[x / 2] & ~(0x0F << shift)) | ((value & 0x0F) << shift));
                break;
            }
            case 8:
                row[x] = uint8_t(value);
                break;
            default:
                row[3 * x] = uint8_t(value);
                row[3 * x + 1] = uint8_t(value >> 8);
                row[3 * x + 2] = uint8_t(value >> 16);
        }
    }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(m_header.data()); }
    const uint8_t* Bits() const { return m_bits.data(); }
    std::vector<uint8_t>& Bytes() { return m_bits; }

private:
    std::vector<uint8_t> m_header;
    int32_t m_height;
    bool m_topDown;
    int32_t m_bitCount, m_stride;
    std::vector<uint8_t> m_bits;
};

// 8-bit DIB whose pixel (x, y) has value 16 * y + x + 1 and colour table entry v = v << 16,
// so every pixel of the picture draws a colour naming its own position.
Dib PositionDib(int32_t width, int32_t height) {
    Dib dib(width, height, 8);
    for (int32_t v = 0; v < 256; ++v) dib.SetColor(v, uint32_t(v) << 16);
    for (int32_t y = 0; y < (height < 0 ? -height : height); ++y) {
        for (int32_t x = 0; x < width; ++x) dib.Put(x, y, uint32_t(16 * y + x + 1));
    }
    return dib;
}
constexpr uint32_t At(int32_t x, int32_t y) {
    return uint32_t(16 * y + x + 1) << 16;
}

int32_t Blit(CDC& dc, Dib& dib, int32_t x, int32_t y, int32_t w, int32_t h, UINT use) {
    return SetDIBitsToDevice(&dc, x, y, DWORD(w), DWORD(h), 0, 0, 0, 0xFFFF, dib.Bits(), dib.Info(),
                             use);
}

}  // namespace

// --- Depths and row padding, from hand-packed bytes ---

TEST(GdiDibDepth, OneBitOddWidthReadsBitsHighFirst) {
    Dib dib(3, 2, 1);
    dib.SetColor(0, 0x000000);
    dib.SetColor(1, 0xFFFFFF);
    // Bottom row first, each padded to 4 bytes.
    const uint8_t bits[] = {0b01000000, 0xFF, 0xFF, 0xFF,   // bottom: 0 1 0, padding set
                            0b10100000, 0xFF, 0xFF, 0xFF};  // top:    1 0 1
    std::memcpy(dib.Bytes().data(), bits, sizeof bits);
    CDC dc(3, 2);
    EXPECT_EQ(Blit(dc, dib, 0, 0, 3, 2, DIB_RGB_COLORS), 2);
    const std::vector<std::vector<uint32_t>> want = {{0xFFFFFF, 0, 0xFFFFFF}, {0, 0xFFFFFF, 0}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibDepth, FourBitOddWidthReadsHighNibbleFirst) {
    Dib dib(3, 2, 4);
    for (int i = 0; i < 16; ++i) dib.SetColor(i, uint32_t(i) * 0x10);
    const uint8_t bits[] = {0x12, 0x3F, 0xEE, 0xEE,   // bottom: 1 2 3
                            0xAB, 0xCF, 0xEE, 0xEE};  // top:    A B C
    std::memcpy(dib.Bytes().data(), bits, sizeof bits);
    CDC dc(3, 2);
    Blit(dc, dib, 0, 0, 3, 2, DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{0xA0, 0xB0, 0xC0}, {0x10, 0x20, 0x30}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibDepth, EightBitOddWidthSkipsPadding) {
    Dib dib(3, 2, 8);
    for (int i = 0; i < 256; ++i) dib.SetColor(i, uint32_t(i));
    const uint8_t bits[] = {1, 2, 3, 99,   // bottom
                            4, 5, 6, 99};  // top
    std::memcpy(dib.Bytes().data(), bits, sizeof bits);
    CDC dc(3, 2);
    Blit(dc, dib, 0, 0, 3, 2, DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{4, 5, 6}, {1, 2, 3}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibDepth, TwentyFourBitIsBlueGreenRed) {
    Dib dib(3, 2, 24);
    // 9 bytes of pixels and 3 of padding per row.
    const uint8_t bits[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0, 0, 0,
                            0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0, 0, 0};
    std::memcpy(dib.Bytes().data(), bits, sizeof bits);
    CDC dc(3, 2);
    Blit(dc, dib, 0, 0, 3, 2, DIB_PAL_COLORS);  // colour use means nothing at 24 bits
    const std::vector<std::vector<uint32_t>> want = {{0x131211, 0x161514, 0x191817},
                                                     {0x030201, 0x060504, 0x090807}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibDepth, TopDownDibsStartWithTheTopRow) {
    Dib dib(2, -2, 8);
    for (int i = 0; i < 256; ++i) dib.SetColor(i, uint32_t(i));
    const uint8_t bits[] = {1, 2, 0, 0,   // top
                            3, 4, 0, 0};  // bottom
    std::memcpy(dib.Bytes().data(), bits, sizeof bits);
    CDC dc(2, 2);
    Blit(dc, dib, 0, 0, 2, 2, DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{1, 2}, {3, 4}};
    EXPECT_EQ(Pixels(dc), want);
}

// --- Colour tables ---

TEST(GdiDibColors, PaletteIndicesGoThroughTheRealisedPalette) {
    std::vector<uint8_t> logBuffer(sizeof(LOGPALETTE) + 4 * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(logBuffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = 4;
    const PALETTEENTRY entries[4] = {{10, 0, 0, 0}, {0, 20, 0, 0}, {0, 0, 30, 0}, {40, 40, 40, 0}};
    std::memcpy(log->palPalEntry, entries, sizeof entries);
    HPALETTE pal = CreatePalette(log);

    Dib dib(4, 1, 8, 4);
    for (int i = 0; i < 4; ++i) dib.SetIndex(i, uint16_t(3 - i));  // reversed on purpose
    for (int x = 0; x < 4; ++x) dib.Put(x, 0, uint32_t(x));

    CDC dc(4, 1);
    dc.SelectPalette(pal, TRUE);
    Blit(dc, dib, 0, 0, 4, 1, DIB_PAL_COLORS);
    // Not realised yet: the indices still reach the stock palette's first four.
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0x808000, 0x008000, 0x800000, 0}));

    dc.RealizePalette();
    Blit(dc, dib, 0, 0, 4, 1, DIB_PAL_COLORS);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0x282828, 0x00001E, 0x001400, 0x0A0000}));

    // The same picture with the colours in the table draws the same pixels.
    Dib rgb(4, 1, 8, 4);
    const uint32_t colors[4] = {0x282828, 0x00001E, 0x001400, 0x0A0000};
    for (int i = 0; i < 4; ++i) rgb.SetColor(i, colors[i]);
    for (int x = 0; x < 4; ++x) rgb.Put(x, 0, uint32_t(x));
    CDC other(4, 1);
    Blit(other, rgb, 0, 0, 4, 1, DIB_RGB_COLORS);
    EXPECT_EQ(Pixels(other), Pixels(dc));
    DeleteObject(pal);
}

TEST(GdiDibColors, ValuesPastTheTablesDrawBlack) {
    Dib dib(3, 1, 8, 2);  // two colours in use
    dib.SetColor(0, 0x111111);
    dib.SetColor(1, 0x222222);
    dib.SetColor(2, 0x333333);  // beyond biClrUsed: must not be read
    dib.Put(0, 0, 1);
    dib.Put(1, 0, 2);
    dib.Put(2, 0, 200);
    CDC dc(3, 1);
    Fill(dc, kSentinel);
    Blit(dc, dib, 0, 0, 3, 1, DIB_RGB_COLORS);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0x222222, 0, 0}));

    Dib pal(2, 1, 8, 2);
    pal.SetIndex(0, 19);   // white in the stock palette
    pal.SetIndex(1, 500);  // past the realised palette
    pal.Put(0, 0, 0);
    pal.Put(1, 0, 1);
    Blit(dc, pal, 0, 0, 2, 1, DIB_PAL_COLORS);
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), 0xFFFFFFu);
    EXPECT_EQ(dc.GetPixelRGB32(1, 0), 0u);
}

TEST(GdiDibColors, ClrUsedAboveTheDepthIsCapped) {
    Dib dib(2, 1, 1, 300);
    dib.SetColor(0, 0xAAAAAA);
    dib.SetColor(1, 0xBBBBBB);
    dib.Put(1, 0, 1);
    CDC dc(2, 1);
    Blit(dc, dib, 0, 0, 2, 1, DIB_RGB_COLORS);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0xAAAAAA, 0xBBBBBB}));
}

// --- Source coordinates ---

TEST(GdiDibSource, YSrcCountsFromTheBottomOfABottomUpDib) {
    Dib dib = PositionDib(4, 4);
    CDC dc(2, 2);
    // Source rows 1 and 2 from the bottom are picture rows 2 and 1.
    SetDIBitsToDevice(&dc, 0, 0, 2, 2, 1, 1, 0, 4, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{At(1, 1), At(2, 1)}, {At(1, 2), At(2, 2)}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibSource, YSrcCountsFromTheTopOfATopDownDib) {
    Dib dib = PositionDib(4, -4);
    CDC dc(2, 2);
    SetDIBitsToDevice(&dc, 0, 0, 2, 2, 1, 1, 0, 4, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{At(1, 1), At(2, 1)}, {At(1, 2), At(2, 2)}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibSource, OnlyTheSuppliedScanLinesAreDrawn) {
    Dib full = PositionDib(2, 4);
    // The bits of DIB rows 1 and 2 from the bottom (picture rows 2 and 1), and nothing else.
    const int32_t stride = 4;
    std::vector<uint8_t> band(full.Bits() + stride, full.Bits() + 3 * stride);
    CDC dc(2, 4);
    Fill(dc, kSentinel);
    EXPECT_EQ(
        SetDIBitsToDevice(&dc, 0, 0, 2, 4, 0, 0, 1, 2, band.data(), full.Info(), DIB_RGB_COLORS),
        2);
    const std::vector<std::vector<uint32_t>> want = {
        {kSentinel, kSentinel}, {At(0, 1), At(1, 1)}, {At(0, 2), At(1, 2)}, {kSentinel, kSentinel}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibSource, ScanLinesAreClampedToTheDib) {
    Dib dib = PositionDib(2, 3);
    CDC dc(2, 3);
    EXPECT_EQ(
        SetDIBitsToDevice(&dc, 0, 0, 2, 3, 0, 0, 1, 50, dib.Bits() + 4, dib.Info(), DIB_RGB_COLORS),
        2);
    EXPECT_EQ(
        SetDIBitsToDevice(&dc, 0, 0, 2, 3, 0, 0, 3, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS), 0);
}

TEST(GdiDibSource, SourceOutsideTheDibDrawsNothingThere) {
    Dib dib = PositionDib(2, 2);
    CDC dc(4, 4);
    Fill(dc, kSentinel);
    // One column left of the DIB and one row above it.
    SetDIBitsToDevice(&dc, 0, 0, 3, 3, -1, 0, 0, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{kSentinel, kSentinel, kSentinel, kSentinel},
                                                     {kSentinel, At(0, 0), At(1, 0), kSentinel},
                                                     {kSentinel, At(0, 1), At(1, 1), kSentinel},
                                                     {kSentinel, kSentinel, kSentinel, kSentinel}};
    EXPECT_EQ(Pixels(dc), want);
}

// --- Clipping ---

TEST(GdiDibClip, NegativeDestinationOriginCutsTheTopLeft) {
    Dib dib = PositionDib(3, 3);
    CDC dc(3, 3);
    Fill(dc, kSentinel);
    Blit(dc, dib, -1, -2, 3, 3, DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{At(1, 2), At(2, 2), kSentinel},
                                                     {kSentinel, kSentinel, kSentinel},
                                                     {kSentinel, kSentinel, kSentinel}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibClip, PastTheRightAndBottomEdges) {
    Dib dib = PositionDib(3, 3);
    CDC dc(3, 3);
    Fill(dc, kSentinel);
    Blit(dc, dib, 2, 1, 3, 3, DIB_RGB_COLORS);
    const std::vector<std::vector<uint32_t>> want = {{kSentinel, kSentinel, kSentinel},
                                                     {kSentinel, kSentinel, At(0, 0)},
                                                     {kSentinel, kSentinel, At(0, 1)}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiDibClip, EntirelyOutsideDrawsNothing) {
    Dib dib = PositionDib(3, 3);
    CDC dc(3, 3);
    Fill(dc, kSentinel);
    Blit(dc, dib, 3, 0, 3, 3, DIB_RGB_COLORS);
    Blit(dc, dib, 0, -3, 3, 3, DIB_RGB_COLORS);
    StretchDIBits(&dc, -100, -100, 50, 50, 0, 0, 3, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
    EXPECT_EQ(Pixels(dc),
              (std::vector<std::vector<uint32_t>>(3, {kSentinel, kSentinel, kSentinel})));
    StretchDIBits(&dc, 0, 0, 2147483647, 2147483647, 0, 0, 3, 3, dib.Bits(), dib.Info(),
                  DIB_RGB_COLORS, SRCCOPY);  // huge, but only the surface is mapped
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), At(0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(2, 2), At(0, 0));
}

TEST(GdiDibClip, StretchClipsOnEveryEdge) {
    Dib dib = PositionDib(2, 2);
    CDC dc(3, 3);
    Fill(dc, kSentinel);
    // 2x2 enlarged to 5x5 at (-1, -1) overruns all four edges; columns and rows sample
    // 0 0 0 1 1, of which the middle three are visible.
    StretchDIBits(&dc, -1, -1, 5, 5, 0, 0, 2, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    const std::vector<std::vector<uint32_t>> want = {{At(0, 0), At(0, 0), At(1, 0)},
                                                     {At(0, 0), At(0, 0), At(1, 0)},
                                                     {At(0, 1), At(0, 1), At(1, 1)}};
    EXPECT_EQ(Pixels(dc), want);
}

// --- Stretching ---

// The samples below are the ones Wine's StretchDIBits picks for the same sizes, measured
// with a DIB whose pixels name their position.
TEST(GdiStretch, ShrinkingSamplesAsThePlatformDoes) {
    Dib dib = PositionDib(8, 8);
    CDC dc(3, 3);
    StretchDIBits(&dc, 0, 0, 3, 3, 0, 0, 8, 8, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    // Columns 2, 4, 7 (the last of each span); rows 0, 3, 5 (the first).
    const std::vector<std::vector<uint32_t>> want = {{At(2, 0), At(4, 0), At(7, 0)},
                                                     {At(2, 3), At(4, 3), At(7, 3)},
                                                     {At(2, 5), At(4, 5), At(7, 5)}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiStretch, EnlargingRepeatsColumnsAndRows) {
    Dib dib = PositionDib(2, 2);
    CDC dc(5, 3);
    StretchDIBits(&dc, 0, 0, 5, 3, 0, 0, 2, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    // Columns 0 0 0 1 1; rows 0 0 1.
    const std::vector<uint32_t> top = {At(0, 0), At(0, 0), At(0, 0), At(1, 0), At(1, 0)};
    const std::vector<uint32_t> bottom = {At(0, 1), At(0, 1), At(0, 1), At(1, 1), At(1, 1)};
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>{top, top, bottom}));
}

TEST(GdiStretch, SourceRectangleCountsFromTheBottom) {
    Dib dib = PositionDib(4, 4);
    CDC dc(4, 2);
    // Source rows 1 to 2 from the bottom: picture rows 1 and 2.
    StretchDIBits(&dc, 0, 0, 4, 2, 0, 1, 4, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{At(0, 1), At(1, 1), At(2, 1), At(3, 1)}));
    EXPECT_EQ(Pixels(dc)[1], (std::vector<uint32_t>{At(0, 2), At(1, 2), At(2, 2), At(3, 2)}));
}

TEST(GdiStretch, SourceRectangleWithOffsetAndScale) {
    Dib dib = PositionDib(6, 4);
    CDC dc(4, 1);
    // Columns 2 to 5 of the bottom row (picture row 3), squeezed to 2 and drawn at x 1.
    StretchDIBits(&dc, 1, 0, 2, 1, 2, 0, 4, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0, At(3, 3), At(5, 3), 0}));
}

TEST(GdiStretch, NegativeDestinationWidthMirrors) {
    Dib dib = PositionDib(3, 1);
    CDC dc(4, 1);
    // Covers x 3 + (-3) + 1 = 1 to 3.
    StretchDIBits(&dc, 3, 0, -3, 1, 0, 0, 3, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0, At(2, 0), At(1, 0), At(0, 0)}));
}

TEST(GdiStretch, NegativeHeightOnBothSidesDoesNotMirror) {
    Dib dib = PositionDib(1, 2);
    CDC up(1, 2);
    CDC both(1, 2);
    StretchDIBits(&up, 0, 0, 1, 2, 0, 0, 1, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(&both, 0, 1, 1, -2, 0, 1, 1, -2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(Pixels(both), Pixels(up));
    EXPECT_EQ(up.GetPixelRGB32(0, 0), At(0, 0));
}

TEST(GdiStretch, EveryDepthStretchesAlike) {
    // The same 3x3 picture at each depth, each doubled: all four results agree.
    const uint32_t colors[2] = {0x102030, 0xF0E0D0};
    const int pattern[3][3] = {{0, 1, 1}, {1, 0, 0}, {0, 0, 1}};
    std::vector<std::vector<std::vector<uint32_t>>> results;
    for (uint16_t bits : {1, 4, 8, 24}) {
        Dib dib(3, 3, bits);
        if (bits <= 8) {
            dib.SetColor(0, colors[0]);
            dib.SetColor(1, colors[1]);
        }
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                const int v = pattern[y][x];
                dib.Put(x, y, bits == 24 ? colors[v] : uint32_t(v));
            }
        }
        CDC dc(6, 6);
        StretchDIBits(&dc, 0, 0, 6, 6, 0, 0, 3, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
        results.push_back(Pixels(dc));
    }
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(results[0][y][x], colors[pattern[y / 2][x / 2]]) << x << "," << y;
        }
    }
    for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << i;
}

// --- Raster operations ---

TEST(GdiRop, SrcAndAndSrcPaintCombineWithTheDestination) {
    Dib dib(2, 1, 24);
    dib.Put(0, 0, 0xF0F0F0);
    dib.Put(1, 0, 0x0F0F00);
    CDC dc(2, 3);
    Fill(dc, 0x3C3C3C);
    StretchDIBits(&dc, 0, 0, 2, 1, 0, 0, 2, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCAND);
    StretchDIBits(&dc, 0, 1, 2, 1, 0, 0, 2, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCPAINT);
    StretchDIBits(&dc, 0, 2, 2, 1, 0, 0, 2, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    const std::vector<std::vector<uint32_t>> want = {
        {0x303030, 0x0C0C00}, {0xFCFCFC, 0x3F3F3C}, {0xF0F0F0, 0x0F0F00}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiRop, EnlargedRowsCombineWithTheirOwnDestination) {
    // Repeated rows are copied only under SRCCOPY; SRCAND must combine each row afresh.
    Dib dib(1, 1, 24);
    dib.Put(0, 0, 0x0000FF);
    CDC dc(1, 3);
    dc.Row(0)[0] = 0x0000F1;
    dc.Row(1)[0] = 0x0000F2;
    dc.Row(2)[0] = 0x0000F4;
    StretchDIBits(&dc, 0, 0, 1, 3, 0, 0, 1, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCAND);
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>{{0xF1}, {0xF2}, {0xF4}}));
}

TEST(GdiRop, MaskedDrawingLeavesTheBackgroundWhereTransparent) {
    // The image library's transparent draw: white/black mask with SRCAND, then the picture
    // with the transparent pixels black under SRCPAINT.
    Dib mask(2, 1, 24);
    mask.Put(0, 0, 0xFFFFFF);  // transparent
    mask.Put(1, 0, 0x000000);
    Dib picture(2, 1, 24);
    picture.Put(0, 0, 0x000000);
    picture.Put(1, 0, 0x4080C0);
    CDC dc(2, 1);
    Fill(dc, 0x999999);
    StretchDIBits(&dc, 0, 0, 2, 1, 0, 0, 2, 1, mask.Bits(), mask.Info(), DIB_RGB_COLORS, SRCAND);
    StretchDIBits(&dc, 0, 0, 2, 1, 0, 0, 2, 1, picture.Bits(), picture.Info(), DIB_RGB_COLORS,
                  SRCPAINT);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0x999999, 0x4080C0}));
}

// --- Refused arguments ---

TEST(GdiDibRefuse, BadHeadersDrawNothing) {
    CDC dc(4, 4);
    Fill(dc, kSentinel);
    auto tryHeader = [&](auto change) {
        Dib dib = PositionDib(2, 2);
        change(dib.Info()->bmiHeader);
        const int32_t a = Blit(dc, dib, 0, 0, 2, 2, DIB_RGB_COLORS);
        const int32_t b = StretchDIBits(&dc, 0, 0, 4, 4, 0, 0, 2, 2, dib.Bits(), dib.Info(),
                                        DIB_RGB_COLORS, SRCCOPY);
        return a == 0 && b == 0;
    };
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biWidth = 0; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biWidth = -2; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biWidth = 1 << 20; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biHeight = 0; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biHeight = INT32_MIN; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biHeight = 1 << 20; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biBitCount = 2; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biBitCount = 64; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biSize = 12; }));
    EXPECT_TRUE(tryHeader([](BITMAPINFOHEADER& h) { h.biSize = 4000; }));
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), kSentinel);
    EXPECT_EQ(dc.GetPixelRGB32(3, 3), kSentinel);
}

TEST(GdiDibRefuse, BadCallsDrawNothing) {
    Dib dib = PositionDib(2, 2);
    CDC dc(2, 2);
    Fill(dc, kSentinel);
    CDC none;
    EXPECT_EQ(SetDIBitsToDevice(nullptr, 0, 0, 2, 2, 0, 0, 0, 2, dib.Bits(), dib.Info(), 0), 0);
    EXPECT_EQ(SetDIBitsToDevice(&none, 0, 0, 2, 2, 0, 0, 0, 2, dib.Bits(), dib.Info(), 0), 0);
    EXPECT_EQ(SetDIBitsToDevice(&dc, 0, 0, 2, 2, 0, 0, 0, 2, nullptr, dib.Info(), 0), 0);
    EXPECT_EQ(SetDIBitsToDevice(&dc, 0, 0, 2, 2, 0, 0, 0, 2, dib.Bits(), nullptr, 0), 0);
    EXPECT_EQ(SetDIBitsToDevice(&dc, 0, 0, 2, 2, 0, 0, 0, 2, dib.Bits(), dib.Info(), 2), 0);
    EXPECT_EQ(SetDIBitsToDevice(&dc, 0, 0, 2, 2, 0, 0, 0, 0, dib.Bits(), dib.Info(), 0), 0);
    EXPECT_EQ(StretchDIBits(&dc, 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(), 0, 0x00660046),
              0);  // SRCINVERT is not offered
    EXPECT_EQ(StretchDIBits(&dc, 0, 0, 0, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(), 0, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(&dc, 0, 0, 2, 2, 0, 0, 2, 0, dib.Bits(), dib.Info(), 0, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(&none, 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(), 0, SRCCOPY), 0);
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>(2, {kSentinel, kSentinel})));
    EXPECT_EQ(StretchDIBits(&dc, 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(), 0, SRCCOPY), 2);
}
