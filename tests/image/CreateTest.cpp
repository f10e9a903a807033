// Blank pixel blocks: geometry, colour tables, refusals and reuse.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "image/Image.h"

namespace {

const RGBQUAD* TableOf(CImageImpl* impl) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(impl->imageDIB) +
                                            impl->imageDIB->biSize);
}

std::vector<uint8_t> BlockBytes(CImageImpl* impl) {
    const auto* start = reinterpret_cast<const uint8_t*>(impl->imageDIB);
    return {start, start + impl->BlockBytes()};
}

}  // namespace

TEST(ImageCreate, TrueColourHasNoTableAndColourType2) {
    CImage image;
    EXPECT_EQ(image.Create(3, 2, 24, -1), 12);
    EXPECT_EQ(image.GetColorType(), 2);
    EXPECT_EQ(image.GetImageType(), 0);  // an empty image gets a BMP object
    CImageImpl* impl = image.GetImpl();
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(impl->imageDIB->biSize, 40u);
    EXPECT_EQ(impl->imageDIB->biClrUsed, 0u);
    EXPECT_EQ(impl->imageDIB->biSizeImage, 24u);
    EXPECT_EQ(impl->imageDIB->biPlanes, 1);
    EXPECT_EQ(impl->imageDIB->biCompression, BI_RGB);
    EXPECT_EQ(image.GetBits(), reinterpret_cast<BYTE*>(impl->imageDIB) + 40);
    EXPECT_EQ(impl->BlockBytes(), 24u + 1064u);

    CImage five;
    EXPECT_EQ(five.Create(5, 1, 24, -1), 16);
}

TEST(ImageCreate, EightBitTableRepeatsTheSixteenColours) {
    CImage image;
    EXPECT_EQ(image.Create(7, 3, 8, -1), 8);
    EXPECT_EQ(image.GetColorType(), 0);
    CImageImpl* impl = image.GetImpl();
    ASSERT_EQ(impl->imageDIB->biClrUsed, 256u);
    EXPECT_EQ(image.GetBits(), reinterpret_cast<BYTE*>(impl->imageDIB) + 40 + 1024);
    const RGBQUAD* table = TableOf(impl);
    for (int i = 0; i < 256; i += 16) {
        EXPECT_EQ(table[i + 1].rgbRed, 128) << i;  // dark red
        EXPECT_EQ(table[i + 1].rgbBlue, 0) << i;
        EXPECT_EQ(table[i + 7].rgbGreen, 192) << i;
        EXPECT_EQ(table[i + 12].rgbBlue, 255) << i;  // blue
        EXPECT_EQ(table[i + 12].rgbRed, 0) << i;
        EXPECT_EQ(table[i + 15].rgbRed, 255) << i;
        EXPECT_EQ(table[i + 15].rgbReserved, 0) << i;
    }
}

TEST(ImageCreate, FourBitHasSixteenEntriesOneBitTwoBlack) {
    CImage four;
    four.Create(4, 4, 4, -1);
    EXPECT_EQ(four.GetImpl()->imageDIB->biClrUsed, 16u);
    EXPECT_EQ(TableOf(four.GetImpl())[9].rgbRed, 255);

    CImage one;
    EXPECT_EQ(one.Create(33, 2, 1, -1), 8);
    CImageImpl* impl = one.GetImpl();
    ASSERT_EQ(impl->imageDIB->biClrUsed, 2u);
    const RGBQUAD* table = TableOf(impl);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(table[i].rgbRed | table[i].rgbGreen | table[i].rgbBlue, 0);
    }
    EXPECT_EQ(one.GetBits(), reinterpret_cast<BYTE*>(impl->imageDIB) + 48);
}

TEST(ImageCreate, ExplicitColourTypeIsKeptAndRowsAreZero) {
    CImage image;
    image.Create(10, 10, 8, 5);
    EXPECT_EQ(image.GetColorType(), 5);
    const BYTE* bits = image.GetBits();
    for (int i = 0; i < 10 * 12; ++i) ASSERT_EQ(bits[i], 0) << i;
}

