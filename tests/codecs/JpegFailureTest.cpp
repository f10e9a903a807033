// Failed JPEG reads and writes, most of them ended by the library's jump back to the codec:
// each fails cleanly, again and again, closes its file once and leaves the next read whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/JpegImpl.h"
#include "image/Image.h"
#include "image/ImageFormats.h"
#include "tests/support/TestFiles.h"

namespace {

// A small colour JPEG from the codec's own writer.
std::vector<uint8_t> SampleJpeg() {
    CJpegImpl jpeg("");
    EXPECT_GT(jpeg.Create(48, 32, 24, kColorTypeColor), 0);
    for (int32_t y = 0; y < 32; ++y) {
        for (int32_t x = 0; x < 48; ++x) jpeg.SetPixelRGB(x, y, BYTE(x * 5), BYTE(y * 7), 90);
    }
    const std::string path = TempPath("failure-sample.jpg");
    EXPECT_TRUE(jpeg.Write(path));
    return ReadAll(path);
}

std::string FileOf(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempPath(name);
    EXPECT_TRUE(WriteAll(path, bytes));
    return path;
}

class JpegFailureTest : public testing::Test {
protected:
    void SetUp() override {
        good = SampleJpeg();
        goodPath = FileOf("failure-good.jpg", good);
        // Whatever the streams open once is open before the count.
        CImage warm;
        ASSERT_TRUE(warm.Load(goodPath, kImageTypeJpeg));
        before = OpenFileCount();
    }
    void TearDown() override { EXPECT_EQ(OpenFileCount(), before); }

    // The good file still reads whole after a failure.
    void ExpectGoodRead() {
        CImage image;
        ASSERT_TRUE(image.Load(goodPath, kImageTypeJpeg));
        EXPECT_EQ(image.GetWidth(), 48);
        EXPECT_EQ(image.GetHeight(), 32);
    }

    std::vector<uint8_t> good;
    std::string goodPath;
    long before = 0;
};

TEST_F(JpegFailureTest, DamagedFilesFailEveryTimeAndCloseTheirFiles) {
    // The library gives up in its header read: no start marker, then no frame after the tables.
    std::vector<uint8_t> notJpeg = good;
    notJpeg[1] = 0x00;
    const std::vector<uint8_t> noFrame(good.begin(), good.begin() + 20);
    // A header claiming 65500 x 65500, the library's largest: refused by the codec itself,
    // with no jump.
    std::vector<uint8_t> huge = good;
    for (size_t i = 2; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            for (size_t k : {5, 7}) {  // height, then width, high byte first
                huge[i + k] = 0xFF;
                huge[i + k + 1] = 0xDC;
            }
            break;
        }
    }
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> damaged = {
        {"not-jpeg", notJpeg}, {"no-frame", noFrame}, {"huge", huge}};
    for (const auto& [name, bytes] : damaged) {
        const std::string path = FileOf("failure-" + name + ".jpg", bytes);
        testing::internal::CaptureStderr();  // the library's warnings
        for (int round = 0; round < 3; ++round) {
            CImage image;
            EXPECT_FALSE(image.Load(path, kImageTypeJpeg)) << name;
            CJpegHeader header;
            EXPECT_EQ(ReadJpegHeader(path, &header), name == "huge" ? TRUE : FALSE) << name;
        }
        testing::internal::GetCapturedStderr();
        ExpectGoodRead();
    }
}

TEST_F(JpegFailureTest, AnAbandonedDecodeClosesItsFileEachTime) {
    for (int round = 0; round < 3; ++round) {
        // Asked to stop once the decode is under way, so the library jumps out of it.
        int asked = 0;
        CJpegReadOptions options;
        options.cancel = [&] { return ++asked >= 3; };
        CImage image;
        EXPECT_FALSE(LoadJpeg(image, goodPath, options));
    }
    CJpegHeader header;
    ASSERT_TRUE(ReadJpegHeader(goodPath, &header));
    EXPECT_EQ(header.width, 48);
    ExpectGoodRead();
}

TEST_F(JpegFailureTest, FailedWritesCloseTheirFiles) {
    CJpegImpl jpeg("");
    ASSERT_GT(jpeg.Create(16, 16, 24, kColorTypeColor), 0);
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(jpeg.Write(TempPath("no-such-folder/x.jpg")));
#ifndef _WIN32
        // The library's write error (a full disk) ends the write through its jump.
        EXPECT_FALSE(jpeg.Write("/dev/full"));
#endif
    }
    const std::string path = TempPath("failure-after.jpg");
    ASSERT_TRUE(jpeg.Write(path));
    CImage image;
    ASSERT_TRUE(image.Load(path, kImageTypeJpeg));
    EXPECT_EQ(image.GetWidth(), 16);
}

}  // namespace
