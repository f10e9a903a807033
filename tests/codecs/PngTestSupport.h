// PNG files for the tests, written and read back by libpng itself.
#pragma once

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace pngtest {

// What to write: rows top first, packed as the file stores them (16-bit samples big-endian).
struct PngPicture {
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_color> palette;
    std::vector<uint8_t> trns;  // palette alpha
};

namespace detail {
inline bool Write(png_structp png, png_infop info, FILE* file, const PngPicture* picture) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(picture->width), png_uint_32(picture->height),
                 picture->bitDepth, picture->colorType,
                 picture->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!picture->palette.empty()) {
        png_set_PLTE(png, info, picture->palette.data(), int(picture->palette.size()));
    }
    if (!picture->trns.empty()) {
        png_set_tRNS(png, info, picture->trns.data(), int(picture->trns.size()), nullptr);
    }
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (const auto& row : picture->rows) png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}
}  // namespace detail

inline bool WritePng(const std::string& path, const PngPicture& picture) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = detail::Write(png, info, file, &picture);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

// A file decoded by libpng's simplified reader to 8-bit RGB, top row first.
struct Decoded {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    // Red, green, blue of (x, y), y from the top.
    std::vector<uint8_t> At(int x, int y) const {
        const auto* p = &rgb[size_t(3 * (y * width + x))];
        return {p[0], p[1], p[2]};
    }
};

inline Decoded DecodeRgb(const std::string& path) {
    Decoded out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGB;
    out.width = int(image.width);
    out.height = int(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    out.ok = png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return out;
}

// Fields of the IHDR chunk and the PLTE length, straight from the file's bytes.
struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colorType = -1;
    int interlace = -1;
    int paletteBytes = -1;  // -1 without a PLTE chunk
};

inline uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
           uint32_t(b[at + 3]);
}

inline Header ReadHeader(const std::string& path) {
    Header h;
    const auto b = ReadAll(path);
    if (b.size() < 33) return h;
    h.width = Be32(b, 16);
    h.height = Be32(b, 20);
    h.bitDepth = b[24];
    h.colorType = b[25];
    h.interlace = b[28];
    for (size_t at = 8; at + 8 <= b.size();) {
        const uint32_t length = Be32(b, at);
        if (std::string(b.begin() + ptrdiff_t(at + 4), b.begin() + ptrdiff_t(at + 8)) == "PLTE") {
            h.paletteBytes = int(length);
        }
        at += 12 + size_t(length);
    }
    return h;
}

// Recomputes the CRC of the chunk starting at `at` (its length field), after an edit.
inline void FixCrc(std::vector<uint8_t>& b, size_t at) {
    const uint32_t length = Be32(b, at);
    const uint32_t crc = uint32_t(crc32(0, b.data() + at + 4, uInt(length + 4)));
    for (int i = 0; i < 4; ++i) b[at + 8 + length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
}

}  // namespace pngtest
