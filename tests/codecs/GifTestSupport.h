// Helpers for the GIF tests: files in the test directory, hand-made GIF byte streams, the
// message sink as a list, the picture rows and palette of an image, and animations written
// and composed again.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "codecs/GifAnimation.h"
#include "codecs/LzwEncoder.h"
#include "image/Image.h"
#include "image/ImageFormats.h"
#include "platform/MessageSink.h"
#include "tests/codecs/LzwTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace giftest {

using lzwtest::Bytes;

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    ASSERT_TRUE(WriteAll(path, bytes)) << path;
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
    GifBuilder& Control(uint8_t packed, uint8_t transparent, int32_t delayCs = 0) {
        bytes.insert(bytes.end(), {0x21, 0xF9, 0x04, packed, uint8_t(delayCs & 0xFF),
                                   uint8_t(delayCs >> 8), transparent, 0x00});
        return *this;
    }
    // The loop extension with its count.
    GifBuilder& Loop(int32_t count) {
        bytes.insert(bytes.end(), {0x21, 0xFF, 0x0B});
        Append("NETSCAPE2.0");
        bytes.insert(bytes.end(), {0x03, 0x01, uint8_t(count & 0xFF), uint8_t(count >> 8), 0x00});
        return *this;
    }
    GifBuilder& Descriptor(int32_t width, int32_t height, uint8_t packed) {
        return Descriptor(0, 0, width, height, packed);
    }
    GifBuilder& Descriptor(int32_t left, int32_t top, int32_t width, int32_t height,
                           uint8_t packed) {
        bytes.push_back(0x2C);
        Word(left);
        Word(top);
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

// ---- Animations ----------------------------------------------------------------------------

using Colours = std::vector<uint32_t>;  // 0x00RRGGBB

// An 8-bit picture with the palette colours, pixel (x, r) (r from the top) index(x, r).
template <typename F>
std::unique_ptr<CImage> MakePicture(int32_t width, int32_t height, const Colours& colours,
                                    F index) {
    auto image = std::make_unique<CImage>();
    EXPECT_GT(image->Create(width, height, 8, -1), 0);
    std::vector<BYTE> r, g, b;
    for (uint32_t c : colours) {
        r.push_back(BYTE(c >> 16));
        g.push_back(BYTE(c >> 8));
        b.push_back(BYTE(c));
    }
    image->CreatePalette(int32_t(colours.size()), r.data(), g.data(), b.data());
    for (int32_t y = 0; y < height; ++y) {
        BYTE* row = image->GetImpl()->PictureRow(y);
        for (int32_t x = 0; x < width; ++x) row[x] = BYTE(index(x, y));
    }
    return image;
}

// The colours of a picture, top row first, with the opaque alpha a composed screen has.
inline Colours ShownColours(CImage& image) {
    Colours out;
    CImageImpl* impl = image.GetImpl();
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            BYTE r = 0, g = 0, b = 0;
            impl->GetPixelRGB(x, impl->MemoryRowOf(y), &r, &g, &b);
            out.push_back(0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b);
        }
    }
    return out;
}

using Pictures = std::vector<std::unique_ptr<CImage>>;

// Writes the pictures as an animation, each frame copied from its picture by the maker.
inline CGifWriteResult WriteAnimation(const std::string& path, const Pictures& pictures,
                                      const std::vector<int32_t>& delays,
                                      const CGifWriteOptions& options = {}) {
    return WriteGifAnimation(
        path, delays,
        [&](int32_t index, CImage& picture) {
            return picture.CopyFrom(*pictures[size_t(index)]) != FALSE;
        },
        options);
}

inline CGifWriteResult WriteAnimation(const std::string& path, const Pictures& pictures,
                                      int32_t delayMs = 100, const CGifWriteOptions& options = {}) {
    return WriteAnimation(path, pictures, std::vector<int32_t>(pictures.size(), delayMs), options);
}

// Every frame of the file as our reader composes it.
inline std::vector<Colours> ComposedByUs(const std::string& path, CGifAnimation* animation) {
    EXPECT_EQ(ReadGifAnimation(path, animation), GifReadStatus::Ok) << path;
    std::vector<Colours> shown;
    CGifScreen screen(*animation);
    while (screen.Next()) shown.push_back(screen.Pixels());
    return shown;
}

}  // namespace giftest
