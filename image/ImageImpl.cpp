#include "image/ImageImpl.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

bool IsSupportedDepth(int32_t bits) {
    switch (bits) {
        case 1:
        case 2:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

// Rows of `stride` bytes times height, or -1 when the block would pass the cap.
int64_t RowBytesWithin(int64_t stride, int64_t height, int64_t room) {
    if (height > 0 && stride > room / height) return -1;
    return stride * height;
}

int32_t MaskShift(uint32_t mask) {
    int32_t shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A channel of a packed pixel, scaled to 0..255.
BYTE FromMask(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    const int32_t shift = MaskShift(mask);
    const uint32_t max = mask >> shift;
    return BYTE(((value & mask) >> shift) * 255u / max);
}

uint32_t ToMask(int32_t channel, uint32_t mask) {
    if (!mask) return 0;
    const int32_t shift = MaskShift(mask);
    const uint32_t max = mask >> shift;
    return ((uint32_t(BYTE(channel)) * max + 127u) / 255u) << shift;
}

}  // namespace

CImageImpl::~CImageImpl() = default;

BOOL CImageImpl::IsInside(int32_t x, int32_t y) {
    return x >= 0 && x < imageWidth && y >= 0 && y < imageHeight;
}

void CImageImpl::ReleaseBlock() {
    block.reset();
    blockBytes = 0;
    imageDIB = nullptr;
    imageBits = nullptr;
    imagePalette.reset();
    // Without pixels nothing may look inside.
    imageWidth = 0;
    imageHeight = 0;
    bytesPerLine = 0;
    fullWidth = 0;
    fullHeight = 0;
}

BOOL CImageImpl::CopyFrom(const CImageImpl& other) {
    if (!other.block) {
        ReleaseBlock();
        colorType = other.colorType;
        transparentIndex = other.transparentIndex;
        return FALSE;
    }
    // A block of the same size (the next frame of a sequence) is written over, not remade.
    if (!block || blockBytes != other.blockBytes) {
        ReleaseBlock();
        block = AllocateBlock(other.blockBytes);
        if (!block) return FALSE;
        blockBytes = other.blockBytes;
    }
    imagePalette.reset();
    colorType = other.colorType;
    transparentIndex = other.transparentIndex;
    std::memcpy(block.get(), other.block.get(), other.blockBytes);
    imageDIB = reinterpret_cast<BITMAPINFOHEADER*>(block.get());
    imageBits = block.get() + (other.imageBits - other.block.get());
    imageWidth = other.imageWidth;
    imageHeight = other.imageHeight;
    fullWidth = other.fullWidth;
    fullHeight = other.fullHeight;
    bitsPerPixel = other.bitsPerPixel;
    bytesPerLine = other.bytesPerLine;
    // The block's colour table is copied as it stands; the palette is copied entry by entry,
    // flags included, so drawing realises the same colours.
    const int32_t count = other.imagePalette ? other.imagePalette->GetEntryCount() : 0;
    if (count > 0) {
        std::vector<uint8_t> storage(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * size_t(count));
        auto* logPalette = reinterpret_cast<LOGPALETTE*>(storage.data());
        logPalette->palVersion = 0x300;
        logPalette->palNumEntries = WORD(count);
        GetPaletteEntries(*other.imagePalette, 0, UINT(count), logPalette->palPalEntry);
        auto palette = std::make_unique<CImagePalette>();
        if (HPALETTE handle = ::CreatePalette(logPalette)) palette->Attach(handle);
        imagePalette = std::move(palette);
    }
    return TRUE;
}

int32_t CImageImpl::Create(int32_t width, int32_t height, int32_t bits, int32_t type) {
    colorType = type >= 0 ? type : (bits <= 8 ? 0 : kColorTypeColor);
    imagePalette.reset();
    fullWidth = 0;
    fullHeight = 0;
    imageBits = nullptr;
    imageDIB = nullptr;

    const bool valid = width >= 0 && height >= 0 && IsSupportedDepth(bits);
    const int64_t stride = valid ? StrideOf(width, bits) : 0;
    const int64_t rowBytes =
        valid ? RowBytesWithin(stride, height, kMaxImageBytes - kBlockHeaderBytes) : -1;
    if (rowBytes < 0) {
        ReleaseBlock();
        bitsPerPixel = bits;
        return 0;
    }
    const size_t total = size_t(rowBytes + kBlockHeaderBytes);
    if (block && blockBytes == total) {
        // Same size as the block held (every frame of a sequence): reset it in place.
        std::memset(block.get(), 0, total);
    } else {
        block.reset();
        blockBytes = 0;
        block = AllocateBlock(total);
        if (!block) {
            ReleaseBlock();
            bitsPerPixel = bits;
            return 0;
        }
        blockBytes = total;
    }

    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(block.get());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = uint16_t(bits);
    header->biCompression = BI_RGB;
    header->biSizeImage = uint32_t(rowBytes);
    header->biClrUsed = bits <= 8 ? (1u << bits) : 0;
    auto* table = reinterpret_cast<RGBQUAD*>(block.get() + sizeof(BITMAPINFOHEADER));
    for (uint32_t i = 0; i < header->biClrUsed / 16 * 16; ++i) table[i] = kStandardColors[i % 16];

    imageDIB = header;
    imageWidth = width;
    imageHeight = height;
    bitsPerPixel = bits;
    bytesPerLine = int32_t(stride);
    imageBits = block.get() + sizeof(BITMAPINFOHEADER) + 4 * size_t(header->biClrUsed);
    return bytesPerLine;
}

BOOL CImageImpl::AdoptBlock(CBlockPtr newBlock, size_t bytes) {
    ReleaseBlock();
    if (!newBlock || bytes < sizeof(BITMAPINFOHEADER) || int64_t(bytes) > kMaxImageBytes) {
        return FALSE;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, newBlock.get(), sizeof header);
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biWidth < 0 || header.biHeight < 0 ||
        !IsSupportedDepth(header.biBitCount)) {
        return FALSE;
    }
    int64_t tableBytes = 0;
    if (header.biCompression == BI_BITFIELDS) {
        if (header.biBitCount != 16 && header.biBitCount != 32) return FALSE;
        tableBytes = 12;
    } else if (header.biCompression == BI_RGB) {
        tableBytes = 4 * int64_t(header.biClrUsed);
    } else {
        return FALSE;  // compressed rows cannot be addressed pixel by pixel
    }
    const int64_t stride = StrideOf(header.biWidth, header.biBitCount);
    const int64_t room = int64_t(bytes) - int64_t(sizeof header) - tableBytes;
    if (room < 0 || RowBytesWithin(stride, header.biHeight, room) < 0) return FALSE;

    block = std::move(newBlock);
    blockBytes = bytes;
    imageDIB = reinterpret_cast<BITMAPINFOHEADER*>(block.get());
    imageWidth = header.biWidth;
    imageHeight = header.biHeight;
    bitsPerPixel = header.biBitCount;
    bytesPerLine = int32_t(stride);
    imageBits = block.get() + sizeof header + size_t(tableBytes);
    return TRUE;
}

BOOL CImageImpl::Read(const CString&) {
    return FALSE;
}

BOOL CImageImpl::Write(const CString&) {
    return FALSE;
}

BYTE* CImageImpl::PixelAddress(int32_t x, int32_t y) const {
    return MemoryRow(y) + (int64_t(x) * bitsPerPixel) / 8;
}

int32_t CImageImpl::GetPixelIndex(int32_t x, int32_t y) {
    if (!IsInside(x, y) || !imageBits || bitsPerPixel > 8) return -1;
    const BYTE byte = *PixelAddress(x, y);
    if (bitsPerPixel == 8) return byte;
    const int32_t shift = 8 - bitsPerPixel - int32_t((int64_t(x) * bitsPerPixel) % 8);
    return (byte >> shift) & ((1 << bitsPerPixel) - 1);
}

BOOL CImageImpl::SetPixelIndex(int32_t x, int32_t y, int32_t index) {
    if (!IsInside(x, y) || !imageBits || bitsPerPixel > 8) return FALSE;
    BYTE* pixel = PixelAddress(x, y);
    if (bitsPerPixel == 8) {
        *pixel = BYTE(index);
        return TRUE;
    }
    const int32_t shift = 8 - bitsPerPixel - int32_t((int64_t(x) * bitsPerPixel) % 8);
    const BYTE mask = BYTE(((1 << bitsPerPixel) - 1) << shift);
    *pixel = BYTE((*pixel & ~mask) | ((index << shift) & mask));
    return TRUE;
}

BOOL CImageImpl::GetPixelRGB(int32_t x, int32_t y, BYTE* red, BYTE* green, BYTE* blue) {
    if (!IsInside(x, y) || !imageBits) return FALSE;
    if (imagePalette) return imagePalette->GetEntryRGB(GetPixelIndex(x, y), red, green, blue);
    const BYTE* pixel = PixelAddress(x, y);
    BYTE r = 0, g = 0, b = 0;
    if (bitsPerPixel <= 8) {
        // No palette: the table is in colour form.
        const int32_t index = GetPixelIndex(x, y);
        if (index < 0 || uint32_t(index) >= imageDIB->biClrUsed) return FALSE;
        const auto* table = reinterpret_cast<const RGBQUAD*>(
            reinterpret_cast<const uint8_t*>(imageDIB) + imageDIB->biSize);
        r = table[index].rgbRed;
        g = table[index].rgbGreen;
        b = table[index].rgbBlue;
    } else if (bitsPerPixel == 16 ||
               (bitsPerPixel == 32 && imageDIB->biCompression == BI_BITFIELDS)) {
        uint32_t value = 0;
        std::memcpy(&value, pixel, size_t(bitsPerPixel / 8));
        uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (imageDIB->biCompression == BI_BITFIELDS) {
            std::memcpy(masks, reinterpret_cast<const uint8_t*>(imageDIB) + imageDIB->biSize,
                        sizeof masks);
        }
        r = FromMask(value, masks[0]);
        g = FromMask(value, masks[1]);
        b = FromMask(value, masks[2]);
    } else {
        b = pixel[0];
        g = pixel[1];
        r = pixel[2];
    }
    if (red) *red = r;
    if (green) *green = g;
    if (blue) *blue = b;
    return TRUE;
}

int32_t CImageImpl::NearestTableIndex(int32_t red, int32_t green, int32_t blue) const {
    const auto* table = reinterpret_cast<const RGBQUAD*>(
        reinterpret_cast<const uint8_t*>(imageDIB) + imageDIB->biSize);
    int32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (uint32_t i = 0; i < imageDIB->biClrUsed && i < uint32_t(kMaxPaletteEntries); ++i) {
        const int64_t dr = int64_t(table[i].rgbRed) - BYTE(red);
        const int64_t dg = int64_t(table[i].rgbGreen) - BYTE(green);
        const int64_t db = int64_t(table[i].rgbBlue) - BYTE(blue);
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int32_t(i);
        }
    }
    return best;
}

