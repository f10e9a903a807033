// System colours and the translation of OLE_COLOR values to RGB.
#pragma once

#include "framework/Com.h"
#include "platform/Gdi.h"

#ifndef _WIN32
// System colour indices (the low byte of a 0x80000000 OLE_COLOR).
constexpr int32_t COLOR_SCROLLBAR = 0;
constexpr int32_t COLOR_BACKGROUND = 1;
constexpr int32_t COLOR_ACTIVECAPTION = 2;
constexpr int32_t COLOR_INACTIVECAPTION = 3;
constexpr int32_t COLOR_MENU = 4;
constexpr int32_t COLOR_WINDOW = 5;
constexpr int32_t COLOR_WINDOWFRAME = 6;
constexpr int32_t COLOR_MENUTEXT = 7;
constexpr int32_t COLOR_WINDOWTEXT = 8;
constexpr int32_t COLOR_CAPTIONTEXT = 9;
constexpr int32_t COLOR_BTNFACE = 15;
constexpr int32_t COLOR_BTNSHADOW = 16;
constexpr int32_t COLOR_GRAYTEXT = 17;
constexpr int32_t COLOR_BTNTEXT = 18;
constexpr int32_t COLOR_BTNHIGHLIGHT = 20;
constexpr int32_t COLOR_INFOBK = 24;
constexpr int32_t COLOR_MENUBAR = 30;

// The default colour of a system colour index; 0 (black) for an unknown index.
COLORREF GetSysColor(int32_t index);

#endif
// How many system colour indices there are.
constexpr int32_t kSysColorCount = 31;

// OLE_COLOR to RGB: 0x00BBGGRR as is; 0x80000000 | index the system colour; 0x01000000 |
// index the palette entry (of the given palette, else of the stock default palette; index
// out of range gives black); 0x02BBGGRR (palette-relative RGB) its RGB. Any other high
// byte is not a colour and gives its low 24 bits.
COLORREF TranslateOleColor(OLE_COLOR color, HPALETTE palette = nullptr);