TEST(ImageCreate, RefusesNegativeOddAndOversizedDimensions) {
    CImage image;
    ASSERT_GT(image.Create(8, 8, 8, -1), 0);
    image.GetImpl()->transparentIndex = 4;

    EXPECT_EQ(image.Create(-1, 5, 8, -1), 0);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_FALSE(image.IsInside(0, 0));
    EXPECT_EQ(image.GetImpl()->transparentIndex, 4);  // not Create's business

    EXPECT_EQ(image.Create(5, -1, 24, -1), 0);
    EXPECT_EQ(image.Create(5, 5, 3, -1), 0);
    EXPECT_EQ(image.Create(5, 5, 0, -1), 0);
    EXPECT_EQ(image.Create(65536, 65536, 24, -1), 0);      // 12 GiB
    EXPECT_EQ(image.Create(INT_MAX, INT_MAX, 32, -1), 0);  // would overflow 64 bits
    EXPECT_EQ(image.Create(INT_MAX, 1, 32, -1), 0);
    EXPECT_EQ(image.SetPixelIndex(0, 0, 1), FALSE);
    EXPECT_FALSE(image.IsValid());

    // Just under the cap is still a valid request; one row more is not.
    const int64_t room = kMaxImageBytes - kBlockHeaderBytes;
    const int32_t rows = int32_t(room / 4096);
    CImageImpl probe;
    EXPECT_EQ(probe.Create(4096, rows + 1, 8, -1), 0);
    EXPECT_EQ(probe.imageDIB, nullptr);
}

TEST(ImageCreate, ZeroSizeGivesAHeaderOnlyBlock) {
    CImage image;
    image.Create(0, 0, 24, -1);
    EXPECT_TRUE(image.IsValid());
    EXPECT_FALSE(image.IsInside(0, 0));
}

TEST(ImageCreate, SameSizeRecreateMatchesAFreshBlock) {
    CImage image;
    image.Create(9, 7, 8, -1);
    CImageImpl* impl = image.GetImpl();
    BITMAPINFOHEADER* first = impl->imageDIB;
    BYTE ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = BYTE(i);
    ASSERT_TRUE(image.CreatePalette(256, ramp, nullptr, nullptr));
    for (int y = 0; y < 7; ++y) image.SetPixelIndex(8, y, 200);
    impl->imageDIB->biXPelsPerMeter = 1234;

    EXPECT_EQ(image.Create(9, 7, 8, -1), 12);
    EXPECT_EQ(impl->imageDIB, first);  // kept, not reallocated
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetColorType(), 0);

    CImageImpl fresh;
    fresh.Create(9, 7, 8, -1);
    ASSERT_EQ(impl->BlockBytes(), fresh.BlockBytes());
    EXPECT_EQ(BlockBytes(impl), BlockBytes(&fresh));
    EXPECT_EQ(impl->imageBits - reinterpret_cast<BYTE*>(impl->imageDIB),
              fresh.imageBits - reinterpret_cast<BYTE*>(fresh.imageDIB));
}

TEST(ImageCreate, ReusedBlockOfAnotherDepthIsResetToThatDepth) {
    // 4 x 3 at 8 bits and 1 x 3 at 24 bits both need 12 bytes of rows.
    CImageImpl impl;
    impl.Create(4, 3, 8, -1);
    const size_t bytes = impl.BlockBytes();
    impl.SetPixelIndex(3, 2, 99);
    impl.Create(1, 3, 24, -1);
    ASSERT_EQ(impl.BlockBytes(), bytes);

    CImageImpl fresh;
    fresh.Create(1, 3, 24, -1);
    EXPECT_EQ(BlockBytes(&impl), BlockBytes(&fresh));
    EXPECT_EQ(impl.imageBits, reinterpret_cast<BYTE*>(impl.imageDIB) + 40);
    EXPECT_EQ(impl.colorType, 2);
}

TEST(ImageCreate, AdoptBlockChecksTheRowsFit) {
    CImageImpl source;
    source.Create(5, 4, 8, -1);
    const size_t bytes = source.BlockBytes();  // header, 256 entries, rows
    auto copy = [&](size_t n) {
        CBlockPtr block = AllocateBlock(n);
        std::memcpy(block.get(), source.imageDIB, std::min(n, source.BlockBytes()));
        return block;
    };
    CImageImpl impl;
    EXPECT_TRUE(impl.AdoptBlock(copy(bytes), bytes));
    EXPECT_EQ(impl.imageWidth, 5);
    EXPECT_EQ(impl.bytesPerLine, 8);
    EXPECT_EQ(impl.imageBits, reinterpret_cast<BYTE*>(impl.imageDIB) + 1064);

    const size_t tooShort = 40 + 1024 + 8 * 4 - 1;
    EXPECT_FALSE(impl.AdoptBlock(copy(tooShort), tooShort));
    EXPECT_EQ(impl.imageDIB, nullptr);
    EXPECT_FALSE(impl.IsInside(0, 0));

    auto rle = copy(bytes);
    reinterpret_cast<BITMAPINFOHEADER*>(rle.get())->biCompression = BI_RLE8;
    EXPECT_FALSE(impl.AdoptBlock(std::move(rle), bytes));
}
