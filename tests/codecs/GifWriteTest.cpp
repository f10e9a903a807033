#include <gtest/gtest.h>

#include "codecs/GifImpl.h"
#include "image/ImageFormats.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;

namespace {

// An 8-bit image of the given picture rows (top first) with a palette of `colours` entries,
// entry i = (i, 255 - i, i / 2).
std::unique_ptr<CGifImpl> MakeImage(const std::vector<Bytes>& rows, int32_t colours,
                                    int32_t bits = 8) {
    auto gif = std::make_unique<CGifImpl>("");
    const int32_t height = int32_t(rows.size());
    const int32_t width = height ? int32_t(rows[0].size()) : 0;
    EXPECT_GT(gif->Create(width, height, bits, -1) + (width == 0 ? 1 : 0), 0);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t x = 0; x < width; ++x) {
            gif->SetPixelIndex(x, gif->MemoryRowOf(r), rows[size_t(r)][size_t(x)]);
        }
    }
    if (colours > 0) {
        BYTE red[256], green[256], blue[256];
        for (int32_t i = 0; i < colours; ++i) {
            red[i] = BYTE(i);
            green[i] = BYTE(255 - i);
            blue[i] = BYTE(i / 2);
        }
        gif->CreatePalette(colours, red, green, blue);
    }
    return gif;
}

std::vector<Bytes> RandomRows(int32_t width, int32_t height, uint32_t colours, uint32_t seed) {
    lzwtest::Rng rng(seed);
    std::vector<Bytes> rows(size_t(height), Bytes(size_t(width), 0));
    for (Bytes& row : rows) {
        for (uint8_t& p : row) {
            p = uint8_t(rng.Below(colours));
        }
    }
    return rows;
}

}  // namespace

// ---- file layout ----

TEST(GifWriteLayout, TwoByTwoOfIndexOneIsTheExpectedFile) {
    auto gif = MakeImage({{1, 1}, {1, 1}}, 4);
    const std::string path = TempPath("two-by-two.gif");
    ASSERT_TRUE(gif->Write(path));
    const Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), 801u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 13),
              (Bytes{'G', 'I', 'F', '8', '7', 'a', 2, 0, 2, 0, 0xE7, 0, 0}));
    // Colour table: the palette's four entries, then black up to 256.
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 25),
              (Bytes{0, 255, 0, 1, 254, 0, 2, 253, 1, 3, 252, 1}));
    EXPECT_EQ(Bytes(file.begin() + 25, file.begin() + 13 + 768), Bytes(768 - 12, 0));
    EXPECT_EQ(Bytes(file.begin() + 781, file.end()),
              (Bytes{0x2C, 0,    0,    0,    0,    2,    0,    2, 0, 0x00,  // image descriptor
                     0x08,                                                  // minimum code size
                     0x06, 0x00, 0x03, 0x08, 0x0C, 0x10, 0x10,              // 256 1 258 1 257
                     0x00, 0x3B}));
}

TEST(GifWriteLayout, PaddedRowsAreSentWithoutTheirPadding) {
    // Width 3: every memory row has one byte of padding that must not reach the file.
    const std::vector<Bytes> rows = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    auto gif = MakeImage(rows, 16);
    ASSERT_EQ(gif->bytesPerLine, 4);
    for (int32_t y = 0; y < 3; ++y) {
        gif->MemoryRow(y)[3] = 0xEE;
    }
    const std::string path = TempPath("padded.gif");
    ASSERT_TRUE(gif->Write(path));
    CGifImpl back("");
    ASSERT_TRUE(back.Read(path));
    EXPECT_EQ(Rows(back), rows);
}

// ---- round trips ----

TEST(GifWriteRoundTrip, RandomImagesComeBackUnchanged) {
    for (int32_t width : {1, 5, 64, 333}) {
        const std::vector<Bytes> rows = RandomRows(width, 37, 256, uint32_t(width));
        auto gif = MakeImage(rows, 256);
        const std::string path = TempPath("random.gif");
        ASSERT_TRUE(gif->Write(path));
        CGifImpl back("");
        ASSERT_TRUE(back.Read(path));
        EXPECT_EQ(back.imageWidth, width);
        EXPECT_EQ(Rows(back), rows) << width;
        EXPECT_EQ(PaletteOf(back), PaletteOf(*gif));
    }
}

TEST(GifWriteRoundTrip, ShortPaletteIsPaddedToTwoHundredFiftySixEntries) {
    auto gif = MakeImage({{0, 1, 2}}, 3);
    const std::string path = TempPath("short-palette.gif");
    ASSERT_TRUE(gif->Write(path));
    CGifImpl back("");
    ASSERT_TRUE(back.Read(path));
    const std::vector<Rgb> pal = PaletteOf(back);
    ASSERT_EQ(pal.size(), 256u);
    EXPECT_EQ(pal[2], (Rgb{2, 253, 1}));
    EXPECT_EQ(pal[3], (Rgb{0, 0, 0}));
}

