// The graphics device: what the image library and the control draw with.
//
// On Windows a CDC is a real device context (a memory DC over a 32-bit DIB section, or a DC
// the container lends) and the DIB calls, palettes and image lists are the system's. Elsewhere
// it is a software device, described below, that follows the same contracts.
//
// The software device (CDC) draws onto a 32-bit surface whose pixels are 0x00RRGGBB words
// (QImage::Format_RGB32 order), top row first; note that COLORREF is 0x00BBGGRR. Every
// operation is clipped to the surface. DIBs are the Windows structures, byte for byte.
//
// A true-colour device: realising the selected palette makes DIB_PAL_COLORS indices map to
// that palette's colours; nothing else about the surface changes. A new device has the stock
// palette selected and realised, as a fresh Windows device context has.
//
// Palette handles may be used from any thread; one CDC belongs to one thread at a time.
#pragma once

#include <memory>
#include <vector>

#include "platform/Types.h"

#ifdef _WIN32
#include <commctrl.h>
#else
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
#endif  // _WIN32

// The 16 standard colours (black, the dark and the light primaries, silver and grey), as a
// colour table: what a fresh 4-bit table starts with and what the 16-colour bitmaps use.
inline constexpr RGBQUAD kStandardColors[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0},
};

// Indices into kStandardColors by name.
enum StandardColorIndex : uint8_t {
    kStdBlack = 0,
    kStdDarkRed = 1,
    kStdDarkGreen = 2,
    kStdDarkYellow = 3,
    kStdDarkBlue = 4,
    kStdDarkMagenta = 5,
    kStdDarkCyan = 6,
    kStdSilver = 7,
    kStdGrey = 8,
    kStdRed = 9,
    kStdGreen = 10,
    kStdYellow = 11,
    kStdBlue = 12,
    kStdMagenta = 13,
    kStdCyan = 14,
    kStdWhite = 15,
};

// Bytes of one row of a DIB: width pixels of bits each, padded to 4 bytes.
constexpr int64_t StrideOf(int64_t width, int64_t bits) {
    return ((width * bits + 31) / 32) * 4;
}

#ifndef _WIN32

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

// Stretch modes. Every mode draws as COLORONCOLOR: a true-colour device has nothing to blend
// monochrome rows into, and the control asks for COLORONCOLOR anyway.
constexpr int32_t BLACKONWHITE = 1;
constexpr int32_t WHITEONBLACK = 2;
constexpr int32_t COLORONCOLOR = 3;
constexpr int32_t HALFTONE = 4;

constexpr UINT CLR_INVALID = 0xFFFFFFFFu;
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

#endif  // _WIN32

// Largest DIB width or height the blits accept; anything wider or taller is taken for a
// corrupt header rather than a picture.
constexpr int32_t kMaxDibDimension = 65535;
// Largest surface a CDC allocates for itself (1 GiB of pixels).
constexpr int64_t kMaxSurfacePixels = int64_t(1) << 28;

