// Hostile and damaged BMP files: each header field is checked before it sizes anything, short
// files are refused, and no damaged file is read or drawn outside its buffers.
#include <gtest/gtest.h>

#include "DibTestSupport.h"
#include "image/Dib.h"
#include "image/ImageFormats.h"

using namespace dibtest;

namespace {

bool Loads(const std::string& name, const std::vector<uint8_t>& bytes) {
    CBmpImpl image("");
    return image.Read(WriteTemp(name, bytes)) != FALSE;
}

std::vector<uint8_t> Eight(int32_t width, int32_t height, uint32_t clrUsed = 0) {
    const int count = clrUsed ? int(clrUsed) : 256;
    return BmpFile(InfoHeader(width, height, 8, BI_RGB, 0, clrUsed), RampTable(count),
                   std::vector<uint8_t>(size_t(Stride(width, 8) * std::abs(height)), 3));
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Valid files of several kinds, each ending exactly with its last needed byte.
std::vector<std::vector<uint8_t>> Samples() {
    std::vector<std::vector<uint8_t>> samples;
    samples.push_back(Eight(5, 3, 16));
    samples.push_back(
        BmpFile(InfoHeader(3, -2, 24, BI_RGB, 0, 0), {}, std::vector<uint8_t>(24, 9)));
    samples.push_back(BmpFile(InfoHeader(2, 2, 16, BI_BITFIELDS, 8, 0),
                              Bytes().U32(0xF800).U32(0x07E0).U32(0x1F).data,
                              std::vector<uint8_t>(8, 0xA5)));
    const auto rle =
        Bytes().U8(3).U8(1).U8(0).U8(0).U8(0).U8(3).U8(4).U8(5).U8(6).U8(0).U8(0).U8(1).data;
    samples.push_back(
        BmpFile(InfoHeader(3, 2, 8, BI_RLE8, uint32_t(rle.size()), 8), RampTable(8), rle));
    const auto core = Bytes().U32(12).U16(2).U16(2).U16(1).U16(4).Fill(48, 0x44).data;
    samples.push_back(FileHeader(14 + 12 + 48 + 8, 14 + 12 + 48).Append(core).Fill(8, 0x12).data);
    return samples;
}

// Everything an image that claims to be read must allow: every pixel, and drawing.
void TouchEverything(CBmpImpl& image) {
    ASSERT_NE(image.imageDIB, nullptr);
    const int64_t table = image.imageBits - reinterpret_cast<BYTE*>(image.imageDIB);
    ASSERT_GE(int64_t(image.BlockBytes()), table + int64_t(image.bytesPerLine) * image.imageHeight);
    for (int y = 0; y < image.imageHeight; ++y) {
        for (int x = 0; x < image.imageWidth; ++x) {
            BYTE r, g, b;
            image.GetPixelRGB(x, y, &r, &g, &b);
        }
    }
    CDC dc(16, 16);
    if (image.imagePalette) dc.SelectPalette(image.imagePalette->GetSafeHandle(), FALSE);
    image.Draw(&dc, 0, 0, -1, -1, 0, 0);
    image.StretchDraw(&dc, 0, 0, 16, 16, 0, 0, -1, -1);
}

}  // namespace

TEST(BmpHeaderChecks, SizesOutsideTheLimitsAreRefused) {
    EXPECT_TRUE(Loads("ok.bmp", Eight(4, 4)));
    EXPECT_FALSE(Loads("w0.bmp", Eight(0, 4)));
    EXPECT_FALSE(Loads("wneg.bmp", Eight(-4, 4)));
    EXPECT_FALSE(Loads("h0.bmp", Eight(4, 0)));
    // Huge sizes in a tiny file: refused from the header, before any allocation.
    for (auto [w, h] : {std::pair{70000, 1}, {1, 70000}, {1, -70000}, {65535, 65535}}) {
        auto bytes = Eight(1, 1);
        Put32(bytes, 18, uint32_t(w));
        Put32(bytes, 22, uint32_t(h));
        EXPECT_FALSE(Loads("huge.bmp", bytes)) << w << " x " << h;
    }
}

TEST(BmpHeaderChecks, DepthsAndCompressionsOutsideTheFormatAreRefused) {
    for (uint32_t bits : {0u, 2u, 3u, 7u, 12u, 48u, 64u}) {
        auto bytes = Eight(4, 4);
        bytes[28] = uint8_t(bits);
        EXPECT_FALSE(Loads("bits.bmp", bytes)) << bits;
    }
    for (uint32_t compression :
         {uint32_t(BI_RLE4), uint32_t(BI_BITFIELDS), 4u, 5u, 6u, 0x7FFFFFFFu}) {
        auto bytes = Eight(4, 4);
        Put32(bytes, 30, compression);
        EXPECT_FALSE(Loads("compression.bmp", bytes)) << compression;
    }
    // Run-length rows are bottom-up by definition.
    auto rle = BmpFile(InfoHeader(1, -1, 8, BI_RLE8, 4, 2), RampTable(2), {1, 1, 0, 1});
    EXPECT_FALSE(Loads("rle-topdown.bmp", rle));
}

TEST(BmpHeaderChecks, ColourCountsAboveTwoHundredFiftySixAreRefused) {
    EXPECT_TRUE(Loads("clr256.bmp", Eight(2, 2, 256)));
    EXPECT_FALSE(Loads("clr257.bmp", Eight(2, 2, 257)));
    auto bytes = Eight(2, 2, 256);
    Put32(bytes, 46, 0xFFFFFFFFu);
    EXPECT_FALSE(Loads("clrhuge.bmp", bytes));
}

TEST(BmpHeaderChecks, HeaderSizesOtherThanKnownOnesAreRefused) {
    for (uint32_t size : {0u, 11u, 13u, 39u, 125u, 0xFFFFFFFFu}) {
        auto bytes = Eight(2, 2);
        Put32(bytes, 14, size);
        EXPECT_FALSE(Loads("hsize.bmp", bytes)) << size;
    }
}

TEST(BmpHeaderChecks, OffsetsPastTheEndOfTheFileAreRefused) {
    auto bytes = Eight(2, 2);
    Put32(bytes, 10, uint32_t(bytes.size() + 1));
    EXPECT_FALSE(Loads("offbits-past.bmp", bytes));
    Put32(bytes, 10, 0xFFFFFFF0u);
    EXPECT_FALSE(Loads("offbits-huge.bmp", bytes));
    // Pointing into the file header is no place for rows either.
    Put32(bytes, 10, 4);
    EXPECT_FALSE(Loads("offbits-inside.bmp", bytes));
}

TEST(BmpShortFiles, EveryTruncationIsRefused) {
    const auto samples = Samples();
    for (size_t s = 0; s < samples.size(); ++s) {
        ASSERT_TRUE(Loads("sample.bmp", samples[s])) << "sample " << s;
        for (size_t length = 0; length < samples[s].size(); ++length) {
            const std::vector<uint8_t> cut(samples[s].begin(),
                                           samples[s].begin() + ptrdiff_t(length));
            EXPECT_FALSE(Loads("cut.bmp", cut)) << "sample " << s << " cut at " << length;
        }
    }
}

TEST(BmpShortFiles, RunLengthDataPastTheFileOrWithoutItsEndIsRefused) {
    const auto data = Bytes().U8(2).U8(1).U8(0).U8(0).data;  // no end-of-picture mark
    EXPECT_FALSE(
        Loads("rle-noend.bmp", BmpFile(InfoHeader(2, 2, 8, BI_RLE8, 4, 2), RampTable(2), data)));
    const auto ended = Bytes().U8(2).U8(1).U8(0).U8(1).data;
    EXPECT_TRUE(
        Loads("rle-end.bmp", BmpFile(InfoHeader(2, 2, 8, BI_RLE8, 4, 2), RampTable(2), ended)));
    EXPECT_FALSE(
        Loads("rle-size.bmp", BmpFile(InfoHeader(2, 2, 8, BI_RLE8, 5, 2), RampTable(2), ended)));
    // Zero size: the data runs to the end of the file.
    EXPECT_TRUE(
        Loads("rle-size0.bmp", BmpFile(InfoHeader(2, 2, 8, BI_RLE8, 0, 2), RampTable(2), ended)));
}

TEST(BmpShortFiles, RunsPastTheEdgesAreClipped) {
    // Runs and literals longer than the row, a delta far outside: all clipped, then ended.
    const auto data = Bytes()
                          .U8(255)
                          .U8(1)
                          .U8(0)
                          .U8(5)
                          .U8(1)
                          .U8(2)
                          .U8(3)
                          .U8(4)
                          .U8(5)
                          .U8(0)
                          .U8(0)
                          .U8(2)
                          .U8(200)
                          .U8(200)
                          .U8(9)
                          .U8(9)
                          .U8(0)
                          .U8(1)
                          .data;
    CBmpImpl image("");
    ASSERT_TRUE(image.Read(WriteTemp(
        "rle-clip.bmp",
        BmpFile(InfoHeader(2, 2, 8, BI_RLE8, uint32_t(data.size()), 16), RampTable(16), data))));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 1), 0);
    TouchEverything(image);
}

TEST(BmpCorruption, DamagedHeaderBytesNeverReachOutsideTheBlock) {
    const auto samples = Samples();
    int read = 0;
    int refused = 0;
    for (const auto& sample : samples) {
        const size_t headerEnd = std::min<size_t>(sample.size(), 14 + 40 + 16);
        for (size_t at = 0; at < headerEnd; ++at) {
            for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF}) {
                auto bytes = sample;
                bytes[at] = value;
                CBmpImpl image("");
                if (image.Read(WriteTemp("damaged.bmp", bytes))) {
                    ++read;
                    TouchEverything(image);
                } else {
                    ++refused;
                    EXPECT_EQ(image.imageDIB, nullptr);
                }
            }
        }
    }
    // Both outcomes occur: damage to the size fields is refused, to colours and
    // resolutions is not.
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, 0);
}
