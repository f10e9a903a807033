// Writing BMP files from an image, and reading our own files back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "DibTestSupport.h"
#include "image/ImageFormats.h"

using namespace dibtest;

namespace {

// 5 x 3, 8 bits, a 256-entry palette (red i, green 255 - i, blue 7) and pixel (x, y) = 16y + x.
void MakePaletted(CBmpImpl& image) {
    image.Create(5, 3, 8, -1);
    BYTE red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = BYTE(i);
        green[i] = BYTE(255 - i);
        blue[i] = 7;
    }
    ASSERT_TRUE(image.CreatePalette(256, red, green, blue));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) image.SetPixelIndex(x, y, 16 * y + x);
    }
}

std::vector<uint32_t> Drawn(CBmpImpl& image) {
    CDC dc(image.imageWidth, image.imageHeight);
    if (image.imagePalette) dc.SelectPalette(image.imagePalette->GetSafeHandle(), FALSE);
    EXPECT_TRUE(image.Draw(&dc, 0, 0, -1, -1, 0, 0));
    std::vector<uint32_t> pixels;
    for (int y = 0; y < dc.Height(); ++y) {
        for (int x = 0; x < dc.Width(); ++x) pixels.push_back(dc.GetPixelRGB32(x, y));
    }
    return pixels;
}

std::vector<uint8_t> TableBytes(const CBmpImpl& image, size_t count) {
    const auto* table = reinterpret_cast<const uint8_t*>(image.imageDIB) + 40;
    return {table, table + count};
}

}  // namespace

TEST(BmpWrite, PalettedImageGivesFullTableAndKeepsIndexForm) {
    CBmpImpl image("");
    MakePaletted(image);
    const auto before = Drawn(image);
    const auto indexForm = TableBytes(image, 512);
    const auto path = TempPath("paletted.bmp");
    ASSERT_TRUE(image.Write(path));
    EXPECT_EQ(image.fileName, path);

    const auto file = ReadAll(path);
    const uint32_t sizeImage = 8 * 3;
    ASSERT_EQ(file.size(), 14u + 40u + 1024u + sizeImage);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), file.size());
    EXPECT_EQ(Le32(file, 10), 1078u);
    EXPECT_EQ(Le32(file, 14), 40u);
    EXPECT_EQ(Le32(file, 14 + 20), sizeImage);
    EXPECT_EQ(Le32(file, 14 + 32), 256u);
    // Colour form on disk: blue, green, red, 0.
    EXPECT_EQ(Le32(file, 54 + 4 * 200), 0x00C83707u);
    EXPECT_EQ(file[1078 + 8 * 2 + 4], 36);  // pixel (4, 2)

    EXPECT_EQ(TableBytes(image, 512), indexForm);
    EXPECT_EQ(Drawn(image), before);
}

TEST(BmpWrite, EmptyPathWritesToFileName) {
    const auto path = TempPath("byname-out.bmp");
    std::remove(path.c_str());
    CBmpImpl image(path);
    MakePaletted(image);
    ASSERT_TRUE(image.Write(""));
    EXPECT_EQ(ReadAll(path).size(), 14u + 40u + 1024u + 24u);
}

TEST(BmpWrite, UncreatableFileFailsWithTableBackInIndexForm) {
    CBmpImpl image("");
    MakePaletted(image);
    const auto indexForm = TableBytes(image, 512);
    EXPECT_FALSE(image.Write(TempPath("no-such-dir/x.bmp")));
    EXPECT_EQ(TableBytes(image, 512), indexForm);
}

TEST(BmpWrite, ImagesWithoutABmpFormAreRefused) {
    CBmpImpl image("");
    EXPECT_FALSE(image.Write(TempPath("empty.bmp")));
    image.Create(4, 4, 2, -1);
    ASSERT_NE(image.imageDIB, nullptr);
    EXPECT_FALSE(image.Write(TempPath("two-bits.bmp")));
}

