// Helpers for the LZW tests: byte and pixel sources over vectors, a line collector, a code
// packer that writes GIF code streams by hand, and a plain reference decoder (dictionary of
// byte strings) that checks the encoder without going through our own decoder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "codecs/LzwDecoder.h"
#include "codecs/LzwEncoder.h"

namespace lzwtest {

using Bytes = std::vector<uint8_t>;

class VectorSource : public CLzwByteSource {
public:
    explicit VectorSource(Bytes bytes) : data(std::move(bytes)) {}
    int32_t GetGifByte() override { return pos < data.size() ? data[pos++] : -1; }
    size_t Position() const { return pos; }

private:
    Bytes data;
    size_t pos = 0;
};

// Collects lines; answers stopValue once `limit` lines have been stored (when limit >= 0).
class LineCollector : public CLzwLineSink {
public:
    explicit LineCollector(int32_t limit = -1, int32_t stopValue = -1)
        : maxLines(limit), stop(stopValue) {}
    int32_t PutGifLine(const uint8_t* bytes, int32_t count) override {
        ++calls;
        if (maxLines >= 0 && int32_t(lines.size()) >= maxLines) {
            return stop;
        }
        lines.emplace_back(bytes, bytes + count);
        return 0;
    }
    Bytes Joined() const {
        Bytes all;
        for (const Bytes& l : lines) {
            all.insert(all.end(), l.begin(), l.end());
        }
        return all;
    }
    std::vector<Bytes> lines;
    int32_t calls = 0;

private:
    int32_t maxLines;
    int32_t stop;
};

class VectorPixels : public CLzwPixelSource {
public:
    explicit VectorPixels(const Bytes& pixels) : data(pixels) {}
    int32_t NextPixel() override { return pos < data.size() ? data[pos++] : -1; }

private:
    const Bytes& data;
    size_t pos = 0;
};

class VectorSink : public CLzwByteSink {
public:
    void WriteBytes(const uint8_t* bytes, size_t count) override {
        data.insert(data.end(), bytes, bytes + count);
        ++writes;
    }
    bool Flush() override {
        ++flushes;
        return !failFlush;
    }
    Bytes data;
    int32_t writes = 0;
    int32_t flushes = 0;
    bool failFlush = false;
};

// Packs codes least significant bit first. With tracking on, the width follows the GIF rule
// on its own: a new table entry per code except the first after a clear, one more bit when
// the next entry would need it, never above 12 bits.
class CodePacker {
public:
    explicit CodePacker(int32_t minCodeSize)
        : s(minCodeSize), width(minCodeSize + 1), next((1 << minCodeSize) + 2) {}

    CodePacker& Code(int32_t code) {
        Put(code, width);
        const int32_t clear = 1 << s;
        if (code == clear) {
            width = s + 1;
            next = clear + 2;
            first = true;
            return *this;
        }
        if (first) {
            first = false;
            return *this;
        }
        if (next < 4096) {
            ++next;
        }
        if (next == (1 << width) && width < 12) {
            ++width;
        }
        return *this;
    }
    CodePacker& Raw(int32_t code, int32_t codeBits) {
        Put(code, codeBits);
        return *this;
    }
    int32_t Width() const { return width; }

    // The code size byte, the bits in sub-blocks of at most blockSize bytes, and (when
    // terminate is set) the empty sub-block.
    Bytes Stream(int32_t blockSize = 255, bool terminate = true) const {
        Bytes out{uint8_t(s)};
        Bytes packed = bits;
        if (bitCount > 0) {
            packed.push_back(uint8_t(acc));
        }
        for (size_t i = 0; i < packed.size(); i += size_t(blockSize)) {
            const size_t n = std::min(size_t(blockSize), packed.size() - i);
            out.push_back(uint8_t(n));
            out.insert(out.end(), packed.begin() + i, packed.begin() + i + n);
        }
        if (terminate) {
            out.push_back(0);
        }
        return out;
    }

private:
    void Put(int32_t code, int32_t n) {
        acc |= uint32_t(code) << bitCount;
        bitCount += n;
        while (bitCount >= 8) {
            bits.push_back(uint8_t(acc));
            acc >>= 8;
            bitCount -= 8;
        }
    }

    int32_t s;
    int32_t width;
    int32_t next;
    bool first = true;
    Bytes bits;
    uint32_t acc = 0;
    int32_t bitCount = 0;
};

struct ReferenceResult {
    Bytes pixels;
    std::vector<std::pair<int32_t, int32_t>> codes;  // (code, width) in stream order
    bool ok = false;                                 // ended with an end code, no bad code
};

// Decodes the data sub-blocks that follow a code size byte (the encoder's output alone).
inline ReferenceResult ReferenceDecode(int32_t s, const Bytes& subBlocks) {
    Bytes packed;
    for (size_t i = 0; i < subBlocks.size();) {
        const size_t n = subBlocks[i++];
        if (n == 0 || i + n > subBlocks.size()) {
            break;
        }
        packed.insert(packed.end(), subBlocks.begin() + i, subBlocks.begin() + i + n);
        i += n;
    }
    ReferenceResult r;
    const int32_t clear = 1 << s;
    std::vector<Bytes> dict;
    auto reset = [&] {
        dict.clear();
        for (int32_t i = 0; i < clear + 2; ++i) {
            dict.push_back(Bytes{uint8_t(i)});
        }
    };
    reset();
    int32_t width = s + 1;
    int32_t prev = -1;
    size_t bitPos = 0;
    while (bitPos + size_t(width) <= packed.size() * 8) {
        int32_t code = 0;
        for (int32_t b = 0; b < width; ++b, ++bitPos) {
            code |= ((packed[bitPos / 8] >> (bitPos % 8)) & 1) << b;
        }
        r.codes.emplace_back(code, width);
        if (code == clear) {
            reset();
            width = s + 1;
            prev = -1;
            continue;
        }
        if (code == clear + 1) {
            r.ok = true;
            return r;
        }
        Bytes entry;
        if (code < int32_t(dict.size())) {
            entry = dict[size_t(code)];
        } else if (code == int32_t(dict.size()) && prev >= 0) {
            entry = dict[size_t(prev)];
            entry.push_back(entry[0]);
        } else {
            return r;
        }
        if (prev >= 0 && dict.size() < 4096) {
            Bytes added = dict[size_t(prev)];
            added.push_back(entry[0]);
            dict.push_back(added);
        }
        if (int32_t(dict.size()) == (1 << width) && width < 12) {
            ++width;
        }
        r.pixels.insert(r.pixels.end(), entry.begin(), entry.end());
        prev = code;
    }
    return r;
}

// Deterministic test data (xorshift), so every run sees the same inputs.
class Rng {
public:
    explicit Rng(uint32_t seed) : state(seed ? seed : 1) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t state;
};

}  // namespace lzwtest
