#include "codecs/LzwDecoder.h"

#include <cassert>
#include <climits>
#include <memory>
#include <new>

namespace {

constexpr int32_t kMinCodeSize = 2;
constexpr int32_t kMaxMinCodeSize = 9;

int16_t Narrow(int32_t negative) {
    return negative < SHRT_MIN ? int16_t(SHRT_MIN) : int16_t(negative);
}

}  // namespace

CLzwDecoder::CLzwDecoder(CLzwByteSource& byteSource, CLzwLineSink& lineSink)
    : source(byteSource), sink(lineSink) {}

void CLzwDecoder::InitTable(int16_t s) {
    codeSize = int16_t(s + 1);
    topSlot = int16_t(1 << (s + 1));
    clearCode = int16_t(1 << s);
    endCode = int16_t(clearCode + 1);
    firstFree = nextSlot = int16_t(clearCode + 2);
    bytesLeft = bitsLeft = 0;
    dataEnded = false;
}

int16_t CLzwDecoder::ReadSubBlock() {
    if (dataEnded) {
        return kEndOfData;
    }
    const int32_t length = source.GetGifByte();
    if (length <= 0) {
        // An empty sub-block ends the data; reading on would take the next block's bytes.
        dataEnded = true;
        return length < 0 ? Narrow(length) : kEndOfData;
    }
    for (int32_t i = 0; i < length; ++i) {
        const int32_t b = source.GetGifByte();
        if (b < 0) {
            dataEnded = true;
            return Narrow(b);
        }
        blockBuffer[i] = uint8_t(b);
    }
    blockPointer = blockBuffer;
    bytesLeft = int16_t(length);
    return 0;
}

int16_t CLzwDecoder::NextByte(uint8_t& byte) {
    if (bytesLeft <= 0) {
        const int16_t r = ReadSubBlock();
        if (r < 0) {
            return r;
        }
    }
    byte = *blockPointer++;
    --bytesLeft;
    return 0;
}

int16_t CLzwDecoder::GetNextCode() {
    if (bitsLeft == 0) {
        const int16_t r = NextByte(currentByte);
        if (r < 0) {
            return r;
        }
        bitsLeft = 8;
    }
    uint32_t result = uint32_t(currentByte) >> (8 - bitsLeft);
    while (codeSize > bitsLeft) {
        const int16_t r = NextByte(currentByte);
        if (r < 0) {
            return r;
        }
        result |= uint32_t(currentByte) << bitsLeft;
        bitsLeft = int16_t(bitsLeft + 8);
    }
    bitsLeft = int16_t(bitsLeft - codeSize);
    return int16_t(result & ((1u << codeSize) - 1));
}

int16_t CLzwDecoder::Decode(int32_t lineWidth, int32_t& badCodes) {
    badCodes = 0;
    const int32_t s = source.GetGifByte();
    if (s < 0) {
        return Narrow(s);
    }
    if (s < kMinCodeSize || s > kMaxMinCodeSize) {
        return kBadCodeSize;
    }
    InitTable(int16_t(s));
    if (lineWidth <= 0) {
        return 0;  // no line could ever be completed; the caller skips the data
    }

    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[size_t(lineWidth) + 1]);
    if (!line) {
        return kNoMemory;
    }
    uint8_t* out = line.get();
    int32_t left = lineWidth;
    auto store = [&](uint8_t pixel) -> int32_t {
        *out++ = pixel;
        if (--left > 0) {
            return 0;
        }
        out = line.get();
        left = lineWidth;
        return sink.PutGifLine(line.get(), lineWidth);
    };

    int32_t oldCode = 0;
    uint8_t firstByte = 0;
    // The first code of the data starts a string like the first after a clear code: it adds
    // no entry, so streams without a leading clear code keep their widths in step.
    bool fresh = true;
    for (;;) {
        int16_t c = GetNextCode();
        if (c == endCode) {
            break;
        }
        if (c < 0) {
            return 0;
        }
        if (c == clearCode) {
            codeSize = int16_t(s + 1);
            nextSlot = firstFree;
            topSlot = int16_t(1 << (s + 1));
            fresh = true;
            continue;
        }
        if (fresh) {
            fresh = false;
            if (c >= nextSlot) {
                c = 0;
            }
            oldCode = c;
            firstByte = uint8_t(c);
            const int32_t r = store(firstByte);
            if (r < 0) {
                return Narrow(r);
            }
            continue;
        }

        int32_t code = c;
        uint8_t* sp = stack;
        const bool unknown = code >= nextSlot;
        if (unknown) {
            if (code > nextSlot) {
                ++badCodes;
            }
            *sp++ = firstByte;
            code = oldCode;
        }
        // Every entry's prefix is an older code, so the walk ends within the table.
        while (code >= firstFree) {
            assert(sp < stack + kTableSize);
            *sp++ = suffix[code];
            code = prefix[code];
        }
        *sp++ = uint8_t(code);
        if (nextSlot < topSlot) {
            firstByte = uint8_t(code);
            suffix[nextSlot] = firstByte;
            prefix[nextSlot] = uint16_t(oldCode);
            // A code beyond the table stands for the string just made; keeping the raw code
            // would make the next entry's prefix point past the table's valid part.
            oldCode = unknown ? nextSlot : c;
            ++nextSlot;
        }
        if (nextSlot >= topSlot && codeSize < kMaxCodeBits) {
            topSlot = int16_t(topSlot << 1);
            ++codeSize;
        }
        while (sp > stack) {
            const int32_t r = store(*--sp);
            if (r < 0) {
                return Narrow(r);
            }
        }
    }

    if (left < lineWidth) {
        const int32_t r = sink.PutGifLine(line.get(), lineWidth - left);
        return r < 0 ? Narrow(r) : 0;
    }
    return 0;
}

void CLzwDecoder::SkipRemainingData() {
    bytesLeft = 0;  // the current sub-block is already in the buffer
    while (!dataEnded) {
        const int32_t length = source.GetGifByte();
        if (length <= 0) {
            dataEnded = true;
            return;
        }
        for (int32_t i = 0; i < length; ++i) {
            if (source.GetGifByte() < 0) {
                dataEnded = true;
                return;
            }
        }
    }
}
