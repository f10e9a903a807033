// BMP file routines. A BMP file is the 14-byte file header followed by exactly the bytes of a
// pixel block (see image/ImageImpl.h); these routines move whole blocks between disk and
// memory.
//
// Blocks they return always hold a 40-byte header. Reading brings every file into that form:
// a 12-byte core header is widened (RGBTRIPLE entries to RGBQUAD), a larger header is cut to
// 40 bytes, biSizeImage is filled in and, for 8 bits or fewer, biClrUsed made explicit.
// Deeper files keep no colour table; BI_BITFIELDS files keep their three masks right after
// the header. LoadDIBBlock also turns top-down rows bottom-up and expands BI_RLE8 and BI_RLE4
// rows, so that its blocks are always uncompressed and bottom-up.
#pragma once

#include <functional>
#include <memory>

#include "platform/FileIO.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"

// A BMP header announcing more colours than an 8-bit index can reach is taken for garbage.
constexpr uint32_t kMaxDibColors = 256;
// No single write is given more than this many bytes.
constexpr int64_t kDibWriteChunk = 32768;

// A block owned by the caller, with its size in bytes.
struct CDibBlock {
    CBlockPtr bytes;
    size_t size = 0;

    BITMAPINFOHEADER* Header() const { return reinterpret_cast<BITMAPINFOHEADER*>(bytes.get()); }
    explicit operator bool() const { return bytes != nullptr; }
};

// Bytes of the colour table that follows a header: 3 per entry after a core header, 4 after
// any other, plus the 12 bytes of masks of a 40-byte BI_BITFIELDS header.
int64_t ColorTableBytes(const BITMAPINFOHEADER* header);

// Reads the file header (when the file starts with "BM"), the info header and the colour
// table from the current position, and leaves the file at the pixel rows. The block holds
// the 40-byte header and the table only. Every field is checked before anything is
// allocated: an empty block for HFILE_ERROR, a short or unknown header, sizes past
// kMaxDibDimension or kMaxImageBytes, more than kMaxDibColors colours, or a table or rows
// starting past the end of the file. The file position is then unspecified.
CDibBlock ReadDIBInfo(HFILE file);

// The whole image: header, colour table (or masks) and bottom-up uncompressed rows. Empty
// when the file cannot be opened, ReadDIBInfo refuses it, or the file ends before its last
// pixel row (a short file is refused, not padded). The file is closed on every path.
CDibBlock LoadDIBBlock(const CString& path);

// Writes the file header and then header, colour table and rows of the block in one run.
// FALSE for a null block, a header whose table and rows would pass blockBytes, a file that
// cannot be created, or a short write (the partial file is left behind).
BOOL SaveDIBBlock(const CString& path, const BITMAPINFOHEADER* block, size_t blockBytes);

// Writes count bytes in chunks of at most kDibWriteChunk; count when every byte was
// written, 0 after the first short write.
int64_t WriteInChunks(HFILE file, const void* bytes, int64_t count);
// The same over any writer that answers the number of bytes it took.
using DibWriter = std::function<int64_t(const void* bytes, int64_t count)>;
int64_t WriteInChunks(const DibWriter& write, const void* bytes, int64_t count);
