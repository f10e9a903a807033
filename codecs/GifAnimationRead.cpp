// Reading every frame of an animated GIF, and composing them as a viewer shows them.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/GifAnimation.h"
#include "codecs/LzwDecoder.h"
#include "platform/FileIO.h"

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr int32_t kMinCodeSize = 2;
constexpr int32_t kMaxCodeSize = 8;
// A file is read whole; nothing larger can hold frames the limits would keep anyway.
constexpr size_t kMaxFileBytes = size_t(kMaxImageBytes) * 2;

uint16_t Word(const uint8_t* bytes) {
    return uint16_t(bytes[0] | (bytes[1] << 8));
}

// The file's bytes, for the block parsing and the decoder alike. Reading past the end gives
// -1 and is remembered, so the parser can tell a truncated file from a bad one.
class CMemoryBytes : public CLzwByteSource {
public:
    CMemoryBytes(const uint8_t* bytes, size_t size) : data(bytes), length(size) {}

    int32_t GetGifByte() override {
        if (position >= length) {
            ended = true;
            return -1;
        }
        return data[position++];
    }
    int32_t GetGifBytes(uint8_t* out, int32_t count) override {
        return Read(out, size_t(count)) ? count : -1;
    }
    // All count bytes, or false (having taken what there was) at the end.
    bool Read(uint8_t* out, size_t count) {
        if (length - position < count) {
            position = length;
            ended = true;
            return false;
        }
        std::memcpy(out, data + position, count);
        position += count;
        return true;
    }
    // Past a run of sub-blocks and its empty terminator; false at the end of the file.
    bool SkipSubBlocks() {
        for (;;) {
            const int32_t n = GetGifByte();
            if (n < 0) return false;
            if (n == 0) return true;
            if (length - position < size_t(n)) {
                position = length;
                ended = true;
                return false;
            }
            position += size_t(n);
        }
    }
    int32_t Peek() const { return position < length ? data[position] : -1; }
    bool Ended() const { return ended; }

private:
    const uint8_t* data;
    size_t length;
    size_t position = 0;
    bool ended = false;
};

// Decoded lines into a frame's indices, deinterlaced. Lines past the last row stop the
// decoder; a short last line is not a row.
class CFrameLines : public CLzwLineSink {
public:
    void Start(CGifFrame& target) {
        frame = &target;
        rows = line = pass = 0;
        step = 8;
    }

    int32_t PutGifLine(const uint8_t* bytes, int32_t count) override {
        if (count < frame->width) return 0;
        if (rows >= frame->height) return -1;
        int32_t row = rows;
        if (frame->interlaced) {
            row = line;
            line += step;
            // The four passes start at rows 0, 4, 2 and 1, every 8, 8, 4 and 2 rows.
            while (line >= frame->height && pass < 3) {
                ++pass;
                static constexpr int32_t kStart[4] = {0, 4, 2, 1};
                static constexpr int32_t kStep[4] = {8, 8, 4, 2};
                line = kStart[pass];
                step = kStep[pass];
            }
        }
        std::memcpy(frame->indices.data() + size_t(row) * size_t(frame->width), bytes,
                    size_t(frame->width));
        ++rows;
        return 0;
    }
    bool Complete() const { return rows >= frame->height; }

private:
    CGifFrame* frame = nullptr;
    int32_t rows = 0;
    int32_t line = 0;
    int32_t step = 8;
    int32_t pass = 0;
};

bool ReadTable(CMemoryBytes& in, uint8_t packed, std::vector<uint32_t>* colors) {
    const size_t count = size_t(2) << (packed & 0x07);
    uint8_t rgb[3 * 256];
    if (!in.Read(rgb, 3 * count)) return false;
    colors->resize(count);
    for (size_t i = 0; i < count; ++i) {
        (*colors)[i] = uint32_t(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
    }
    return true;
}

struct CPendingControl {
    bool present = false;
    int32_t delayCs = 0;
    int32_t disposal = 0;
    int32_t transparent = -1;
};

// An extension after its introducer. False at the end of the file.
bool ReadExtension(CMemoryBytes& in, CGifAnimation& animation, CPendingControl& control) {
    const int32_t label = in.GetGifByte();
    if (label < 0) return false;
    int32_t size = in.GetGifByte();
    if (size < 0) return false;
    uint8_t block[255];
    if (!in.Read(block, size_t(size))) return false;
    if (label == kGraphicControlLabel && size >= 4) {
        control.present = true;
        control.disposal = (block[0] >> 2) & 0x07;
        control.delayCs = Word(block + 1);
        control.transparent = (block[0] & 0x01) ? block[3] : -1;
    }
    const bool looping =
        label == kApplicationLabel && size == 11 &&
        (std::memcmp(block, "NETSCAPE2.0", 11) == 0 || std::memcmp(block, "ANIMEXTS1.0", 11) == 0);
    while (size > 0) {
        size = in.GetGifByte();
        if (size < 0) return false;
        if (!in.Read(block, size_t(size))) return false;
        if (looping && size >= 3 && block[0] == 0x01) animation.loopCount = Word(block + 1);
    }
    return true;
}

}  // namespace

