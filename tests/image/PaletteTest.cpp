// Palettes and the two forms of the colour table.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/Image.h"
#include "platform/MessageSink.h"

namespace {

uint16_t TableWord(CImageImpl* impl, int i) {
    uint16_t word = 0;
    std::memcpy(&word, reinterpret_cast<const uint8_t*>(impl->imageDIB) + 40 + 2 * i, 2);
    return word;
}

const RGBQUAD* Table(CImageImpl* impl) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(impl->imageDIB) + 40);
}

class RecordedMessages {
public:
    RecordedMessages() {
        previous = SetMessageSink([this](const CString& text) { texts.push_back(text); });
    }
    ~RecordedMessages() { SetMessageSink(previous); }
    std::vector<CString> texts;

private:
    MessageSink previous;
};

}  // namespace

TEST(ImagePalette, GreyRampOf256GivesIndexForm) {
    CImage image;
    image.Create(4, 4, 8, -1);
    BYTE ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = BYTE(i);
    ASSERT_TRUE(image.CreatePalette(256, ramp, nullptr, nullptr));
    EXPECT_EQ(image.GetColorType(), 3);
    CImagePalette* palette = image.GetPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->GetEntryCount(), 256);
    for (int i : {0, 1, 127, 255}) {
        BYTE r = 0, g = 0, b = 0;
        ASSERT_TRUE(palette->GetEntryRGB(i, &r, &g, &b));
        EXPECT_EQ(r, i);
        EXPECT_EQ(g, i);
        EXPECT_EQ(b, i);
    }
    for (int i = 0; i < 256; ++i) ASSERT_EQ(TableWord(image.GetImpl(), i), i);
}

TEST(ImagePalette, GreyPaletteOf16StepsBy16) {
    CImageImpl impl;
    impl.Create(2, 2, 4, -1);
    ASSERT_TRUE(impl.CreateGrayPalette(16));
    ASSERT_EQ(impl.imagePalette->GetEntryCount(), 16);
    for (int i = 0; i < 16; ++i) {
        BYTE r = 0, g = 0, b = 0;
        ASSERT_TRUE(impl.imagePalette->GetEntryRGB(i, &r, &g, &b));
        EXPECT_EQ(r, 16 * i);
        EXPECT_EQ(b, 16 * i);
    }
    EXPECT_FALSE(impl.CreateGrayPalette(0));    // no division by zero
    EXPECT_FALSE(impl.CreateGrayPalette(257));  // beyond the ramp
}

TEST(ImagePalette, RgbTriplesSplitIntoEntries) {
    CImage image;
    image.Create(2, 2, 8, -1);
    const BYTE rgb[] = {255, 0, 0, 0, 0, 255};
    ASSERT_TRUE(image.CreatePaletteFromRGB(2, rgb));
    BYTE r = 0, g = 0, b = 0;
    ASSERT_TRUE(image.GetPalette()->GetEntryRGB(0, &r, &g, &b));
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);
    ASSERT_TRUE(image.GetPalette()->GetEntryRGB(1, &r, &g, &b));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b, 255);
    EXPECT_FALSE(image.CreatePaletteFromRGB(300, rgb));  // more than 256 entries
}

TEST(ImagePalette, SecondPaletteFromRgbIsReported) {
    RecordedMessages messages;
    CImage image;
    image.Create(2, 2, 8, -1);
    const BYTE rgb[] = {1, 2, 3};
    ASSERT_TRUE(image.CreatePaletteFromRGB(1, rgb));
    EXPECT_TRUE(messages.texts.empty());
    ASSERT_TRUE(image.CreatePaletteFromRGB(1, rgb));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "CImageImpl::imagePalette already exists!");
    ASSERT_TRUE(image.CreatePalette(1, rgb, nullptr, nullptr));  // replaces without a word
    EXPECT_EQ(messages.texts.size(), 1u);
}

TEST(ImagePalette, EntryIndexOutsideTheTableIsRefused) {
    CImagePalette palette;
    const BYTE grey[3] = {10, 20, 30};
    ASSERT_TRUE(palette.CreateFromArrays(3, grey, grey, grey));
    EXPECT_FALSE(palette.CreateFromArrays(3, grey, grey, grey));  // one handle only
    BYTE r = 7, g = 7, b = 7;
    EXPECT_FALSE(palette.GetEntryRGB(-1, &r, &g, &b));
    EXPECT_FALSE(palette.GetEntryRGB(256, &r, &g, &b));
    EXPECT_FALSE(palette.GetEntryRGB(3, &r, &g, &b));
    EXPECT_EQ(r, 7);
    EXPECT_EQ(g, 7);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(palette.GetNearestIndex(25, 25, 25), 1u);
    EXPECT_EQ(palette.GetNearestIndex(256 + 30, 30, 30), 2u);  // low byte of each argument

    CImagePalette empty;
    EXPECT_EQ(empty.GetNearestIndex(0, 0, 0), CLR_INVALID);
    EXPECT_FALSE(empty.GetEntryRGB(0, &r, &g, &b));
}

