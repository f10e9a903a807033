// Systematic damage to the headers of BMP, PNG, JPEG and GIF files, read through CImage::Load
// as the program reads them: every cut inside the header region, every header byte set to
// 0x00 and 0xFF and flipped (whole byte, lowest and highest bit), and extreme sizes. Every
// read either fails or leaves a picture whose block holds all it claims; the sanitizer
// builds check that nothing outside the buffers is touched on the way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "GifTestSupport.h"
#include "PngTestSupport.h"
#include "image/Image.h"
#include "tests/image/DibTestSupport.h"
#include "tests/support/JpegTools.h"

namespace {

using FileBytes = std::vector<uint8_t>;

struct Tally {
    int read = 0;
    int refused = 0;
};

// Values a damaged byte takes: the extremes and flips of the whole byte and of its end bits.
std::vector<uint8_t> DamagedValues(uint8_t original) {
    std::set<uint8_t> values{0x00, 0xFF, uint8_t(~original), uint8_t(original ^ 0x01),
                             uint8_t(original ^ 0x80)};
    values.erase(original);
    return {values.begin(), values.end()};
}

// Everything a caller may do with an image that reads as valid: the block holds the rows
// the geometry claims, every edge pixel (every pixel of a small picture) reads back, and
// both kinds of drawing run.
void ExpectWhole(CImage& image, const std::string& what) {
    if (!image.IsValid()) return;
    CImageImpl& impl = *image.GetImpl();
    // A GIF image descriptor may say 0: an empty picture is still a picture.
    ASSERT_GE(impl.imageWidth, 0) << what;
    ASSERT_GE(impl.imageHeight, 0) << what;
    const BITMAPINFOHEADER& header = *impl.imageDIB;
    ASSERT_EQ(header.biWidth, impl.imageWidth) << what;
    ASSERT_EQ(header.biHeight, impl.imageHeight) << what;
    ASSERT_EQ(int32_t(header.biBitCount), impl.bitsPerPixel) << what;
    const int64_t stride = (int64_t(impl.imageWidth) * impl.bitsPerPixel + 31) / 32 * 4;
    ASSERT_EQ(int64_t(impl.bytesPerLine), stride) << what;
    const int64_t rowsAt = impl.imageBits - reinterpret_cast<BYTE*>(impl.imageDIB);
    ASSERT_GE(rowsAt, int64_t(sizeof(BITMAPINFOHEADER))) << what;
    ASSERT_GE(int64_t(impl.BlockBytes()), rowsAt + stride * impl.imageHeight) << what;
    if (impl.imagePalette) {
        ASSERT_LE(impl.imagePalette->GetEntryCount(), kMaxPaletteEntries) << what;
    }
    const bool small = int64_t(impl.imageWidth) * impl.imageHeight <= 4096;
    for (int32_t y = 0; y < impl.imageHeight; ++y) {
        const bool edgeRow = y == 0 || y == impl.imageHeight - 1;
        for (int32_t x = 0; x < impl.imageWidth; ++x) {
            if (!small && !edgeRow && x != 0 && x != impl.imageWidth - 1) continue;
            BYTE r, g, b;
            image.GetPixelRGB(x, y, &r, &g, &b);
            const int32_t index = image.GetPixelIndex(x, y);
            if (impl.bitsPerPixel <= 8) {
                ASSERT_GE(index, 0) << what;
                ASSERT_LT(index, 1 << impl.bitsPerPixel) << what;
            }
        }
    }
    CDC dc(24, 24);
    if (impl.imagePalette) dc.SelectPalette(impl.imagePalette->GetSafeHandle(), FALSE);
    image.Draw(&dc, 0, 0, -1, -1, 0, 0);
    image.StretchDraw(&dc, 0, 0, 24, 24, 0, 0, -1, -1);
}

// Loads one damaged file into a fresh image and into one that lives through the whole sweep,
// as the playback worker's image lives through a sequence of frames. Library messages
// (libpng's error lines, libjpeg's warnings) are expected and kept off the log.
class Sweep {
public:
    Sweep(std::string extension, FileBytes original)
        : path(TestTmp() + "/sweep." + extension), sample(std::move(original)) {}

