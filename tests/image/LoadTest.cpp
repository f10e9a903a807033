// Type codes from extensions, the format factory and Load's reuse of implementation objects.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "codecs/GifImpl.h"
#include "codecs/JpegImpl.h"
#include "codecs/PngImpl.h"
#include "image/Image.h"
#include "image/ImageFormats.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace {

CString MissingFile(const char* name) {
    return CString(TestTmp()) + "/no-such-dir/" + name;
}

}  // namespace

TEST(ImageTypeLookup, ThreeLetterExtensionsIgnoringCase) {
    EXPECT_EQ(ImageTypeFromPath("frame001.JPG"), 1);
    EXPECT_EQ(ImageTypeFromPath("frame001.jpg"), 1);
    EXPECT_EQ(ImageTypeFromPath("a.Gif"), 2);
    EXPECT_EQ(ImageTypeFromPath("c:\\x\\a.bmp"), 0);
    EXPECT_EQ(ImageTypeFromPath("b.xpm"), 3);
    EXPECT_EQ(ImageTypeFromPath("a.b.png"), 4);
}

TEST(ImageTypeLookup, EverythingElseHasNoType) {
    EXPECT_EQ(ImageTypeFromPath("picture.jpeg"), -1);
    EXPECT_EQ(ImageTypeFromPath("frame."), -1);
    EXPECT_EQ(ImageTypeFromPath("frame"), -1);
    EXPECT_EQ(ImageTypeFromPath(""), -1);
    EXPECT_EQ(ImageTypeFromPath("dir.jpg/frame"), -1);
    EXPECT_EQ(ImageTypeFromPath("a.jp"), -1);
    EXPECT_EQ(ImageTypeFromPath("a.aaa"), -1);  // sorts before every row
    EXPECT_EQ(ImageTypeFromPath("a.zzz"), -1);  // and after
}

TEST(ImageTypeLookup, SignaturesNameTheirFormatAndNothingElse) {
    const auto type = [](std::initializer_list<BYTE> bytes) {
        return ImageTypeFromSignature(bytes.begin(), bytes.size());
    };
    EXPECT_EQ(type({'B', 'M', 0x36, 0}), kImageTypeBmp);
    EXPECT_EQ(type({0xFF, 0xD8, 0xFF, 0xE0}), kImageTypeJpeg);
    EXPECT_EQ(type({'G', 'I', 'F', '8', '9', 'a'}), kImageTypeGif);
    EXPECT_EQ(type({'G', 'I', 'F', '8', '7', 'a'}), kImageTypeGif);
    EXPECT_EQ(type({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0}), kImageTypePng);
    // One byte short of each signature, or one byte off.
    EXPECT_EQ(type({'B'}), -1);
    EXPECT_EQ(type({0xFF, 0xD8}), -1);
    EXPECT_EQ(type({0xFF, 0xD8, 0x00}), -1);
    EXPECT_EQ(type({'G', 'I', 'F', '9'}), -1);
    EXPECT_EQ(type({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A}), -1);
    EXPECT_EQ(type({0x89, 'P', 'N', 'G', '\n', '\n', 0x1A, '\n'}), -1);
    EXPECT_EQ(ImageTypeFromSignature(nullptr, 0), -1);
}

TEST(ImageFactory, MakesTheClassOfEachType) {
    CImage image;
    ASSERT_TRUE(image.CreateImpl("x.bmp", 0));
    EXPECT_NE(dynamic_cast<CBmpImpl*>(image.GetImpl()), nullptr);
    ASSERT_TRUE(image.CreateImpl("x.jpg", kImageTypeJpeg));
    auto* jpeg = dynamic_cast<CJpegImpl*>(image.GetImpl());
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->jpegQuality, 30);
    EXPECT_EQ(jpeg->fileName, "x.jpg");
    EXPECT_EQ(jpeg->transparentIndex, -1);
    EXPECT_EQ(jpeg->imageDIB, nullptr);
    ASSERT_TRUE(image.CreateImpl("x.gif", 2));
    EXPECT_NE(dynamic_cast<CGifImpl*>(image.GetImpl()), nullptr);
    ASSERT_TRUE(image.CreateImpl("x.png", 4));
    EXPECT_NE(dynamic_cast<CPngImpl*>(image.GetImpl()), nullptr);
    EXPECT_EQ(image.GetImageType(), -1);  // the factory leaves the type alone
}

TEST(ImageFactory, RefusedTypeLeavesTheImageEmpty) {
    CImage image;
    image.CreateImpl("", kImageTypeJpeg);
    image.GetImpl()->Create(2, 2, 8, -1);
    ASSERT_TRUE(image.IsValid());
    EXPECT_FALSE(image.CreateImpl("b.xpm", 3));
    EXPECT_EQ(image.GetImpl(), nullptr);
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.CreateImpl("b", -1));
    EXPECT_FALSE(image.CreateImpl("b", 5));
}

TEST(ImageLoad, SameTypeKeepsTheObjectAndItsPicture) {
    CImage image;
    EXPECT_FALSE(image.Load(MissingFile("a.jpg"), kImageTypeJpeg));
    CImageImpl* first = image.GetImpl();
    ASSERT_NE(dynamic_cast<CJpegImpl*>(first), nullptr);
    EXPECT_EQ(image.GetImageType(), 1);
    EXPECT_EQ(image.GetImagePath(), MissingFile("a.jpg"));

    // A picture made meanwhile survives a failed read on the same object.
    first->Create(6, 5, 8, -1);
    EXPECT_FALSE(image.Load(MissingFile("b.jpg"), kImageTypeJpeg));
    EXPECT_EQ(image.GetImpl(), first);
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 6);
}

