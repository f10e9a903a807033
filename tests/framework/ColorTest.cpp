#include <gtest/gtest.h>

#include "framework/Colors.h"

namespace {

TEST(TranslateColor, PlainRgbPassesThrough) {
    EXPECT_EQ(TranslateOleColor(RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(TranslateOleColor(0), 0u);
}

TEST(TranslateColor, SystemColoursResolveThroughTheTable) {
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_BTNFACE), RGB(212, 208, 200));
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_INFOBK), RGB(255, 255, 225));
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_BACKGROUND), GetSysColor(COLOR_BACKGROUND));
    EXPECT_EQ(TranslateOleColor(0x80000000u | 200), 0u) << "an unknown index is black";
}

TEST(TranslateColor, PaletteIndexUsesTheGivenOrTheStockPalette) {
    PALETTEENTRY stock{};
    ASSERT_EQ(GetPaletteEntries(GetStockPalette(), 1, 1, &stock), 1u);
    EXPECT_EQ(TranslateOleColor(0x01000001u), RGB(stock.peRed, stock.peGreen, stock.peBlue));

    struct {
        LOGPALETTE head;
        PALETTEENTRY more[1];
    } lp{};
    lp.head.palVersion = 0x300;
    lp.head.palNumEntries = 2;
    lp.head.palPalEntry[0] = {1, 2, 3, 0};
    lp.more[0] = {200, 100, 50, 0};
    HPALETTE pal = CreatePalette(&lp.head);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(TranslateOleColor(0x01000001u, pal), RGB(200, 100, 50));
    EXPECT_EQ(TranslateOleColor(0x01000005u, pal), 0u) << "an index past the palette is black";
    DeleteObject(pal);
}

TEST(TranslateColor, PaletteRelativeRgbDropsItsFlag) {
    EXPECT_EQ(TranslateOleColor(0x02102030u), 0x00102030u);
}

}  // namespace