    // True when the fresh image read the file.
    bool Load(const FileBytes& bytes, const std::string& what) {
        giftest::WriteFile(path, bytes);
        CImage fresh;
        testing::internal::CaptureStderr();
        const BOOL ok = fresh.Load(path, -1);
        const BOOL reusedOk = reused.Load(path, -1);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(ok, reusedOk) << what;
        if (ok) {
            if (readMeansPicture) {
                EXPECT_TRUE(fresh.IsValid()) << what;
            }
            ++tally.read;
        } else {
            ++tally.refused;
        }
        ExpectWhole(fresh, what);
        ExpectWhole(reused, what + " (reused image)");
        return ok != FALSE;
    }

    // Every cut of [from, to) bytes; true when all failed.
    bool CutsFail(size_t from, size_t to) {
        bool allFailed = true;
        for (size_t length = from; length < to && length < sample.size(); ++length) {
            const FileBytes cut(sample.begin(), sample.begin() + ptrdiff_t(length));
            allFailed = !Load(cut, "cut at " + std::to_string(length)) && allFailed;
        }
        return allFailed;
    }

    // Every byte of [from, to) damaged in turn; fix, when given, repairs what the damage
    // breaks besides the byte itself (a checksum).
    void DamageBytes(size_t from, size_t to, const std::function<void(FileBytes&)>& fix = nullptr) {
        for (size_t at = from; at < to && at < sample.size(); ++at) {
            for (uint8_t value : DamagedValues(sample[at])) {
                FileBytes bytes = sample;
                bytes[at] = value;
                if (fix) fix(bytes);
                Load(bytes, "byte " + std::to_string(at) + " = " + std::to_string(value));
            }
        }
    }

