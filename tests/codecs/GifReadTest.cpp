#include <gtest/gtest.h>

#include "codecs/GifImpl.h"
#include "codecs/LzwDecoder.h"
#include "image/Image.h"
#include "image/ImageFormats.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;

namespace {

// 16 colours, none of them white.
Rgb Sixteen(int32_t i) {
    return {uint8_t(i * 10), uint8_t(100 + i), uint8_t(200 - i)};
}

// A 4 x 2 GIF89a with a 16-entry global table; the control block is optional.
Bytes SmallGif(bool withControl, uint8_t controlPacked = 0x01, uint8_t transparent = 3) {
    GifBuilder b;
    b.Header("GIF89a", 4, 2, 0x83);  // global table of 2^(3+1) = 16 entries
    b.Table(16, Sixteen);
    if (withControl) {
        b.Control(controlPacked, transparent);
    }
    b.Descriptor(4, 2, 0x00).Data(4, {1, 2, 3, 4, 5, 6, 7, 8}).Trailer();
    return b.bytes;
}

struct ReadResult {
    BOOL ok = FALSE;
    std::unique_ptr<CGifImpl> gif;
};

ReadResult ReadBytes(const std::string& name, const Bytes& bytes,
                     std::unique_ptr<CGifImpl> gif = nullptr) {
    const std::string path = TempPath(name);
    WriteFile(path, bytes);
    ReadResult r;
    r.gif = gif ? std::move(gif) : std::make_unique<CGifImpl>("");
    r.ok = r.gif->Read(path);
    return r;
}

}  // namespace

// ---- pixels ----

TEST(GifReadPixels, PlainImageFillsRowsTopFirst) {
    const ReadResult r = ReadBytes("plain.gif", SmallGif(false));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.gif->imageWidth, 4);
    EXPECT_EQ(r.gif->imageHeight, 2);
    EXPECT_EQ(r.gif->bitsPerPixel, 8);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1, 2, 3, 4}, {5, 6, 7, 8}}));
    // Top picture row is the last memory row.
    EXPECT_EQ(r.gif->imageBits[r.gif->bytesPerLine + 0], 1);
}

TEST(GifReadPixels, InterlacedHeightTenStoresLinesInPassOrder) {
    // Stream line k holds the value k; it must land in picture row order[k].
    const int32_t order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    GifBuilder b;
    b.Header("GIF87a", 3, 10, 0x00).Descriptor(3, 10, 0x40);
    b.Data(4, Pixels(3, 10, [](int32_t k, int32_t) { return k; })).Trailer();
    const ReadResult r = ReadBytes("interlaced10.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    const std::vector<Bytes> rows = Rows(*r.gif);
    for (int32_t k = 0; k < 10; ++k) {
        EXPECT_EQ(rows[size_t(order[k])], Bytes(3, uint8_t(k))) << "stream line " << k;
    }
}

TEST(GifReadPixels, InterlacedHeightFourSkipsTheEmptyPass) {
    GifBuilder b;
    b.Header("GIF87a", 2, 4, 0x00).Descriptor(2, 4, 0x40);
    b.Data(2, Pixels(2, 4, [](int32_t k, int32_t) { return k; })).Trailer();
    const ReadResult r = ReadBytes("interlaced4.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{0, 0}, {2, 2}, {1, 1}, {3, 3}}));
}

TEST(GifReadPixels, InterlacedHeightsZeroAndOneEnd) {
    for (int32_t h : {0, 1}) {
        GifBuilder b;
        b.Header("GIF87a", 2, 1, 0x00).Descriptor(2, h, 0x40);
        // More lines than rows: the surplus ones must not be stored anywhere.
        b.Data(3, Pixels(2, 5, [](int32_t k, int32_t) { return k + 1; })).Trailer();
        const ReadResult r = ReadBytes("interlaced-small.gif", b.bytes);
        ASSERT_TRUE(r.ok) << h;
        EXPECT_EQ(r.gif->imageHeight, h);
        if (h == 1) {
            EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1, 1}}));
        }
    }
}

