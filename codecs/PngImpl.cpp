// PNG reading and writing through libpng.
//
// libpng reports a fatal error by printing "libpng error: ..." on standard error and jumping
// back to the recovery point. The functions that call setjmp hold only trivially destructible
// locals (library pointers, integers); the library structs and the file belong to their
// callers, whose destructors release them on every path, the jumps included.
#include "codecs/PngImpl.h"

#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include "platform/FileIO.h"

namespace {

// Pixels with alpha are composed over this colour.
constexpr png_color_16 kBackground = {0, 31, 127, 255, 0};  // index, red, green, blue, gray
// The device draws nothing larger; a larger header is taken for a damaged one.
constexpr png_uint_32 kMaxPngDimension = png_uint_32(kMaxDibDimension);

static_assert(sizeof(png_color) == 3, "palette entries are handed over as RGB triples");

// Default message handlers: errors and warnings go to standard error, as the library prints
// them.
class ReadStructs {
public:
    ReadStructs() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (png) info = png_create_info_struct(png);
    }
    ~ReadStructs() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    ReadStructs(const ReadStructs&) = delete;
    ReadStructs& operator=(const ReadStructs&) = delete;
    bool Ok() const { return png && info; }

    png_structp png = nullptr;
    png_infop info = nullptr;
};

class WriteStructs {
public:
    WriteStructs() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (png) info = png_create_info_struct(png);
    }
    ~WriteStructs() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    WriteStructs(const WriteStructs&) = delete;
    WriteStructs& operator=(const WriteStructs&) = delete;
    bool Ok() const { return png && info; }

    png_structp png = nullptr;
    png_infop info = nullptr;
};

// What the transformed rows look like.
struct RowLayout {
    png_uint_32 width;
    png_uint_32 height;
    int32_t fileColorType;
    int32_t depth;  // bits per pixel of a transformed row
    png_size_t rowBytes;
    int32_t passes;  // 7 for an interlaced file
};

// Reads the header and sets the transformations; false on a library error.
bool ReadHeader(png_structp png, png_infop info, FILE* file, RowLayout* layout) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_user_limits(png, kMaxPngDimension, kMaxPngDimension);
    png_read_info(png, info);
    const int fileType = png_get_color_type(png, info);
    const int fileDepth = png_get_bit_depth(png, info);

    // With 16 bits stripped to 8, libpng scales the 8-bit colour up itself.
    png_color_16 background = kBackground;
    png_set_background(png, &background, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    if (fileDepth == 16) png_set_strip_16(png);
    // Two bits per pixel has no DIB form: grey widens to 8-bit samples, indices to bytes.
    if (fileDepth == 2) {
        if (fileType == PNG_COLOR_TYPE_GRAY) {
            png_set_expand_gray_1_2_4_to_8(png);
        } else {
            png_set_packing(png);
        }
    }
    if ((fileType & PNG_COLOR_MASK_COLOR) && !(fileType & PNG_COLOR_MASK_PALETTE)) {
        png_set_bgr(png);  // the image keeps blue, green, red
    }
    layout->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    layout->fileColorType = fileType;
    layout->depth = int32_t(png_get_channels(png, info)) * int32_t(png_get_bit_depth(png, info));
    layout->rowBytes = png_get_rowbytes(png, info);
    return true;
}

// Reads every pass straight into the image rows: libpng merges each interlace pass into
// the pixels already there. False on a library error, with the rows read so far kept.
bool ReadRows(png_structp png, png_infop info, CPngImpl& image, int32_t passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int pass = 0; pass < passes; ++pass) {
        for (int32_t row = 0; row < image.imageHeight; ++row) {
            png_read_row(png, image.PictureRow(row), nullptr);
        }
    }
    png_read_end(png, info);
    return true;
}

// Gives a paletteless image of 8 bits or fewer a grey ramp in colour form, so that drawing
// and GetPixelRGB see grey.
void FillGrayTable(CPngImpl& image) {
    if (image.bitsPerPixel > 8 || !image.imageDIB) return;
    const int32_t count = 1 << image.bitsPerPixel;
    auto* table = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(image.imageDIB) +
                                             image.imageDIB->biSize);
    for (int32_t i = 0; i < count && uint32_t(i) < image.imageDIB->biClrUsed; ++i) {
        const BYTE level = BYTE(i * 255 / (count - 1));
        table[i] = RGBQUAD{level, level, level, 0};
    }
}