    const std::string path;
    const FileBytes sample;
    CImage reused;
    Tally tally;
    // A GIF reader that finds no image answers TRUE and leaves the image as it was.
    bool readMeansPicture = true;
};

void PutLe16(FileBytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void PutLe32(FileBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void PutBe16(FileBytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

void PutBe32(FileBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

// Sizes that sit on or just past the limits of the formats and of the image block.
const uint32_t kExtremeSizes[] = {0,       1,          0x7FFF,     0x8000,    0xFFFF,
                                  0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};

// ---- BMP ----

struct BmpSample {
    const char* name;
    FileBytes bytes;
    size_t headerEnd;  // where the rows begin
    bool uncompressed;
};

std::vector<BmpSample> BmpSamples() {
    using dibtest::BmpFile;
    using dibtest::InfoHeader;
    using dibtest::RampTable;
    std::vector<BmpSample> samples;
    auto add = [&](const char* name, const FileBytes& bytes, bool uncompressed = true) {
        samples.push_back({name, bytes, dibtest::Le32(bytes, 10), uncompressed});
    };
    add("1-bit", BmpFile(InfoHeader(9, 3, 1, BI_RGB, 0, 0), RampTable(2), FileBytes(12, 0xA5)));
    add("4-bit", BmpFile(InfoHeader(5, 2, 4, BI_RGB, 0, 16), RampTable(16), FileBytes(8, 0x1F)));
    add("8-bit", BmpFile(InfoHeader(3, 3, 8, BI_RGB, 0, 7), RampTable(7), FileBytes(12, 0x06)));
    // Indices far past the two colours of the table.
    add("8-bit short table",
        BmpFile(InfoHeader(4, 2, 8, BI_RGB, 0, 2), RampTable(2), {0, 1, 0x80, 0xFF, 7, 2, 1, 0}));
    add("24-bit top-down", BmpFile(InfoHeader(3, -2, 24, BI_RGB, 0, 0), {}, FileBytes(24, 0x3C)));
    add("32-bit", BmpFile(InfoHeader(2, 2, 32, BI_RGB, 0, 0), {}, FileBytes(16, 0x77)));
    // A 108-byte header carrying its own masks.
    FileBytes v4 = InfoHeader(2, 2, 16, BI_BITFIELDS, 8, 0).data;
    v4[0] = 108;
    v4.resize(108, 0);
    PutLe32(v4, 40, 0xF800);
    PutLe32(v4, 44, 0x07E0);
    PutLe32(v4, 48, 0x001F);
    add("16-bit v4 masks",
        dibtest::FileHeader(14 + 108 + 8, 14 + 108).Append(v4).Fill(8, 0x81).data);
    const FileBytes rle4{4, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1};
    add("RLE4",
        BmpFile(InfoHeader(4, 2, 4, BI_RLE4, uint32_t(rle4.size()), 16), RampTable(16), rle4),
        false);
    // A core header with no table, and an info header with no file header in front.
    add("core 24-bit", dibtest::FileHeader(14 + 12 + 8, 14 + 12)
                           .Append(dibtest::Bytes().U32(12).U16(2).U16(1).U16(1).U16(24).data)
                           .Fill(8, 0x42)
                           .data);
    const FileBytes bare = dibtest::Bytes()
                               .Append(InfoHeader(2, 2, 8, BI_RGB, 0, 2).data)
                               .Append(RampTable(2))
                               .Fill(8, 1)
                               .data;
    samples.push_back({"no file header", bare, 40 + 8, true});
    return samples;
}

TEST(HeaderSweep, BmpHeadersCutOrDamaged) {
    for (const BmpSample& s : BmpSamples()) {
        SCOPED_TRACE(s.name);
        Sweep sweep("bmp", s.bytes);
        ASSERT_TRUE(sweep.Load(s.bytes, "intact"));
        // A BMP file is refused as soon as it ends before its last row.
        EXPECT_TRUE(sweep.CutsFail(0, s.bytes.size()));
        sweep.DamageBytes(0, s.headerEnd);
        EXPECT_GT(sweep.tally.refused, int(s.bytes.size()));
        EXPECT_GT(sweep.tally.read, 1) << "damage to colours and resolutions is harmless";
    }
}

TEST(HeaderSweep, BmpExtremeSizesAreRefusedOrBackedByTheFile) {
    for (const BmpSample& s : BmpSamples()) {
        SCOPED_TRACE(s.name);
        // The offsets below hold after a file header. Run-length data may legitimately leave
        // a huge picture blank: the block cap alone bounds it, as for any other file.
        if (s.bytes[0] != 'B' || !s.uncompressed) continue;
        const bool core = dibtest::Le32(s.bytes, 14) == 12;
        Sweep sweep("bmp", s.bytes);
        for (uint32_t width : kExtremeSizes) {
            for (uint32_t height : kExtremeSizes) {
                FileBytes bytes = s.bytes;
                if (core) {
                    PutLe16(bytes, 18, width);
                    PutLe16(bytes, 20, height);
                } else {
                    PutLe32(bytes, 18, width);
                    PutLe32(bytes, 22, height);
                }
                const std::string what = std::to_string(width) + " x " + std::to_string(height);
                if (!sweep.Load(bytes, what)) continue;
                // Uncompressed rows are read from the file, so they must fit in it.
                CImage image;
                ASSERT_TRUE(image.Load(sweep.path, -1));
                const int64_t rows = int64_t(image.GetBytesPerLine()) * image.GetHeight();
                EXPECT_LE(rows, int64_t(bytes.size())) << what;
            }
        }
        EXPECT_GT(sweep.tally.refused, 0);
    }
}

// ---- PNG ----

struct Chunk {
    size_t at;  // the length field
    uint32_t length;
    std::string type;
};

std::vector<Chunk> ChunksUpToData(const FileBytes& b) {
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 8 <= b.size();) {
        const uint32_t length = pngtest::Be32(b, at);
        chunks.push_back(
            {at, length,
             std::string(b.begin() + ptrdiff_t(at + 4), b.begin() + ptrdiff_t(at + 8))});
        if (chunks.back().type == "IDAT") break;
        at += 12 + size_t(length);
    }
    return chunks;
}

FileBytes PngSample(const std::string& name, int colorType, int depth, bool interlaced,
                    bool transparency, int paletteEntries) {
    using namespace pngtest;
    PngPicture picture;
    picture.width = 6;
    picture.height = 4;
    picture.bitDepth = depth;
    picture.colorType = colorType;
    picture.interlaced = interlaced;
    int channels = 1;
    if (colorType == PNG_COLOR_TYPE_RGB) channels = 3;
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) channels = 2;
    if (colorType == PNG_COLOR_TYPE_RGB_ALPHA) channels = 4;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < (1 << depth); ++i) {
            picture.palette.push_back(png_color{uint8_t(i * 17), uint8_t(200 - i), 9});
        }
        if (transparency) picture.trns = {0, 128, 255};
    }
    for (int y = 0; y < picture.height; ++y) {
        FileBytes row(size_t((picture.width * channels * depth + 7) / 8));
        for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 29 + size_t(y) * 13);
        picture.rows.push_back(row);
    }
    const std::string path = TempPath(name);
    EXPECT_TRUE(WritePng(path, picture)) << name;
    FileBytes bytes = ReadAll(path);
    if (paletteEntries == 0) return bytes;
    // libpng writes no index past the palette: the palette is cut down afterwards.
    for (const Chunk& chunk : ChunksUpToData(bytes)) {
        if (chunk.type != "PLTE") continue;
        const size_t keep = 3 * size_t(paletteEntries);
        bytes.erase(bytes.begin() + ptrdiff_t(chunk.at + 8 + keep),
                    bytes.begin() + ptrdiff_t(chunk.at + 8 + chunk.length));
        PutBe32(bytes, chunk.at, uint32_t(keep));
        FixCrc(bytes, chunk.at);
    }
    return bytes;
}