TEST(ImagePalette, SetPaletteTakesOwnershipAndSetsBits) {
    CImage image;
    image.Create(2, 2, 8, 0);
    EXPECT_FALSE(image.SetPalette(nullptr));
    auto* palette = new CImagePalette;
    const BYTE grey[2] = {0, 255};
    palette->CreateFromArrays(2, grey, grey, grey);
    ASSERT_TRUE(image.SetPalette(palette));
    EXPECT_EQ(image.GetPalette(), palette);
    EXPECT_EQ(image.GetColorType(), 3);
    EXPECT_EQ(TableWord(image.GetImpl(), 1), 1);
    ASSERT_TRUE(image.SetPalette(palette));  // the same palette again is not freed
    EXPECT_EQ(image.GetPalette()->GetEntryCount(), 2);
}

TEST(ImagePalette, ColourFormComesFromThePaletteOrTheStockOne) {
    CImageImpl impl;
    impl.Create(2, 2, 8, -1);
    ASSERT_TRUE(UpdateDIBColorTable(impl.imageDIB, nullptr, FALSE));
    PALETTEENTRY stock[20];
    ASSERT_EQ(GetPaletteEntries(GetStockPalette(), 0, 20, stock), 20u);
    const RGBQUAD* table = Table(&impl);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(table[i].rgbRed, stock[i].peRed) << i;
        EXPECT_EQ(table[i].rgbGreen, stock[i].peGreen) << i;
        EXPECT_EQ(table[i].rgbBlue, stock[i].peBlue) << i;
        EXPECT_EQ(table[i].rgbReserved, 0) << i;
    }

    BYTE ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = BYTE(255 - i);
    impl.CreatePalette(256, ramp, nullptr, nullptr);
    ASSERT_TRUE(UpdateDIBColorTable(impl.imageDIB, impl.imagePalette->GetSafeHandle(), FALSE));
    EXPECT_EQ(table[0].rgbRed, 255);
    EXPECT_EQ(table[200].rgbBlue, 55);
    ASSERT_TRUE(UpdateDIBColorTable(impl.imageDIB, impl.imagePalette->GetSafeHandle(), TRUE));
    EXPECT_EQ(TableWord(&impl, 200), 200);

    EXPECT_FALSE(UpdateDIBColorTable(nullptr, nullptr, TRUE));
}

TEST(ImagePalette, TableUpdatesStayInsideTheBlock) {
    CImageImpl impl;
    impl.Create(3, 3, 24, -1);
    const std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(impl.imageDIB),
                                      reinterpret_cast<uint8_t*>(impl.imageDIB) + 40 + 36);
    EXPECT_TRUE(UpdateDIBColorTable(impl.imageDIB, nullptr, TRUE));
    EXPECT_TRUE(UpdateDIBColorTable(impl.imageDIB, nullptr, FALSE));
    EXPECT_EQ(std::memcmp(before.data(), impl.imageDIB, before.size()), 0);

    // A depth-implied count with no table reserved must not reach the rows.
    CImageImpl eight;
    eight.Create(4, 1, 8, -1);
    eight.imageDIB->biClrUsed = 0;
    eight.imageBits = reinterpret_cast<BYTE*>(eight.imageDIB) + 40;
    std::memset(eight.imageBits, 0xAB, 4);
    EXPECT_TRUE(UpdateDIBColorTable(eight.imageDIB, nullptr, TRUE));
    EXPECT_EQ(eight.imageBits[0], 0xAB);
    EXPECT_EQ(eight.imageBits[3], 0xAB);
}

TEST(ImagePalette, PaletteFromColourTableReadsRgbQuads) {
    CImageImpl impl;
    impl.Create(2, 2, 4, -1);
    HPALETTE palette = PaletteFromColorTable(impl.imageDIB, 0);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 16u);
    PALETTEENTRY entry{};
    ASSERT_EQ(GetPaletteEntries(palette, 9, 1, &entry), 1u);
    EXPECT_EQ(entry.peRed, 255);
    EXPECT_EQ(entry.peGreen, 0);
    ASSERT_EQ(GetPaletteEntries(palette, 4, 1, &entry), 1u);
    EXPECT_EQ(entry.peBlue, 128);
    DeleteObject(palette);

    CImageImpl deep;
    deep.Create(2, 2, 24, -1);
    EXPECT_EQ(PaletteFromColorTable(deep.imageDIB, 0), nullptr);
    EXPECT_EQ(PaletteFromColorTable(nullptr, 0), nullptr);
}
