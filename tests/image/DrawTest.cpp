// Drawing into a device context: orientation, source rectangles and transparency.
#include <gtest/gtest.h>

#include <vector>

#include "image/Image.h"

namespace {

constexpr uint32_t Rgb32(int r, int g, int b) {
    return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

std::vector<uint8_t> Block(CImage& image) {
    const auto* start = reinterpret_cast<const uint8_t*>(image.GetImpl()->imageDIB);
    return {start, start + image.GetImpl()->BlockBytes()};
}

// A 24-bit picture whose red channel is the column and green channel the memory row.
void FillCoordinates(CImage& image, int width, int height) {
    image.Create(width, height, 24, -1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.SetPixelRGB(x, y, x, y, 0);
    }
}

}  // namespace

TEST(ImageDraw, PixelZeroZeroIsTheBottomLeft) {
    CImage image;
    image.Create(4, 3, 24, -1);
    image.SetPixelRGB(0, 0, 255, 0, 0);
    image.SetPixelRGB(3, 2, 0, 0, 255);
    CDC dc(4, 3);
    ASSERT_TRUE(image.Draw(&dc, 0, 0, -1, -1, 0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(0, 2), Rgb32(255, 0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(3, 0), Rgb32(0, 0, 255));
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), 0u);

    CDC stretched(8, 6);
    ASSERT_TRUE(image.StretchDraw(&stretched, 0, 0, 8, 6, 0, 0, -1, -1));
    EXPECT_EQ(stretched.GetPixelRGB32(1, 5), Rgb32(255, 0, 0));
    EXPECT_EQ(stretched.GetPixelRGB32(7, 0), Rgb32(0, 0, 255));
}

TEST(ImageDraw, PaletteImageDrawsThroughTheSelectedPalette) {
    CImage image;
    image.Create(2, 1, 8, -1);
    const BYTE rgb[] = {0, 0, 0, 10, 200, 30};
    ASSERT_TRUE(image.CreatePaletteFromRGB(2, rgb));
    image.SetPixelIndex(1, 0, 1);
    CDC dc(2, 1);
    dc.SelectPalette(image.GetPalette()->GetSafeHandle(), TRUE);
    ASSERT_TRUE(image.StretchDraw(&dc, 0, 0, -1, -1, 0, 0, -1, -1));
    EXPECT_EQ(dc.GetPixelRGB32(1, 0), Rgb32(10, 200, 30));
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), 0u);
}

TEST(ImageDraw, EightBitWithoutPaletteDrawsItsColourTable) {
    CImage image;
    image.Create(1, 1, 8, -1);
    image.SetPixelIndex(0, 0, 12);  // default blue
    CDC dc(1, 1);
    ASSERT_TRUE(image.Draw(&dc, 0, 0, -1, -1, 0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), Rgb32(0, 0, 255));
}

TEST(ImageDraw, MinusOneSourceSizesTakeTheRest) {
    CImage image;
    FillCoordinates(image, 100, 20);
    CDC dc(90, 15);
    ASSERT_TRUE(image.StretchDraw(&dc, 0, 0, 90, 15, 10, 5, -1, -1));
    // Columns 10..99; DIB rows 5..19 counted from the bottom, so the top is memory row 19.
    EXPECT_EQ(dc.GetPixelRGB32(0, 0), Rgb32(10, 19, 0));
    EXPECT_EQ(dc.GetPixelRGB32(89, 0), Rgb32(99, 19, 0));
    EXPECT_EQ(dc.GetPixelRGB32(0, 14), Rgb32(10, 5, 0));
}

TEST(ImageDraw, MinusOneDestinationIsTheImageSize) {
    CImage image;
    FillCoordinates(image, 5, 4);
    CDC dc(10, 10);
    ASSERT_TRUE(image.StretchDraw(&dc, 2, 3, -1, -1, 0, 0, -1, -1));
    EXPECT_EQ(dc.GetPixelRGB32(2, 3), Rgb32(0, 3, 0));
    EXPECT_EQ(dc.GetPixelRGB32(6, 6), Rgb32(4, 0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(7, 6), 0u);
    EXPECT_EQ(dc.GetPixelRGB32(2, 7), 0u);
}

TEST(ImageDraw, NoPixelsFailsNoDeviceDoesNothing) {
    CImage image;
    image.CreateImpl("", 0);
    CDC dc(2, 2);
    EXPECT_FALSE(image.Draw(&dc, 0, 0, -1, -1, 0, 0));
    EXPECT_FALSE(image.StretchDraw(&dc, 0, 0, -1, -1, 0, 0, -1, -1));
    image.Create(2, 2, 24, -1);
    EXPECT_TRUE(image.Draw(nullptr, 0, 0, -1, -1, 0, 0));
    EXPECT_TRUE(image.StretchDraw(nullptr, 0, 0, -1, -1, 0, 0, -1, -1));
    CDC none;
    EXPECT_TRUE(image.StretchDraw(&none, 0, 0, -1, -1, 0, 0, -1, -1));
}

TEST(ImageDraw, TransparentIndexKeepsTheDestination) {
    // Palette: black, white, green (transparent), red.
    const BYTE rgb[] = {0, 0, 0, 255, 255, 255, 0, 255, 0, 200, 0, 0};
    CImage image;
    image.Create(4, 3, 8, -1);
    ASSERT_TRUE(image.CreatePaletteFromRGB(4, rgb));
    image.GetImpl()->transparentIndex = 2;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) image.SetPixelIndex(x, y, (x + y) % 4);
    }
    const auto before = Block(image);

    CDC dc(8, 6);
    const COLORREF background = RGB(40, 50, 60);
    dc.FillSolidRect(0, 0, 8, 6, background);
    dc.SelectPalette(image.GetPalette()->GetSafeHandle(), TRUE);
    ASSERT_TRUE(image.StretchDraw(&dc, 0, 0, 8, 6, 0, 0, -1, -1));

    const uint32_t colours[] = {Rgb32(0, 0, 0), Rgb32(255, 255, 255), Rgb32(40, 50, 60),
                                Rgb32(200, 0, 0)};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int index = (x + y) % 4;
            // Memory row y is picture row 2 - y; each pixel covers a 2 x 2 square.
            EXPECT_EQ(dc.GetPixelRGB32(2 * x + 1, 2 * (2 - y) + 1), colours[index])
                << x << "," << y;
        }
    }
    EXPECT_EQ(Block(image), before);
}

TEST(ImageDraw, TransparentIndexOnTrueColourDrawsOpaque) {
    CImage image;
    FillCoordinates(image, 2, 2);
    image.GetImpl()->transparentIndex = 0;
    CDC dc(2, 2);
    dc.FillSolidRect(0, 0, 2, 2, RGB(9, 9, 9));
    ASSERT_TRUE(image.StretchDraw(&dc, 0, 0, -1, -1, 0, 0, -1, -1));
    EXPECT_EQ(dc.GetPixelRGB32(0, 1), Rgb32(0, 0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(1, 0), Rgb32(1, 1, 0));
}
