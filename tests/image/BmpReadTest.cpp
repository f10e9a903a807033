// Reading BMP files into an image: headers, colour tables, row layouts.
#include <gtest/gtest.h>

#include <cstring>

#include "DibTestSupport.h"
#include "image/ImageFormats.h"

using namespace dibtest;

namespace {

uint16_t TableWord(const CBmpImpl& image, int index) {
    uint16_t word = 0;
    std::memcpy(&word, reinterpret_cast<const uint8_t*>(image.imageDIB) + 40 + 2 * index, 2);
    return word;
}

struct Rgb {
    BYTE r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

Rgb PixelOf(CBmpImpl& image, int x, int y) {
    Rgb c;
    EXPECT_TRUE(image.GetPixelRGB(x, y, &c.r, &c.g, &c.b)) << x << "," << y;
    return c;
}

// 3 x 2, 8 bits: bottom row indices 0, 1, 2, top row 253, 254, 255.
std::vector<uint8_t> EightBitRows() {
    return Bytes().U8(0).U8(1).U8(2).U8(0).U8(253).U8(254).U8(255).U8(0).data;
}

}  // namespace

TEST(BmpRead, EightBitWithoutColourCountGetsAllTwoHundredFiftySixEntries) {
    const auto path = WriteTemp(
        "clrused0.bmp", BmpFile(InfoHeader(3, 2, 8, BI_RGB, 8, 0), RampTable(256), EightBitRows()));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.fileName, path);
    EXPECT_EQ(image.imageWidth, 3);
    EXPECT_EQ(image.imageHeight, 2);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.bytesPerLine, 4);
    EXPECT_EQ(image.imageDIB->biClrUsed, 256u);
    EXPECT_EQ(image.colorType, 3);
    ASSERT_NE(image.imagePalette, nullptr);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 256);
    // The table is in index form while the palette is attached.
    EXPECT_EQ(TableWord(image, 0), 0);
    EXPECT_EQ(TableWord(image, 77), 77);
    EXPECT_EQ(TableWord(image, 255), 255);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 255);
    EXPECT_EQ(PixelOf(image, 2, 0), (Rgb{2, 253, 1}));
    EXPECT_EQ(PixelOf(image, 0, 1), (Rgb{253, 2, 126}));
}

TEST(BmpRead, TwentyFourBitsHasNoPaletteAndKeepsColourType) {
    // 2 x 2, rows blue, green, red; stride 8.
    const auto rows = Bytes()
                          .U8(1)
                          .U8(2)
                          .U8(3)
                          .U8(4)
                          .U8(5)
                          .U8(6)
                          .U16(0)  // bottom
                          .U8(10)
                          .U8(20)
                          .U8(30)
                          .U8(40)
                          .U8(50)
                          .U8(60)
                          .U16(0)  // top
                          .data;
    const auto path =
        WriteTemp("rgb24.bmp", BmpFile(InfoHeader(2, 2, 24, BI_RGB, 16, 0), {}, rows));
    CBmpImpl image("");
    image.colorType = 0;
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imagePalette, nullptr);
    EXPECT_EQ(image.colorType, 0);
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(image.bytesPerLine, 8);
    EXPECT_EQ(PixelOf(image, 1, 0), (Rgb{6, 5, 4}));
    EXPECT_EQ(PixelOf(image, 0, 1), (Rgb{30, 20, 10}));

    CBmpImpl typed("");
    typed.colorType = 2;
    ASSERT_TRUE(typed.Read(path));
    EXPECT_EQ(typed.colorType, 2);
}

TEST(BmpRead, FileWithoutFileHeaderTakesRowsAfterTheTable) {
    // 4-bit, 16 entries, starts directly with the info header.
    const auto rows = Bytes().U8(0x1F).U8(0x00).U16(0).U8(0xA5).U8(0x30).U16(0).data;
    const auto bytes =
        Bytes().Append(InfoHeader(3, 2, 4, BI_RGB, 0, 0).data).Append(RampTable(16)).Append(rows);
    const auto path = WriteTemp("headerless.bmp", bytes.data);
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.bitsPerPixel, 4);
    EXPECT_EQ(image.imageDIB->biClrUsed, 16u);
    EXPECT_EQ(image.imageDIB->biSizeImage, 8u);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 15);
    EXPECT_EQ(image.GetPixelIndex(0, 1), 10);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 3);
    EXPECT_EQ(PixelOf(image, 1, 0), (Rgb{15, 240, 7}));
}