struct PngCase {
    const char* name;
    int colorType;
    int depth;
    bool interlaced;
    bool transparency;
    int paletteEntries;  // 0: one for each index the depth can hold
};

const PngCase kPngCases[] = {
    {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, false, 0},
    {"palette4-trns", PNG_COLOR_TYPE_PALETTE, 4, false, true, 0},
    // Indices up to 255 with three colours: libpng only warns about the others.
    {"palette8-short", PNG_COLOR_TYPE_PALETTE, 8, false, false, 3},
    {"grey16-interlaced", PNG_COLOR_TYPE_GRAY, 16, true, false, 0},
    {"grey-alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, 0},
    {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, 0},
    {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false, 0},
};

TEST(HeaderSweep, PngHeadersCutOrDamaged) {
    int read = 0;
    for (const PngCase& c : kPngCases) {
        SCOPED_TRACE(c.name);
        const FileBytes sample = PngSample(std::string(c.name) + ".png", c.colorType, c.depth,
                                           c.interlaced, c.transparency, c.paletteEntries);
        Sweep sweep("png", sample);
        ASSERT_TRUE(sweep.Load(sample, "intact"));
        const std::vector<Chunk> chunks = ChunksUpToData(sample);
        ASSERT_EQ(chunks.back().type, "IDAT");
        const size_t headerEnd = chunks.back().at + 8;
        EXPECT_TRUE(sweep.CutsFail(0, headerEnd));

        // The signature, and each chunk: damage to its length or checksum is caught by the
        // checksum; damage to its type or data is checksummed anew, so that the fields
        // themselves are what the reader has to judge.
        sweep.DamageBytes(0, 8);
        for (const Chunk& chunk : chunks) {
            const size_t dataEnd =
                chunk.type == "IDAT" ? chunk.at + 8 : chunk.at + 8 + chunk.length;
            sweep.DamageBytes(chunk.at, chunk.at + 4);
            sweep.DamageBytes(chunk.at + 4, dataEnd, [&](FileBytes& bytes) {
                if (chunk.type != "IDAT") pngtest::FixCrc(bytes, chunk.at);
            });
            if (chunk.type != "IDAT") sweep.DamageBytes(dataEnd, dataEnd + 4);
        }
        EXPECT_GT(sweep.tally.refused, 0);
        read += sweep.tally.read - 1;
    }
    // New palette colours and transparency read; most other damage is refused.
    EXPECT_GT(read, 0);
}

TEST(HeaderSweep, PngHeaderFieldsTakeEveryValue) {
    // Every value of every IHDR byte after the sizes (depth, colour type, compression,
    // filter, interlace), checksummed: each combination the format forbids is refused.
    for (const PngCase& c : kPngCases) {
        SCOPED_TRACE(c.name);
        const FileBytes sample = PngSample(std::string(c.name) + "-fields.png", c.colorType,
                                           c.depth, c.interlaced, c.transparency, c.paletteEntries);
        Sweep sweep("png", sample);
        for (size_t at = 24; at < 29; ++at) {
            for (int value = 0; value < 256; ++value) {
                FileBytes bytes = sample;
                bytes[at] = uint8_t(value);
                pngtest::FixCrc(bytes, 8);
                sweep.Load(bytes,
                           "IHDR byte " + std::to_string(at) + " = " + std::to_string(value));
            }
        }
        // Per byte only a handful of values are legal.
        EXPECT_GT(sweep.tally.refused, 5 * 256 - 5 * 8);
    }
}

TEST(HeaderSweep, PngExtremeSizesAreRefused) {
    const FileBytes sample = PngSample("sizes.png", PNG_COLOR_TYPE_RGB, 8, false, false, 0);
    Sweep sweep("png", sample);
    for (uint32_t width : kExtremeSizes) {
        for (uint32_t height : kExtremeSizes) {
            FileBytes bytes = sample;
            PutBe32(bytes, 16, width);
            PutBe32(bytes, 20, height);
            pngtest::FixCrc(bytes, 8);
            // The data holds 4 rows of 6 pixels, each row with its filter byte.
            // Extra data after the last row is only a warning, so smaller sizes may read;
            // a size needing more rows than the data holds may not.
            if (!sweep.Load(bytes, std::to_string(width) + " x " + std::to_string(height)))
                continue;
            EXPECT_LE((uint64_t(width) * 3 + 1) * height, uint64_t(6 * 3 + 1) * 4)
                << width << " x " << height;
        }
    }
}

// ---- JPEG ----

// The first scan's SOS segment: where it starts and where its data starts.
std::pair<size_t, size_t> JpegFirstScan(const FileBytes& b) {
    size_t at = 2;  // after SOI
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        const uint8_t marker = b[at + 1];
        const size_t length = size_t(b[at + 2]) << 8 | b[at + 3];
        if (marker == 0xDA) return {at, at + 2 + length};
        at += 2 + length;
    }
    ADD_FAILURE() << "no scan in the sample";
    return {b.size(), b.size()};
}

