// GIF reading (87a and 89a) into an 8-bit image with a palette, and writing of a single-image
// GIF87a file with a 256-entry global colour table. The LZW coding lives in LzwDecoder and
// LzwEncoder; this file parses and writes the blocks around it. All state is per call or per
// object, so two images can be read or written on two threads at once.
#include "codecs/GifImpl.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/LzwDecoder.h"
#include "codecs/LzwEncoder.h"
#include "platform/FileIO.h"
#include "platform/MessageSink.h"

namespace {

constexpr size_t kChunkSize = 16384;
constexpr size_t kHeaderBytes = 13;
constexpr size_t kDescriptorBytes = 9;
constexpr int32_t kMaxColors = 256;
constexpr int32_t kMaxGifDimension = 0xFFFF;  // sizes are 16-bit words in the file

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kTrailer = 0x3B;

uint16_t Word(const uint8_t* bytes) {
    return uint16_t(bytes[0] | (bytes[1] << 8));
}

// Every byte of the file goes through one chunk buffer, headers included, so the block loop
// resumes exactly where an image's data ended.
class CGifByteReader : public CLzwByteSource {
public:
    explicit CGifByteReader(FILE* input) : file(input) {}

    int32_t GetGifByte() override {
        if (position >= filled && !Refill()) {
            return -1;
        }
        return chunk[position++];
    }

    int32_t GetGifBytes(uint8_t* out, int32_t count) override {
        const size_t got = Read(out, size_t(count));
        return got == size_t(count) ? count : -1;
    }

    // Reads up to count bytes; the number read.
    size_t Read(uint8_t* out, size_t count) {
        size_t done = 0;
        while (done < count) {
            if (position >= filled && !Refill()) {
                break;
            }
            const size_t n = std::min(count - done, filled - position);
            std::memcpy(out + done, chunk + position, n);
            position += n;
            done += n;
        }
        return done;
    }

    void Skip(size_t count) {
        while (count > 0) {
            if (position >= filled && !Refill()) {
                return;
            }
            const size_t n = std::min(count, filled - position);
            position += n;
            count -= n;
        }
    }

private:
    bool Refill() {
        filled = std::fread(chunk, 1, kChunkSize, file);
        position = 0;
        return filled > 0;
    }

    FILE* file;
    size_t position = 0;
    size_t filled = 0;
    uint8_t chunk[kChunkSize];
};

// Stores decoded lines straight into the image's rows, top picture row first, in plain or
// interlaced order.
class CGifLineWriter : public CLzwLineSink {
public:
    CGifLineWriter(CImageImpl& target, bool interlace)
        : image(target), interlaced(interlace), rowIndex(target.imageHeight - 1) {}

    int32_t PutGifLine(const uint8_t* bytes, int32_t count) override {
        const size_t n = size_t(std::clamp(count, 0, image.imageWidth));
        if (!interlaced) {
            if (!image.IsInside(0, rowIndex)) {
                return -1;
            }
            std::memcpy(image.MemoryRow(rowIndex), bytes, n);
            --rowIndex;
            return 0;
        }
        // Lines beyond the fourth pass have no row: stop like a plain image without rows.
        const int32_t height = image.imageHeight;
        if (pass >= 4 || line >= height) {
            return -1;
        }
        std::memcpy(image.PictureRow(line), bytes, n);
        line += step;
        while (line >= height) {
            if (pass > 0) {
                step /= 2;
            }
            if (++pass >= 4) {
                break;
            }
            line = step / 2;
        }
        return 0;
    }

private:
    CImageImpl& image;
    bool interlaced;
    int32_t rowIndex;  // plain: next memory row
    int32_t line = 0;  // interlaced: next picture row
    int32_t step = 8;
    int32_t pass = 0;
};

// The colour table as a palette. With a transparent index the palette has 256 entries, the
// transparent one black and at least one white, so that masked drawing finds pure black and
// pure white.
BOOL AttachGifPalette(CImageImpl& image, const uint8_t* colors, int32_t count) {
    BYTE red[kMaxColors] = {};
    BYTE green[kMaxColors] = {};
    BYTE blue[kMaxColors] = {};
    bool white = false;
    for (int32_t i = 0; i < count; ++i) {
        red[i] = colors[3 * i];
        green[i] = colors[3 * i + 1];
        blue[i] = colors[3 * i + 2];
        white = white || (red[i] == 255 && green[i] == 255 && blue[i] == 255);
    }
    if (image.transparentIndex == -1) {
        return image.CreatePalette(count, red, green, blue);
    }
    if (image.transparentIndex >= 0 && image.transparentIndex < kMaxColors) {
        red[image.transparentIndex] = green[image.transparentIndex] = 0;
        blue[image.transparentIndex] = 0;
    }
    if (count < kMaxColors) {
        std::fill(red + count, red + kMaxColors, BYTE(255));
        std::fill(green + count, green + kMaxColors, BYTE(255));
        std::fill(blue + count, blue + kMaxColors, BYTE(255));
        white = true;
    }
    if (!white) {
        red[kMaxColors - 1] = green[kMaxColors - 1] = blue[kMaxColors - 1] = 255;
    }
    return image.CreatePalette(kMaxColors, red, green, blue);
}

// Reads a colour table of 2^(n+1) entries; a short file leaves the missing entries as they
// were.
int32_t ReadColorTable(CGifByteReader& in, uint8_t packed, uint8_t* colors) {
    const int32_t count = 2 << (packed & 0x07);
    in.Read(colors, size_t(count) * 3);
    return count;
}

class CFileByteSink : public CLzwByteSink {
public:
    explicit CFileByteSink(FILE* output) : file(output) {}
    void WriteBytes(const uint8_t* bytes, size_t count) override {
        std::fwrite(bytes, 1, count, file);
    }
    bool Flush() override { return std::fflush(file) == 0 && !std::ferror(file); }

private:
    FILE* file;
};

class CGifPixelSource : public CLzwPixelSource {
public:
    explicit CGifPixelSource(CGifImpl& gif) : image(gif) {}
    int32_t NextPixel() override { return image.NextPixel(); }

