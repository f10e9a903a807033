// Reading PNG files: layouts of every colour type, composition over the background,
// interlacing, failures.
#include <gtest/gtest.h>

#include "PngTestSupport.h"
#include "codecs/PngImpl.h"
#include "image/ImageFormats.h"

using namespace pngtest;

namespace {

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

// Colour of picture pixel (x, y), y from the top.
Rgb PictureRgb(CPngImpl& image, int x, int y) {
    BYTE r = 0, g = 0, b = 0;
    EXPECT_TRUE(image.GetPixelRGB(x, image.imageHeight - 1 - y, &r, &g, &b)) << x << "," << y;
    return {r, g, b};
}

// 13 x 11 RGB whose pixel (x, y) is (20x, 23y, x ^ y).
PngPicture Rgb8(bool interlaced) {
    PngPicture picture;
    picture.width = 13;
    picture.height = 11;
    picture.interlaced = interlaced;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < picture.width; ++x) {
            row.push_back(uint8_t(20 * x));
            row.push_back(uint8_t(23 * y));
            row.push_back(uint8_t(x ^ y));
        }
        picture.rows.push_back(row);
    }
    return picture;
}

// 9 x 7 paletted at the given depth; index of (x, y) is (x + 2y) mod 2^depth, entry i is
// (i, 255 - i, 3i).
PngPicture Paletted(int depth, bool interlaced) {
    PngPicture picture;
    picture.width = 9;
    picture.height = 7;
    picture.bitDepth = depth;
    picture.colorType = PNG_COLOR_TYPE_PALETTE;
    picture.interlaced = interlaced;
    const int count = std::min(1 << depth, 200);
    for (int i = 0; i < count; ++i) {
        picture.palette.push_back(png_color{uint8_t(i), uint8_t(255 - i), uint8_t(3 * i)});
    }
    for (int y = 0; y < picture.height; ++y) {
        std::vector<uint8_t> row(size_t((picture.width * depth + 7) / 8), 0);
        for (int x = 0; x < picture.width; ++x) {
            const int index = (x + 2 * y) % count;
            const int bit = x * depth;
            row[size_t(bit / 8)] |= uint8_t(index << (8 - depth - bit % 8));
        }
        picture.rows.push_back(row);
    }
    return picture;
}

void ReadOk(const std::string& name, const PngPicture& picture, CPngImpl& image) {
    const auto path = TempPath(name);
    ASSERT_TRUE(WritePng(path, picture));
    EXPECT_TRUE(image.Read(path)) << name;
}

}  // namespace

TEST(PngRead, RgbBecomesBlueGreenRedBottomUp) {
    CPngImpl image("");
    ReadOk("rgb8.png", Rgb8(false), image);
    ASSERT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(image.imageWidth, 13);
    EXPECT_EQ(image.imageHeight, 11);
    EXPECT_EQ(image.colorType, 2);
    EXPECT_EQ(image.imagePalette, nullptr);
    // Top-left picture pixel (0, 0) is in the last memory row; (4, 1) in the one below.
    const BYTE* top = image.MemoryRow(10);
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[1], 0);
    EXPECT_EQ(top[2], 0);
    const BYTE* second = image.MemoryRow(9) + 3 * 4;
    EXPECT_EQ(second[0], 4 ^ 1);  // blue
    EXPECT_EQ(second[1], 23);     // green
    EXPECT_EQ(second[2], 80);     // red
    EXPECT_EQ(PictureRgb(image, 12, 10), (Rgb{240, 230, 12 ^ 10}));
}