TEST(BmpWrite, RoundTripKeepsPixelsAndPalette) {
    CBmpImpl image("");
    MakePaletted(image);
    const auto path = TempPath("roundtrip8.bmp");
    ASSERT_TRUE(image.Write(path));
    CBmpImpl back("");
    ASSERT_TRUE(back.Read(path));
    EXPECT_EQ(back.colorType, 3);
    EXPECT_EQ(Drawn(back), Drawn(image));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(back.GetPixelIndex(x, y), 16 * y + x);
    }
}

TEST(BmpWrite, RoundTripOfEveryDepth) {
    for (int bits : {1, 4, 24, 16, 32}) {
        SCOPED_TRACE(bits);
        CBmpImpl image("");
        image.Create(7, 4, bits, -1);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 7; ++x) {
                if (bits <= 8) {
                    image.SetPixelIndex(x, y, (x + y) % (1 << bits));
                } else {
                    image.SetPixelRGB(x, y, 8 * x, 64 * y, 248);
                }
            }
        }
        const auto path = TempPath("depth" + std::to_string(bits) + ".bmp");
        ASSERT_TRUE(image.Write(path));
        CBmpImpl back("");
        ASSERT_TRUE(back.Read(path));
        EXPECT_EQ(back.bitsPerPixel, bits);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 7; ++x) {
                BYTE r1 = 0, g1 = 0, b1 = 0, r2 = 1, g2 = 1, b2 = 1;
                ASSERT_TRUE(image.GetPixelRGB(x, y, &r1, &g1, &b1));
                ASSERT_TRUE(back.GetPixelRGB(x, y, &r2, &g2, &b2));
                EXPECT_EQ(r1, r2);
                EXPECT_EQ(g1, g2);
                EXPECT_EQ(b1, b2);
            }
        }
    }
}

#ifdef _WIN32
// The system's own reader of BMP files (LoadImage): "r,g,b" for each pixel, top row first,
// separated by spaces; empty when it refuses the file.
std::string SystemReaderPixels(const std::string& path) {
    const HBITMAP bitmap = HBITMAP(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                              LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap) return {};
    BITMAP size{};
    GetObject(bitmap, sizeof size, &size);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(size_t(size.bmWidth) * size_t(size.bmHeight));
    const HDC dc = CreateCompatibleDC(nullptr);
    const int rows =
        GetDIBits(dc, bitmap, 0, UINT(size.bmHeight), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    DeleteObject(bitmap);
    if (rows != size.bmHeight) return {};
    std::string text;
    for (const uint32_t p : pixels) {
        text += std::to_string((p >> 16) & 0xFF) + "," + std::to_string((p >> 8) & 0xFF) + "," +
                std::to_string(p & 0xFF) + " ";
    }
    return text;
}

// An independent reader (the system's) sees the picture we meant to write.
TEST(BmpWrite, AnotherReaderSeesTheSamePixels) {
    CBmpImpl image("");
    MakePaletted(image);
    const auto path = TempPath("for-system.bmp");
    ASSERT_TRUE(image.Write(path));
    const std::string pixels = SystemReaderPixels(path);
    ASSERT_FALSE(pixels.empty()) << "LoadImage refused " << path;
    std::istringstream in(pixels);
#else
// An independent reader (PIL) sees the picture we meant to write.
TEST(BmpWrite, AnotherReaderSeesTheSamePixels) {
    if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) GTEST_SKIP() << "no PIL";
    CBmpImpl image("");
    MakePaletted(image);
    const auto path = TempPath("for-pil.bmp");
    ASSERT_TRUE(image.Write(path));
    const auto out = TempPath("for-pil.txt");
    const std::string command = "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" +
                                path +
                                "').convert('RGB'); print(' '.join('%d,%d,%d' % im.getpixel((x, "
                                "y)) for y in range(im.height) for x in range(im.width)))\" > " +
                                out;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
#endif
    for (int row = 0; row < 3; ++row) {
        for (int x = 0; x < 5; ++x) {
            std::string pixel;
            in >> pixel;
            const int index = 16 * (2 - row) + x;  // PIL counts rows from the top
            EXPECT_EQ(pixel, std::to_string(index) + "," + std::to_string(255 - index) + ",7");
        }
    }
}
