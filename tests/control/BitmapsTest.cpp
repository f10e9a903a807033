// The strip's bitmaps: their DIB form, and the pictures as an image list cuts and draws them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "control/Bitmaps.h"
#include "control/MovitrelCtrl.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kDarkRed = RGB(128, 0, 0);
// A background no picture uses, so transparent pixels are told apart.
constexpr COLORREF kBack = RGB(1, 2, 3);

// One image of a list as drawn on kBack: 20 rows of colours, top row first.
std::vector<std::vector<COLORREF>> Picture(uint32_t bitmapId, int32_t cx, int32_t image) {
    CImageList list;
    EXPECT_TRUE(CreateImageListFromBitmap(list, bitmapId, cx, 0, kBitmapMaskColor));
    list.SetBkColor(kBack);
    CDC dc(cx, kStripRowHeight);
    EXPECT_TRUE(list.Draw(&dc, image, POINT{0, 0}, ILD_NORMAL));
    std::vector<std::vector<COLORREF>> rows(kStripRowHeight, std::vector<COLORREF>(size_t(cx)));
    for (int32_t y = 0; y < kStripRowHeight; ++y) {
        for (int32_t x = 0; x < cx; ++x) rows[size_t(y)][size_t(x)] = dc.GetPixel(x, y);
    }
    return rows;
}

std::vector<std::vector<COLORREF>> Button(int32_t image) {
    return Picture(kBitmapButtons, kButtonSize, image);
}

COLORREF SliderPixel(int32_t image, int32_t row) {
    return Picture(kBitmapSlider, 1, image)[size_t(row)][0];
}

bool OnFrame(int32_t x, int32_t y) {
    return y == 1 || y == 17 || x == 1 || x == 18;
}

}  // namespace

// ---- DIB form ---------------------------------------------------------------------------

TEST(ControlBitmaps, AreFourBitDibsWithSixteenColoursAndPureGreenAsTen) {
    struct Expect {
        uint32_t id;
        int32_t width;
    };
    for (const Expect e : {Expect{kBitmapButtons, 360}, Expect{kBitmapSlider, 16}}) {
        SCOPED_TRACE(e.id);
        const CBitmapData data = FindBitmapData(e.id);
        ASSERT_NE(data.info, nullptr);
        const BITMAPINFOHEADER& h = data.info->bmiHeader;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, e.width);
        EXPECT_EQ(h.biHeight, 20);  // bottom-up
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 4);
        EXPECT_EQ(h.biCompression, BI_RGB);
        EXPECT_EQ(h.biClrUsed, 16u);
        const uint32_t stride = (uint32_t(e.width) * 4 + 31) / 32 * 4;
        EXPECT_EQ(data.bitsSize, stride * 20);
        EXPECT_EQ(h.biSizeImage, data.bitsSize);

        RGBQUAD table[16];
        std::memcpy(table, reinterpret_cast<const uint8_t*>(data.info) + h.biSize, sizeof table);
        EXPECT_EQ(table[10].rgbRed, 0);
        EXPECT_EQ(table[10].rgbGreen, 255);
        EXPECT_EQ(table[10].rgbBlue, 0);
        std::set<uint32_t> distinct;
        for (const RGBQUAD& q : table) {
            distinct.insert(uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue);
        }
        EXPECT_EQ(distinct.size(), 16u);
    }
}

TEST(ControlBitmaps, UnknownIdsHaveNoBitmapAndGiveAnEmptyList) {
    EXPECT_EQ(FindBitmapData(0).info, nullptr);
    EXPECT_EQ(FindBitmapData(215).bits, nullptr);
    CImageList list;
    ASSERT_TRUE(CreateImageListFromBitmap(list, kBitmapButtons, 20, 0, kBitmapMaskColor));
    EXPECT_FALSE(CreateImageListFromBitmap(list, 1, 20, 0, kBitmapMaskColor));
    EXPECT_EQ(list.GetImageCount(), 0);
}

TEST(ControlBitmaps, CutIntoEighteenButtonsAndSixteenSliderColumns) {
    CImageList buttons;
    CImageList slider;
    ASSERT_TRUE(CreateImageListFromBitmap(buttons, kBitmapButtons, 20, 0, kBitmapMaskColor));
    ASSERT_TRUE(CreateImageListFromBitmap(slider, kBitmapSlider, 1, 0, kBitmapMaskColor));
    EXPECT_EQ(buttons.GetImageCount(), 18);
    EXPECT_EQ(slider.GetImageCount(), 16);
}

// ---- Buttons ----------------------------------------------------------------------------

TEST(ControlBitmaps, PressedButtonIsTheNormalOneInASunkenFrame) {
    for (int32_t pair = 0; pair < 8; ++pair) {
        SCOPED_TRACE(pair);
        const auto normal = Button(2 * pair);
        const auto pressed = Button(2 * pair + 1);
        for (int32_t x = 1; x <= 18; ++x) EXPECT_EQ(pressed[1][size_t(x)], kBlack) << x;
        for (int32_t y = 1; y <= 17; ++y) EXPECT_EQ(pressed[size_t(y)][1], kBlack) << y;
        for (int32_t x = 2; x <= 18; ++x) EXPECT_EQ(pressed[17][size_t(x)], kWhite) << x;
        for (int32_t y = 2; y <= 16; ++y) EXPECT_EQ(pressed[size_t(y)][18], kWhite) << y;
        // The normal picture is raised, so the two differ on the frame.
        EXPECT_EQ(normal[1][5], kWhite);
        EXPECT_EQ(normal[17][5], kGrey);
        for (int32_t y = 0; y < 20; ++y) {
            for (int32_t x = 0; x < 20; ++x) {
                if (OnFrame(x, y)) continue;
                EXPECT_EQ(pressed[size_t(y)][size_t(x)], normal[size_t(y)][size_t(x)])
                    << x << "," << y;
            }
        }
    }
}

