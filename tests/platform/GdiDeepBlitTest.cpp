// Blits of 16- and 32-bit DIBs (BI_RGB and BI_BITFIELDS) and of run-length rows (BI_RLE8,
// BI_RLE4), pixel by pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/Gdi.h"
#include "tests/support/GdiSurface.h"

namespace {

// A DIB header with room for masks or a 256-entry table, and its bits.
struct TestDib {
    TestDib(int32_t width, int32_t height, uint16_t depth, uint32_t compression)
        : header(DibHeader(width, height, depth, compression)) {}
    BITMAPINFOHEADER& H() { return *reinterpret_cast<BITMAPINFOHEADER*>(header.data()); }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(header.data()); }
    void Masks(uint32_t r, uint32_t g, uint32_t b) {
        const uint32_t m[3] = {r, g, b};
        std::memcpy(header.data() + 40, m, sizeof m);
    }
    void Color(int i, uint32_t rgb) {
        const RGBQUAD q{uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0};
        std::memcpy(header.data() + 40 + 4 * i, &q, sizeof q);
    }
    void Index(int i, uint16_t index) { std::memcpy(header.data() + 40 + 2 * i, &index, 2); }
    // Run-length data: biSizeImage follows it.
    void Rle(std::vector<uint8_t> data) {
        bits = std::move(data);
        H().biSizeImage = uint32_t(bits.size());
    }
    void Words(std::initializer_list<uint16_t> words) {
        for (uint16_t w : words) {
            bits.push_back(uint8_t(w));
            bits.push_back(uint8_t(w >> 8));
        }
    }
    void Dwords(std::initializer_list<uint32_t> values) {
        for (uint32_t v : values) {
            for (int i = 0; i < 4; ++i) bits.push_back(uint8_t(v >> (8 * i)));
        }
    }
    std::vector<uint8_t> header;
    std::vector<uint8_t> bits;
};

int32_t Draw(CDC& dc, const TestDib& dib, UINT colorUse = DIB_RGB_COLORS) {
    const auto& h = dib.Info()->bmiHeader;
    const int32_t height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    return SetDIBitsToDevice(&dc, 0, 0, DWORD(h.biWidth), DWORD(height), 0, 0, 0, UINT(height),
                             dib.bits.data(), dib.Info(), colorUse);
}

// 4 x 3 RLE8 over a table where index i is 0x0000ii: row 0 (bottom) a run of 4 sevens, row 1
// a literal 1 2 3 then end of row, then a delta to x 2 of row 2 and a run of 2 nines.
TestDib Rle8Sample() {
    TestDib dib(4, 3, 8, BI_RLE8);
    for (int i = 0; i < 16; ++i) dib.Color(i, uint32_t(i));
    dib.H().biClrUsed = 16;
    dib.Rle({4, 7, 0, 0,                // row 0
             0, 3, 1, 2, 3, 0, 0, 0,    // row 1: literal, pad, end of row
             0, 2, 2, 0, 2, 9, 0, 1});  // row 2: delta, run, end of picture
    return dib;
}

}  // namespace

TEST(GdiDeepBlit, SixteenBitRgbIsFiveFiveFive) {
    TestDib dib(4, 1, 16, BI_RGB);
    dib.Words({0x7C00, 0x03E0, 0x001F, 0x4210});
    CDC dc(4, 1);
    EXPECT_EQ(Draw(dc, dib), 1);
    EXPECT_EQ(Pixels(dc), (Rows{{0xFF0000, 0x00FF00, 0x0000FF, 0x838383}}));
}

TEST(GdiDeepBlit, SixteenBitFieldsFollowTheMasks) {
    TestDib dib(4, 2, 16, BI_BITFIELDS);
    dib.Masks(0xF800, 0x07E0, 0x001F);
    dib.Words({0xF800, 0x07E0, 0x001F, 0x8410,    // bottom row
               0xFFFF, 0x0000, 0x0020, 0x0800});  // top row
    CDC dc(4, 2);
    EXPECT_EQ(Draw(dc, dib), 2);
    EXPECT_EQ(Pixels(dc), (Rows{{0xFFFFFF, 0x000000, 0x000400, 0x080000},
                                {0xFF0000, 0x00FF00, 0x0000FF, 0x838183}}));
}

TEST(GdiDeepBlit, ThirtyTwoBitRgbIgnoresTheFourthByte) {
    TestDib dib(2, 1, 32, BI_RGB);
    dib.Dwords({0xAA102030, 0x00FFFFFF});
    CDC dc(2, 1);
    EXPECT_EQ(Draw(dc, dib), 1);
    EXPECT_EQ(Pixels(dc), (Rows{{0x102030, 0xFFFFFF}}));
}

