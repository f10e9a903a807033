// Pixel addressing and the four pixel operations.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/Image.h"

namespace {

std::vector<uint8_t> Rows(CImage& image) {
    const BYTE* bits = image.GetBits();
    return {bits, bits + size_t(image.GetBytesPerLine()) * size_t(image.GetHeight())};
}

}  // namespace

TEST(ImagePixels, IsInsideStopsAtTheEdges) {
    CImage image;
    image.Create(4, 3, 24, -1);
    EXPECT_TRUE(image.IsInside(0, 0));
    EXPECT_TRUE(image.IsInside(3, 2));
    EXPECT_FALSE(image.IsInside(4, 0));
    EXPECT_FALSE(image.IsInside(0, 3));
    EXPECT_FALSE(image.IsInside(0, -1));
    EXPECT_FALSE(image.IsInside(-1, 0));

    const auto before = Rows(image);
    BYTE r = 7, g = 7, b = 7;
    EXPECT_FALSE(image.SetPixelRGB(4, 0, 1, 2, 3));
    EXPECT_FALSE(image.SetPixelRGB(0, -1, 1, 2, 3));
    EXPECT_FALSE(image.GetPixelRGB(0, 3, &r, &g, &b));
    EXPECT_EQ(r, 7);
    EXPECT_EQ(Rows(image), before);
}

TEST(ImagePixels, RowHelperCountsPictureRowsFromTheTop) {
    CImageImpl impl;
    impl.Create(5, 4, 8, -1);
    EXPECT_EQ(impl.MemoryRowOf(0), 3);
    EXPECT_EQ(impl.PictureRow(0), impl.imageBits + 3 * 8);
    EXPECT_EQ(impl.PictureRow(3), impl.imageBits);
    impl.PictureRow(0)[2] = 42;  // top picture row
    EXPECT_EQ(impl.GetPixelIndex(2, 3), 42);
}

TEST(ImagePixels, TrueColourBytesAreBlueGreenRed) {
    CImage image;
    image.Create(3, 2, 24, -1);
    BYTE* pixel = image.GetBits() + 1 * image.GetBytesPerLine() + 2 * 3;  // (2, 1)
    pixel[0] = 10;
    pixel[1] = 20;
    pixel[2] = 30;
    BYTE r = 0, g = 0, b = 0;
    ASSERT_TRUE(image.GetPixelRGB(2, 1, &r, &g, &b));
    EXPECT_EQ(r, 30);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 10);

    ASSERT_TRUE(image.SetPixelRGB(0, 0, 1, 2, 3));
    EXPECT_EQ(image.GetBits()[0], 3);
    EXPECT_EQ(image.GetBits()[2], 1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
    EXPECT_FALSE(image.SetPixelIndex(0, 0, 1));
}

TEST(ImagePixels, PaletteBitWithoutPaletteRefusesColours) {
    CImage image;
    image.Create(4, 4, 8, 3);
    const auto before = Rows(image);
    EXPECT_FALSE(image.SetPixelRGB(1, 1, 255, 0, 0));
    EXPECT_EQ(Rows(image), before);
}

TEST(ImagePixels, PaletteImageStoresTheNearestIndex) {
    CImage image;
    image.Create(4, 4, 8, -1);
    const BYTE rgb[] = {0, 0, 0, 255, 0, 0, 0, 0, 255, 250, 250, 250};
    ASSERT_TRUE(image.CreatePaletteFromRGB(4, rgb));
    ASSERT_TRUE(image.SetPixelRGB(1, 2, 10, 0, 200));
    EXPECT_EQ(image.GetPixelIndex(1, 2), 2);
    ASSERT_TRUE(image.SetPixelRGB(3, 3, 255, 255, 255));
    EXPECT_EQ(image.GetPixelIndex(3, 3), 3);
    BYTE r = 0, g = 0, b = 0;
    ASSERT_TRUE(image.GetPixelRGB(1, 2, &r, &g, &b));
    EXPECT_EQ(b, 255);
    // An index beyond the palette has no colour.
    image.SetPixelIndex(0, 0, 9);
    r = 5;
    EXPECT_FALSE(image.GetPixelRGB(0, 0, &r, &g, &b));
    EXPECT_EQ(r, 5);
}

TEST(ImagePixels, EightBitWithoutPaletteUsesTheColourTable) {
    CImage image;
    image.Create(4, 2, 8, -1);
    ASSERT_TRUE(image.SetPixelRGB(3, 1, 0, 250, 0));  // last byte of the block
    EXPECT_EQ(image.GetPixelIndex(3, 1), 10);         // default green
    EXPECT_EQ(image.GetPixelIndex(2, 1), 0);
    image.SetPixelIndex(0, 0, 9);
    BYTE r = 0, g = 1, b = 1;
    ASSERT_TRUE(image.GetPixelRGB(0, 0, &r, &g, &b));
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);
}

TEST(ImagePixels, SubBytePixelsKeepTheirNeighbours) {
    CImage one;
    one.Create(33, 2, 1, -1);
    ASSERT_TRUE(one.SetPixelIndex(0, 1, 1));
    ASSERT_TRUE(one.SetPixelIndex(9, 1, 3));  // only the low bit counts
    ASSERT_TRUE(one.SetPixelIndex(32, 1, 1));
    const BYTE* row = one.GetBits() + 8;
    EXPECT_EQ(row[0], 0x80);
    EXPECT_EQ(row[1], 0x40);
    EXPECT_EQ(row[4], 0x80);
    EXPECT_EQ(one.GetPixelIndex(9, 1), 1);
    EXPECT_EQ(one.GetPixelIndex(10, 1), 0);
    ASSERT_TRUE(one.SetPixelIndex(0, 1, 0));
    EXPECT_EQ(row[0], 0x00);
    EXPECT_EQ(row[1], 0x40);

    CImage four;
    four.Create(3, 1, 4, -1);
    four.SetPixelIndex(0, 0, 0x5);
    four.SetPixelIndex(1, 0, 0xA);
    four.SetPixelIndex(2, 0, 0xF);
    EXPECT_EQ(four.GetBits()[0], 0x5A);
    EXPECT_EQ(four.GetBits()[1], 0xF0);
    EXPECT_EQ(four.GetPixelIndex(1, 0), 0xA);
}

TEST(ImagePixels, SixteenBitIsFiveFiveFive) {
    CImage image;
    image.Create(2, 1, 16, -1);
    ASSERT_TRUE(image.SetPixelRGB(1, 0, 255, 0, 255));
    uint16_t word = 0;
    std::memcpy(&word, image.GetBits() + 2, 2);
    EXPECT_EQ(word, 0x7C1F);
    BYTE r = 0, g = 9, b = 0;
    ASSERT_TRUE(image.GetPixelRGB(1, 0, &r, &g, &b));
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 255);
}

TEST(ImagePixels, EmptyImageAnswersFailureValues) {
    CImage image;
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetImpl(), nullptr);
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
    EXPECT_FALSE(image.SetPixelRGB(0, 0, 1, 1, 1));
    EXPECT_FALSE(image.StretchDraw(nullptr, 0, 0, -1, -1, 0, 0, -1, -1));
    EXPECT_EQ(image.GetWidth(), 0);
}
