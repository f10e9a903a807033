// Damaged PNG files: every one is refused or read into a consistent image, and the library
// structs and the file are released on each failure path.
#include <gtest/gtest.h>

#include "PngTestSupport.h"
#include "codecs/PngImpl.h"
#include "image/ImageFormats.h"

using namespace pngtest;

namespace {

std::vector<uint8_t> SampleFile(const std::string& name, int colorType, int depth) {
    PngPicture picture;
    picture.width = 7;
    picture.height = 5;
    picture.bitDepth = depth;
    picture.colorType = colorType;
    const int channels = colorType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < (1 << depth); ++i)
            picture.palette.push_back(png_color{uint8_t(i), 1, 2});
    }
    for (int y = 0; y < picture.height; ++y) {
        std::vector<uint8_t> row(size_t((picture.width * channels * depth + 7) / 8));
        for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 37 + size_t(y) * 11);
        picture.rows.push_back(row);
    }
    const auto path = TempPath(name);
    EXPECT_TRUE(WritePng(path, picture));
    return ReadAll(path);
}

// Reads quietly: libpng's error lines are expected here.
bool Reads(const std::vector<uint8_t>& bytes, CPngImpl& image) {
    const auto path = TempPath("damaged.png");
    WriteAll(path, bytes);
    testing::internal::CaptureStderr();
    const BOOL ok = image.Read(path);
    testing::internal::GetCapturedStderr();
    return ok != FALSE;
}

void TouchEverything(CPngImpl& image) {
    ASSERT_NE(image.imageDIB, nullptr);
    for (int y = 0; y < image.imageHeight; ++y) {
        for (int x = 0; x < image.imageWidth; ++x) {
            BYTE r, g, b;
            image.GetPixelRGB(x, y, &r, &g, &b);
        }
    }
    CDC dc(8, 8);
    image.Draw(&dc, 0, 0, -1, -1, 0, 0);
}

}  // namespace

TEST(PngDamage, EveryTruncationIsRefused) {
    for (auto [type, depth] : {std::pair{PNG_COLOR_TYPE_RGB, 8}, {PNG_COLOR_TYPE_PALETTE, 4}}) {
        const auto file = SampleFile("sample.png", type, depth);
        for (size_t length = 0; length < file.size(); ++length) {
            // Cutting only into the IEND chunk leaves every row readable; libpng still
            // wants the end chunk.
            CPngImpl image("");
            const std::vector<uint8_t> cut(file.begin(), file.begin() + ptrdiff_t(length));
            EXPECT_FALSE(Reads(cut, image)) << "type " << type << " cut at " << length;
        }
    }
}

TEST(PngDamage, DamagedBytesAreRefusedOrReadConsistently) {
    const auto file = SampleFile("sample-damage.png", PNG_COLOR_TYPE_PALETTE, 8);
    int refused = 0;
    for (size_t at = 0; at < file.size(); ++at) {
        for (uint8_t value : {0x00, 0x7F, 0xFF}) {
            if (file[at] == value) continue;
            auto bytes = file;
            bytes[at] = value;
            CPngImpl image("");
            if (Reads(bytes, image)) {
                TouchEverything(image);
            } else {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(PngDamage, HugeDimensionsAreRefusedBeforeAllocation) {
    auto file = SampleFile("sample-huge.png", PNG_COLOR_TYPE_RGB, 8);
    // IHDR: length at 8, width at 16, height at 20.
    for (uint32_t width : {70000u, 0x7FFFFFFFu}) {
        auto bytes = file;
        for (int i = 0; i < 4; ++i) bytes[16 + size_t(i)] = uint8_t(width >> (24 - 8 * i));
        FixCrc(bytes, 8);
        CPngImpl image("");
        const auto path = TempPath("huge.png");
        WriteAll(path, bytes);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(image.Read(path));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("libpng error"), std::string::npos) << err;
        EXPECT_EQ(image.imageDIB, nullptr);
    }
}

TEST(PngDamage, SuggestedPaletteOfAnRgbFileIsNotAttached) {
    PngPicture picture;
    picture.width = 1;
    picture.height = 1;
    picture.palette = {png_color{1, 2, 3}, png_color{4, 5, 6}};
    picture.rows = {{9, 8, 7}};
    const auto path = TempPath("rgb-plte.png");
    ASSERT_TRUE(WritePng(path, picture));
    ASSERT_EQ(ReadHeader(path).paletteBytes, 6);
    CPngImpl image("");
    ASSERT_TRUE(image.Read(path));
    EXPECT_EQ(image.imagePalette, nullptr);
    BYTE r = 0, g = 0, b = 0;
    ASSERT_TRUE(image.GetPixelRGB(0, 0, &r, &g, &b));
    EXPECT_EQ(r, 9);
    EXPECT_EQ(b, 7);
}

TEST(PngDamage, FailedReadsLeaveNoFilesOpen) {
    const auto file = SampleFile("sample-leak.png", PNG_COLOR_TYPE_RGB, 8);
    const std::vector<uint8_t> cut(file.begin(), file.begin() + ptrdiff_t(file.size() / 2));
    auto notPng = file;
    notPng[1] = 'Q';
    CPngImpl image("");
    ASSERT_FALSE(Reads(cut, image));  // warms up whatever the streams open once
    const auto before = OpenFileCount();
    for (int i = 0; i < 20; ++i) {
        ASSERT_FALSE(Reads(cut, image));
        ASSERT_FALSE(Reads(notPng, image));
        ASSERT_TRUE(Reads(file, image));
    }
    EXPECT_EQ(OpenFileCount(), before);
}