TEST(BmpRead, CoreHeaderIsWidenedWithItsTriples) {
    Bytes triples;
    for (int i = 0; i < 256; ++i) triples.U8(255 - i).U8(i / 3).U8(i);  // blue, green, red
    ASSERT_EQ(triples.data.size(), 768u);
    const auto core = Bytes().U32(12).U16(3).U16(2).U16(1).U16(8);
    const auto rows = EightBitRows();
    const uint32_t offBits = 14 + 12 + 768;
    const auto bytes =
        FileHeader(offBits + 8, offBits).Append(core.data).Append(triples.data).Append(rows);
    const auto path = WriteTemp("core.bmp", bytes.data);
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imageDIB->biSize, 40u);
    EXPECT_EQ(image.imageDIB->biWidth, 3);
    EXPECT_EQ(image.imageDIB->biHeight, 2);
    EXPECT_EQ(image.imageDIB->biClrUsed, 256u);
    EXPECT_EQ(image.imageDIB->biCompression, BI_RGB);
    EXPECT_EQ(image.imageDIB->biSizeImage, 8u);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 256);
    // Every widened entry, not only the first ones, kept its colour.
    for (int i : {0, 1, 85, 170, 254, 255}) {
        BYTE r = 0, g = 0, b = 0;
        ASSERT_TRUE(image.imagePalette->GetEntryRGB(i, &r, &g, &b));
        EXPECT_EQ((Rgb{r, g, b}), (Rgb{BYTE(i), BYTE(i / 3), BYTE(255 - i)})) << i;
    }
    EXPECT_EQ(PixelOf(image, 2, 1), (Rgb{255, 85, 0}));
}

TEST(BmpRead, CoreHeaderOfATinyPictureNeedNotHoldFortyBytes) {
    // 1 x 1, 1 bit: 14 + 12 + 6 + 4 = 36 bytes in all.
    const auto bytes = FileHeader(36, 32)
                           .U32(12)
                           .U16(1)
                           .U16(1)
                           .U16(1)
                           .U16(1)
                           .U8(0)
                           .U8(0)
                           .U8(0)
                           .U8(255)
                           .U8(255)
                           .U8(255)  // black, white
                           .U8(0x80)
                           .U8(0)
                           .U16(0);
    const auto path = WriteTemp("core-tiny.bmp", bytes.data);
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(PixelOf(image, 0, 0), (Rgb{255, 255, 255}));
}

TEST(BmpRead, ZeroImageSizeIsComputedFromTheRows) {
    // Width 10 at 8 bits: 12 bytes per row.
    const auto rows = Bytes().Fill(12, 7).Fill(12, 9).Fill(12, 11).data;
    const auto path = WriteTemp("sizeimage0.bmp",
                                BmpFile(InfoHeader(10, 3, 8, BI_RGB, 0, 16), RampTable(16), rows));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imageDIB->biSizeImage, 36u);
    EXPECT_EQ(image.bytesPerLine, 12);
    EXPECT_EQ(image.imageDIB->biClrUsed, 16u);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 16);
    EXPECT_EQ(image.GetPixelIndex(9, 2), 11);
    EXPECT_EQ(image.GetPixelIndex(0, 1), 9);
}

TEST(BmpRead, TopDownRowsEndUpBottomUp) {
    // Height -2: the first row in the file is the top of the picture.
    const auto rows = Bytes().U8(253).U8(254).U8(255).U8(0).U8(0).U8(1).U8(2).U8(0).data;
    const auto path =
        WriteTemp("topdown.bmp", BmpFile(InfoHeader(3, -2, 8, BI_RGB, 0, 0), RampTable(256), rows));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imageDIB->biHeight, 2);
    EXPECT_EQ(image.imageHeight, 2);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 255);
}

