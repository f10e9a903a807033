// Helpers for the GIF tests: files in the test directory, hand-made GIF byte streams, the
// message sink as a list, and the picture rows and palette of an image.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestTmp.h"
#include "codecs/LzwEncoder.h"
#include "image/ImageFormats.h"
#include "platform/MessageSink.h"
#include "tests/codecs/LzwTestSupport.h"
#include "tests/support/TestFiles.h"

namespace giftest {

using lzwtest::Bytes;

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    ASSERT_TRUE(WriteAll(path, bytes)) << path;
}

inline Bytes ReadFile(const std::string& path) {
    Bytes bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return bytes;
    }
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) {
        bytes.push_back(uint8_t(c));
    }
    std::fclose(f);
    return bytes;
}

// Collects message-box texts while it lives.
class MessageRecorder {
public:
    MessageRecorder() {
        previous = SetMessageSink([this](const CString& text) { texts.push_back(text); });
    }
    ~MessageRecorder() { SetMessageSink(previous); }
    std::vector<CString> texts;

private:
    MessageSink previous;
};

// Builds a GIF file block by block.
class GifBuilder {
public:
    GifBuilder& Header(const char* version, int32_t width, int32_t height, uint8_t packed) {
        Append(version);
        Word(width);
        Word(height);
        bytes.push_back(packed);
        bytes.push_back(0);  // background colour index
        bytes.push_back(0);  // aspect ratio
        return *this;
    }
    // count entries; entry i is (r(i), g(i), b(i)).
    template <typename F>
    GifBuilder& Table(int32_t count, F colour) {
        for (int32_t i = 0; i < count; ++i) {
            const std::array<uint8_t, 3> c = colour(i);
            bytes.insert(bytes.end(), c.begin(), c.end());
        }
        return *this;
    }
    GifBuilder& Control(uint8_t packed, uint8_t transparent) {
        bytes.insert(bytes.end(), {0x21, 0xF9, 0x04, packed, 0x00, 0x00, transparent, 0x00});
        return *this;
    }
    GifBuilder& Descriptor(int32_t width, int32_t height, uint8_t packed) {
        bytes.push_back(0x2C);
        Word(0);
        Word(0);
        Word(width);
        Word(height);
        bytes.push_back(packed);
        return *this;
    }
    // The code size byte, the pixels encoded in sub-blocks, and the empty sub-block.
    GifBuilder& Data(int32_t minCodeSize, const Bytes& pixels) {
        auto encoder = std::make_unique<CLzwEncoder>();
        lzwtest::VectorPixels source(pixels);
        lzwtest::VectorSink sink;
        encoder->Compress(minCodeSize + 1, source, sink);
        bytes.push_back(uint8_t(minCodeSize));
        bytes.insert(bytes.end(), sink.data.begin(), sink.data.end());
        bytes.push_back(0);
        return *this;
    }
    GifBuilder& Raw(const Bytes& raw) {
        bytes.insert(bytes.end(), raw.begin(), raw.end());
        return *this;
    }
    GifBuilder& Trailer() {
        bytes.push_back(0x3B);
        return *this;
    }
    Bytes bytes;

private:
    void Append(const char* text) {
        for (; *text; ++text) {
            bytes.push_back(uint8_t(*text));
        }
    }
    void Word(int32_t v) {
        bytes.push_back(uint8_t(v & 0xFF));
        bytes.push_back(uint8_t((v >> 8) & 0xFF));
    }
};

inline std::array<uint8_t, 3> Grey(int32_t i) {
    return {uint8_t(i), uint8_t(i), uint8_t(i)};
}

// Picture rows, top first, imageWidth bytes each.
inline std::vector<Bytes> Rows(const CImageImpl& image) {
    std::vector<Bytes> rows;
    for (int32_t r = 0; r < image.imageHeight; ++r) {
        const BYTE* row = image.PictureRow(r);
        rows.emplace_back(row, row + image.imageWidth);
    }
    return rows;
}

using Rgb = std::array<uint8_t, 3>;

inline std::vector<Rgb> PaletteOf(const CImageImpl& image) {
    std::vector<Rgb> entries;
    if (!image.imagePalette) {
        return entries;
    }
    for (int32_t i = 0; i < image.imagePalette->GetEntryCount(); ++i) {
        Rgb e{};
        image.imagePalette->GetEntryRGB(i, &e[0], &e[1], &e[2]);
        entries.push_back(e);
    }
    return entries;
}

// width x height pixels, row r (from the top) holding value(r, x).
template <typename F>
Bytes Pixels(int32_t width, int32_t height, F value) {
    Bytes p;
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t x = 0; x < width; ++x) {
            p.push_back(uint8_t(value(r, x)));
        }
    }
    return p;
}

}  // namespace giftest
