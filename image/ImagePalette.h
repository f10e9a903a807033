// The image's logical palette and the routines that move colours between a palette and the
// colour table of a pixel block.
#pragma once

#include "platform/Gdi.h"
#include "platform/Types.h"

// Largest palette an image carries: one entry per 8-bit index.
constexpr int32_t kMaxPaletteEntries = 256;

// Owns one logical palette handle (null until created or attached) and deletes it with itself.
class CImagePalette {
public:
    CImagePalette() = default;
    ~CImagePalette();
    CImagePalette(const CImagePalette&) = delete;
    CImagePalette& operator=(const CImagePalette&) = delete;

    // Builds a palette of count entries (0..256) from three arrays. FALSE when a handle is
    // already held or count is out of range. A failed CreatePalette leaves no handle but still
    // answers TRUE, as callers only test the handle afterwards.
    BOOL CreateFromArrays(int32_t count, const BYTE* red, const BYTE* green, const BYTE* blue);
    // Index of the nearest entry; CLR_INVALID without a handle.
    UINT GetNearestIndex(int32_t red, int32_t green, int32_t blue) const;
    // FALSE, outputs untouched, for an index outside 0..255 or beyond the palette.
    BOOL GetEntryRGB(int32_t index, BYTE* red, BYTE* green, BYTE* blue) const;
    // Number of entries; 0 without a handle.
    int32_t GetEntryCount() const;

    HPALETTE GetSafeHandle() const { return handle; }
    operator HPALETTE() const { return handle; }  // NOLINT: implicit like the framework's
    // Takes ownership of a handle; FALSE when one is already held.
    BOOL Attach(HPALETTE palette);
    HPALETTE Detach();

private:
    HPALETTE handle = nullptr;
};

// Colour count of a block: biClrUsed, or 2^biBitCount when that is 0 and biBitCount <= 8.
int32_t ColorCountOf(const BITMAPINFOHEADER* header);

// Rewrites the colour table of a block: index form (16-bit words 0..n-1, for DIB_PAL_COLORS)
// or colour form (RGBQUAD entries from the palette). A null palette means the stock default
// palette. Writes only within the table the block reserves (biClrUsed entries). FALSE for a
// null block.
BOOL UpdateDIBColorTable(BITMAPINFOHEADER* block, HPALETTE palette, BOOL indexForm);

// A new palette from the colour-form table of a block (biClrUsed entries, at most 256, read
// right after the 40-byte header), each entry with the given flags. Null when the table is
// empty or creation fails. The block must hold the biClrUsed entries its header announces.
HPALETTE PaletteFromColorTable(const BITMAPINFOHEADER* block, BYTE flags);