// Offset of the SOF segment's height field.
size_t JpegSizeField(const FileBytes& b) {
    for (size_t at = 2; at + 4 <= b.size() && b[at] == 0xFF;) {
        const uint8_t marker = b[at + 1];
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) return at + 5;
        at += 2 + (size_t(b[at + 2]) << 8 | b[at + 3]);
    }
    ADD_FAILURE() << "no frame header in the sample";
    return 0;
}

struct JpegSample {
    const char* name;
    FileBytes bytes;
};

// Our writer's baseline file, and libjpeg's own tool turning it into grey, progressive and
// restart-marker variants.
std::vector<JpegSample> JpegSamples() {
    const std::string base = TestTmp() + "/sweep-base.jpg";
    CImage image;
    EXPECT_TRUE(image.CreateImpl(base, kImageTypeJpeg));
    EXPECT_GT(image.Create(12, 10, 24, -1), 0);
    for (int32_t y = 0; y < 10; ++y) {
        for (int32_t x = 0; x < 12; ++x) image.SetPixelRGB(x, y, x * 20, y * 25, (x + y) * 10);
    }
    EXPECT_TRUE(image.GetImpl()->Write(""));
    std::vector<JpegSample> samples{{"baseline", ReadAll(base)}};
    for (const auto& [name, option] : {std::pair{"grey", "-grayscale"},
                                       {"progressive", "-progressive"},
                                       {"restart", "-restart 1B"}}) {
        const std::string path = TestTmp() + "/sweep-" + name + ".jpg";
        const std::string command =
            std::string("jpegtran ") + option + " -outfile " + path + " " + base;
        EXPECT_EQ(RunJpegTool(command), 0) << command;
        samples.push_back({name, ReadAll(path)});
    }
    return samples;
}

TEST(HeaderSweep, JpegHeadersCutOrDamaged) {
    for (const JpegSample& s : JpegSamples()) {
        SCOPED_TRACE(s.name);
        Sweep sweep("jpg", s.bytes);
        ASSERT_TRUE(sweep.Load(s.bytes, "intact"));
        const auto [scan, headerEnd] = JpegFirstScan(s.bytes);
        // Cut before its first scan a file holds no picture. Inside the scan header the
        // library completes the file with an end marker, warns and decodes a blank frame.
        EXPECT_TRUE(sweep.CutsFail(0, scan));
        sweep.CutsFail(scan, headerEnd);
        sweep.DamageBytes(0, headerEnd);
        EXPECT_GT(sweep.tally.refused, int(headerEnd));
        EXPECT_GT(sweep.tally.read, 1);
    }
}

TEST(HeaderSweep, JpegExtremeSizesAreRefusedOrRead) {
    for (const JpegSample& s : JpegSamples()) {
        SCOPED_TRACE(s.name);
        Sweep sweep("jpg", s.bytes);
        const size_t field = JpegSizeField(s.bytes);
        for (uint32_t width : {0u, 1u, 0xFFFFu}) {
            for (uint32_t height : {0u, 1u, 0xFFFFu}) {
                FileBytes bytes = s.bytes;
                PutBe16(bytes, field, height);
                PutBe16(bytes, field + 2, width);
                const bool read =
                    sweep.Load(bytes, std::to_string(width) + " x " + std::to_string(height));
                // No size over the library's 65500 nor a zero one decodes.
                EXPECT_EQ(read, width == 1 && height == 1);
            }
        }
    }
}

