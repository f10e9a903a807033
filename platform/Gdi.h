// The software graphics device: what the image library and the control draw with.
//
// A device context (CDC) draws onto a 32-bit surface whose pixels are 0x00RRGGBB words
// (QImage::Format_RGB32 order), top row first; note that COLORREF is 0x00BBGGRR. Every
// operation is clipped to the surface. DIBs are the Windows structures, byte for byte.
//
// A true-colour device: realising the selected palette makes DIB_PAL_COLORS indices map to
// that palette's colours; nothing else about the surface changes.
#pragma once

#include <memory>
#include <vector>

#include "platform/Types.h"

#pragma pack(push, 1)
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct RGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
};

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct BITMAPCOREHEADER {
    uint32_t bcSize;
    uint16_t bcWidth;
    uint16_t bcHeight;
    uint16_t bcPlanes;
    uint16_t bcBitCount;
};

struct BITMAPFILEHEADER {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPCOREHEADER) == 12);
static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(RGBQUAD) == 4 && sizeof(RGBTRIPLE) == 3 && sizeof(PALETTEENTRY) == 4);

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCPAINT = 0x00EE0086;

constexpr int32_t COLORONCOLOR = 3;
constexpr UINT CLR_INVALID = 0xFFFFFFFFu;
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

// Logical palettes, by handle. Handles stay valid until DeleteObject.
struct HPALETTE__;
using HPALETTE = HPALETTE__*;

HPALETTE CreatePalette(const LOGPALETTE* logPalette);  // null for null or 0 entries
// Copies up to count entries from start; the number copied (0 for a bad handle or range).
// With a null entries pointer, the number of entries the palette has.
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
// Index of the nearest entry (squared RGB distance, first wins); CLR_INVALID for a bad handle.
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
BOOL DeleteObject(HPALETTE palette);  // the stock palette is never deleted
// The stock DEFAULT_PALETTE: the 20 static colours of a Windows display.
HPALETTE GetStockPalette();

class CDC;
using HDC = CDC*;

class CDC {
public:
    // A device over a surface of its own, filled with black.
    CDC(int32_t width, int32_t height);
    // A device over someone else's surface (a window's backing store); stride in bytes.
    CDC(uint32_t* pixels, int32_t width, int32_t height, int32_t strideBytes);
    // A device with no surface: GetSafeHdc() is null, and drawing does nothing.
    CDC();
    ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() { return m_pixels ? this : nullptr; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    uint32_t* Bits() { return m_pixels; }
    int32_t StrideBytes() const { return m_stride; }

    // 0x00RRGGBB of one pixel; 0 outside the surface.
    uint32_t GetPixelRGB32(int32_t x, int32_t y) const;
    COLORREF GetPixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, COLORREF color);

    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground);  // returns the previous
    HPALETTE GetCurrentPalette() const { return m_palette; }
    // Maps the selected palette's entries for DIB_PAL_COLORS; the number of entries mapped.
    UINT RealizePalette();
    int32_t SetStretchBltMode(int32_t mode);  // returns the previous mode
    int32_t GetStretchBltMode() const { return m_stretchMode; }

    void FillSolidRect(const RECT& rect, COLORREF color);
    void FillSolidRect(int32_t x, int32_t y, int32_t cx, int32_t cy, COLORREF color);

    // Writes the surface as a PNG file; FALSE on failure.
    BOOL SavePng(const CString& path) const;

    // Colours realised from the selected palette, 0x00RRGGBB by index (internal to the
    // blits).
    const std::vector<uint32_t>& RealizedColors() const { return m_realized; }

private:
    std::unique_ptr<uint32_t[]> m_own;
    uint32_t* m_pixels = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
    HPALETTE m_palette = nullptr;
    std::vector<uint32_t> m_realized;
    int32_t m_stretchMode = COLORONCOLOR;
};

// Bottom-up (or top-down, negative height) DIBs of 1, 4, 8 and 24 bits. xSrc, ySrc are DIB
// coordinates with the origin at the lower-left corner, as GDI defines them for a bottom-up
// DIB. Return the number of scan lines drawn (0 when nothing was drawn).
int32_t SetDIBitsToDevice(HDC dc, int32_t xDest, int32_t yDest, DWORD width, DWORD height,
                          int32_t xSrc, int32_t ySrc, UINT startScan, UINT scanLines,
                          const void* bits, const BITMAPINFO* info, UINT colorUse);
// COLORONCOLOR: nearest sample, rows and columns dropped or repeated. A negative destination
// size mirrors. rop is SRCCOPY, SRCAND or SRCPAINT.
int32_t StretchDIBits(HDC dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                      int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                      int32_t srcHeight, const void* bits, const BITMAPINFO* info, UINT colorUse,
                      DWORD rop);

// Images of equal width cut from one bitmap; mask-coloured pixels show the background colour
// (or the destination, when the background is CLR_NONE).
constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;
constexpr UINT ILD_NORMAL = 0;

class CImageList {
public:
    // Cuts images of width cx from a DIB (any depth SetDIBitsToDevice takes, DIB_RGB_COLORS).
    BOOL Create(const BITMAPINFO* info, const void* bits, int32_t cx, int32_t grow,
                COLORREF mask);
    int32_t GetImageCount() const { return m_count; }
    COLORREF SetBkColor(COLORREF color);  // returns the previous colour
    COLORREF GetBkColor() const { return m_bkColor; }
    BOOL Draw(CDC* dc, int32_t image, POINT pt, UINT style);

private:
    int32_t m_cx = 0;
    int32_t m_cy = 0;
    int32_t m_count = 0;
    COLORREF m_mask = 0;
    COLORREF m_bkColor = CLR_NONE;
    std::vector<uint32_t> m_pixels;  // 0x00RRGGBB, top row first, all images side by side
    std::vector<uint8_t> m_isMask;   // 1 where the bitmap held the mask colour
};
