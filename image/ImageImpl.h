// The implementation object behind a CImage: geometry, the pixel block, the palette, and the
// base of the format classes.
//
// Pixel block layout (one allocation, little-endian, Windows DIB structures):
//   1. BITMAPINFOHEADER, 40 bytes (biSize 40, biHeight positive).
//   2. Colour table: biClrUsed entries of 4 bytes, or three 32-bit masks with BI_BITFIELDS.
//      While a palette is attached the table is in index form (16-bit words 0..n-1, drawn
//      with DIB_PAL_COLORS); otherwise it holds RGBQUAD colours.
//   3. imageHeight rows of bytesPerLine bytes, stride padded to 4 bytes, BOTTOM-UP: memory
//      row 0 is the bottom row of the picture. 24-bit pixels are blue, green, red.
// Pixel coordinates (x, y) of the pixel operations use memory rows: y = 0 is the bottom.
// Codecs think in picture rows (top = 0) and should reach rows through PictureRow().
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "image/ImagePalette.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"
#include "platform/Types.h"

// Largest pixel block Create or AdoptBlock accept, header and colour table included.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzz builds only: zero-filling huge blocks that hostile headers ask for would make each
// input take seconds without reaching any new code.
constexpr int64_t kMaxImageBytes = int64_t(1) << 26;
#else
constexpr int64_t kMaxImageBytes = int64_t(1) << 30;
#endif
// Header plus room for 256 colour entries, reserved in every block Create makes.
constexpr int64_t kBlockHeaderBytes = 40 + 4 * 256;

// colorType bits (the PNG colour type's meaning).
constexpr int32_t kColorTypePalette = 1;
constexpr int32_t kColorTypeColor = 2;
constexpr int32_t kColorTypeAlpha = 4;

class CImageImpl {
public:
    CImageImpl() = default;
    virtual ~CImageImpl();
    CImageImpl(const CImageImpl&) = delete;
    CImageImpl& operator=(const CImageImpl&) = delete;

    // 0 <= x < imageWidth and 0 <= y < imageHeight (y a memory row). Without a pixel block the
    // geometry is 0 x 0, so nothing is inside.
    virtual BOOL IsInside(int32_t x, int32_t y);
    // A blank block (zero rows, default colour table) of the given size; the palette is
    // dropped, transparentIndex kept. colorType < 0 picks 0 for <= 8 bits, 2 above. Returns
    // bytesPerLine, or 0 with no block (IsValid FALSE, geometry 0 x 0) for a negative size,
    // a depth other than 1, 2, 4, 8, 16, 24, 32, or a block above kMaxImageBytes. A block of
    // the same byte size as the one held is reused, reset exactly as a new one.
    virtual int32_t Create(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t colorType);
    // Palette index of a pixel of <= 8 bits (sub-byte depths: the pixel's own bits, leftmost
    // pixel in the high bits); -1 outside or for deeper images.
    virtual int32_t GetPixelIndex(int32_t x, int32_t y);
    // Colour of a pixel: through the palette when one is attached, else from the pixel bytes
    // (or the colour-form table for <= 8 bits). FALSE, outputs untouched, when unavailable.
    virtual BOOL GetPixelRGB(int32_t x, int32_t y, BYTE* red, BYTE* green, BYTE* blue);
    // Stores the low bits of index; FALSE outside or for images deeper than 8 bits.
    virtual BOOL SetPixelIndex(int32_t x, int32_t y, int32_t index);
    // With the palette bit of colorType: the palette's nearest index (FALSE without a
    // palette). Without it: the colour bytes, or the nearest colour-table entry for <= 8 bits.
    virtual BOOL SetPixelRGB(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue);
    // Format classes override these; the base reads and writes nothing.
    virtual BOOL Read(const CString& path);
    virtual BOOL Write(const CString& path);

    // Palettes. Each attach puts the colour table in index form and sets colorType |= 3; it
    // answers FALSE when there is no block to update (the palette is attached regardless) or
    // when count is outside 0..256. A replaced palette is deleted.
    BOOL SetPalette(CImagePalette* palette);  // takes ownership; FALSE for null
    BOOL CreatePalette(int32_t count, const BYTE* red, const BYTE* green, const BYTE* blue);
    // rgb holds count triples red, green, blue. Reports an already attached palette.
    BOOL CreatePaletteFromRGB(int32_t count, const BYTE* rgb);
    BOOL CreateGrayPalette(int32_t count);  // entry i = i * 256 / count; count 1..256

    // Unscaled and scaled drawing into a device context; FALSE without pixels, TRUE (nothing
    // drawn) for a missing device. -1 sizes mean the whole image (or the rest from xSrc,
    // ySrc). The caller selects the palette; drawing only realises it.
    BOOL Draw(CDC* dc, int32_t xDest, int32_t yDest, int32_t width, int32_t height, int32_t xSrc,
              int32_t ySrc);
    BOOL StretchDraw(CDC* dc, int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                     int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight);

    // Row access. Callers check the row range (or IsInside) first.
    int32_t MemoryRowOf(int32_t pictureRow) const { return imageHeight - 1 - pictureRow; }
    BYTE* MemoryRow(int32_t memoryRow) const {
        return imageBits + static_cast<ptrdiff_t>(memoryRow) * bytesPerLine;
    }
    BYTE* PictureRow(int32_t pictureRow) const { return MemoryRow(MemoryRowOf(pictureRow)); }

    // Drops the pixel block and the palette, as Create does first: no pixels, geometry 0 x 0.
    void ReleaseBlock();
    // Takes over a complete block (as the BMP reader loads it): header, table and rows in
    // `bytes` bytes. The previous block and palette are released first. FALSE (no pixels)
    // unless the header is a 40-byte uncompressed (BI_RGB or BI_BITFIELDS) bottom-up header
    // of a supported depth and the block holds all its rows within kMaxImageBytes. colorType
    // is left as it was.
    BOOL AdoptBlock(CBlockPtr block, size_t bytes);
    size_t BlockBytes() const { return blockBytes; }
    // Makes this a copy of other: its own block, palette and fields, nothing shared. FALSE
    // when the copy has no pixels (other had none, or memory ran out).
    BOOL CopyFrom(const CImageImpl& other);

    // The fields are open to the format classes and the DIB routines, which fill the block
    // directly. Keep them consistent through Create, AdoptBlock and ReleaseBlock.
    BYTE* imageBits = nullptr;  // memory row 0, inside the block
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t bitsPerPixel = 0;
    int32_t colorType = 0;
    int32_t bytesPerLine = 0;
    BITMAPINFOHEADER* imageDIB = nullptr;  // start of the block
    int32_t transparentIndex = -1;
    std::unique_ptr<CImagePalette> imagePalette;
    // The picture's size in its file when a reader decoded it at a smaller scale, so that it
    // is laid out as the whole picture would be; 0 while the block holds the picture whole.
    // Create and ReleaseBlock reset them.
    int32_t fullWidth = 0;
    int32_t fullHeight = 0;

private:
    BYTE* PixelAddress(int32_t x, int32_t y) const;
    int32_t NearestTableIndex(int32_t red, int32_t green, int32_t blue) const;
    BOOL AttachNewPalette(std::unique_ptr<CImagePalette> palette);

    CBlockPtr block;
    size_t blockBytes = 0;
    std::vector<BYTE> maskSave;  // indices saved during a transparent draw, kept for reuse
};