TEST(BmpRead, BitfieldMasksAreBroughtIntoTheBlock) {
    // 16 bits, 5-6-5: red 0xF800, green 0x07E0, blue 0x001F.
    const auto masks = Bytes().U32(0xF800).U32(0x07E0).U32(0x001F).data;
    const auto rows = Bytes().U16(0xF800).U16(0x001F).U16(0x07E0).U16(0xFFFF).data;
    const auto path =
        WriteTemp("bitfields.bmp", BmpFile(InfoHeader(2, 2, 16, BI_BITFIELDS, 8, 0), masks, rows));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imageDIB->biCompression, BI_BITFIELDS);
    EXPECT_EQ(image.imagePalette, nullptr);
    EXPECT_EQ(image.BlockBytes(), 40u + 12u + 8u);
    EXPECT_EQ(image.imageBits, reinterpret_cast<BYTE*>(image.imageDIB) + 52);
    EXPECT_EQ(PixelOf(image, 0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelOf(image, 1, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelOf(image, 0, 1), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelOf(image, 1, 1), (Rgb{255, 255, 255}));
}

TEST(BmpRead, MasksInsideALongerHeaderAreUsed) {
    // A 108-byte header carries the masks itself; here 10-10-10 in 32 bits.
    Bytes header = InfoHeader(1, 1, 32, BI_BITFIELDS, 4, 0);
    header.data[0] = 108;
    header.U32(0x3FF00000).U32(0x000FFC00).U32(0x000003FF).Fill(108 - 52, 0);
    const auto rows = Bytes().U32(0x3FF003FF).data;  // full red and blue
    const auto path = WriteTemp("v4.bmp", BmpFile(header, {}, rows));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imageDIB->biSize, 40u);
    EXPECT_EQ(PixelOf(image, 0, 0), (Rgb{255, 0, 255}));
}

TEST(BmpRead, RunLengthRowsAreExpanded) {
    // 4 x 3 RLE8: row 0 a run of 4 sevens; row 1 literal 1 2 3 then end of row; a delta
    // moves to x 2 of row 2, then a run of 2 nines, end of picture.
    const auto data = Bytes()
                          .U8(4)
                          .U8(7)
                          .U8(0)
                          .U8(0)
                          .U8(0)
                          .U8(3)
                          .U8(1)
                          .U8(2)
                          .U8(3)
                          .U8(0)
                          .U8(0)
                          .U8(0)
                          .U8(0)
                          .U8(2)
                          .U8(2)
                          .U8(0)
                          .U8(2)
                          .U8(9)
                          .U8(0)
                          .U8(1)
                          .data;
    const auto path = WriteTemp(
        "rle8.bmp",
        BmpFile(InfoHeader(4, 3, 8, BI_RLE8, uint32_t(data.size()), 16), RampTable(16), data));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imageDIB->biCompression, BI_RGB);
    EXPECT_EQ(image.imageDIB->biSizeImage, 12u);
    const int expected[3][4] = {{7, 7, 7, 7}, {1, 2, 3, 0}, {0, 0, 9, 9}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(image.GetPixelIndex(x, y), expected[y][x]) << x << y;
    }
}

TEST(BmpRead, FourBitRunLengthRowsAlternateNibbles) {
    // 6 x 1 RLE4: a run of 3 from 0x12 gives 1 2 1; a literal of 2 nibbles 0xAB; end.
    const auto data = Bytes().U8(3).U8(0x12).U8(0).U8(3).U8(0xAB).U8(0xC0).U8(0).U8(1).data;
    const auto path = WriteTemp(
        "rle4.bmp",
        BmpFile(InfoHeader(6, 1, 4, BI_RLE4, uint32_t(data.size()), 0), RampTable(16), data));
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(path));
    const int expected[6] = {1, 2, 1, 10, 11, 12};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(image.GetPixelIndex(x, 0), expected[x]) << x;
}

TEST(BmpRead, FailureLeavesNoPixels) {
    CBmpImpl image("");
    image.Create(4, 4, 8, -1);
    ASSERT_NE(image.imageDIB, nullptr);
    EXPECT_FALSE(image.Read(TempPath("missing/none.bmp")));
    EXPECT_EQ(image.imageDIB, nullptr);
    EXPECT_EQ(image.imageBits, nullptr);
    EXPECT_EQ(image.imagePalette, nullptr);
    EXPECT_EQ(image.imageWidth, 0);
}

TEST(BmpRead, EmptyPathReadsTheFileNameAlreadyHeld) {
    const auto path = WriteTemp(
        "byname.bmp", BmpFile(InfoHeader(3, 2, 8, BI_RGB, 8, 0), RampTable(256), EightBitRows()));
    CBmpImpl image(path);
    ASSERT_TRUE(image.Read(""));
    EXPECT_EQ(image.fileName, path);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 255);
}