TEST(GifReadPixels, SurplusLinesOfInterlacedImageAreDropped) {
    // Height 3 takes lines 0, 2, 1; the fourth and fifth stream lines have no row.
    GifBuilder b;
    b.Header("GIF87a", 1, 3, 0x00).Descriptor(1, 3, 0x40);
    b.Data(3, {1, 2, 3, 4, 5}).Trailer();
    const ReadResult r = ReadBytes("interlaced-surplus.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1}, {3}, {2}}));
}

TEST(GifReadPixels, SurplusLinesOfPlainImageStopTheDecoder) {
    GifBuilder b;
    b.Header("GIF87a", 2, 2, 0x00).Descriptor(2, 2, 0x00);
    b.Data(3, {1, 2, 3, 4, 5, 6, 7, 7}).Trailer();
    const ReadResult r = ReadBytes("plain-surplus.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1, 2}, {3, 4}}));
}

TEST(GifReadPixels, DataWithoutEndCodeKeepsTheRowsDecoded) {
    lzwtest::CodePacker p(2);
    p.Code(4).Code(1).Code(2).Code(3).Code(1);  // three pixels then one more, no end code
    GifBuilder b;
    b.Header("GIF87a", 2, 3, 0x00).Descriptor(2, 3, 0x00).Raw(p.Stream()).Trailer();
    const ReadResult r = ReadBytes("no-end-code.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1, 2}, {3, 1}, {0, 0}}));
}

TEST(GifReadPixels, BadMinimumCodeSizeLeavesABlankImage) {
    for (uint8_t s : {1, 10}) {
        GifBuilder b;
        b.Header("GIF87a", 3, 2, 0x00).Descriptor(3, 2, 0x00);
        b.Raw({s, 0x02, 0xFF, 0xFF, 0x00}).Trailer();
        const ReadResult r = ReadBytes("bad-code-size.gif", b.bytes);
        ASSERT_TRUE(r.ok) << int(s);
        EXPECT_EQ(r.gif->imageWidth, 3);
        EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{0, 0, 0}, {0, 0, 0}}));
    }
}

