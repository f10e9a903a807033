// Building BMP files byte by byte for the DIB and BMP tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace dibtest {

// Little-endian bytes appended field by field.
class Bytes {
public:
    Bytes& U8(uint32_t v) {
        data.push_back(uint8_t(v));
        return *this;
    }
    Bytes& U16(uint32_t v) { return U8(v).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v).U16(v >> 16); }
    Bytes& I32(int32_t v) { return U32(uint32_t(v)); }
    Bytes& Append(const std::vector<uint8_t>& more) {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    Bytes& Fill(size_t count, uint8_t value) {
        data.insert(data.end(), count, value);
        return *this;
    }
    std::vector<uint8_t> data;
};

inline Bytes FileHeader(uint32_t fileSize, uint32_t offBits) {
    return Bytes().U8('B').U8('M').U32(fileSize).U16(0).U16(0).U32(offBits);
}

inline Bytes InfoHeader(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
                        uint32_t sizeImage, uint32_t clrUsed) {
    return Bytes()
        .U32(40)
        .I32(width)
        .I32(height)
        .U16(1)
        .U16(bits)
        .U32(compression)
        .U32(sizeImage)
        .I32(2835)
        .I32(2835)
        .U32(clrUsed)
        .U32(0);
}

inline int32_t Stride(int32_t width, int32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// A whole file: file header (bfOffBits right after the table), info header, table, rows.
inline std::vector<uint8_t> BmpFile(const Bytes& info, const std::vector<uint8_t>& table,
                                    const std::vector<uint8_t>& rows) {
    const uint32_t offBits = uint32_t(14 + info.data.size() + table.size());
    return FileHeader(uint32_t(offBits + rows.size()), offBits)
        .Append(info.data)
        .Append(table)
        .Append(rows)
        .data;
}

// Table entries blue, green, red, 0 where entry i is (i, 255 - i, i / 2) as red, green, blue.
inline std::vector<uint8_t> RampTable(int count) {
    Bytes table;
    for (int i = 0; i < count; ++i) table.U8(i / 2).U8(255 - i).U8(i).U8(0);
    return table.data;
}

inline std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempPath(name);
    WriteAll(path, bytes);
    return path;
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

}  // namespace dibtest
