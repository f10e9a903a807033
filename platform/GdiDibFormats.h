// Run-length coded DIB rows (BI_RLE8, BI_RLE4), shared by the blits and the BMP reader.
//
// The data is a run of byte pairs: (count, value) repeats value count times (for 4 bits the
// two nibbles of value alternate, high first); (0, 0) ends a row, (0, 1) ends the picture,
// (0, 2, dx, dy) moves the position, (0, n) with n >= 3 is followed by n literal pixels
// padded to an even byte count. Row 0 is the bottom row of the picture.
#pragma once

#include <cstddef>
#include <cstdint>

// Calls put(x, row, index) for each pixel the data sets inside width x height; pixels past
// the right edge or above the last row are dropped, as GDI clips them. Pixels the data skips
// (end of row, delta) are not reported. Returns true when the end-of-picture mark is reached
// or the rows are used up, false when the data ends first. Never reads past size bytes.
template <class Put>
bool DecodeDibRle(const uint8_t* data, size_t size, bool fourBit, int32_t width, int32_t height,
                  Put&& put) {
    size_t at = 0;
    int64_t x = 0;
    int64_t row = 0;
    const auto emit = [&](uint8_t index) {
        if (x < width && row < height) put(int32_t(x), int32_t(row), index);
        ++x;
    };
    while (row < height) {
        if (size - at < 2) return false;
        const uint8_t count = data[at];
        const uint8_t value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (int32_t k = 0; k < count; ++k) {
                emit(fourBit ? uint8_t((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
            }
            continue;
        }
        if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (size - at < 2) return false;
            x += data[at];
            row += data[at + 1];
            at += 2;
        } else {
            const size_t bytes = fourBit ? (size_t(value) + 1) / 2 : size_t(value);
            if (size - at < bytes) return false;
            for (int32_t k = 0; k < value; ++k) {
                const uint8_t byte = data[at + (fourBit ? size_t(k) / 2 : size_t(k))];
                emit(fourBit ? uint8_t((k & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
            }
            // Literal runs are padded to a 16-bit boundary; a missing pad byte at the very
            // end is forgiven.
            const size_t padded = (bytes + 1) & ~size_t(1);
            at += padded <= size - at ? padded : size - at;
        }
    }
    return true;
}