    // The rest of the current row, straight from the pixel rows; the walk moves on as
    // NextPixel would move it.
    int32_t NextSpan(const uint8_t*& span, uint8_t*, int32_t) override {
        if (image.pixelsLeft <= 0) {
            return 0;
        }
        const int64_t stride = StrideOf(image.gifWidth, image.gifBits);
        const int32_t count = std::min(image.gifWidth - image.curX, image.pixelsLeft);
        span = image.pixelData + static_cast<ptrdiff_t>(image.curY) * stride + image.curX;
        image.pixelsLeft -= count;
        image.curX += count;
        if (image.curX == image.gifWidth) {
            image.curX = 0;
            --image.curY;
        }
        return count;
    }

private:
    CGifImpl& image;
};

void PutWord(int32_t value, FILE* file) {
    std::fputc(value & 0xFF, file);
    std::fputc((value >> 8) & 0xFF, file);
}

}  // namespace

BOOL CGifImpl::Read(const CString& path) {
    if (!path.empty()) {
        fileName = path;
    }
    CFileStream file(OpenFileForRead(fileName));
    if (!file) {
        return FALSE;
    }
    auto in = std::make_unique<CGifByteReader>(file.Get());

    uint8_t header[kHeaderBytes] = {};
    const size_t got = in->Read(header, kHeaderBytes);
    if (got < 4 || std::memcmp(header, "GIF8", 4) != 0) {
        return FALSE;
    }

    uint8_t colors[3 * kMaxColors] = {};
    int32_t tableSize = 0;
    bool haveTable = false;
    if (header[10] & 0x80) {
        tableSize = ReadColorTable(*in, header[10], colors);
        haveTable = true;
    }

    for (;;) {
        const int32_t introducer = in->GetGifByte();
        if (introducer == kExtensionIntroducer) {
            const int32_t label = in->GetGifByte();
            if (label < 0) {
                break;
            }
            if (label == kGraphicControlLabel) {
                const int32_t size = in->GetGifByte();
                if (size < 0) {
                    break;
                }
                uint8_t control[4] = {};
                if (in->Read(control, sizeof control) != size_t(size)) {
                    break;
                }
                if (control[0] & 0x01) {
                    transparentIndex = control[3];
                }
            }
            for (int32_t n = in->GetGifByte(); n > 0; n = in->GetGifByte()) {
                in->Skip(size_t(n));
            }
            continue;
        }
        if (introducer != kImageSeparator) {
            break;  // the trailer, the end of the file, or anything unknown
        }

        uint8_t descriptor[kDescriptorBytes] = {};
        if (in->Read(descriptor, kDescriptorBytes) != kDescriptorBytes) {
            break;
        }
        const int32_t width = Word(descriptor + 4);
        const int32_t height = Word(descriptor + 6);
        const uint8_t packed = descriptor[8];
        if (packed & 0x80) {
            tableSize = ReadColorTable(*in, packed, colors);
            haveTable = true;
        }
        // Every GIF image is 8 bits per pixel, whatever its table size. The screen size and
        // the image position are not used.
        Create(width, height, 8, -1);
        if (!imageDIB) {
            return FALSE;
        }
        if (haveTable) {
            AttachGifPalette(*this, colors, tableSize);
        }
        CGifLineWriter writer(*this, (packed & 0x40) != 0);
        auto decoder = std::make_unique<CLzwDecoder>(*in, writer);
        int32_t badCodes = 0;
        decoder->Decode(imageWidth, badCodes);
        // Later images of an animation would replace this one: the first image is the picture.
        break;
    }
    return TRUE;
}

