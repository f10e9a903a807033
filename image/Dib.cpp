#include "image/Dib.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "image/ImageImpl.h"
#include "image/ImagePalette.h"
#include "platform/GdiDibFormats.h"

namespace {

constexpr uint16_t kBmSignature = 0x4D42;  // "BM"
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
// BITMAPV5HEADER; the versions between 40 and 124 bytes all start with the 40-byte fields.
constexpr uint32_t kMaxHeaderBytes = 124;
constexpr int64_t kMaskBytes = 12;

// Closes a handle on every path out.
class FileHandle {
public:
    explicit FileHandle(HFILE file) : handle(file) {}
    ~FileHandle() { FileClose(handle); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HFILE Get() const { return handle; }

private:
    HFILE handle;
};

bool ReadExact(HFILE file, void* buffer, int64_t count) {
    return FileRead(file, buffer, count) == count;
}

// Depth and compression pairs a block can hold once loaded. Run-length rows are bottom-up by
// definition.
bool IsReadableFormat(uint16_t bits, uint32_t compression, bool topDown) {
    switch (compression) {
        case BI_RGB:
            return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
        case BI_BITFIELDS:
            return bits == 16 || bits == 32;
        case BI_RLE8:
            return bits == 8 && !topDown;
        case BI_RLE4:
            return bits == 4 && !topDown;
        default:
            return false;
    }
}

// The header at the current position, in 40-byte form; its size in the file in *fileBytes.
// Masks carried inside a longer header go to masks.
bool ReadHeader(HFILE file, BITMAPINFOHEADER& header, uint32_t* fileBytes, uint8_t* masks,
                bool* masksInHeader) {
    uint8_t raw[kMaxHeaderBytes] = {};
    if (!ReadExact(file, raw, 4)) return false;
    uint32_t size = 0;
    std::memcpy(&size, raw, sizeof size);
    *fileBytes = size;
    *masksInHeader = false;
    if (size == kCoreHeaderBytes) {
        if (!ReadExact(file, raw + 4, kCoreHeaderBytes - 4)) return false;
        BITMAPCOREHEADER core;
        std::memcpy(&core, raw, sizeof core);
        header = BITMAPINFOHEADER{};
        header.biSize = kInfoHeaderBytes;
        header.biWidth = core.bcWidth;
        header.biHeight = core.bcHeight;
        header.biPlanes = core.bcPlanes;
        header.biBitCount = core.bcBitCount;
        return true;
    }
    if (size < kInfoHeaderBytes || size > kMaxHeaderBytes) return false;
    if (!ReadExact(file, raw + 4, size - 4)) return false;
    std::memcpy(&header, raw, sizeof header);
    header.biSize = kInfoHeaderBytes;
    if (size >= kInfoHeaderBytes + kMaskBytes) {
        std::memcpy(masks, raw + kInfoHeaderBytes, kMaskBytes);
        *masksInHeader = true;
    }
    return true;
}

void FlipRows(uint8_t* rows, int64_t stride, int64_t height) {
    std::vector<uint8_t> swap(size_t(stride), 0);
    for (int64_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rows + top * stride;
        uint8_t* b = rows + bottom * stride;
        std::memcpy(swap.data(), a, size_t(stride));
        std::memcpy(a, b, size_t(stride));
        std::memcpy(b, swap.data(), size_t(stride));
    }
}

// Expands run-length rows into the zeroed rows of a block; pixels the data skips keep index
// 0. False when the data ends before its end mark.
bool ExpandRle(const std::vector<uint8_t>& data, const BITMAPINFOHEADER& header, uint8_t* rows,
               int64_t stride) {
    const bool fourBit = header.biCompression == BI_RLE4;
    return DecodeDibRle(data.data(), data.size(), fourBit, header.biWidth, header.biHeight,
                        [&](int32_t x, int32_t row, uint8_t index) {
                            uint8_t* line = rows + int64_t(row) * stride;
                            if (!fourBit) {
                                line[x] = index;
                                return;
                            }
                            uint8_t& byte = line[x / 2];
                            byte = (x & 1) ? uint8_t((byte & 0xF0) | index)
                                           : uint8_t((byte & 0x0F) | (index << 4));
                        });
}

}  // namespace

int64_t ColorTableBytes(const BITMAPINFOHEADER* header) {
    if (!header) return 0;
    if (header->biSize == kCoreHeaderBytes) {
        // Only the core fields are there to read.
        BITMAPCOREHEADER core;
        std::memcpy(&core, header, sizeof core);
        return core.bcBitCount <= 8 ? 3 * (int64_t(1) << core.bcBitCount) : 0;
    }
    int64_t bytes = 4 * int64_t(ColorCountOf(header));
    if (header->biSize == kInfoHeaderBytes && header->biCompression == BI_BITFIELDS) {
        bytes += kMaskBytes;
    }
    return bytes;
}

CDibBlock ReadDIBInfo(HFILE file) {
    if (file == HFILE_ERROR) return {};
    const int64_t start = FileSeek(file, 0, SEEK_CUR);
    const int64_t fileSize = FileSize(file);
    if (start < 0 || fileSize < 0) return {};

    BITMAPFILEHEADER fileHeader;
    if (!ReadExact(file, &fileHeader, sizeof fileHeader)) return {};
    const bool hasFileHeader = fileHeader.bfType == kBmSignature;
    int64_t headerStart = start + int64_t(sizeof fileHeader);
    if (!hasFileHeader) {
        // No file header: the info header comes first and the rows follow the table.
        fileHeader.bfOffBits = 0;
        headerStart = start;
        if (FileSeek(file, start, SEEK_SET) != start) return {};
    }

    BITMAPINFOHEADER header;
    uint32_t headerFileBytes = 0;
    uint8_t masks[kMaskBytes] = {};
    bool masksInHeader = false;
    if (!ReadHeader(file, header, &headerFileBytes, masks, &masksInHeader)) return {};
    const bool core = headerFileBytes == kCoreHeaderBytes;

    // Everything the header says is checked before it decides any size.
    const bool topDown = header.biHeight < 0;
    const int64_t height = topDown ? -int64_t(header.biHeight) : int64_t(header.biHeight);
    if (header.biWidth <= 0 || header.biWidth > kMaxDibDimension || height == 0 ||
        height > kMaxDibDimension) {
        return {};
    }
    if (!IsReadableFormat(header.biBitCount, header.biCompression, topDown)) return {};
    if (header.biClrUsed > kMaxDibColors) return {};
    const int64_t stride = StrideOf(header.biWidth, header.biBitCount);
    if (stride * height > kMaxImageBytes - kBlockHeaderBytes) return {};

    const bool paletted = header.biBitCount <= 8;
    const bool bitfields = header.biCompression == BI_BITFIELDS;
    // Entries the file holds; deeper pictures may carry an optional table we skip.
    const int64_t fileColors = paletted && header.biClrUsed == 0 ? int64_t(1) << header.biBitCount
                                                                 : int64_t(header.biClrUsed);
    const int64_t entryBytes = core ? 3 : 4;
    const int64_t tableAt = headerStart + headerFileBytes;
    const int64_t fileMaskBytes = bitfields && !masksInHeader ? kMaskBytes : 0;
    const int64_t tableEnd = tableAt + fileMaskBytes + entryBytes * fileColors;
    if (tableEnd > fileSize) return {};
    int64_t rowsAt = tableEnd;
    if (fileHeader.bfOffBits != 0) {
        rowsAt = start + int64_t(fileHeader.bfOffBits);
        if (rowsAt < tableAt || rowsAt > fileSize) return {};
    }

    if (header.biCompression == BI_RGB || bitfields) {
        header.biSizeImage = uint32_t(stride * height);
    } else if (header.biSizeImage == 0) {
        header.biSizeImage = uint32_t(std::min<int64_t>(fileSize - rowsAt, UINT32_MAX));
    }
    header.biClrUsed = paletted ? uint32_t(fileColors) : 0;
    header.biClrImportant = std::min(header.biClrImportant, header.biClrUsed);

    const int64_t blockTable = paletted ? 4 * fileColors : (bitfields ? kMaskBytes : 0);
    CDibBlock block;
    block.size = size_t(kInfoHeaderBytes + blockTable);
    block.bytes = AllocateBlock(block.size);
    if (!block) return {};
    std::memcpy(block.bytes.get(), &header, sizeof header);
    uint8_t* table = block.bytes.get() + kInfoHeaderBytes;

    if (FileSeek(file, tableAt, SEEK_SET) != tableAt) return {};
    if (bitfields) {
        if (!masksInHeader && !ReadExact(file, masks, kMaskBytes)) return {};
        std::memcpy(table, masks, kMaskBytes);
    } else if (paletted) {
        if (!ReadExact(file, table, entryBytes * fileColors)) return {};
        if (core) {
            // Widened in place from the last entry back, so none is overwritten unread.
            for (int64_t i = fileColors - 1; i >= 0; --i) {
                RGBTRIPLE triple;
                std::memcpy(&triple, table + 3 * i, sizeof triple);
                const RGBQUAD quad{triple.rgbtBlue, triple.rgbtGreen, triple.rgbtRed, 0};
                std::memcpy(table + 4 * i, &quad, sizeof quad);
            }
        }
    }
    if (FileSeek(file, rowsAt, SEEK_SET) != rowsAt) return {};
    return block;
}

CDibBlock LoadDIBBlock(const CString& path) {
    const FileHandle file(FileOpenRead(path));
    if (file.Get() == HFILE_ERROR) return {};
    CDibBlock info = ReadDIBInfo(file.Get());
    if (!info) return {};
    const int64_t position = FileSeek(file.Get(), 0, SEEK_CUR);
    const int64_t remaining = FileSize(file.Get()) - position;
    if (position < 0 || remaining < 0) return {};

    BITMAPINFOHEADER header;
    std::memcpy(&header, info.bytes.get(), sizeof header);
    const bool compressed = header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4;
    const int64_t height = header.biHeight < 0 ? -int64_t(header.biHeight) : header.biHeight;
    const int64_t stride = StrideOf(header.biWidth, header.biBitCount);
    const int64_t rowBytes = stride * height;
    const int64_t fileRowBytes = compressed ? int64_t(header.biSizeImage) : rowBytes;
    // A file shorter than its rows is refused before the rows are allocated.
    if (fileRowBytes > remaining) return {};

    CDibBlock block;
    block.size = info.size + size_t(rowBytes);
    block.bytes = AllocateBlock(block.size);
    if (!block) return {};
    std::memcpy(block.bytes.get(), info.bytes.get(), info.size);
    uint8_t* rows = block.bytes.get() + info.size;

    if (compressed) {
        std::vector<uint8_t> data;
        try {
            data.resize(size_t(fileRowBytes));
        } catch (const std::bad_alloc&) {
            return {};
        }
        if (!ReadExact(file.Get(), data.data(), fileRowBytes)) return {};
        if (!ExpandRle(data, header, rows, stride)) return {};
        header.biCompression = BI_RGB;
    } else {
        if (!ReadExact(file.Get(), rows, rowBytes)) return {};
        if (header.biHeight < 0) FlipRows(rows, stride, height);
    }
    header.biHeight = int32_t(height);
    header.biSizeImage = uint32_t(rowBytes);
    std::memcpy(block.bytes.get(), &header, sizeof header);
    return block;
}

int64_t WriteInChunks(const DibWriter& write, const void* bytes, int64_t count) {
    if (count < 0) return 0;
    const auto* at = static_cast<const uint8_t*>(bytes);
    int64_t left = count;
    while (left > kDibWriteChunk) {
        if (write(at, kDibWriteChunk) != kDibWriteChunk) return 0;
        at += kDibWriteChunk;
        left -= kDibWriteChunk;
    }
    return write(at, left) == left ? count : 0;
}

int64_t WriteInChunks(HFILE file, const void* bytes, int64_t count) {
    return WriteInChunks(
        [file](const void* chunk, int64_t size) { return FileWrite(file, chunk, size); }, bytes,
        count);
}

BOOL SaveDIBBlock(const CString& path, const BITMAPINFOHEADER* block, size_t blockBytes) {
    if (!block || blockBytes < kInfoHeaderBytes) return FALSE;
    BITMAPINFOHEADER header;
    std::memcpy(&header, block, sizeof header);
    if (header.biSize != kInfoHeaderBytes) return FALSE;
    const int64_t table = ColorTableBytes(&header);
    const int64_t total = int64_t(kInfoHeaderBytes) + table + int64_t(header.biSizeImage);
    if (total > int64_t(blockBytes)) return FALSE;

    const FileHandle file(FileCreate(path));
    if (file.Get() == HFILE_ERROR) return FALSE;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = kBmSignature;
    fileHeader.bfSize = uint32_t(int64_t(sizeof fileHeader) + total);
    fileHeader.bfOffBits = uint32_t(int64_t(sizeof fileHeader) + kInfoHeaderBytes + table);
    if (FileWrite(file.Get(), &fileHeader, sizeof fileHeader) != int64_t(sizeof fileHeader)) {
        return FALSE;
    }
    return WriteInChunks(file.Get(), block, total) == total ? TRUE : FALSE;
}
