// Saving a device's surface as a PNG file (libpng's simplified writer).
#include <png.h>

#include <vector>

#include "platform/Gdi.h"

BOOL CDC::SavePng(const CString& path) const {
    if (!m_pixels || path.empty()) return FALSE;
    // Repacked as RGB bytes: the surface's spare byte is not an alpha channel.
    std::vector<uint8_t> rgb(size_t(m_width) * size_t(m_height) * 3);
    uint8_t* out = rgb.data();
    for (int32_t y = 0; y < m_height; ++y) {
        const uint32_t* row = Row(y);
        for (int32_t x = 0; x < m_width; ++x) {
            *out++ = uint8_t(row[x] >> 16);
            *out++ = uint8_t(row[x] >> 8);
            *out++ = uint8_t(row[x]);
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(m_width);
    image.height = png_uint_32(m_height);
    image.format = PNG_FORMAT_RGB;
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
    png_image_free(&image);
    return ok ? TRUE : FALSE;
}