TEST(GdiDeepBlit, ThirtyTwoBitFieldsInAnyOrderAndWidth) {
    TestDib dib(2, 1, 32, BI_BITFIELDS);
    dib.Masks(0x000000FF, 0x0000FF00, 0x00FF0000);  // red in the low byte
    dib.Dwords({0x00302010, 0x000000FF});
    CDC dc(2, 1);
    EXPECT_EQ(Draw(dc, dib), 1);
    EXPECT_EQ(Pixels(dc), (Rows{{0x102030, 0xFF0000}}));

    TestDib wide(1, 1, 32, BI_BITFIELDS);
    wide.Masks(0x3FF00000, 0x000FFC00, 0x000003FF);  // ten bits a channel
    wide.Dwords({(1023u << 20) | (511u << 10) | 0u});
    CDC dc2(1, 1);
    Draw(dc2, wide);
    EXPECT_EQ(dc2.GetPixelRGB32(0, 0), 0xFF7F00u);
}

TEST(GdiDeepBlit, TopDownDeepRows) {
    TestDib dib(1, -2, 16, BI_RGB);
    dib.Words({0x7C00, 0, 0x001F, 0});  // rows padded to 4 bytes; the first is the top
    CDC dc(1, 2);
    Draw(dc, dib);
    EXPECT_EQ(Pixels(dc), (Rows{{0xFF0000}, {0x0000FF}}));
}

TEST(GdiDeepBlit, StretchedDeepRowsWithRasterOperations) {
    TestDib dib(2, 1, 32, BI_RGB);
    dib.Dwords({0x00F0F0F0, 0x000F0F0F});
    CDC dc(4, 2);
    Fill(dc, 0x3C3C3C);
    EXPECT_EQ(StretchDIBits(&dc, 0, 0, 4, 2, 0, 0, 2, 1, dib.bits.data(), dib.Info(),
                            DIB_RGB_COLORS, SRCAND),
              1);
    EXPECT_EQ(Pixels(dc), (Rows{{0x303030, 0x303030, 0x0C0C0C, 0x0C0C0C},
                                {0x303030, 0x303030, 0x0C0C0C, 0x0C0C0C}}));
    StretchDIBits(&dc, 0, 0, 4, 1, 0, 0, 2, 1, dib.bits.data(), dib.Info(), DIB_RGB_COLORS,
                  SRCPAINT);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0xF0F0F0, 0xF0F0F0, 0x0F0F0F, 0x0F0F0F}));
}

TEST(GdiDeepBlit, DeepDibsIgnoreTheColourUse) {
    TestDib dib(1, 1, 16, BI_RGB);
    dib.Words({0x03E0});
    CDC dc(1, 1);
    EXPECT_EQ(Draw(dc, dib, DIB_PAL_COLORS), 1);
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), 0x00FF00u);
}

TEST(GdiRleBlit, EightBitRunsLiteralsAndSkips) {
    const TestDib dib = Rle8Sample();
    CDC dc(4, 3);
    Fill(dc, kSentinel);
    EXPECT_EQ(Draw(dc, dib), 3);
    // Skipped pixels keep the destination.
    EXPECT_EQ(Pixels(dc), (Rows{{kSentinel, kSentinel, 9, 9}, {1, 2, 3, kSentinel}, {7, 7, 7, 7}}));
}

TEST(GdiRleBlit, FourBitNibblesAlternate) {
    TestDib dib(6, 1, 4, BI_RLE4);
    for (int i = 0; i < 16; ++i) dib.Color(i, uint32_t(i) << 8);
    dib.Rle({3, 0x12, 0, 3, 0xAB, 0xC0, 0, 1});
    CDC dc(6, 1);
    Draw(dc, dib);
    EXPECT_EQ(Pixels(dc), (Rows{{0x100, 0x200, 0x100, 0xA00, 0xB00, 0xC00}}));
}