TEST(GifReadPixels, DescriptorLargerThanTheScreenSetsTheSize) {
    GifBuilder b;
    b.Header("GIF87a", 1, 1, 0x00).Descriptor(5, 3, 0x00);
    b.Data(2, Bytes(15, 2)).Trailer();
    const ReadResult r = ReadBytes("bigger-than-screen.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.gif->imageWidth, 5);
    EXPECT_EQ(Rows(*r.gif), std::vector<Bytes>(3, Bytes(5, 2)));
}

TEST(GifReadPixels, FirstImageOfSeveralIsKept) {
    GifBuilder b;
    b.Header("GIF89a", 2, 1, 0x00);
    b.Descriptor(2, 1, 0x00).Data(2, {1, 2});
    b.Descriptor(3, 1, 0x00).Data(2, {3, 3, 3}).Trailer();
    const ReadResult r = ReadBytes("two-images.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1, 2}}));
}

TEST(GifReadPixels, OtherExtensionsBeforeTheImageAreSkipped) {
    GifBuilder b;
    b.Header("GIF89a", 2, 1, 0x00);
    b.Raw({0x21, 0xFE, 0x03, 'a', 'b', 'c', 0x02, 'd', 'e', 0x00});   // comment, two blocks
    b.Raw({0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',  // application
           '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00});
    b.Descriptor(2, 1, 0x00).Data(2, {3, 1}).Trailer();
    const ReadResult r = ReadBytes("extensions.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{3, 1}}));
}

TEST(GifReadPixels, ImageLargerThanTheChunkBuffer) {
    // Random data compresses badly: the image data spans several 16 KB chunks.
    lzwtest::Rng rng(4);
    const Bytes pixels = Pixels(300, 200, [&](int32_t, int32_t) { return rng.Below(256); });
    GifBuilder b;
    b.Header("GIF87a", 300, 200, 0x00).Descriptor(300, 200, 0x00).Data(8, pixels).Trailer();
    ASSERT_GT(b.bytes.size(), 3u * 16384u);
    const ReadResult r = ReadBytes("large.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    std::vector<Bytes> expected;
    for (size_t y = 0; y < 200; ++y) {
        expected.emplace_back(pixels.begin() + long(y * 300), pixels.begin() + long(y * 300 + 300));
    }
    EXPECT_EQ(Rows(*r.gif), expected);
}

TEST(GifReadPixels, SubBlocksAtEveryOffsetFromTheReadBufferEdge) {
    // A comment of 0..254 bytes before the image moves its data one byte at a time, so that
    // the 16 KB read buffer ends at every byte of a sub-block, its length byte included.
    lzwtest::Rng rng(12);
    const Bytes pixels = Pixels(150, 120, [&](int32_t, int32_t) { return rng.Below(256); });
    std::vector<Bytes> expected;
    for (size_t y = 0; y < 120; ++y) {
        expected.emplace_back(pixels.begin() + long(y * 150), pixels.begin() + long(y * 150 + 150));
    }
    GifBuilder image;
    image.Descriptor(150, 120, 0x00).Data(8, pixels).Trailer();
    const std::string path = TempPath("offsets.gif");
    for (uint32_t pad = 0; pad < 255; ++pad) {
        GifBuilder b;
        b.Header("GIF89a", 150, 120, 0x00).Raw({0x21, 0xFE});
        if (pad > 0) {
            b.Raw({uint8_t(pad)}).Raw(Bytes(pad, 'x'));
        }
        b.Raw({0x00}).Raw(image.bytes);
        ASSERT_GT(b.bytes.size(), 16384u + 255u);
        WriteFile(path, b.bytes);
        CGifImpl gif("");
        ASSERT_TRUE(gif.Read(path)) << pad;
        ASSERT_EQ(Rows(gif), expected) << "comment of " << pad << " bytes";
    }
}

TEST(GifReadPixels, FileEndingAtEveryByteAroundTheReadBufferEdge) {
    // The rows must be those the decoder makes of the same bytes held in memory.
    lzwtest::Rng rng(13);
    const Bytes pixels = Pixels(150, 120, [&](int32_t, int32_t) { return rng.Below(256); });
    GifBuilder b;
    b.Header("GIF87a", 150, 120, 0x00).Descriptor(150, 120, 0x00).Data(8, pixels).Trailer();
    const size_t dataStart = 13 + 10;
    const std::string path = TempPath("cut.gif");
    for (size_t cut = 16384 - 300; cut <= 16384 + 300; ++cut) {
        const Bytes bytes(b.bytes.begin(), b.bytes.begin() + long(cut));
        lzwtest::VectorSource source(Bytes(bytes.begin() + long(dataStart), bytes.end()));
        lzwtest::LineCollector lines;
        CLzwDecoder decoder(source, lines);
        int32_t bad = 0;
        ASSERT_EQ(decoder.Decode(150, bad), 0);
        std::vector<Bytes> expected = lines.lines;
        ASSERT_LT(expected.size(), 120u);
        expected.resize(120, Bytes(150, 0));

        WriteFile(path, bytes);
        CGifImpl gif("");
        ASSERT_TRUE(gif.Read(path)) << cut;
        ASSERT_EQ(Rows(gif), expected) << "file of " << cut << " bytes";
    }
}

// ---- palettes and transparency ----

TEST(GifReadPalette, TransparencyWithSixteenColoursGives256Entries) {
    const ReadResult r = ReadBytes("transparent16.gif", SmallGif(true, 0x01, 3));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.gif->transparentIndex, 3);
    const std::vector<Rgb> pal = PaletteOf(*r.gif);
    ASSERT_EQ(pal.size(), 256u);
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(pal[size_t(i)], (i == 3 ? Rgb{0, 0, 0} : Sixteen(i))) << i;
    }
    for (size_t i = 16; i < 256; ++i) {
        ASSERT_EQ(pal[i], (Rgb{255, 255, 255})) << i;
    }
    EXPECT_EQ(r.gif->colorType & 3, 3);
}

TEST(GifReadPalette, WithoutTransparencyBitTheTableIsThePalette) {
    const ReadResult r = ReadBytes("opaque16.gif", SmallGif(true, 0x00, 3));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.gif->transparentIndex, -1);
    const std::vector<Rgb> pal = PaletteOf(*r.gif);
    ASSERT_EQ(pal.size(), 16u);
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(pal[size_t(i)], Sixteen(i));
    }
}

TEST(GifReadPalette, FullTableWithoutWhiteGetsWhiteAt255) {
    for (bool whiteInTable : {false, true}) {
        GifBuilder b;
        b.Header("GIF89a", 1, 1, 0x87).Table(256, [&](int32_t i) {
            return whiteInTable && i == 7 ? Rgb{255, 255, 255} : Rgb{uint8_t(i), 0, 9};
        });
        b.Control(0x01, 0).Descriptor(1, 1, 0x00).Data(8, {255}).Trailer();
        const ReadResult r = ReadBytes("full-table.gif", b.bytes);
        ASSERT_TRUE(r.ok);
        const std::vector<Rgb> pal = PaletteOf(*r.gif);
        ASSERT_EQ(pal.size(), 256u);
        EXPECT_EQ(pal[0], (Rgb{0, 0, 0}));
        EXPECT_EQ(pal[255], whiteInTable ? (Rgb{255, 0, 9}) : (Rgb{255, 255, 255}));
    }
}

TEST(GifReadPalette, TransparentIndexSurvivesALaterReadWithoutIt) {
    ReadResult first = ReadBytes("with-gce.gif", SmallGif(true, 0x01, 5));
    ASSERT_TRUE(first.ok);
    const ReadResult second = ReadBytes("without-gce.gif", SmallGif(false), std::move(first.gif));
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.gif->transparentIndex, 5);
    const std::vector<Rgb> pal = PaletteOf(*second.gif);
    ASSERT_EQ(pal.size(), 256u);
    EXPECT_EQ(pal[5], (Rgb{0, 0, 0}));
}

TEST(GifReadPalette, LocalTableReplacesTheGlobalOne) {
    GifBuilder b;
    b.Header("GIF87a", 1, 1, 0x80).Table(2, [](int32_t) { return Rgb{1, 1, 1}; });
    b.Descriptor(1, 1, 0x81).Table(4, [](int32_t i) { return Rgb{uint8_t(i), 7, 7}; });
    b.Data(2, {3}).Trailer();
    const ReadResult r = ReadBytes("local-table.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    const std::vector<Rgb> expected = {{0, 7, 7}, {1, 7, 7}, {2, 7, 7}, {3, 7, 7}};
    EXPECT_EQ(PaletteOf(*r.gif), expected);
}

TEST(GifReadPalette, NoColourTableNoPalette) {
    GifBuilder b;
    b.Header("GIF87a", 1, 1, 0x00).Descriptor(1, 1, 0x00).Data(2, {1}).Trailer();
    const ReadResult r = ReadBytes("no-table.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.gif->imagePalette, nullptr);
    EXPECT_EQ(r.gif->colorType, 0);
}

// ---- malformed and foreign files ----

TEST(GifReadMalformed, WrongSignaturesAndMissingFilesGiveFalse) {
    Bytes gif7 = SmallGif(false);
    gif7[3] = '7';  // "GIF7..."
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D};
    for (const Bytes& bytes : {gif7, png, Bytes{'G', 'I', 'F'}, Bytes{}}) {
        const ReadResult r = ReadBytes("not-a-gif.gif", bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.gif->imageDIB, nullptr);
    }
    CGifImpl gif("");
    EXPECT_FALSE(gif.Read(TempPath("no-such-dir/none.gif")));
}

TEST(GifReadMalformed, FailedReadKeepsThePreviousPicture) {
    ReadResult r = ReadBytes("good.gif", SmallGif(false));
    ASSERT_TRUE(r.ok);
    Bytes bad = SmallGif(false);
    bad[0] = 'X';
    r = ReadBytes("bad.gif", bad, std::move(r.gif));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(Rows(*r.gif), (std::vector<Bytes>{{1, 2, 3, 4}, {5, 6, 7, 8}}));
}

TEST(GifReadMalformed, NoImageDescriptorLeavesTheImageUntouched) {
    const Bytes headerOnly = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x00, 0, 0, 0x3B};
    const Bytes truncatedHeader = {'G', 'I', 'F', '8', '9'};
    for (const Bytes& bytes : {headerOnly, truncatedHeader}) {
        const ReadResult r = ReadBytes("no-image.gif", bytes);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.gif->imageDIB, nullptr);
    }
}