struct WriteLayout {
    int32_t colorType;
    int32_t bitDepth;
    const png_color* palette;
    int32_t paletteCount;
};

bool WriteRows(png_structp png, png_infop info, FILE* file, CPngImpl& image,
               const WriteLayout* layout) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(image.imageWidth), png_uint_32(image.imageHeight),
                 layout->bitDepth, layout->colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (layout->paletteCount > 0) png_set_PLTE(png, info, layout->palette, layout->paletteCount);
    png_write_info(png, info);
    if (layout->colorType == PNG_COLOR_TYPE_RGB) png_set_bgr(png);
    for (int32_t row = 0; row < image.imageHeight; ++row) {
        png_write_row(png, image.PictureRow(row));
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

BOOL CPngImpl::Read(const CString& path) {
    if (!path.empty()) fileName = path;
    CFileStream file(OpenFileForRead(fileName));
    if (!file.Get()) return FALSE;
    ReadStructs structs;
    if (!structs.Ok()) return FALSE;

    RowLayout layout{};
    if (!ReadHeader(structs.png, structs.info, file.Get(), &layout)) return FALSE;
    const int32_t depth = layout.depth >= 24 ? 24 : layout.depth;
    // Transformed rows hold one of the DIB depths; anything else would not fit the image.
    if (layout.depth > 24 || !(depth == 1 || depth == 4 || depth == 8 || depth == 24)) {
        return FALSE;
    }
    if (Create(int32_t(layout.width), int32_t(layout.height), depth, layout.fileColorType) == 0 ||
        layout.rowBytes > png_size_t(bytesPerLine)) {
        return FALSE;
    }
    if (layout.fileColorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(structs.png, structs.info, &palette, &count) && count > 0) {
            CreatePaletteFromRGB(count, reinterpret_cast<const BYTE*>(palette));
        }
    } else if (!(layout.fileColorType & PNG_COLOR_MASK_COLOR)) {
        FillGrayTable(*this);
    }
    return ReadRows(structs.png, structs.info, *this, layout.passes) ? TRUE : FALSE;
}

BOOL CPngImpl::Write(const CString& path) {
    if (!path.empty()) fileName = path;
    // The file's type follows the pixels: alpha is never written (the rows carry none), and
    // indices without a palette to name their colours are written as grey levels.
    WriteLayout layout{};
    std::array<png_color, 256> palette{};
    switch (bitsPerPixel) {
        case 1:
        case 2:
        case 4:
        case 8:
            layout.bitDepth = bitsPerPixel;
            layout.colorType = PNG_COLOR_TYPE_GRAY;
            break;
        case 24:
            layout.bitDepth = 8;
            layout.colorType = PNG_COLOR_TYPE_RGB;
            break;
        default:
            return FALSE;
    }
    if (!imageBits || imageWidth <= 0 || imageHeight <= 0) return FALSE;

    CFileStream file(CreateFileForWrite(fileName));
    if (!file.Get()) return FALSE;
    WriteStructs structs;
    if (!structs.Ok()) return FALSE;

    if (bitsPerPixel <= 8 && (colorType & kColorTypePalette) && imagePalette) {
        std::printf("writig paleta[%d %d %x]", colorType, 1,
                    static_cast<unsigned>(reinterpret_cast<uintptr_t>(imagePalette.get())));
        std::fflush(stdout);
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        // A PNG palette may not hold more entries than the depth can index.
        layout.paletteCount = 1 << bitsPerPixel;
        for (int32_t i = 0; i < layout.paletteCount; ++i) {
            // Entries the palette lacks stay black.
            imagePalette->GetEntryRGB(i, &palette[size_t(i)].red, &palette[size_t(i)].green,
                                      &palette[size_t(i)].blue);
        }
        layout.palette = palette.data();
    }
    if (!WriteRows(structs.png, structs.info, file.Get(), *this, &layout)) return FALSE;
    return file.Close() ? TRUE : FALSE;
}