TEST(ControlBitmaps, ButtonsAreTransparentAroundTheirFrame) {
    for (int32_t image = 0; image < 18; ++image) {
        const auto p = Button(image);
        for (int32_t i = 0; i < 20; ++i) {
            EXPECT_EQ(p[0][size_t(i)], kBack) << image;
            EXPECT_EQ(p[size_t(i)][0], kBack) << image;
            EXPECT_EQ(p[18][size_t(i)], kBack) << image;
            EXPECT_EQ(p[size_t(i)][19], kBack) << image;
        }
    }
}

TEST(ControlBitmaps, TransportGlyphsAreBlackAndLoopGlyphsDarkRed) {
    for (int32_t image = 0; image < 18; ++image) {
        const COLORREF ink = image >= kImageLoopOff ? kDarkRed : kBlack;
        const auto p = Button(image);
        int32_t inked = 0;
        for (int32_t y = 2; y <= 16; ++y) {
            for (int32_t x = 2; x <= 17; ++x) {
                const COLORREF c = p[size_t(y)][size_t(x)];
                EXPECT_TRUE(c == kBack || c == ink) << image << " at " << x << "," << y;
                inked += c == ink;
            }
        }
        EXPECT_GT(inked, 20) << image;
    }
}

TEST(ControlBitmaps, ReverseButtonsMirrorTheirForwardOnes) {
    const std::pair<int32_t, int32_t> mirrored[] = {
        {kImagePlay, kImageRplay}, {kImageFf, kImageRew}, {kImageStepFor, kImageStepBack}};
    for (auto [forward, backward] : mirrored) {
        const auto f = Button(forward);
        const auto b = Button(backward);
        for (int32_t y = 2; y <= 16; ++y) {
            for (int32_t x = 2; x <= 17; ++x) {
                EXPECT_EQ(f[size_t(y)][size_t(x)], b[size_t(y)][size_t(19 - x)])
                    << forward << " at " << x << "," << y;
            }
        }
    }
}

TEST(ControlBitmaps, PlayPointsRightAndEveryPictureDiffers) {
    // Pointing right: the ink column nearest the tip is narrower than the one at the base.
    const auto play = Button(kImagePlay);
    auto inkInColumn = [&](int32_t x) {
        int32_t n = 0;
        for (int32_t y = 2; y <= 16; ++y) n += play[size_t(y)][size_t(x)] == kBlack;
        return n;
    };
    int32_t first = -1;
    int32_t last = -1;
    for (int32_t x = 2; x <= 17; ++x) {
        if (inkInColumn(x) > 0) {
            if (first < 0) first = x;
            last = x;
        }
    }
    ASSERT_GE(first, 0);
    EXPECT_GT(inkInColumn(first), inkInColumn(last));

    std::set<std::vector<std::vector<COLORREF>>> pictures;
    for (int32_t image = 0; image < 18; ++image) pictures.insert(Button(image));
    EXPECT_EQ(pictures.size(), 18u);
}

// ---- Slider -----------------------------------------------------------------------------

TEST(ControlBitmaps, GroovePiecesLieInRowsSixToThirteen) {
    for (int32_t row = 0; row < 20; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(SliderPixel(kSliderEmpty, row), kBack);
        const bool groove = row >= 6 && row <= 13;
        if (!groove) {
            EXPECT_EQ(SliderPixel(kSliderGrooveLeft, row), kBack);
            EXPECT_EQ(SliderPixel(kSliderGroove, row), kBack);
            EXPECT_EQ(SliderPixel(kSliderGrooveRight, row), kBack);
            continue;
        }
        EXPECT_EQ(SliderPixel(kSliderGrooveLeft, row), row <= 12 ? kBlack : kWhite);
        if (row == 6) {
            EXPECT_EQ(SliderPixel(kSliderGroove, row), kBlack);
        }
        if (row == 13) {
            EXPECT_EQ(SliderPixel(kSliderGroove, row), kWhite);
        }
        EXPECT_EQ(SliderPixel(kSliderGrooveRight, row), row == 6 ? kBlack : kWhite);
    }
}

TEST(ControlBitmaps, ThumbIsARaisedBlockFromRowFourToFifteen) {
    for (int32_t t = 0; t < kSliderThumbWidth; ++t) {
        SCOPED_TRACE(t);
        const int32_t image = kSliderThumbFirst + t;
        for (int32_t row = 0; row < 20; ++row) {
            const COLORREF c = SliderPixel(image, row);
            if (row < 4 || row > 15) {
                EXPECT_EQ(c, kBack) << row;
            } else {
                EXPECT_NE(c, kBack) << row;
            }
        }
        EXPECT_EQ(SliderPixel(image, 15), kBlack);
        if (t < kSliderThumbWidth - 1) {
            EXPECT_EQ(SliderPixel(image, 4), kWhite);
        }
    }
    for (int32_t row = 4; row <= 14; ++row) EXPECT_EQ(SliderPixel(kSliderThumbFirst, row), kWhite);
    for (int32_t row = 4; row <= 15; ++row) EXPECT_EQ(SliderPixel(15, row), kBlack);
    // The mark in the middle: a dark column beside a light one, inside the face.
    EXPECT_EQ(SliderPixel(kSliderThumbFirst + 5, 9), kGrey);
    EXPECT_EQ(SliderPixel(kSliderThumbFirst + 6, 9), kWhite);
}