TEST(GifReadMalformed, ShortOrMissingBlocksEndTheLoopQuietly) {
    const Bytes header = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x00, 0, 0};
    GifBuilder image;
    image.Descriptor(2, 2, 0x00).Data(2, {1, 1, 1, 1}).Trailer();
    // Files that end inside a block.
    const std::vector<Bytes> truncated = {
        {0x21},                        // extension without label
        {0x21, 0xF9},                  // control block without size
        {0x21, 0xF9, 0x04, 0x01},      // control block cut short
        {0x21, 0xFE, 0xC8, 'a', 'b'},  // comment sub-block running past the end
        {0x2C, 0, 0, 0, 0, 2, 0},      // descriptor cut short
    };
    // Blocks that end the loop although a good image follows.
    const std::vector<Bytes> stopping = {
        {0x21, 0xF9, 0x03, 1, 0, 0, 0},  // control block of the wrong size
        {0x00},                          // unknown introducer
    };
    for (const Bytes& tail : truncated) {
        Bytes bytes = header;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        const ReadResult r = ReadBytes("short-block.gif", bytes);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.gif->imageDIB, nullptr) << "tail of " << tail.size() << " bytes";
    }
    for (const Bytes& block : stopping) {
        Bytes bytes = header;
        bytes.insert(bytes.end(), block.begin(), block.end());
        bytes.insert(bytes.end(), image.bytes.begin(), image.bytes.end());
        const ReadResult r = ReadBytes("stopping-block.gif", bytes);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.gif->imageDIB, nullptr) << "block of " << block.size() << " bytes";
    }
    // The same image after the header alone is read: the blocks above made the difference.
    Bytes good = header;
    good.insert(good.end(), image.bytes.begin(), image.bytes.end());
    EXPECT_NE(ReadBytes("good-block.gif", good).gif->imageDIB, nullptr);
}