// 0x00BBGGRR to the surface's 0x00RRGGBB; the flag byte is dropped.
constexpr uint32_t RGB32FromColorRef(COLORREF c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr COLORREF ColorRefFromRGB32(uint32_t p) {
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}
#ifdef _WIN32
// The stock DEFAULT_PALETTE.
HPALETTE GetStockPalette();

class CDC {
public:
    // A memory device over a 32-bit top-down DIB section of its own, filled with black.
    // Non-positive sizes, or more than kMaxSurfacePixels, give a device without a surface.
    CDC(int32_t width, int32_t height);
    // A device the container lends (a window's or a printer's); the caller keeps it alive.
    // It has no surface of its own: Bits() is null, Width() and Height() are its clip box's.
    explicit CDC(HDC attached);
    CDC();
    ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() { return m_hdc; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    // The DIB section's pixels (0x00RRGGBB, top row first); null for a lent device.
    uint32_t* Bits() { return m_pixels; }
    const uint32_t* Bits() const { return m_pixels; }
    int32_t StrideBytes() const { return m_width * 4; }
    uint32_t* Row(int32_t y) { return m_pixels + int64_t(y) * m_width; }
    const uint32_t* Row(int32_t y) const { return m_pixels + int64_t(y) * m_width; }

    // 0x00RRGGBB of one pixel; 0 outside the device.
    uint32_t GetPixelRGB32(int32_t x, int32_t y) const;
    // CLR_INVALID outside the device.
    COLORREF GetPixel(int32_t x, int32_t y) const;

    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground);
    UINT RealizePalette();
    int32_t SetStretchBltMode(int32_t mode);
    void FillSolidRect(const RECT& rect, COLORREF color);
    void FillSolidRect(int32_t x, int32_t y, int32_t cx, int32_t cy, COLORREF color);

private:
    HDC m_hdc = nullptr;
    bool m_own = false;  // a memory DC this object made, with its bitmap
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    uint32_t* m_pixels = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
};

class CImageList {
public:
    // As below; the list is a comctl32 image list with a mask.
    BOOL Create(const BITMAPINFO* info, const void* bits, int32_t cx, int32_t grow, COLORREF mask);
    int32_t GetImageCount() const;
    COLORREF SetBkColor(COLORREF color);
    COLORREF GetBkColor() const;
    BOOL Draw(CDC* dc, int32_t image, POINT pt, UINT style);
    CImageList() = default;
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

private:
    HIMAGELIST m_list = nullptr;
    // Every picture side by side, and their masks (white where transparent), drawn once from
    // the list: a draw is then three plain blits, where comctl32 makes and frees objects at
    // each call (the strip draws some 190 a paint).
    std::unique_ptr<CDC> m_pictures, m_masks;
    int32_t m_cx = 0, m_cy = 0;
};
#else
// A COLORREF naming entry i of the selected palette instead of a colour.
constexpr COLORREF PALETTEINDEX(uint16_t i) {
    return 0x01000000u | i;
}

// Logical palettes, by handle. Handles stay valid until DeleteObject and are never reused,
// so a stale handle is reported as bad instead of reaching another palette.
struct HPALETTE__;
using HPALETTE = HPALETTE__*;

// Null for a null pointer, 0 entries or a palVersion other than 0x300.
HPALETTE CreatePalette(const LOGPALETTE* logPalette);
// Copies up to count entries from start; the number copied (0 for a bad handle or range).
// With a null entries pointer, the number of entries the palette has.
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
// Index of the nearest entry (squared RGB distance, first wins); CLR_INVALID for a bad handle.
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
// FALSE for a bad handle. The stock palette is never deleted (TRUE, as GDI answers).
BOOL DeleteObject(HPALETTE palette);
// The stock DEFAULT_PALETTE: the 20 static colours of a Windows display.
HPALETTE GetStockPalette();

class CDC;
using HDC = CDC*;

class CDC {
public:
    // A device over a surface of its own, filled with black. Non-positive sizes, or more
    // than kMaxSurfacePixels, give a device without a surface.
    CDC(int32_t width, int32_t height);
    // A device over someone else's surface (a window's backing store); stride in bytes, a
    // multiple of 4 and at least 4 * width, else the device has no surface.
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
    const uint32_t* Bits() const { return m_pixels; }
    int32_t StrideBytes() const { return m_stride; }
    // Start of row y (0 = top); the caller keeps y inside the surface.
    uint32_t* Row(int32_t y) {
        return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(m_pixels) +
                                           int64_t(y) * m_stride);
    }
    const uint32_t* Row(int32_t y) const {
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(m_pixels) +
                                                 int64_t(y) * m_stride);
    }

    // 0x00RRGGBB of one pixel; 0 outside the surface.
    uint32_t GetPixelRGB32(int32_t x, int32_t y) const;
    // CLR_INVALID outside the surface.
    COLORREF GetPixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, COLORREF color);

    // Returns the previous palette; null (and nothing changes) for a bad handle. The
    // background flag means nothing on a true-colour device.
    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground);
    HPALETTE GetCurrentPalette() const { return m_palette; }
    // Maps the selected palette's entries for DIB_PAL_COLORS; the number of entries mapped.
    // A selected palette deleted since is replaced by the stock palette.
    UINT RealizePalette();
    // Returns the previous mode; 0 (and nothing changes) for an unknown mode.
    int32_t SetStretchBltMode(int32_t mode);
    int32_t GetStretchBltMode() const { return m_stretchMode; }

    // Right and bottom exclusive; an inverted rectangle fills nothing. A PALETTEINDEX colour
    // takes the selected palette's entry.
    void FillSolidRect(const RECT& rect, COLORREF color);
    void FillSolidRect(int32_t x, int32_t y, int32_t cx, int32_t cy, COLORREF color);

    // Colours realised from the selected palette, 0x00RRGGBB by index (internal to the
    // blits).
    const std::vector<uint32_t>& RealizedColors() const { return m_realized; }
    // The surface colour a COLORREF stands for on this device.
    uint32_t ResolveColor(COLORREF color) const;

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

