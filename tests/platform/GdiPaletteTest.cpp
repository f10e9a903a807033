// Logical palettes by handle, and palette selection in a device.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/Gdi.h"

namespace {

// A LOGPALETTE with room for all its entries (the structure declares only one).
class LogPalette {
public:
    explicit LogPalette(std::vector<PALETTEENTRY> entries)
        : m_buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY)) {
        auto* pal = reinterpret_cast<LOGPALETTE*>(m_buffer.data());
        pal->palVersion = 0x300;
        pal->palNumEntries = WORD(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) pal->palPalEntry[i] = entries[i];
    }
    LOGPALETTE* Get() { return reinterpret_cast<LOGPALETTE*>(m_buffer.data()); }

private:
    std::vector<uint8_t> m_buffer;
};

HPALETTE MakePalette(std::vector<PALETTEENTRY> entries) {
    LogPalette log(std::move(entries));
    return CreatePalette(log.Get());
}

bool SameEntry(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue &&
           a.peFlags == b.peFlags;
}

const std::vector<PALETTEENTRY> kFour = {
    {10, 20, 30, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {0, 0, 200, 4}};

}  // namespace

TEST(GdiPalette, EntriesComeBackAsCreated) {
    HPALETTE pal = MakePalette(kFour);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 4u);
    PALETTEENTRY out[4] = {};
    ASSERT_EQ(GetPaletteEntries(pal, 0, 4, out), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameEntry(out[i], kFour[i])) << i;
    EXPECT_TRUE(DeleteObject(pal));
}

TEST(GdiPalette, RangesAreClampedToThePalette) {
    HPALETTE pal = MakePalette(kFour);
    PALETTEENTRY out[8] = {};
    out[2] = {9, 9, 9, 9};
    EXPECT_EQ(GetPaletteEntries(pal, 2, 5, out), 2u);
    EXPECT_TRUE(SameEntry(out[0], kFour[2]));
    EXPECT_TRUE(SameEntry(out[1], kFour[3]));
    EXPECT_TRUE(SameEntry(out[2], PALETTEENTRY{9, 9, 9, 9})) << "nothing written past the copy";
    EXPECT_EQ(GetPaletteEntries(pal, 4, 1, out), 0u);
    EXPECT_EQ(GetPaletteEntries(pal, 0xFFFFFFFFu, 1, out), 0u);
    DeleteObject(pal);
}

TEST(GdiPalette, CreateRejectsNullEmptyAndWrongVersion) {
    EXPECT_EQ(CreatePalette(nullptr), nullptr);
    LogPalette empty({{1, 2, 3, 0}});
    empty.Get()->palNumEntries = 0;
    EXPECT_EQ(CreatePalette(empty.Get()), nullptr);
    LogPalette old({{1, 2, 3, 0}});
    old.Get()->palVersion = 0x200;
    EXPECT_EQ(CreatePalette(old.Get()), nullptr);
}

TEST(GdiPalette, NearestIndexUsesSquaredDistanceFirstWins) {
    HPALETTE pal =
        MakePalette({{0, 0, 0, 0}, {100, 100, 100, 0}, {100, 100, 100, 0}, {255, 0, 0, 0}});
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(0, 0, 0)), 0u);
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(100, 100, 100)), 1u) << "first of two equal";
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(90, 110, 100)), 1u);
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(200, 40, 40)), 3u);
    // (49,49,49) is nearer black (7203) than the grey (7803).
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(49, 49, 49)), 0u);
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(51, 51, 51)), 1u);
    DeleteObject(pal);
}

TEST(GdiPalette, BadAndDeletedHandlesAreReported) {
    HPALETTE pal = MakePalette(kFour);
    ASSERT_TRUE(DeleteObject(pal));
    PALETTEENTRY out[4];
    EXPECT_EQ(GetPaletteEntries(pal, 0, 4, out), 0u);
    EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 0u);
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_FALSE(DeleteObject(pal)) << "second delete";
    EXPECT_EQ(GetNearestPaletteIndex(nullptr, 0), CLR_INVALID);
    EXPECT_FALSE(DeleteObject(nullptr));
    HPALETTE bogus = reinterpret_cast<HPALETTE>(uintptr_t(0xDEAD0));
    EXPECT_EQ(GetPaletteEntries(bogus, 0, 0, nullptr), 0u);
}

TEST(GdiPalette, DeletedHandlesAreNotReused) {
    HPALETTE first = MakePalette(kFour);
    DeleteObject(first);
    HPALETTE second = MakePalette({{1, 1, 1, 0}});
    EXPECT_NE(first, second);
    EXPECT_EQ(GetPaletteEntries(first, 0, 0, nullptr), 0u);
    EXPECT_EQ(GetPaletteEntries(second, 0, 0, nullptr), 1u);
    DeleteObject(second);
}

