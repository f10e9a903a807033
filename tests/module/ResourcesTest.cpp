// The module's pictures and its copies of the control's bitmaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "control/Bitmaps.h"
#include "control/MovitrelCtrl.h"
#include "framework/ComClient.h"
#include "module/Resources.h"
#include "tests/module/ModuleTestSupport.h"

namespace {

// The resources as a container sees them: through an object the module made.
class ModuleResources : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateObjectFromModule(module_test::kModule, CLSID_MovitrelCtrl, &m_ctrl), S_OK);
        m_res = m_ctrl.Resources();
        ASSERT_NE(m_res, nullptr);
    }
    const CModuleResources& MovitrelResources() const { return *m_res; }
    CComInstance m_ctrl;
    const CModuleResources* m_res = nullptr;
};

BITMAPINFOHEADER Header(const std::vector<uint8_t>& dib) {
    BITMAPINFOHEADER h{};
    EXPECT_GE(dib.size(), sizeof h);
    if (dib.size() >= sizeof h) std::memcpy(&h, dib.data(), sizeof h);
    return h;
}

TEST_F(ModuleResources, ToolboxBitmapIs20By22With16Colours) {
    const std::vector<uint8_t>* dib = MovitrelResources().FindBitmap(IDB_MOVITREL);
    ASSERT_NE(dib, nullptr);
    BITMAPINFOHEADER h = Header(*dib);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 20);
    EXPECT_EQ(h.biHeight, 22);
    EXPECT_EQ(h.biBitCount, 4);
    EXPECT_EQ(h.biClrUsed, 16u);
    // 20 4-bit pixels take 10 bytes, padded to 12.
    EXPECT_EQ(dib->size(), 40u + 16u * 4u + 12u * 22u);
    // Not one flat colour: something is drawn.
    std::vector<uint8_t> pixels(dib->begin() + 104, dib->end());
    EXPECT_NE(std::count(pixels.begin(), pixels.end(), pixels[0]), ptrdiff_t(pixels.size()));
}

TEST_F(ModuleResources, IconIs32By32WithItsMask) {
    const std::vector<uint8_t>* icon = MovitrelResources().FindIcon(IDI_MOVITREL);
    ASSERT_NE(icon, nullptr);
    BITMAPINFOHEADER h = Header(*icon);
    EXPECT_EQ(h.biWidth, 32);
    EXPECT_EQ(h.biHeight, 64);  // colour rows and mask rows
    EXPECT_EQ(h.biBitCount, 4);
    EXPECT_EQ(icon->size(), 40u + 64u + 16u * 32u + 4u * 32u);
    // The mask's top row (stored last) is transparent everywhere: the picture starts lower.
    EXPECT_EQ((*icon)[icon->size() - 4], 0xFF);
}

TEST_F(ModuleResources, StripBitmapsAreTheControlsOwn) {
    for (uint32_t id : {kBitmapSlider, kBitmapButtons}) {
        const std::vector<uint8_t>* dib = MovitrelResources().FindBitmap(id);
        ASSERT_NE(dib, nullptr) << id;
        CBitmapData data = FindBitmapData(id);
        ASSERT_NE(data.info, nullptr);
        size_t headerSize = 40 + 16 * 4;
        ASSERT_EQ(dib->size(), headerSize + data.bitsSize);
        EXPECT_EQ(std::memcmp(dib->data(), data.info, headerSize), 0);
        EXPECT_EQ(std::memcmp(dib->data() + headerSize, data.bits, data.bitsSize), 0);
    }
    EXPECT_EQ(Header(*MovitrelResources().FindBitmap(kBitmapButtons)).biWidth, 360);
}

TEST_F(ModuleResources, DialogsAndStringsByTheirIds) {
    const CModuleResources& r = MovitrelResources();
    ASSERT_NE(r.FindDialog(1), nullptr);
    EXPECT_EQ(r.FindDialog(1)->caption, "About Movitrel Control");
    EXPECT_EQ(r.FindDialog(200)->items.size(), 10u);
    EXPECT_EQ(r.FindDialog(218)->items.size(), 12u);
    EXPECT_EQ(r.FindDialog(220)->items.size(), 7u);  // with "&Decode to fit"
    EXPECT_EQ(r.FindDialog(2), nullptr);
    EXPECT_EQ(r.strings.size(), 7u);
    EXPECT_EQ(r.LoadString(204), "Playback");
}

}  // namespace
