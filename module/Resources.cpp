#include "module/Resources.h"

#include "control/AboutDialog.h"
#include "control/Bitmaps.h"
#include "control/MovitrelCtrl.h"
#include "module/ModuleArt.h"
#include "proppages/PageResources.h"

namespace {

std::vector<uint8_t> PackedDib(uint32_t bitmapId) {
    CBitmapData data = FindBitmapData(bitmapId);
    if (!data.info) return {};
    const BITMAPINFOHEADER& h = data.info->bmiHeader;
    uint32_t colours = h.biClrUsed ? h.biClrUsed : (h.biBitCount <= 8 ? 1u << h.biBitCount : 0);
    const auto* head = reinterpret_cast<const uint8_t*>(data.info);
    std::vector<uint8_t> out(head, head + h.biSize + colours * sizeof(RGBQUAD));
    out.insert(out.end(), data.bits, data.bits + data.bitsSize);
    return out;
}

CModuleResources Build() {
    CModuleResources r;
    for (uint32_t id : {IDS_MOVITREL, IDS_MOVITREL_PPG, IDS_MOVITREL_PPG_CAPTION, IDS_CONTROL_PPG,
                        IDS_CONTROL_PPG_CAPTION, IDS_PLAYBACK_PPG, IDS_PLAYBACK_PPG_CAPTION}) {
        r.strings[id] = ModuleString(id);
    }
    r.dialogs[IDD_ABOUTBOX_MOVITREL] = MovitrelAboutDialog();
    r.dialogs[IDD_PROPPAGE_MOVITREL] = MovitrelPropPageTemplate();
    r.dialogs[IDD_PROPPAGE_CONTROL] = ControlPropPageTemplate();
    r.dialogs[IDD_PROPPAGE_PLAYBACK] = PlaybackPropPageTemplate();
    r.bitmaps[IDB_MOVITREL] = ToolboxBitmap();
    r.bitmaps[kBitmapSlider] = PackedDib(kBitmapSlider);
    r.bitmaps[kBitmapButtons] = PackedDib(kBitmapButtons);
    r.icons[IDI_MOVITREL] = ModuleIcon();
    if (const std::vector<uint8_t>* tlb = MovitrelTypeLibBytes()) {
        r.custom[{"TYPELIB", IDR_TYPELIB}] = *tlb;
    }
    return r;
}

}  // namespace

const CModuleResources& MovitrelResources() {
    static const CModuleResources resources = Build();
    return resources;
}