const char* DescribeGifReadStatus(GifReadStatus status) {
    switch (status) {
        case GifReadStatus::Ok:
            return "read";
        case GifReadStatus::CannotOpen:
            return "cannot be read";
        case GifReadStatus::NotGif:
            return "not a GIF file";
        case GifReadStatus::BadScreen:
            return "a screen of no size or larger than 16384 on a side";
        case GifReadStatus::Truncated:
            return "truncated";
        case GifReadStatus::BadFrame:
            return "a frame outside the screen or with a bad code size";
        case GifReadStatus::UnknownBlock:
            return "a byte that starts no block";
        case GifReadStatus::TooManyFrames:
            return "too many frames";
        case GifReadStatus::TooLarge:
            return "frames too large to hold";
    }
    return "unknown";
}

GifReadStatus ReadGifAnimation(const CString& path, CGifAnimation* animation,
                               const CGifReadLimits& limits) {
    *animation = CGifAnimation{};
    CString contents;
    if (ReadWholeFile(path, kMaxFileBytes, &contents) != FileReadError::None) {
        return GifReadStatus::CannotOpen;
    }
    return ReadGifAnimation(reinterpret_cast<const uint8_t*>(contents.data()), contents.size(),
                            animation, limits);
}

GifReadStatus ReadGifAnimation(const uint8_t* bytes, size_t size, CGifAnimation* animation,
                               const CGifReadLimits& limits) {
    *animation = CGifAnimation{};
    CMemoryBytes in(bytes, size);
    uint8_t header[13];
    if (!in.Read(header, sizeof header) || std::memcmp(header, "GIF8", 4) != 0) {
        return GifReadStatus::NotGif;
    }
    const int32_t width = Word(header + 6);
    const int32_t height = Word(header + 8);
    if (width <= 0 || height <= 0 || width > kMaxGifScreenSide || height > kMaxGifScreenSide) {
        return GifReadStatus::BadScreen;
    }
    animation->width = width;
    animation->height = height;
    if ((header[10] & 0x80) && !ReadTable(in, header[10], &animation->globalColors)) {
        return GifReadStatus::Truncated;
    }

    int64_t held = 0;
    CPendingControl control;
    CFrameLines lines;
    // The decoder's tables take about 20 KB: one for every frame.
    auto decoder = std::make_unique<CLzwDecoder>(in, lines);
    for (;;) {
        const int32_t introducer = in.GetGifByte();
        if (introducer == kTrailer) return GifReadStatus::Ok;
        if (introducer < 0) return GifReadStatus::Truncated;
        if (introducer == kExtensionIntroducer) {
            if (!ReadExtension(in, *animation, control)) return GifReadStatus::Truncated;
            continue;
        }
        if (introducer != kImageSeparator) return GifReadStatus::UnknownBlock;

        uint8_t descriptor[9];
        if (!in.Read(descriptor, sizeof descriptor)) return GifReadStatus::Truncated;
        CGifFrame frame;
        frame.left = Word(descriptor);
        frame.top = Word(descriptor + 2);
        frame.width = Word(descriptor + 4);
        frame.height = Word(descriptor + 6);
        frame.interlaced = (descriptor[8] & 0x40) != 0;
        frame.localTable = (descriptor[8] & 0x80) != 0;
        frame.delayCs = control.delayCs;
        frame.disposal = control.disposal;
        frame.transparent = control.transparent;
        control = CPendingControl{};
        if (frame.localTable && !ReadTable(in, descriptor[8], &frame.colors)) {
            return GifReadStatus::Truncated;
        }
        if (frame.left + frame.width > width || frame.top + frame.height > height) {
            return GifReadStatus::BadFrame;
        }
        const int32_t codeSize = in.Peek();
        if (codeSize < 0) return GifReadStatus::Truncated;
        if (codeSize < kMinCodeSize || codeSize > kMaxCodeSize) return GifReadStatus::BadFrame;
        frame.codeSize = codeSize;
        if (int64_t(animation->frames.size()) >= limits.maxFrames) {
            return GifReadStatus::TooManyFrames;
        }
        const int64_t pixels = int64_t(frame.width) * frame.height;
        const int64_t cost = pixels + int64_t(frame.colors.size()) * 4 + kGifFrameRecordBytes;
        if (held + cost > limits.maxBytes) return GifReadStatus::TooLarge;
        try {
            frame.indices.assign(size_t(pixels), 0);
        } catch (const std::bad_alloc&) {
            return GifReadStatus::TooLarge;
        }

        lines.Start(frame);
        int32_t badCodes = 0;
        const int16_t result = decoder->Decode(frame.width, badCodes);
        if (result == CLzwDecoder::kNoMemory) return GifReadStatus::TooLarge;
        // A frame of no width decodes nothing, and one whose lines overran stopped early:
        // either way the rest of its data is passed over.
        decoder->SkipRemainingData();
        if (in.Ended()) return GifReadStatus::Truncated;
        if (frame.width > 0 && !lines.Complete()) return GifReadStatus::Truncated;
        held += cost;
        animation->frames.push_back(std::move(frame));
    }
}