// Bottom-up (or top-down, negative height) BI_RGB DIBs of 1, 4, 8, 16 (5-5-5), 24 and 32
// bits; BI_BITFIELDS DIBs of 16 and 32 bits, their three masks after the header; BI_RLE8 and
// BI_RLE4 DIBs (bottom-up), whose skipped pixels leave the device untouched. The colour table
// is at biSize bytes after the header: RGBQUADs for DIB_RGB_COLORS, 16-bit indices into the
// realised palette for DIB_PAL_COLORS. Pixel values past the colour table, and indices past
// the realised palette, draw black.
//
// xSrc, ySrc are DIB coordinates with the origin at the lower-left corner, as GDI defines
// them for a bottom-up DIB (upper-left for a top-down one). The bits hold scanLines rows
// starting at DIB row startScan (counted from the bottom for a bottom-up DIB); only those
// rows are ever read. Returns the number of scan lines supplied, clamped to the DIB; 0 for a
// null or surfaceless device, a bad header or an unknown colour use.
int32_t SetDIBitsToDevice(HDC dc, int32_t xDest, int32_t yDest, DWORD width, DWORD height,
                          int32_t xSrc, int32_t ySrc, UINT startScan, UINT scanLines,
                          const void* bits, const BITMAPINFO* info, UINT colorUse);
// COLORONCOLOR: nearest sample, rows and columns dropped or repeated, picked as the Windows
// DIB engine picks them (Wine's, measured): enlarging, destination pixel i of n takes source
// pixel floor(((2i + 1) * srcWidth - 1) / 2n) on both axes; shrinking, columns take
// floor(((2i + 2) * srcWidth - n) / 2n), the last of their span, and rows, counted from the
// top, floor((2i * srcHeight + n) / 2n), the first of theirs. Extents of opposite signs mirror; a
// negative extent covers x + w + 1 to x, as in GDI. Source pixels outside the DIB draw nothing. rop
// is SRCCOPY, SRCAND or SRCPAINT. Returns the DIB's height; 0 for bad arguments (as
// SetDIBitsToDevice, plus zero extents or another rop). The bits must hold the whole DIB.
int32_t StretchDIBits(HDC dc, int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                      int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                      const void* bits, const BITMAPINFO* info, UINT colorUse, DWORD rop);

// Images of equal width cut from one bitmap; mask-coloured pixels show the background colour
// (or the destination, when the background is CLR_NONE).
constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;
constexpr UINT ILD_NORMAL = 0;

class CImageList {
public:
    // Cuts width / cx images of width cx from a DIB (any depth SetDIBitsToDevice takes,
    // DIB_RGB_COLORS); columns left over at the right are dropped. Pixels of exactly the mask
    // colour become transparent. FALSE (and an empty list) when the DIB is unusable or no
    // whole image fits. grow is accepted for the framework's signature; the list never grows.
    BOOL Create(const BITMAPINFO* info, const void* bits, int32_t cx, int32_t grow, COLORREF mask);
    int32_t GetImageCount() const { return m_count; }
    COLORREF SetBkColor(COLORREF color);  // returns the previous colour
    COLORREF GetBkColor() const { return m_bkColor; }
    // Draws image number `image` with its top-left corner at pt, clipped to the device.
    // FALSE for an image out of range or a device without a surface.
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
#endif  // _WIN32

// Draws into the bounds of another device: the bounds' corner becomes the origin and nothing
// lands outside them, also where the bounds reach past the device's edges.
class CBoundsDC {
public:
    CBoundsDC(CDC* dc, const CRect& bounds);
    ~CBoundsDC();
    CBoundsDC(const CBoundsDC&) = delete;
    CBoundsDC& operator=(const CBoundsDC&) = delete;
    CDC* Device();

private:
    CDC* m_dc;
    CRect m_bounds;
#ifdef _WIN32
    CDC m_none;  // what a null device draws on: nothing
    int m_saved = 0;
#else
    void CopyVisible(CDC& device, CDC& scratch, bool toDevice) const;
    std::unique_ptr<CDC> m_view;
    bool m_scratch = false;
#endif
};
