#include "framework/Colors.h"

// Windows answers system colours itself; elsewhere they come from this table.
#ifndef _WIN32
namespace {

// The classic default scheme of a Windows desktop, indexed by COLOR_*.
constexpr COLORREF kSysColors[kSysColorCount] = {
    RGB(212, 208, 200),  // COLOR_SCROLLBAR
    RGB(58, 110, 165),   // COLOR_BACKGROUND
    RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(212, 208, 200),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
    RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(10, 36, 106),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(212, 208, 200),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(181, 181, 181),  // COLOR_ALTERNATEBTNFACE (unused index 25)
    RGB(0, 0, 200),      // COLOR_HOTLIGHT
    RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(10, 36, 106),    // COLOR_MENUHILIGHT
    RGB(212, 208, 200),  // COLOR_MENUBAR
};

}  // namespace

COLORREF GetSysColor(int32_t index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return kSysColors[index];
}
#endif

COLORREF TranslateOleColor(OLE_COLOR color, HPALETTE palette) {
    switch (color >> 24) {
        case 0x00:
            return color;
        case 0x80:
            return GetSysColor(int32_t(color & 0xFF));
        case 0x01: {
            PALETTEENTRY e{};
            HPALETTE pal = palette ? palette : GetStockPalette();
            if (GetPaletteEntries(pal, color & 0xFFFF, 1, &e) != 1) return 0;
            return RGB(e.peRed, e.peGreen, e.peBlue);
        }
        default:
            return color & 0x00FFFFFF;
    }
}