BOOL CGifImpl::Write(const CString& path) {
    if (!path.empty()) {
        fileName = path;
    }
    gifWidth = imageWidth;
    gifHeight = imageHeight;
    gifBits = 8;
    if (bitsPerPixel > 8) {
        AfxMessageBox("GIF Images must be 8 bit or less");
        return FALSE;
    }
    // Nothing to write without pixels, and no GIF holds sizes above 16 bits.
    if (!imageBits || gifWidth > kMaxGifDimension || gifHeight > kMaxGifDimension) {
        return FALSE;
    }

    CFileStream file(CreateFileForWrite(fileName));
    if (!file) {
        AfxMessageBox("Can't open GIF for writing");
        return FALSE;
    }
    FILE* out = file.Get();

    curAccum = 0;  // the encoder keeps the live accumulator
    curBits = 0;
    curX = 0;
    curY = gifHeight - 1;
    const int32_t initCodeSize = gifBits;
    const int32_t colorCount = 1 << gifBits;

    std::fwrite("GIF87a", 1, 6, out);
    PutWord(gifWidth, out);
    PutWord(gifHeight, out);
    std::fputc(0x80 | ((gifBits - 1) << 5) | (gifBits - 1), out);
    std::fputc(0, out);  // background colour index
    std::fputc(0, out);  // aspect ratio

    // Working memory: the encoder's tables, the palette entries, and for images of 1, 2 or 4
    // bits a copy expanded to one byte per pixel (the pixel walk reads 8-bit rows).
    std::unique_ptr<CLzwEncoder> encoder(new (std::nothrow) CLzwEncoder);
    std::unique_ptr<BYTE[]> expanded;
    bool memoryOk = encoder != nullptr;
    const int64_t stride8 = StrideOf(gifWidth, 8);
    if (memoryOk && bitsPerPixel < 8) {
        const int64_t bytes = stride8 * gifHeight;
        memoryOk = bytes <= kMaxImageBytes;
        if (memoryOk) {
            expanded.reset(new (std::nothrow) BYTE[size_t(std::max<int64_t>(bytes, 1))]);
            memoryOk = expanded != nullptr;
        }
    }
    if (memoryOk) {
        try {
            paletteEntries.assign(size_t(3 * kMaxColors), PALETTEENTRY{0, 0, 0, 0});
        } catch (const std::bad_alloc&) {
            memoryOk = false;
        }
    }
    if (!memoryOk) {
        AfxMessageBox("Out of Memory in GIFWrite");
        return FALSE;
    }

    // Every block is within kMaxImageBytes, and so is an expanded copy: the count fits.
    pixelsLeft = gifWidth * gifHeight;
    pixelData = imageBits;
    if (expanded) {
        for (int32_t y = 0; y < gifHeight; ++y) {
            BYTE* row = expanded.get() + stride8 * y;
            for (int32_t x = 0; x < gifWidth; ++x) {
                row[x] = BYTE(GetPixelIndex(x, y));
            }
        }
        pixelData = expanded.get();
    }

    // Colours from the palette, or, for an image without one, from the block's colour table
    // (which is in colour form whenever no palette is attached). Entries the image lacks are
    // written black.
    if (imagePalette && imagePalette->GetSafeHandle()) {
        const int32_t count = std::min(imagePalette->GetEntryCount(), colorCount);
        GetPaletteEntries(imagePalette->GetSafeHandle(), 0, UINT(count), paletteEntries.data());
    } else if (!imagePalette) {
        const int32_t count = std::min(ColorCountOf(imageDIB), colorCount);
        const auto* table = reinterpret_cast<const RGBQUAD*>(
            reinterpret_cast<const BYTE*>(imageDIB) + imageDIB->biSize);
        for (int32_t i = 0; i < count && imageDIB->biCompression != BI_BITFIELDS; ++i) {
            paletteEntries[size_t(i)] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
        }
    }
    for (int32_t i = 0; i < colorCount; ++i) {
        const PALETTEENTRY& e = paletteEntries[size_t(i)];
        const BYTE rgb[3] = {e.peRed, e.peGreen, e.peBlue};
        std::fwrite(rgb, 1, 3, out);
    }

    std::fputc(kImageSeparator, out);
    PutWord(0, out);
    PutWord(0, out);
    PutWord(gifWidth, out);
    PutWord(gifHeight, out);
    std::fputc(0, out);  // no local table, not interlaced

    std::fputc(initCodeSize, out);
    CGifPixelSource pixels(*this);
    CFileByteSink sink(out);
    if (!encoder->Compress(initCodeSize + 1, pixels, sink)) {
        AfxMessageBox("Write Error in GIF file");
    }

    std::fputc(0, out);
    std::fputc(kTrailer, out);
    pixelData = nullptr;
    return TRUE;
}

int32_t CGifImpl::NextPixel() {
    if (pixelsLeft == 0) return -1;
    --pixelsLeft;
    // Rows of an 8-bit image, whatever the depth: deeper images are refused before this, and
    // shallower ones are expanded to a copy of 8-bit rows.
    const int64_t stride = StrideOf(gifWidth, gifBits);
    const int32_t pixel = pixelData[static_cast<ptrdiff_t>(curY) * stride + curX];
    BumpPixel();
    return pixel;
}

void CGifImpl::BumpPixel() {
    if (++curX == gifWidth) {
        curX = 0;
        --curY;
    }
}
