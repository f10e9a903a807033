// The device's surface, pixels and fills, and image lists.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Gdi.h"
#include "tests/support/GdiSurface.h"

// --- Surfaces and pixels ---

TEST(GdiSurface, OwnSurfaceStartsBlack) {
    CDC dc(3, 2);
    ASSERT_EQ(dc.GetSafeHdc(), &dc);
    EXPECT_EQ(dc.StrideBytes(), 12);
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>(2, {0, 0, 0})));
}

TEST(GdiSurface, UnusableSizesGiveNoSurface) {
    EXPECT_EQ(CDC(0, 5).GetSafeHdc(), nullptr);
    EXPECT_EQ(CDC(5, -1).GetSafeHdc(), nullptr);
    EXPECT_EQ(CDC(1 << 20, 1 << 20).GetSafeHdc(), nullptr);
    EXPECT_EQ(CDC().GetSafeHdc(), nullptr);
    uint32_t pixels[8] = {};
    EXPECT_EQ(CDC(pixels, 4, 2, 15).GetSafeHdc(), nullptr) << "stride not whole pixels";
    EXPECT_EQ(CDC(pixels, 4, 2, 12).GetSafeHdc(), nullptr) << "stride shorter than a row";
    EXPECT_EQ(CDC(nullptr, 4, 2, 16).GetSafeHdc(), nullptr);
}

TEST(GdiSurface, SurfacelessDeviceIgnoresDrawing) {
    CDC none;
    none.FillSolidRect(0, 0, 10, 10, RGB(1, 2, 3));
    none.SetPixel(0, 0, RGB(1, 2, 3));
    EXPECT_EQ(none.GetPixel(0, 0), CLR_INVALID);
}

TEST(GdiSurface, BorrowedSurfaceHonoursTheStride) {
    std::vector<uint32_t> store(6 * 3, kSentinel);  // 4 pixels wide, rows of 6
    CDC dc(store.data(), 4, 3, 24);
    ASSERT_NE(dc.GetSafeHdc(), nullptr);
    dc.FillSolidRect(0, 0, 4, 3, RGB(0xAA, 0xBB, 0xCC));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(store[size_t(y * 6 + x)], x < 4 ? 0xAABBCCu : kSentinel) << x << "," << y;
        }
    }
}

TEST(GdiSurface, PixelsConvertBetweenColorRefAndSurfaceOrder) {
    CDC dc(2, 2);
    dc.SetPixel(1, 0, RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(dc.GetPixelRGB32(1, 0), 0x112233u);
    EXPECT_EQ(dc.GetPixel(1, 0), RGB(0x11, 0x22, 0x33));
    dc.SetPixel(0, 1, 0x80000005u);  // a flag byte is not part of the colour
    EXPECT_EQ(dc.GetPixelRGB32(0, 1), 0x050000u);
}

TEST(GdiSurface, PixelsOutsideAreIgnored) {
    CDC dc(2, 2);
    Fill(dc, kSentinel);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}}) {
        dc.SetPixel(x, y, RGB(255, 255, 255));
        EXPECT_EQ(dc.GetPixel(x, y), CLR_INVALID);
        EXPECT_EQ(dc.GetPixelRGB32(x, y), 0u);
    }
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>(2, {kSentinel, kSentinel})));
}

// --- FillSolidRect ---