TEST(ImageLoad, AnotherTypeReplacesTheObject) {
    CImage image;
    image.Load(MissingFile("a.jpg"), kImageTypeJpeg);
    image.GetImpl()->Create(2, 2, 8, -1);
    EXPECT_FALSE(image.Load(MissingFile("a.Gif"), -1));
    EXPECT_NE(dynamic_cast<CGifImpl*>(image.GetImpl()), nullptr);
    EXPECT_EQ(image.GetImageType(), 2);
    EXPECT_FALSE(image.IsValid());  // a fresh object has no pixels
}

TEST(ImageLoad, UnknownExtensionLeavesTheImageEmpty) {
    CImage image;
    image.Load(MissingFile("a.png"), -1);
    ASSERT_NE(image.GetImpl(), nullptr);
    EXPECT_FALSE(image.Load(MissingFile("a.tiff"), -1));
    EXPECT_EQ(image.GetImpl(), nullptr);
    EXPECT_EQ(image.GetImageType(), -1);
    EXPECT_FALSE(image.IsValid());
    // Loading again with the same unknown type still makes nothing.
    EXPECT_FALSE(image.Load(MissingFile("b.tiff"), -1));
    EXPECT_EQ(image.GetImpl(), nullptr);
}

TEST(ImageLoad, CreateKeepsAnExistingObject) {
    CImage image;
    image.Load(MissingFile("a.gif"), -1);
    CImageImpl* gif = image.GetImpl();
    image.Create(3, 3, 8, -1);
    EXPECT_EQ(image.GetImpl(), gif);
    EXPECT_EQ(image.GetImageType(), 2);
}

// A frame cache hands out copies: a copy must draw the same and share nothing.
TEST(ImageCopy, CopiesPixelsAndPaletteAndSharesNothing) {
    CImage original;
    ASSERT_GT(original.Create(5, 3, 8, -1), 0);
    BYTE red[4] = {10, 200, 30, 0}, green[4] = {20, 100, 0, 255}, blue[4] = {30, 0, 90, 7};
    ASSERT_TRUE(original.CreatePalette(4, red, green, blue));
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) ASSERT_TRUE(original.SetPixelIndex(x, y, (x + y) % 4));
    }

    CImage copy;
    ASSERT_TRUE(copy.CopyFrom(original));
    EXPECT_EQ(copy.GetWidth(), 5);
    EXPECT_EQ(copy.GetHeight(), 3);
    EXPECT_EQ(copy.GetBitsPerPixel(), 8);
    EXPECT_EQ(copy.GetColorType(), original.GetColorType());
    EXPECT_EQ(copy.GetPalette()->GetEntryCount(), 4);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            BYTE r1, g1, b1, r2, g2, b2;
            ASSERT_TRUE(original.GetPixelRGB(x, y, &r1, &g1, &b1));
            ASSERT_TRUE(copy.GetPixelRGB(x, y, &r2, &g2, &b2));
            EXPECT_EQ(copy.GetPixelIndex(x, y), original.GetPixelIndex(x, y));
            EXPECT_EQ(RGB(r1, g1, b1), RGB(r2, g2, b2));
        }
    }
    EXPECT_NE(copy.GetBits(), original.GetBits());
    EXPECT_NE(copy.GetPalette(), original.GetPalette());
    ASSERT_TRUE(copy.SetPixelIndex(0, 0, 3));
    EXPECT_EQ(original.GetPixelIndex(0, 0), 0);

    CImage empty;
    EXPECT_FALSE(copy.CopyFrom(empty));
    EXPECT_FALSE(copy.IsValid());
}

TEST(ImageCopy, ALoadedFrameKeepsItsTypePathAndClass) {
    const CString path = TempPath("copy-source.jpg");
    {
        CImage source;
        ASSERT_TRUE(source.CreateImpl(path, kImageTypeJpeg));
        ASSERT_GT(source.Create(8, 8, 24, -1), 0);
        for (int32_t y = 0; y < 8; ++y) {
            for (int32_t x = 0; x < 8; ++x) ASSERT_TRUE(source.SetPixelRGB(x, y, 30 * x, 200, 0));
        }
        ASSERT_TRUE(source.GetImpl()->Write(""));
    }
    CImage loaded;
    ASSERT_TRUE(loaded.Load(path, kImageTypeJpeg));
    CImage copy;
    ASSERT_TRUE(copy.CopyFrom(loaded));
    EXPECT_EQ(copy.GetImageType(), kImageTypeJpeg);
    EXPECT_EQ(copy.GetImagePath(), path);
    EXPECT_NE(dynamic_cast<CJpegImpl*>(copy.GetImpl()), nullptr);
    EXPECT_EQ(copy.GetImpl()->BlockBytes(), loaded.GetImpl()->BlockBytes());
    EXPECT_EQ(0, std::memcmp(copy.GetBits(), loaded.GetBits(),
                             size_t(loaded.GetBytesPerLine()) * size_t(loaded.GetHeight())));
}