TEST(GifWriteRoundTrip, FourAndOneBitImagesAreExpandedToBytes) {
    for (int32_t bits : {1, 4}) {
        const std::vector<Bytes> rows = RandomRows(13, 7, 1u << bits, uint32_t(bits));
        auto gif = MakeImage(rows, 1 << bits, bits);
        const std::string path = TempPath("shallow.gif");
        ASSERT_TRUE(gif->Write(path));
        CGifImpl back("");
        ASSERT_TRUE(back.Read(path));
        EXPECT_EQ(back.bitsPerPixel, 8);
        EXPECT_EQ(Rows(back), rows) << bits << " bits";
        EXPECT_EQ(PaletteOf(back)[1], (Rgb{1, 254, 0}));
    }
}

TEST(GifWriteRoundTrip, ImageWithoutPaletteUsesItsColourTable) {
    auto gif = MakeImage({{0, 9, 15}}, 0);
    ASSERT_EQ(gif->imagePalette, nullptr);
    const std::string path = TempPath("no-palette.gif");
    ASSERT_TRUE(gif->Write(path));
    CGifImpl back("");
    ASSERT_TRUE(back.Read(path));
    EXPECT_EQ(Rows(back), (std::vector<Bytes>{{0, 9, 15}}));
    const std::vector<Rgb> pal = PaletteOf(back);
    ASSERT_EQ(pal.size(), 256u);
    EXPECT_EQ(pal[9], (Rgb{255, 0, 0}));  // the blank block's default colours
    EXPECT_EQ(pal[15], (Rgb{255, 255, 255}));
    EXPECT_EQ(pal[16 + 12], (Rgb{0, 0, 255}));
}

TEST(GifWriteRoundTrip, EmptyImageWritesAValidFile) {
    auto gif = std::make_unique<CGifImpl>("");
    gif->Create(0, 0, 8, -1);
    ASSERT_NE(gif->imageDIB, nullptr);
    const std::string path = TempPath("empty.gif");
    ASSERT_TRUE(gif->Write(path));
    const Bytes file = ReadAll(path);
    // Clear and end codes only: 256, 257 in three bytes.
    EXPECT_EQ(Bytes(file.end() - 7, file.end()), (Bytes{0x08, 0x03, 0x00, 0x03, 0x02, 0x00, 0x3B}));
}

TEST(GifWriteRoundTrip, PathRuleKeepsTheLastName) {
    auto gif = MakeImage({{1}}, 2);
    const std::string path = TempPath("named.gif");
    ASSERT_TRUE(gif->Write(path));
    EXPECT_EQ(gif->fileName, path);
    std::filesystem::remove(path);
    ASSERT_TRUE(gif->Write(""));
    EXPECT_TRUE(std::filesystem::exists(path));
}

// ---- failures and messages ----

TEST(GifWriteFailure, DeepImagesAreRefusedWithAMessage) {
    MessageRecorder messages;
    auto gif = std::make_unique<CGifImpl>("");
    gif->Create(2, 2, 24, -1);
    const std::string path = TempPath("deep.gif");
    std::filesystem::remove(path);
    EXPECT_FALSE(gif->Write(path));
    EXPECT_EQ(messages.texts, (std::vector<CString>{"GIF Images must be 8 bit or less"}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(GifWriteFailure, UncreatableFileGivesAMessage) {
    MessageRecorder messages;
    auto gif = MakeImage({{1}}, 2);
    EXPECT_FALSE(gif->Write(TempPath("no-such-dir/x.gif")));
    EXPECT_EQ(messages.texts, (std::vector<CString>{"Can't open GIF for writing"}));
}

TEST(GifWriteFailure, WriteErrorIsReportedButTheWriteCompletes) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    MessageRecorder messages;
    auto gif = MakeImage(RandomRows(50, 50, 256, 3), 256);
    EXPECT_TRUE(gif->Write("/dev/full"));
    EXPECT_EQ(messages.texts, (std::vector<CString>{"Write Error in GIF file"}));
}

TEST(GifWriteFailure, ImageWithoutPixelsIsRefusedQuietly) {
    MessageRecorder messages;
    CGifImpl gif("");
    const std::string path = TempPath("nothing.gif");
    std::filesystem::remove(path);
    EXPECT_FALSE(gif.Write(path));
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(GifWriteFailure, ImageWiderThanAGifCanSayIsRefused) {
    auto gif = std::make_unique<CGifImpl>("");
    ASSERT_GT(gif->Create(70000, 1, 8, -1), 0);
    const std::string path = TempPath("too-wide.gif");
    std::filesystem::remove(path);
    EXPECT_FALSE(gif->Write(path));
    EXPECT_FALSE(std::filesystem::exists(path));
}