TEST(GdiFill, FillsRightAndBottomExclusive) {
    CDC dc(4, 3);
    dc.FillSolidRect(CRect(1, 1, 3, 2), RGB(255, 0, 0));
    const std::vector<std::vector<uint32_t>> want = {
        {0, 0, 0, 0}, {0, 0xFF0000, 0xFF0000, 0}, {0, 0, 0, 0}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiFill, ClipsOnEveryEdge) {
    CDC dc(3, 3);
    dc.FillSolidRect(-5, -5, 6, 6, RGB(1, 0, 0));    // top-left corner only
    dc.FillSolidRect(2, 2, 100, 100, RGB(2, 0, 0));  // bottom-right corner only
    dc.FillSolidRect(2, -1, 5, 2, RGB(3, 0, 0));     // top-right corner only
    dc.FillSolidRect(-3, 2, 4, 9, RGB(4, 0, 0));     // bottom-left corner only
    const std::vector<std::vector<uint32_t>> want = {
        {0x010000, 0, 0x030000}, {0, 0, 0}, {0x040000, 0, 0x020000}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiFill, EmptyInvertedAndHugeRectangles) {
    CDC dc(2, 2);
    dc.FillSolidRect(1, 1, 0, 5, RGB(9, 9, 9));
    dc.FillSolidRect(CRect(2, 2, 0, 0), RGB(9, 9, 9));
    dc.FillSolidRect(1, 1, -1, -1, RGB(9, 9, 9));
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>(2, {0, 0})));
    dc.FillSolidRect(INT32_MAX - 1, 0, INT32_MAX, 1, RGB(9, 9, 9));  // must not wrap
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>(2, {0, 0})));
    dc.FillSolidRect(-2, -2, INT32_MAX, INT32_MAX, RGB(9, 9, 9));
    EXPECT_EQ(Pixels(dc), (std::vector<std::vector<uint32_t>>(2, {0x090909, 0x090909})));
}

TEST(GdiFill, PaletteIndexColoursUseTheSelectedPalette) {
    CDC dc(2, 1);
    dc.FillSolidRect(0, 0, 1, 1, PALETTEINDEX(9));   // stock sky blue
    dc.FillSolidRect(1, 0, 1, 1, PALETTEINDEX(20));  // past the palette
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{0xA6CAF0, 0}));
}

// --- Image lists ---

namespace {

// A 4-bit DIB of two 3x2 images; value 1 is the mask colour, pure green.
//   top row:    2 1 3 | 1 1 2
//   bottom row: 1 2 2 | 3 1 1
class StripDib {
public:
    explicit StripDib(int32_t width = 6) : m_header(sizeof(BITMAPINFOHEADER) + 16 * 4) {
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = width;
        h.biHeight = 2;
        h.biPlanes = 1;
        h.biBitCount = 4;
        std::memcpy(m_header.data(), &h, sizeof h);
        const RGBQUAD table[4] = {{0, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}};
        std::memcpy(m_header.data() + sizeof h, table, sizeof table);
    }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(m_header.data()); }
    // Rows of 4 bytes, bottom first; a seventh column (value 2) for the 7-wide variant.
    const uint8_t bits[8] = {0x12, 0x23, 0x11, 0x20, 0x21, 0x31, 0x12, 0x20};

private:
    std::vector<uint8_t> m_header;
};

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr COLORREF kBack = RGB(10, 20, 30);
constexpr uint32_t kBack32 = 0x0A141E;

}  // namespace

TEST(GdiImageList, CutsWholeImagesOnly) {
    StripDib six;
    CImageList list;
    ASSERT_TRUE(list.Create(six.Info(), six.bits, 3, 0, RGB(0, 255, 0)));
    EXPECT_EQ(list.GetImageCount(), 2);
    StripDib seven(7);
    ASSERT_TRUE(list.Create(seven.Info(), seven.bits, 3, 0, RGB(0, 255, 0)));
    EXPECT_EQ(list.GetImageCount(), 2) << "the seventh column is left over";
    EXPECT_FALSE(list.Create(six.Info(), six.bits, 7, 0, RGB(0, 255, 0)));
    EXPECT_EQ(list.GetImageCount(), 0);
    EXPECT_FALSE(list.Create(six.Info(), six.bits, 0, 0, RGB(0, 255, 0)));
    EXPECT_FALSE(list.Create(nullptr, six.bits, 3, 0, RGB(0, 255, 0)));
    EXPECT_FALSE(list.Create(six.Info(), nullptr, 3, 0, RGB(0, 255, 0)));
}