TEST(HeaderSweep, JpegFrameNoImageCanHoldIsRefusedFromItsHeader) {
    // Regression: two-pass quantisation buffered and decoded such a frame whole (gigabytes
    // and seconds for a file of a few hundred bytes) before the reader found it could not
    // keep it, and the image lost its picture. Refused from the header, the image keeps it.
    const std::pair<uint32_t, uint32_t> sizes[] = {
        {32800, 32800}, {16500, 65500}, {65500, 16500}, {65500, 65500}};
    for (const JpegSample& s : JpegSamples()) {
        SCOPED_TRACE(s.name);
        const std::string path = TestTmp() + "/sweep-huge.jpg";
        CImage image;
        giftest::WriteFile(path, s.bytes);
        ASSERT_TRUE(image.Load(path, -1));
        for (const auto& [width, height] : sizes) {
            FileBytes bytes = s.bytes;
            PutBe16(bytes, JpegSizeField(bytes), height);
            PutBe16(bytes, JpegSizeField(bytes) + 2, width);
            giftest::WriteFile(path, bytes);
            EXPECT_FALSE(image.Load(path, -1)) << width << " x " << height;
            ASSERT_TRUE(image.IsValid()) << width << " x " << height;
            EXPECT_EQ(image.GetWidth(), 12);
            EXPECT_EQ(image.GetHeight(), 10);
        }
    }
}

TEST(HeaderSweep, JpegFrameTooLargeForTheLibrarysBuffersIsRefused) {
    // Regression (found by fuzzing): a 264-byte file claiming 11777 x 65295, a block the image
    // could hold, made two-pass quantisation buffer the whole frame: 3 GB and 14 s for a
    // blank picture. The library's buffers are bounded now, and the image keeps its picture.
    for (const JpegSample& s : JpegSamples()) {
        if (s.name == std::string("grey")) continue;  // grey frames are not quantised
        SCOPED_TRACE(s.name);
        const std::string path = TestTmp() + "/sweep-tall.jpg";
        CImage image;
        giftest::WriteFile(path, s.bytes);
        ASSERT_TRUE(image.Load(path, -1));
        FileBytes bytes = s.bytes;
        PutBe16(bytes, JpegSizeField(bytes), 65295);
        PutBe16(bytes, JpegSizeField(bytes) + 2, 11777);
        giftest::WriteFile(path, bytes);
        EXPECT_FALSE(image.Load(path, -1));
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 12);
    }
}

// ---- GIF ----

TEST(HeaderSweep, GifHeadersCutOrDamaged) {
    giftest::GifBuilder b;
    b.Header("GIF89a", 5, 4, 0x82).Table(8, giftest::Grey).Control(0x01, 2).Descriptor(5, 4, 0x00);
    const size_t headerEnd = b.bytes.size() + 1;  // through the code size byte
    b.Data(3, giftest::Pixels(5, 4, [](int32_t r, int32_t x) { return (r + x) % 8; })).Trailer();
    Sweep sweep("gif", b.bytes);
    sweep.readMeansPicture = false;
    ASSERT_TRUE(sweep.Load(b.bytes, "intact"));
    // Only a missing signature makes the read fail; a GIF cut short keeps what it read.
    EXPECT_TRUE(sweep.CutsFail(0, 4));
    sweep.CutsFail(4, headerEnd);
    sweep.DamageBytes(0, headerEnd);
    for (uint32_t width : {0u, 1u, 0xFFFFu}) {
        for (uint32_t height : {0u, 1u, 0xFFFFu}) {
            FileBytes bytes = b.bytes;
            PutLe16(bytes, 6, width);  // the screen, then the image descriptor
            PutLe16(bytes, 8, height);
            PutLe16(bytes, 13 + 24 + 8 + 5, width);
            PutLe16(bytes, 13 + 24 + 8 + 7, height);
            sweep.Load(bytes, std::to_string(width) + " x " + std::to_string(height));
        }
    }
    EXPECT_GT(sweep.tally.refused, 0);
    EXPECT_GT(sweep.tally.read, 1);
}

}  // namespace