CGifScreen::CGifScreen(const CGifAnimation& animation) : m_animation(animation) {
    const int64_t pixels = int64_t(animation.width) * animation.height;
    m_valid = animation.width > 0 && animation.height > 0 && pixels * 4 <= kMaxImageBytes;
    if (m_valid) m_pixels.assign(size_t(pixels), 0);
}

bool CGifScreen::Next() {
    if (!m_valid || m_next >= int32_t(m_animation.frames.size())) return false;
    const size_t stride = size_t(m_animation.width);
    const auto inside = [&](const CGifFrame& f) {
        return f.left >= 0 && f.top >= 0 && f.width >= 0 && f.height >= 0 &&
               int64_t(f.left) + f.width <= m_animation.width &&
               int64_t(f.top) + f.height <= m_animation.height &&
               f.indices.size() == size_t(f.width) * size_t(f.height);
    };
    if (m_next > 0) {
        const CGifFrame& before = m_animation.frames[size_t(m_next - 1)];
        if (inside(before) && (before.disposal == 2 || before.disposal == 3)) {
            for (int32_t y = 0; y < before.height; ++y) {
                uint32_t* row = m_pixels.data() + size_t(before.top + y) * stride + before.left;
                if (before.disposal == 2) {
                    std::fill_n(row, before.width, 0u);
                } else {
                    std::copy_n(m_saved.data() + size_t(y) * size_t(before.width), before.width,
                                row);
                }
            }
        }
    }
    const CGifFrame& frame = m_animation.frames[size_t(m_next)];
    ++m_next;
    if (!inside(frame)) return true;
    if (frame.disposal == 3) {
        m_saved.resize(frame.indices.size());
        for (int32_t y = 0; y < frame.height; ++y) {
            const uint32_t* row = m_pixels.data() + size_t(frame.top + y) * stride + frame.left;
            std::copy_n(row, frame.width, m_saved.data() + size_t(y) * size_t(frame.width));
        }
    }
    const std::vector<uint32_t>& table = frame.localTable ? frame.colors : m_animation.globalColors;
    for (int32_t y = 0; y < frame.height; ++y) {
        const uint8_t* source = frame.indices.data() + size_t(y) * size_t(frame.width);
        uint32_t* row = m_pixels.data() + size_t(frame.top + y) * stride + frame.left;
        for (int32_t x = 0; x < frame.width; ++x) {
            const int32_t index = source[x];
            if (index == frame.transparent) continue;
            row[x] = 0xFF000000u | (size_t(index) < table.size() ? table[size_t(index)] : 0u);
        }
    }
    return true;
}