TEST(GdiPalette, StockPaletteHoldsTheTwentyStaticColoursInOrder) {
    HPALETTE stock = GetStockPalette();
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(GetStockPalette(), stock);
    ASSERT_EQ(GetPaletteEntries(stock, 0, 0, nullptr), 20u);
    PALETTEENTRY e[20];
    ASSERT_EQ(GetPaletteEntries(stock, 0, 20, e), 20u);
    const uint8_t expected[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(e[i].peRed, expected[i][0]) << i;
        EXPECT_EQ(e[i].peGreen, expected[i][1]) << i;
        EXPECT_EQ(e[i].peBlue, expected[i][2]) << i;
        EXPECT_EQ(e[i].peFlags, 0) << i;
    }
    EXPECT_EQ(GetNearestPaletteIndex(stock, RGB(250, 250, 250)), 19u);
}

TEST(GdiPalette, StockPaletteSurvivesDelete) {
    EXPECT_TRUE(DeleteObject(GetStockPalette()));
    EXPECT_EQ(GetPaletteEntries(GetStockPalette(), 0, 0, nullptr), 20u);
}

TEST(GdiPalette, HandlesWorkFromManyThreadsAtOnce) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 300; ++i) {
                const uint8_t tag = uint8_t(t * 60 + i % 60);
                HPALETTE pal = MakePalette({{tag, 0, 0, 0}, {0, tag, 0, 0}});
                PALETTEENTRY out[2] = {};
                if (!pal || GetPaletteEntries(pal, 0, 2, out) != 2 || out[0].peRed != tag ||
                    out[1].peGreen != tag || !DeleteObject(pal) ||
                    GetPaletteEntries(pal, 0, 0, nullptr) != 0) {
                    ++failures;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(GdiDevicePalette, NewDeviceHasTheStockPaletteRealised) {
    CDC dc(2, 2);
    EXPECT_EQ(dc.GetCurrentPalette(), GetStockPalette());
    ASSERT_EQ(dc.RealizedColors().size(), 20u);
    EXPECT_EQ(dc.RealizedColors()[9], 0xA6CAF0u);
    CDC none;
    EXPECT_EQ(none.RealizedColors().size(), 20u);
}

TEST(GdiDevicePalette, SelectReturnsThePreviousAndRealiseMapsTheEntries) {
    CDC dc(2, 2);
    HPALETTE pal = MakePalette(kFour);
    EXPECT_EQ(dc.SelectPalette(pal, TRUE), GetStockPalette());
    EXPECT_EQ(dc.GetCurrentPalette(), pal);
    EXPECT_EQ(dc.RealizedColors().size(), 20u) << "selecting alone realises nothing";
    EXPECT_EQ(dc.RealizePalette(), 4u);
    const std::vector<uint32_t> want = {0x0A141Eu, 0xC80000u, 0x00C800u, 0x0000C8u};
    EXPECT_EQ(dc.RealizedColors(), want);
    EXPECT_EQ(dc.SelectPalette(GetStockPalette(), FALSE), pal);
    EXPECT_EQ(dc.RealizePalette(), 20u);
    DeleteObject(pal);
}

TEST(GdiDevicePalette, SelectingABadHandleChangesNothing) {
    CDC dc(2, 2);
    HPALETTE pal = MakePalette(kFour);
    dc.SelectPalette(pal, TRUE);
    EXPECT_EQ(dc.SelectPalette(nullptr, TRUE), nullptr);
    HPALETTE gone = MakePalette(kFour);
    DeleteObject(gone);
    EXPECT_EQ(dc.SelectPalette(gone, TRUE), nullptr);
    EXPECT_EQ(dc.GetCurrentPalette(), pal);
    DeleteObject(pal);
}

TEST(GdiDevicePalette, RealisingADeletedPaletteFallsBackToStock) {
    CDC dc(2, 2);
    HPALETTE pal = MakePalette(kFour);
    dc.SelectPalette(pal, TRUE);
    DeleteObject(pal);
    EXPECT_EQ(dc.RealizePalette(), 20u);
    EXPECT_EQ(dc.GetCurrentPalette(), GetStockPalette());
    EXPECT_EQ(dc.RealizedColors()[19], 0xFFFFFFu);
}

TEST(GdiDevicePalette, StretchModeKeepsThePreviousAndRejectsUnknown) {
    CDC dc(1, 1);
    EXPECT_EQ(dc.SetStretchBltMode(HALFTONE), COLORONCOLOR);
    EXPECT_EQ(dc.SetStretchBltMode(COLORONCOLOR), HALFTONE);
    EXPECT_EQ(dc.SetStretchBltMode(0), 0);
    EXPECT_EQ(dc.SetStretchBltMode(5), 0);
    EXPECT_EQ(dc.GetStretchBltMode(), COLORONCOLOR);
}