TEST(GifReadMalformed, ImageDataPastTheEndOfTheFile) {
    GifBuilder b;
    b.Header("GIF87a", 4, 4, 0x00).Descriptor(4, 4, 0x00);
    b.Raw({0x02, 0xFF, 0x10, 0x01, 0x01});  // a sub-block of 255 bytes announced, 4 present
    const ReadResult r = ReadBytes("data-past-end.gif", b.bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Rows(*r.gif), std::vector<Bytes>(4, Bytes(4, 0)));
}

TEST(GifReadMalformed, ImageTooLargeForMemoryFailsTheRead) {
    // 65535 x 65535 at 8 bits is beyond the largest block an image may have.
    GifBuilder b;
    b.Header("GIF87a", 1, 1, 0x00).Descriptor(0xFFFF, 0xFFFF, 0x00).Data(2, {1}).Trailer();
    const ReadResult r = ReadBytes("huge.gif", b.bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.gif->imageDIB, nullptr);
}

TEST(GifReadMalformed, ZeroWidthImage) {
    GifBuilder b;
    b.Header("GIF87a", 1, 1, 0x00).Descriptor(0, 3, 0x00).Data(2, {1, 2, 3}).Trailer();
    const ReadResult r = ReadBytes("zero-width.gif", b.bytes);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.gif->imageWidth, 0);
}

TEST(GifReadMalformed, MutatedFilesNeverReadOutsideTheImage) {
    // Checked for real by the sanitizer builds; here every read must simply return.
    GifBuilder b;
    b.Header("GIF89a", 8, 6, 0x82).Table(8, Grey).Control(0x01, 2).Descriptor(8, 6, 0x40);
    b.Data(3, Pixels(8, 6, [](int32_t r, int32_t x) { return (r * 3 + x) % 8; })).Trailer();
    lzwtest::Rng rng(77);
    const std::string path = TempPath("mutated.gif");
    for (int32_t round = 0; round < 400; ++round) {
        Bytes bytes = b.bytes;
        // The control block and the image data; the descriptor sizes stay, so that no
        // round allocates a huge image.
        const uint32_t control = 37, data = 54;
        const uint32_t flips = 1 + rng.Below(6);
        for (uint32_t i = 0; i < flips; ++i) {
            const uint32_t at = rng.Below(4) == 0 ? control + rng.Below(8)
                                                  : data + rng.Below(uint32_t(bytes.size()) - data);
            bytes[at] = uint8_t(rng.Next());
        }
        if (rng.Below(3) == 0) {
            bytes.resize(4 + rng.Below(uint32_t(bytes.size() - 4)));
        }
        WriteFile(path, bytes);
        CGifImpl gif(path);
        const BOOL ok = gif.Read("");
        ASSERT_TRUE(ok || gif.imageDIB == nullptr);
        if (gif.imageDIB) {
            ASSERT_EQ(int32_t(Rows(gif).size()), gif.imageHeight);
        }
    }
}

// ---- through CImage ----

TEST(GifReadImage, LoadByExtensionReadsThroughTheGifClass) {
    const std::string path = TempPath("load.GIF");
    WriteFile(path, SmallGif(true, 0x01, 0));
    CImage image;
    ASSERT_TRUE(image.Load(path, -1));
    EXPECT_EQ(image.GetImageType(), kImageTypeGif);
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 4);
    EXPECT_EQ(image.GetPixelIndex(0, 1), 1);  // memory row 1 is the top picture row
    EXPECT_EQ(image.GetPixelIndex(3, 0), 8);
    BYTE red = 1, green = 1, blue = 1;
    ASSERT_TRUE(image.GetPixelRGB(0, 0, &red, &green, &blue));  // index 5
    EXPECT_EQ((Rgb{red, green, blue}), Sixteen(5));
}