BOOL CImageImpl::SetPixelRGB(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) {
    if (!IsInside(x, y) || !imageBits) return FALSE;
    if (colorType & kColorTypePalette) {
        if (!imagePalette) return FALSE;
        SetPixelIndex(x, y, int32_t(imagePalette->GetNearestIndex(red, green, blue)));
        return TRUE;
    }
    BYTE* pixel = PixelAddress(x, y);
    if (bitsPerPixel <= 8) {
        // No palette bit: the table is in colour form, so pick from it.
        SetPixelIndex(x, y, NearestTableIndex(red, green, blue));
    } else if (bitsPerPixel == 16 ||
               (bitsPerPixel == 32 && imageDIB->biCompression == BI_BITFIELDS)) {
        uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (imageDIB->biCompression == BI_BITFIELDS) {
            std::memcpy(masks, reinterpret_cast<const uint8_t*>(imageDIB) + imageDIB->biSize,
                        sizeof masks);
        }
        const uint32_t value =
            ToMask(red, masks[0]) | ToMask(green, masks[1]) | ToMask(blue, masks[2]);
        std::memcpy(pixel, &value, size_t(bitsPerPixel / 8));
    } else {
        pixel[0] = BYTE(blue);
        pixel[1] = BYTE(green);
        pixel[2] = BYTE(red);
    }
    return TRUE;
}
