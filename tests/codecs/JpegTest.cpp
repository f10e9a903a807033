// JPEG reading and writing, checked against the libjpeg command-line tools as an oracle.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/JpegImpl.h"
#include "image/Image.h"
#include "image/ImageFormats.h"
#include "tests/support/JpegTools.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace fs = std::filesystem;

namespace {

std::string TmpDir() {
    const std::string dir = TestTmp() + "/jpeg";
    fs::create_directories(dir);
    return dir;
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int Shell(const std::string& command) {
    return RunJpegTool(command);
}

enum class Content { Gradient, Noise, Edges };

// A PPM (or PGM for grey) picture with varied content, as cjpeg's input.
std::string MakePnm(const std::string& name, int w, int h, Content content, bool gray) {
    const std::string path = TmpDir() + "/" + name + (gray ? ".pgm" : ".ppm");
    std::ofstream out(path, std::ios::binary);
    out << (gray ? "P5\n" : "P6\n") << w << " " << h << "\n255\n";
    std::mt19937 rng(uint32_t(w * 31 + h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t rgb[3];
            switch (content) {
                case Content::Gradient:
                    rgb[0] = uint8_t(x * 255 / std::max(1, w - 1));
                    rgb[1] = uint8_t(y * 255 / std::max(1, h - 1));
                    rgb[2] = uint8_t((x + y) * 127 / std::max(1, w + h - 2));
                    break;
                case Content::Noise:
                    for (auto& c : rgb) c = uint8_t(rng());
                    break;
                case Content::Edges:
                    rgb[0] = ((x / 7 + y / 5) % 2) ? 250 : 10;
                    rgb[1] = (x < w / 2) ? 200 : 30;
                    rgb[2] = (y < h / 3) ? 240 : 60;
                    break;
            }
            if (gray) {
                out.put(char(rgb[0] / 2 + rgb[1] / 3 + rgb[2] / 6));
            } else {
                out.write(reinterpret_cast<const char*>(rgb), 3);
            }
        }
    }
    return path;
}

std::string MakeJpeg(const std::string& name, int w, int h, Content content, bool gray,
                     const std::string& options = "") {
    const std::string pnm = MakePnm(name, w, h, content, gray);
    const std::string jpg = TmpDir() + "/" + name + ".jpg";
    EXPECT_EQ(Shell("cjpeg -quality 85 " + options + " -outfile " + jpg + " " + pnm), 0);
    return jpg;
}

// An 8-bit BMP as djpeg writes it: palette and the index of every pixel, top row first.
struct IndexedPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;      // 3 bytes an entry
    std::vector<uint8_t> indices;  // width * height, top row first
};

IndexedPicture ParseBmp8(const std::vector<uint8_t>& f) {
    IndexedPicture p;
    auto u32 = [&](size_t o) {
        return uint32_t(f[o]) | f[o + 1] << 8 | f[o + 2] << 16 | uint32_t(f[o + 3]) << 24;
    };
    auto u16 = [&](size_t o) { return uint32_t(f[o]) | f[o + 1] << 8; };
    if (f.size() < 54 || u16(28) != 8) return p;
    const uint32_t offBits = u32(10), headerSize = u32(14);
    p.width = int(u32(18));
    p.height = int(int32_t(u32(22)));
    uint32_t colors = u32(46);
    if (colors == 0) colors = 256;
    for (uint32_t i = 0; i < colors; ++i) {
        const size_t o = 14 + headerSize + 4 * i;
        p.rgb.insert(p.rgb.end(), {f[o + 2], f[o + 1], f[o]});
    }
    const size_t stride = (size_t(p.width) + 3) & ~size_t(3);
    for (int y = 0; y < p.height; ++y) {
        const size_t row = offBits + stride * size_t(p.height - 1 - y);
        p.indices.insert(p.indices.end(), f.begin() + long(row), f.begin() + long(row + p.width));
    }
    return p;
}

// Our decode in the same shape, through the public image object.
IndexedPicture Decode(const std::string& jpg, BOOL* ok) {
    IndexedPicture p;
    CImage image;
    *ok = image.Load(jpg, kImageTypeJpeg);
    if (!*ok) return p;
    p.width = image.GetWidth();
    p.height = image.GetHeight();
    CImagePalette* palette = image.GetPalette();
    for (int i = 0; palette && i < palette->GetEntryCount(); ++i) {
        BYTE r, g, b;
        palette->GetEntryRGB(i, &r, &g, &b);
        p.rgb.insert(p.rgb.end(), {r, g, b});
    }
    CImageImpl* impl = image.GetImpl();
    for (int y = 0; y < p.height; ++y) {
        const BYTE* row = impl->PictureRow(y);
        p.indices.insert(p.indices.end(), row, row + p.width);
    }
    return p;
}

struct OracleCase {
    const char* name;
    int w, h;
    Content content;
    const char* options;
};

class JpegOracleTest : public ::testing::TestWithParam<OracleCase> {};

TEST_P(JpegOracleTest, ColourFileMatchesDjpegPaletteAndIndices) {
    const OracleCase& c = GetParam();
    const std::string jpg = MakeJpeg(c.name, c.w, c.h, c.content, false, c.options);
    const std::string bmp = TmpDir() + "/" + c.name + ".oracle.bmp";
    ASSERT_EQ(Shell("djpeg -colors 128 -dither fs -bmp -outfile " + bmp + " " + jpg), 0);
    const IndexedPicture want = ParseBmp8(ReadAll(bmp));
    BOOL ok = FALSE;
    const IndexedPicture got = Decode(jpg, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(got.width, c.w);
    ASSERT_EQ(got.height, c.h);
    ASSERT_LE(got.rgb.size(), 3u * 128);
    ASSERT_GE(want.rgb.size(), got.rgb.size());
    EXPECT_TRUE(std::equal(got.rgb.begin(), got.rgb.end(), want.rgb.begin())) << "palette differs";
    EXPECT_EQ(got.indices, want.indices);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegOracleTest,
    ::testing::Values(OracleCase{"gradient", 64, 48, Content::Gradient, ""},
                      OracleCase{"noise_odd", 37, 23, Content::Noise, ""},
                      OracleCase{"edges_odd", 101, 67, Content::Edges, ""},
                      OracleCase{"tiny", 1, 1, Content::Gradient, ""},
                      OracleCase{"wide", 333, 5, Content::Edges, ""},
                      OracleCase{"progressive", 50, 40, Content::Gradient, "-progressive"},
                      OracleCase{"arithmetic", 45, 31, Content::Noise, "-arithmetic"}),
    [](const ::testing::TestParamInfo<OracleCase>& p) { return std::string(p.param.name); });

TEST(JpegReadTest, GreyFileGivesTheGreyRampAndTheFilesGreyBytes) {
    const std::string jpg = MakeJpeg("grey", 53, 29, Content::Gradient, true);
    const std::string pgm = TmpDir() + "/grey.oracle.pgm";
    ASSERT_EQ(Shell("djpeg -grayscale -pnm -outfile " + pgm + " " + jpg), 0);
    const std::vector<uint8_t> oracle = ReadAll(pgm);
    const std::vector<uint8_t> pixels(oracle.end() - 53 * 29, oracle.end());
    BOOL ok = FALSE;
    const IndexedPicture got = Decode(jpg, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(got.rgb.size(), 3u * 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(got.rgb[3 * i], i);
        ASSERT_EQ(got.rgb[3 * i + 2], i);
    }
    EXPECT_EQ(got.indices, pixels);
}

TEST(JpegReadTest, TopScanlineLandsInTheLastMemoryRow) {
    // Top half white, bottom half black.
    const std::string pgm = TmpDir() + "/halves.pgm";
    {
        std::ofstream out(pgm, std::ios::binary);
        out << "P5\n16 16\n255\n";
        for (int i = 0; i < 256; ++i) out.put(char(i < 128 ? 255 : 0));
    }
    const std::string jpg = TmpDir() + "/halves.jpg";
    ASSERT_EQ(Shell("cjpeg -quality 95 -outfile " + jpg + " " + pgm), 0);
    CImage image;
    ASSERT_TRUE(image.Load(jpg, kImageTypeJpeg));
    CImageImpl* impl = image.GetImpl();
    EXPECT_GT(impl->MemoryRow(15)[8], 200);
    EXPECT_LT(impl->MemoryRow(0)[8], 50);
}

// A small 8-bit image with a known palette, to see that failed reads leave it alone.
void MakeMarker(CImage& image, const std::string& path) {
    ASSERT_TRUE(image.CreateImpl(path, kImageTypeJpeg));
    ASSERT_GT(image.Create(3, 2, 8, -1), 0);
    const BYTE ramp[2] = {10, 20};
    image.CreatePalette(2, ramp, nullptr, nullptr);
    image.SetPixelIndex(1, 1, 1);
}

void ExpectMarker(CImage& image) {
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 3);
    EXPECT_EQ(image.GetHeight(), 2);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 1);
    BYTE r = 0, g = 0, b = 0;
    EXPECT_TRUE(image.GetPalette()->GetEntryRGB(1, &r, &g, &b));
    EXPECT_EQ(r, 20);
}

TEST(JpegReadTest, MissingOrNonJpegFilesLeaveTheImageUntouched) {
    CImage image;
    MakeMarker(image, TmpDir() + "/marker.jpg");
    CImageImpl* impl = image.GetImpl();
    EXPECT_FALSE(impl->Read(TmpDir() + "/does-not-exist.jpg"));
    ExpectMarker(image);
    const std::string gif = TmpDir() + "/really-a-gif.jpg";
    WriteAll(gif, {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'});
    EXPECT_FALSE(impl->Read(gif));
    ExpectMarker(image);
    const std::string empty = TmpDir() + "/empty.jpg";
    WriteAll(empty, {});
    EXPECT_FALSE(impl->Read(empty));
    ExpectMarker(image);
}

TEST(JpegReadTest, PathRuleReplacesFileNameOnlyWhenGiven) {
    const std::string a = MakeJpeg("path_a", 8, 6, Content::Gradient, false);
    CImage image;
    ASSERT_TRUE(image.CreateImpl(a, kImageTypeJpeg));
    auto* impl = static_cast<CJpegImpl*>(image.GetImpl());
    EXPECT_TRUE(impl->Read(""));  // rereads fileName
    EXPECT_EQ(image.GetWidth(), 8);
    const std::string b = TmpDir() + "/path_b_missing.jpg";
    EXPECT_FALSE(impl->Read(b));
    EXPECT_EQ(impl->fileName, b);
}

TEST(JpegReadTest, TruncatedFileStillGivesAFullSizeImage) {
    const std::string whole = MakeJpeg("truncated", 120, 90, Content::Noise, false);
    std::vector<uint8_t> bytes = ReadAll(whole);
    bytes.resize(bytes.size() / 2);
    const std::string cut = TmpDir() + "/truncated-half.jpg";
    WriteAll(cut, bytes);
    CImage image;
    EXPECT_TRUE(image.Load(cut, kImageTypeJpeg));
    EXPECT_EQ(image.GetWidth(), 120);
    EXPECT_EQ(image.GetHeight(), 90);
}

// Decodes a file with djpeg into RGB triples, top row first.
std::vector<uint8_t> OracleRgb(const std::string& jpg, int* w, int* h) {
    const std::string ppm = jpg + ".ppm";
    EXPECT_EQ(Shell("djpeg -pnm -outfile " + ppm + " " + jpg), 0);
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> *w >> *h >> maxval;
    in.get();
    std::vector<uint8_t> rgb(size_t(*w) * size_t(*h) * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
    return rgb;
}

// The dimensions in a baseline frame header (SOF0) replaced, as a hostile file would claim.
std::vector<uint8_t> WithClaimedSize(std::vector<uint8_t> bytes, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            // marker, length (2), precision (1), height (2), width (2)
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            return bytes;
        }
    }
    ADD_FAILURE() << "no baseline frame header";
    return bytes;
}

TEST(JpegReadOptionsTest, TheHeaderGivesTheSizeWithoutADecode) {
    const std::string colour = MakeJpeg("header_colour", 37, 21, Content::Edges, false);
    const std::string grey = MakeJpeg("header_grey", 5, 9, Content::Gradient, true);
    CJpegHeader header;
    ASSERT_TRUE(ReadJpegHeader(colour, &header));
    EXPECT_EQ(header.width, 37);
    EXPECT_EQ(header.height, 21);
    EXPECT_FALSE(header.gray);
    ASSERT_TRUE(ReadJpegHeader(grey, &header));
    EXPECT_EQ(header.width, 5);
    EXPECT_TRUE(header.gray);
    const std::string gif = TmpDir() + "/header-not-jpeg.jpg";
    WriteAll(gif, {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'});
    EXPECT_FALSE(ReadJpegHeader(gif, &header));
    EXPECT_FALSE(ReadJpegHeader(TmpDir() + "/header-missing.jpg", &header));
}

TEST(JpegReadOptionsTest, ADecodeStopsAtTheProgressCallThatAsksAndIsNotAskedAgain) {
    const std::string jpg = MakeJpeg("cancel", 256, 256, Content::Noise, false);
    for (int stopAt : {1, 2, 40}) {
        int asked = 0;
        CJpegReadOptions options;
        options.cancel = [&] { return ++asked >= stopAt; };
        CImage image;
        EXPECT_FALSE(LoadJpeg(image, jpg, options)) << stopAt;
        EXPECT_EQ(asked, stopAt);
    }
    // Never asked to stop, the decode is Load's, pixel for pixel.
    int asked = 0;
    CJpegReadOptions patient;
    patient.cancel = [&] { return ++asked < 0; };
    CImage withOptions, plain;
    ASSERT_TRUE(LoadJpeg(withOptions, jpg, patient));
    ASSERT_TRUE(plain.Load(jpg, kImageTypeJpeg));
    EXPECT_GT(asked, 40);
    EXPECT_EQ(withOptions.GetImageType(), 1);
    EXPECT_EQ(withOptions.GetImagePath(), jpg);
    const size_t bytes = size_t(plain.GetBytesPerLine()) * size_t(plain.GetHeight());
    ASSERT_EQ(size_t(withOptions.GetBytesPerLine()) * size_t(withOptions.GetHeight()), bytes);
    EXPECT_EQ(std::memcmp(withOptions.GetBits(), plain.GetBits(), bytes), 0);
}

TEST(JpegReadOptionsTest, AFrameLargerThanTheCapIsRefusedFromItsHeader) {
    const std::string small = MakeJpeg("cap", 16, 16, Content::Gradient, false);
    const std::string huge = TmpDir() + "/cap-claims-30000.jpg";
    WriteAll(huge, WithClaimedSize(ReadAll(small), 30000, 30000));
    CJpegHeader header;
    ASSERT_TRUE(ReadJpegHeader(huge, &header));
    EXPECT_EQ(header.width, 30000);

    CImage image;
    ASSERT_TRUE(image.Load(small, kImageTypeJpeg));
    bool asked = false;
    CJpegReadOptions options;
    options.maxPixels = int64_t(1) << 27;
    options.cancel = [&] { return asked = true, false; };
    EXPECT_FALSE(LoadJpeg(image, huge, options));
    EXPECT_FALSE(asked) << "refused before any decode began";
    // Nothing was allocated for it: the picture before is still there.
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 16);
    // The cap counts pixels: a frame just within it passes the header check.
    options.maxPixels = 16 * 16;
    EXPECT_TRUE(LoadJpeg(image, small, options));
    options.maxPixels = 16 * 16 - 1;
    EXPECT_FALSE(LoadJpeg(image, small, options));
}

TEST(JpegReadOptionsTest, TheScaleIsTheSmallestEighthThatCoversTheSizeToFit) {
    EXPECT_EQ(JpegScaleEighths(1600, 1200, 346, 260), 2);  // 400 x 300 covers it
    EXPECT_EQ(JpegScaleEighths(1600, 1200, 400, 300), 2);  // exactly
    EXPECT_EQ(JpegScaleEighths(1600, 1200, 401, 300), 3);
    EXPECT_EQ(JpegScaleEighths(4000, 2250, 640, 360), 2);  // 1000 x 563: sides round up
    EXPECT_EQ(JpegScaledSide(2250, 2), 563);
    EXPECT_EQ(JpegScaleEighths(100, 100, 100, 100), 8);
    EXPECT_EQ(JpegScaleEighths(100, 100, 0, 50), 8) << "no size to fit: whole";
    EXPECT_EQ(JpegScaleEighths(100, 100, 1, 1), 1);
}

TEST(JpegReadOptionsTest, AReadToFitDecodesSmallerAndKeepsTheFilesSize) {
    for (const bool gray : {false, true}) {
        SCOPED_TRACE(gray);
        const std::string jpg =
            MakeJpeg(gray ? "fit_grey" : "fit_colour", 203, 101, Content::Edges, gray);
        CJpegReadOptions options;
        options.fitWidth = 60;
        options.fitHeight = 20;
        CImage image;
        ASSERT_TRUE(LoadJpeg(image, jpg, options));
        // 3/8: 77 x 38 covers 60 x 20; 2/8 (51 wide) would not.
        EXPECT_EQ(image.GetWidth(), 77);
        EXPECT_EQ(image.GetHeight(), 38);
        EXPECT_EQ(image.GetFullWidth(), 203);
        EXPECT_EQ(image.GetFullHeight(), 101);
        ASSERT_NE(image.GetPalette(), nullptr);
        EXPECT_LE(image.GetPalette()->GetEntryCount(), gray ? 256 : 128);
        // A later whole read of the same object reports the decoded size as its own.
        ASSERT_TRUE(LoadJpeg(image, jpg, CJpegReadOptions{}));
        EXPECT_EQ(image.GetWidth(), 203);
        EXPECT_EQ(image.GetFullWidth(), 203);
    }
}

// The cap applies to what is decoded: a frame over it decodes when read small enough.
TEST(JpegReadOptionsTest, TheCapCountsTheDecodedSize) {
    const std::string jpg = MakeJpeg("fit_cap", 64, 64, Content::Gradient, false);
    CJpegReadOptions options;
    options.maxPixels = 16 * 16;
    CImage image;
    EXPECT_FALSE(LoadJpeg(image, jpg, options));
    options.fitWidth = options.fitHeight = 16;
    ASSERT_TRUE(LoadJpeg(image, jpg, options));
    EXPECT_EQ(image.GetWidth(), 16);
}

TEST(JpegWriteTest, RedPixelsDecodeToRed) {
    CImage image;
    const std::string path = TmpDir() + "/red.jpg";
    ASSERT_TRUE(image.CreateImpl(path, kImageTypeJpeg));
    ASSERT_GT(image.Create(24, 16, 24, -1), 0);
    CImageImpl* impl = image.GetImpl();
    for (int y = 0; y < 16; ++y) {
        BYTE* row = impl->MemoryRow(y);
        for (int x = 0; x < 24; ++x) {
            row[3 * x] = 0;
            row[3 * x + 1] = 0;
            row[3 * x + 2] = 255;
        }
    }
    ASSERT_TRUE(impl->Write(""));
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = OracleRgb(path, &w, &h);
    ASSERT_EQ(w, 24);
    ASSERT_EQ(h, 16);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        ASSERT_GT(rgb[i], 230);
        ASSERT_LT(rgb[i + 1], 30);
        ASSERT_LT(rgb[i + 2], 30);
    }
}

TEST(JpegWriteTest, PalettedImageDecodesToItsPaletteColours) {
    CImage image;
    const std::string path = TmpDir() + "/paletted.jpg";
    ASSERT_TRUE(image.CreateImpl(path, kImageTypeJpeg));
    ASSERT_GT(image.Create(32, 32, 8, -1), 0);
    const BYTE red[2] = {0, 255}, green[2] = {0, 255}, blue[2] = {255, 0};
    image.CreatePalette(2, red, green, blue);
    // Top half index 1 (yellow), bottom half index 0 (blue), in memory rows.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) image.SetPixelIndex(x, y, y >= 16 ? 1 : 0);
    }
    ASSERT_TRUE(image.GetImpl()->Write(""));
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = OracleRgb(path, &w, &h);
    ASSERT_EQ(w * h, 32 * 32);
    const uint8_t* top = &rgb[(4 * 32 + 16) * 3];
    const uint8_t* bottom = &rgb[(28 * 32 + 16) * 3];
    EXPECT_GT(top[0], 200);
    EXPECT_GT(top[1], 200);
    EXPECT_LT(top[2], 60);
    EXPECT_LT(bottom[0], 60);
    EXPECT_GT(bottom[2], 200);
}

TEST(JpegWriteTest, RefusesDepthsItCannotWalkAndReportsWriteErrors) {
    CImage image;
    const std::string path = TmpDir() + "/refused.jpg";
    ASSERT_TRUE(image.CreateImpl(path, kImageTypeJpeg));
    ASSERT_GT(image.Create(9, 9, 4, -1), 0);
    EXPECT_FALSE(image.GetImpl()->Write(""));
    ASSERT_GT(image.Create(9, 9, 8, -1), 0);  // 8 bits without a palette
    EXPECT_FALSE(image.GetImpl()->Write(""));
    ASSERT_GT(image.Create(64, 64, 24, -1), 0);
    EXPECT_FALSE(image.GetImpl()->Write(TmpDir() + "/no/such/dir/x.jpg"));
#ifndef _WIN32  // Windows has no device that is always full
    // The library's own error (a full disk) ends the write with 0, not the process.
    EXPECT_FALSE(image.GetImpl()->Write("/dev/full"));
#endif
}

TEST(JpegRoundTripTest, OwnWriterOutputReadsBackAtFullSize) {
    CImage image;
    const std::string path = TmpDir() + "/roundtrip.jpg";
    ASSERT_TRUE(image.CreateImpl(path, kImageTypeJpeg));
    ASSERT_GT(image.Create(41, 17, 24, -1), 0);
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 41; ++x) image.SetPixelRGB(x, y, x * 6, y * 15, 128);
    }
    ASSERT_TRUE(image.GetImpl()->Write(""));
    CImage back;
    ASSERT_TRUE(back.Load(path, -1));
    EXPECT_EQ(back.GetWidth(), 41);
    EXPECT_EQ(back.GetHeight(), 17);
    EXPECT_EQ(back.GetBitsPerPixel(), 8);
    ASSERT_NE(back.GetPalette(), nullptr);
    EXPECT_LE(back.GetPalette()->GetEntryCount(), 128);
}

}  // namespace
