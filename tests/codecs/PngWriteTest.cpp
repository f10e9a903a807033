// Writing PNG files: the type follows the pixels, libpng reads every file back.
#include <gtest/gtest.h>

#include "PngTestSupport.h"
#include "codecs/PngImpl.h"
#include "image/ImageFormats.h"

using namespace pngtest;

namespace {

// 6 x 4, index of memory pixel (x, y) = 10y + x, entry i = (i, 2i, 255 - i).
void MakePaletted(CPngImpl& image, int bits, int entries) {
    image.Create(6, 4, bits, -1);
    std::vector<BYTE> red, green, blue;
    for (int i = 0; i < entries; ++i) {
        red.push_back(BYTE(i));
        green.push_back(BYTE(2 * i));
        blue.push_back(BYTE(255 - i));
    }
    ASSERT_TRUE(image.CreatePalette(entries, red.data(), green.data(), blue.data()));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) image.SetPixelIndex(x, y, (10 * y + x) % (1 << bits));
    }
}

std::vector<uint8_t> Rgb(int r, int g, int b) {
    return {uint8_t(r), uint8_t(g), uint8_t(b)};
}

}  // namespace

TEST(PngWrite, PalettedImageWritesFullPaletteAndTheTrace) {
    CPngImpl image("");
    MakePaletted(image, 8, 40);
    const auto path = TempPath("w-pal8.png");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(image.Write(path));
    const std::string out = testing::internal::GetCapturedStdout();
    char expected[64];
    std::snprintf(expected, sizeof expected, "writig paleta[%d %d %x]", image.colorType, 1,
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(image.imagePalette.get())));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(image.fileName, path);

    const Header h = ReadHeader(path);
    EXPECT_EQ(h.colorType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(h.bitDepth, 8);
    EXPECT_EQ(h.width, 6u);
    EXPECT_EQ(h.height, 4u);
    EXPECT_EQ(h.paletteBytes, 768);
    const Decoded back = DecodeRgb(path);
    ASSERT_TRUE(back.ok);
    // Picture row 0 is memory row 3: index 30 + x.
    EXPECT_EQ(back.At(2, 0), Rgb(32, 64, 223));
    EXPECT_EQ(back.At(5, 3), Rgb(5, 10, 250));
}

TEST(PngWrite, FourBitPaletteHoldsSixteenEntries) {
    CPngImpl image("");
    MakePaletted(image, 4, 16);
    const auto path = TempPath("w-pal4.png");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(image.Write(path));
    testing::internal::GetCapturedStdout();
    const Header h = ReadHeader(path);
    EXPECT_EQ(h.colorType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(h.bitDepth, 4);
    EXPECT_EQ(h.paletteBytes, 48);
    const Decoded back = DecodeRgb(path);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.At(1, 1), Rgb(5, 10, 250));  // memory row 2: (20 + 1) mod 16
}

TEST(PngWrite, TwentyFourBitsGiveAnRgbFile) {
    CPngImpl image("");
    image.Create(5, 3, 24, -1);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) image.SetPixelRGB(x, y, 50 * x, 100 * y, 7);
    }
    const auto path = TempPath("w-rgb.png");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(image.Write(path));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const Header h = ReadHeader(path);
    EXPECT_EQ(h.colorType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(h.bitDepth, 8);
    EXPECT_EQ(h.paletteBytes, -1);
    const Decoded back = DecodeRgb(path);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.At(4, 0), Rgb(200, 200, 7));
    EXPECT_EQ(back.At(1, 2), Rgb(50, 0, 7));
}

TEST(PngWrite, EightBitsWithoutPaletteGiveAGreyFile) {
    CPngImpl image("");
    image.Create(3, 2, 8, -1);
    image.SetPixelIndex(0, 1, 10);
    image.SetPixelIndex(2, 0, 250);
    const auto path = TempPath("w-grey.png");
    ASSERT_TRUE(image.Write(path));
    const Header h = ReadHeader(path);
    EXPECT_EQ(h.colorType, PNG_COLOR_TYPE_GRAY);
    EXPECT_EQ(h.bitDepth, 8);
    const Decoded back = DecodeRgb(path);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.At(0, 0), Rgb(10, 10, 10));
    EXPECT_EQ(back.At(2, 1), Rgb(250, 250, 250));
}

TEST(PngWrite, AlphaInTheColourTypeIsNotWritten) {
    PngPicture picture;
    picture.width = 2;
    picture.height = 1;
    picture.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    picture.rows = {{1, 2, 3, 255, 9, 9, 9, 0}};
    const auto in = TempPath("alpha-in.png");
    ASSERT_TRUE(WritePng(in, picture));
    CPngImpl image("");
    ASSERT_TRUE(image.Read(in));
    ASSERT_EQ(image.colorType, 6);
    const auto out = TempPath("alpha-out.png");
    ASSERT_TRUE(image.Write(out));
    EXPECT_EQ(ReadHeader(out).colorType, PNG_COLOR_TYPE_RGB);
    const Decoded back = DecodeRgb(out);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.At(0, 0), Rgb(1, 2, 3));
    EXPECT_EQ(back.At(1, 0), Rgb(31, 127, 255));
}

TEST(PngWrite, OurReaderReadsOurFilesBack) {
    CPngImpl image("");
    MakePaletted(image, 8, 256);
    const auto path = TempPath("w-round.png");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(image.Write(path));
    testing::internal::GetCapturedStdout();
    CPngImpl back("");
    ASSERT_TRUE(back.Read(path));
    EXPECT_EQ(back.bitsPerPixel, 8);
    EXPECT_EQ(back.imagePalette->GetEntryCount(), 256);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(std::vector<BYTE>(back.MemoryRow(y), back.MemoryRow(y) + 6),
                  std::vector<BYTE>(image.MemoryRow(y), image.MemoryRow(y) + 6));
    }
}

TEST(PngWrite, UnwritableImagesAndPathsAreRefused) {
    CPngImpl empty("");
    EXPECT_FALSE(empty.Write(TempPath("w-empty.png")));
    for (int bits : {16, 32}) {
        CPngImpl deep("");
        deep.Create(2, 2, bits, -1);
        EXPECT_FALSE(deep.Write(TempPath("w-deep.png"))) << bits;
    }
    CPngImpl image("");
    image.Create(2, 2, 24, -1);
    EXPECT_FALSE(image.Write(TempPath("no-dir/w.png")));
    EXPECT_EQ(image.fileName, TempPath("no-dir/w.png"));
}

TEST(PngWrite, EmptyPathWritesFileName) {
    const auto path = TempPath("w-byname.png");
    std::remove(path.c_str());
    CPngImpl image(path);
    image.Create(2, 2, 24, -1);
    ASSERT_TRUE(image.Write(""));
    EXPECT_TRUE(DecodeRgb(path).ok);
}