TEST(PngRead, AlphaIsComposedOverTheBackgroundColour) {
    PngPicture picture;
    picture.width = 3;
    picture.height = 1;
    picture.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    picture.rows = {{10, 20, 30, 255, 200, 100, 50, 0, 255, 255, 255, 128}};
    CPngImpl image("");
    ReadOk("rgba.png", picture, image);
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(image.colorType, 6);
    EXPECT_EQ(PictureRgb(image, 0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(PictureRgb(image, 1, 0), (Rgb{31, 127, 255}));
    const Rgb half = PictureRgb(image, 2, 0);  // halfway between white and the background
    EXPECT_NEAR(half.r, (255 + 31) / 2, 2);
    EXPECT_NEAR(half.g, (255 + 127) / 2, 2);
    EXPECT_EQ(half.b, 255);
}

TEST(PngRead, SixteenBitSamplesAreReducedToEight) {
    PngPicture picture;
    picture.width = 2;
    picture.height = 1;
    picture.bitDepth = 16;
    picture.rows = {{0xAB, 0xCD, 0x12, 0x34, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x7F, 0x01, 0x00}};
    CPngImpl image("");
    ReadOk("rgb16.png", picture, image);
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(PictureRgb(image, 0, 0), (Rgb{0xAB, 0x12, 0xFF}));
    EXPECT_EQ(PictureRgb(image, 1, 0), (Rgb{0x00, 0x80, 0x01}));
}

TEST(PngRead, SixteenBitAlphaTakesTheSameBackground) {
    PngPicture picture;
    picture.width = 1;
    picture.height = 1;
    picture.bitDepth = 16;
    picture.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    picture.rows = {{1, 2, 3, 4, 5, 6, 0, 0}};
    CPngImpl image("");
    ReadOk("rgba16.png", picture, image);
    EXPECT_EQ(PictureRgb(image, 0, 0), (Rgb{31, 127, 255}));
}

TEST(PngRead, EightBitPaletteKeepsItsOwnEntryCount) {
    CPngImpl image("");
    ReadOk("pal8.png", Paletted(8, false), image);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.colorType, 3);
    ASSERT_NE(image.imagePalette, nullptr);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 200);
    EXPECT_EQ(image.GetPixelIndex(5, image.imageHeight - 1 - 3), 11);
    EXPECT_EQ(PictureRgb(image, 5, 3), (Rgb{11, 244, 33}));
}

TEST(PngRead, FourBitPaletteKeepsPackedIndices) {
    CPngImpl image("");
    ReadOk("pal4.png", Paletted(4, false), image);
    EXPECT_EQ(image.bitsPerPixel, 4);
    EXPECT_EQ(image.colorType, 3);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 16);
    // Picture row 0 holds 0 1 2 ... 8: bytes 0x01, 0x23, 0x45, 0x67, 0x80.
    const BYTE* top = image.MemoryRow(image.imageHeight - 1);
    EXPECT_EQ(top[0], 0x01);
    EXPECT_EQ(top[1], 0x23);
    EXPECT_EQ(top[4], 0x80);
    EXPECT_EQ(PictureRgb(image, 8, 6), (Rgb{4, 251, 12}));  // (8 + 12) mod 16
}

TEST(PngRead, TwoBitPaletteIsWidenedToBytes) {
    CPngImpl image("");
    ReadOk("pal2.png", Paletted(2, false), image);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.colorType, 3);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 4);
    EXPECT_EQ(image.GetPixelIndex(3, image.imageHeight - 1 - 1), (3 + 2) % 4);
}

TEST(PngRead, EightBitGreyHasNoPaletteAndDrawsGrey) {
    PngPicture picture;
    picture.width = 4;
    picture.height = 2;
    picture.colorType = PNG_COLOR_TYPE_GRAY;
    picture.rows = {{0, 50, 100, 255}, {1, 2, 3, 4}};
    CPngImpl image("");
    ReadOk("grey8.png", picture, image);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.colorType, 0);
    EXPECT_EQ(image.imagePalette, nullptr);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 50);
    EXPECT_EQ(PictureRgb(image, 2, 0), (Rgb{100, 100, 100}));
    CDC dc(4, 2);
    ASSERT_TRUE(image.Draw(&dc, 0, 0, -1, -1, 0, 0));
    EXPECT_EQ(dc.GetPixelRGB32(3, 0), 0xFFFFFFu);
    EXPECT_EQ(dc.GetPixelRGB32(1, 0), 0x323232u);
}