TEST(GdiImageList, MaskPixelsShowTheBackgroundColour) {
    StripDib dib;
    CImageList list;
    ASSERT_TRUE(list.Create(dib.Info(), dib.bits, 3, 0, RGB(0, 255, 0)));
    EXPECT_EQ(list.SetBkColor(kBack), CLR_NONE);
    EXPECT_EQ(list.GetBkColor(), kBack);
    CDC dc(5, 2);
    Fill(dc, kSentinel);
    EXPECT_TRUE(list.Draw(&dc, 1, POINT{1, 0}, ILD_NORMAL));
    const std::vector<std::vector<uint32_t>> want = {
        {kSentinel, kBack32, kBack32, kRed, kSentinel},
        {kSentinel, kBlue, kBack32, kBack32, kSentinel}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiImageList, NoBackgroundLeavesTheDestination) {
    StripDib dib;
    CImageList list;
    ASSERT_TRUE(list.Create(dib.Info(), dib.bits, 3, 0, RGB(0, 255, 0)));
    EXPECT_EQ(list.SetBkColor(kBack), CLR_NONE);
    EXPECT_EQ(list.SetBkColor(CLR_NONE), kBack);
    CDC dc(3, 2);
    Fill(dc, kSentinel);
    EXPECT_TRUE(list.Draw(&dc, 0, POINT{0, 0}, ILD_NORMAL));
    const std::vector<std::vector<uint32_t>> want = {{kRed, kSentinel, kBlue},
                                                     {kSentinel, kRed, kRed}};
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiImageList, DrawIsClippedToTheDevice) {
    StripDib dib;
    CImageList list;
    ASSERT_TRUE(list.Create(dib.Info(), dib.bits, 3, 0, RGB(0, 255, 0)));
    list.SetBkColor(kBack);
    CDC dc(2, 2);
    Fill(dc, kSentinel);
    EXPECT_TRUE(list.Draw(&dc, 0, POINT{-1, 1}, ILD_NORMAL));  // top row, columns 1 and 2
    EXPECT_TRUE(list.Draw(&dc, 0, POINT{1, -1}, ILD_NORMAL));  // bottom row, column 0
    const std::vector<std::vector<uint32_t>> want = {{kSentinel, kBack32}, {kBack32, kBlue}};
    EXPECT_EQ(Pixels(dc), want);
    EXPECT_TRUE(list.Draw(&dc, 1, POINT{50, 50}, ILD_NORMAL));
    EXPECT_EQ(Pixels(dc), want);
}

TEST(GdiImageList, RefusesBadImagesAndDevices) {
    StripDib dib;
    CImageList list;
    CDC dc(3, 2);
    CDC none;
    EXPECT_FALSE(list.Draw(&dc, 0, POINT{}, ILD_NORMAL)) << "empty list";
    ASSERT_TRUE(list.Create(dib.Info(), dib.bits, 3, 0, RGB(0, 255, 0)));
    EXPECT_FALSE(list.Draw(&dc, 2, POINT{}, ILD_NORMAL));
    EXPECT_FALSE(list.Draw(&dc, -1, POINT{}, ILD_NORMAL));
    EXPECT_FALSE(list.Draw(nullptr, 0, POINT{}, ILD_NORMAL));
    EXPECT_FALSE(list.Draw(&none, 0, POINT{}, ILD_NORMAL));
}

TEST(GdiImageList, TwentyFourBitSourcesWork) {
    // 2x1, one image per pixel: green (the mask) and a dark red.
    std::vector<uint8_t> header(sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = 2;
    h.biHeight = 1;
    h.biPlanes = 1;
    h.biBitCount = 24;
    std::memcpy(header.data(), &h, sizeof h);
    const uint8_t bits[8] = {0, 255, 0, 0, 0, 128, 0, 0};
    CImageList list;
    ASSERT_TRUE(list.Create(reinterpret_cast<const BITMAPINFO*>(header.data()), bits, 1, 0,
                            RGB(0, 255, 0)));
    list.SetBkColor(kBack);
    CDC dc(2, 1);
    list.Draw(&dc, 0, POINT{0, 0}, ILD_NORMAL);
    list.Draw(&dc, 1, POINT{1, 0}, ILD_NORMAL);
    EXPECT_EQ(Pixels(dc)[0], (std::vector<uint32_t>{kBack32, 0x800000}));
}