TEST(GdiRleBlit, PaletteIndicesAndStretching) {
    TestDib dib = Rle8Sample();
    for (int i = 0; i < 16; ++i) dib.Index(i, uint16_t(i % 2));  // entries 0 and 1: black, dark red
    CDC dc(8, 6);
    Fill(dc, kSentinel);
    StretchDIBits(&dc, 0, 0, 8, 6, 0, 0, 4, 3, dib.bits.data(), dib.Info(), DIB_PAL_COLORS,
                  SRCCOPY);
    const uint32_t darkRed = 0x800000;
    // The top picture row, doubled: its skipped half keeps the sentinel in both rows.
    for (int y : {0, 1}) {
        EXPECT_EQ(dc.GetPixelRGB32(0, y), kSentinel);
        EXPECT_EQ(dc.GetPixelRGB32(3, y), kSentinel);
        EXPECT_EQ(dc.GetPixelRGB32(4, y), darkRed);  // index 9: odd
        EXPECT_EQ(dc.GetPixelRGB32(7, y), darkRed);
    }
    EXPECT_EQ(dc.GetPixelRGB32(0, 2), darkRed);  // index 1
    EXPECT_EQ(dc.GetPixelRGB32(2, 3), 0u);       // index 2
    EXPECT_EQ(dc.GetPixelRGB32(7, 3), kSentinel);
    EXPECT_EQ(dc.GetPixelRGB32(5, 5), darkRed);  // index 7
}

TEST(GdiRleBlit, OnlyTheScanLinesAskedForAreDrawn) {
    const TestDib dib = Rle8Sample();
    CDC dc(4, 3);
    Fill(dc, kSentinel);
    // Scan line 1 only (counted from the bottom): the middle row of the picture.
    EXPECT_EQ(
        SetDIBitsToDevice(&dc, 0, 0, 4, 3, 0, 0, 1, 1, dib.bits.data(), dib.Info(), DIB_RGB_COLORS),
        1);
    EXPECT_EQ(Pixels(dc), (Rows{{kSentinel, kSentinel, kSentinel, kSentinel},
                                {1, 2, 3, kSentinel},
                                {kSentinel, kSentinel, kSentinel, kSentinel}}));
}

TEST(GdiRleBlit, DataPastTheEdgesIsClippedAndShortDataDrawsWhatItHolds) {
    TestDib clipped(2, 2, 8, BI_RLE8);
    clipped.Color(1, 0x111111);
    clipped.Color(5, 0x555555);
    clipped.Rle({255, 1, 0, 5, 5, 5, 5, 5, 5, 0, 0, 2, 200, 200, 9, 9, 0, 1});
    CDC dc(2, 2);
    Fill(dc, kSentinel);
    Draw(dc, clipped);
    EXPECT_EQ(Pixels(dc), (Rows{{kSentinel, kSentinel}, {0x111111, 0x111111}}));

    TestDib shortData(3, 2, 8, BI_RLE8);
    shortData.Color(4, 0x444444);
    shortData.Rle({2, 4, 0});  // the last pair is cut off
    Fill(dc, kSentinel);
    CDC dc3(3, 2);
    Fill(dc3, kSentinel);
    Draw(dc3, shortData);
    EXPECT_EQ(Pixels(dc3),
              (Rows{{kSentinel, kSentinel, kSentinel}, {0x444444, 0x444444, kSentinel}}));
}

TEST(GdiRleBlit, UnusableRunLengthHeadersAreRefused) {
    CDC dc(4, 3);
    Fill(dc, kSentinel);
    TestDib noSize = Rle8Sample();
    noSize.H().biSizeImage = 0;
    EXPECT_EQ(Draw(dc, noSize), 0);
    TestDib topDown = Rle8Sample();
    topDown.H().biHeight = -3;
    EXPECT_EQ(Draw(dc, topDown), 0);
    TestDib wrongDepth = Rle8Sample();
    wrongDepth.H().biCompression = BI_RLE4;
    EXPECT_EQ(Draw(dc, wrongDepth), 0);
    TestDib wrongFields(2, 1, 8, BI_BITFIELDS);
    wrongFields.bits.assign(4, 0);
    EXPECT_EQ(Draw(dc, wrongFields), 0);
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), kSentinel);
    EXPECT_EQ(dc.GetPixelRGB32(3, 2), kSentinel);
}

TEST(GdiRleBlit, RandomDataStaysInsideItsBuffer) {
    std::mt19937 random(1234);
    CDC dc(9, 7);
    for (int round = 0; round < 300; ++round) {
        const bool four = round % 2 == 1;
        TestDib dib(9, 7, four ? 4 : 8, four ? BI_RLE4 : BI_RLE8);
        std::vector<uint8_t> data(size_t(1 + random() % 64));
        for (auto& byte : data) byte = uint8_t(random() % 4 == 0 ? random() % 3 : random());
        dib.Rle(data);
        EXPECT_EQ(Draw(dc, dib), 7);
        StretchDIBits(&dc, 0, 0, 9, 7, 1, 1, 5, 5, dib.bits.data(), dib.Info(), DIB_RGB_COLORS,
                      SRCCOPY);
    }
}