TEST(PngRead, DeepAndNarrowGreyComeOutAsEightBitGrey) {
    PngPicture grey16;
    grey16.width = 2;
    grey16.height = 1;
    grey16.bitDepth = 16;
    grey16.colorType = PNG_COLOR_TYPE_GRAY;
    grey16.rows = {{0x12, 0x34, 0xFE, 0xDC}};
    CPngImpl deep("");
    ReadOk("grey16.png", grey16, deep);
    EXPECT_EQ(deep.bitsPerPixel, 8);
    EXPECT_EQ(deep.GetPixelIndex(0, 0), 0x12);
    EXPECT_EQ(deep.GetPixelIndex(1, 0), 0xFE);

    PngPicture greyAlpha;
    greyAlpha.width = 2;
    greyAlpha.height = 1;
    greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {{200, 255, 200, 0}};
    CPngImpl alpha("");
    ReadOk("greyalpha.png", greyAlpha, alpha);
    EXPECT_EQ(alpha.bitsPerPixel, 8);
    EXPECT_EQ(alpha.GetPixelIndex(0, 0), 200);
    EXPECT_EQ(alpha.GetPixelIndex(1, 0), 0);  // the background's grey level

    PngPicture grey2;
    grey2.width = 4;
    grey2.height = 1;
    grey2.bitDepth = 2;
    grey2.colorType = PNG_COLOR_TYPE_GRAY;
    grey2.rows = {{0x1B}};  // 0 1 2 3
    CPngImpl narrow("");
    ReadOk("grey2.png", grey2, narrow);
    EXPECT_EQ(narrow.bitsPerPixel, 8);
    EXPECT_EQ(PictureRgb(narrow, 1, 0), (Rgb{85, 85, 85}));
    EXPECT_EQ(PictureRgb(narrow, 3, 0), (Rgb{255, 255, 255}));
}

TEST(PngRead, OneBitGreyKeepsItsDepthWithBlackAndWhite) {
    PngPicture picture;
    picture.width = 10;
    picture.height = 1;
    picture.bitDepth = 1;
    picture.colorType = PNG_COLOR_TYPE_GRAY;
    picture.rows = {{0xA0, 0x40}};
    CPngImpl image("");
    ReadOk("grey1.png", picture, image);
    EXPECT_EQ(image.bitsPerPixel, 1);
    EXPECT_EQ(PictureRgb(image, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(PictureRgb(image, 1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(PictureRgb(image, 9, 0), (Rgb{255, 255, 255}));
}

TEST(PngRead, InterlacedEqualsPlain) {
    for (auto [plain, interlaced] : {std::pair{Rgb8(false), Rgb8(true)},
                                     {Paletted(4, false), Paletted(4, true)},
                                     {Paletted(8, false), Paletted(8, true)}}) {
        CPngImpl a("");
        ReadOk("plain.png", plain, a);
        CPngImpl b("");
        ReadOk("interlaced.png", interlaced, b);
        ASSERT_EQ(ReadHeader(TempPath("interlaced.png")).interlace, 1);
        ASSERT_EQ(a.BlockBytes(), b.BlockBytes());
        for (int y = 0; y < a.imageHeight; ++y) {
            EXPECT_EQ(std::vector<BYTE>(a.MemoryRow(y), a.MemoryRow(y) + a.bytesPerLine),
                      std::vector<BYTE>(b.MemoryRow(y), b.MemoryRow(y) + b.bytesPerLine))
                << "memory row " << y;
        }
    }
}

TEST(PngRead, NotAPngIsRefusedWithTheLibraryMessage) {
    const auto path = TempPath("not.png");
    WriteAll(path, std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0});
    CPngImpl image("");
    image.Create(3, 3, 8, -1);
    image.SetPixelIndex(1, 1, 42);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(image.Read(path));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("libpng error: Not a PNG file"), std::string::npos) << err;
    EXPECT_EQ(image.imageWidth, 3);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 42);
    EXPECT_EQ(image.fileName, path);
}

TEST(PngRead, MissingFileFailsAtOnce) {
    CPngImpl image("");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(image.Read(TempPath("no-dir/none.png")));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(PngRead, EmptyPathReadsFileName) {
    const auto path = TempPath("byname.png");
    ASSERT_TRUE(WritePng(path, Rgb8(false)));
    CPngImpl image(path);
    EXPECT_TRUE(image.Read(""));
    EXPECT_EQ(image.imageWidth, 13);
}

TEST(PngRead, TransparentPaletteEntriesStayIndices) {
    PngPicture picture = Paletted(8, false);
    picture.trns = {0, 255, 128};  // entry 0 transparent, entry 2 half
    CPngImpl image("");
    ReadOk("pal-trns.png", picture, image);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.colorType, 3);
    EXPECT_EQ(image.GetPixelIndex(5, image.imageHeight - 1 - 3), 11);
    EXPECT_EQ(PictureRgb(image, 1, 0), (Rgb{1, 254, 3}));  // opaque entry unchanged
}
