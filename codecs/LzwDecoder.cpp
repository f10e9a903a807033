#include "codecs/LzwDecoder.h"

#include <cassert>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int32_t kMinCodeSize = 2;
constexpr int32_t kMaxMinCodeSize = 9;

int16_t Narrow(int32_t negative) {
    return negative < SHRT_MIN ? int16_t(SHRT_MIN) : int16_t(negative);
}

uint64_t LoadLittleEndian64(const uint8_t* p) {
    uint64_t v = 0;
    for (int32_t i = 7; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

}  // namespace

// The code stream position, held in locals while decoding so that pixel stores through byte
// pointers cannot force it back to memory.
struct CLzwDecoder::BitReader {
    uint64_t bits;
    int32_t count;
    const uint8_t* next;
    const uint8_t* end;
};

CLzwDecoder::CLzwDecoder(CLzwByteSource& byteSource, CLzwLineSink& lineSink)
    : source(byteSource), sink(lineSink) {}

void CLzwDecoder::InitTable(int16_t s) {
    codeSize = int16_t(s + 1);
    topSlot = int16_t(1 << (s + 1));
    clearCode = int16_t(1 << s);
    endCode = int16_t(clearCode + 1);
    firstFree = nextSlot = int16_t(clearCode + 2);
    bitBuffer = 0;
    bitCount = 0;
    blockPosition = blockLength = 0;
    dataEnded = false;
}

// The next sub-block into blockBuffer: its length, or a negative value at the end of the data.
int32_t CLzwDecoder::ReadSubBlock() {
    if (dataEnded) {
        return kEndOfData;
    }
    const int32_t count = source.GetGifByte();
    if (count <= 0) {
        // An empty sub-block ends the data; reading on would take the next block's bytes.
        dataEnded = true;
        return count < 0 ? Narrow(count) : kEndOfData;
    }
    const int32_t got = source.GetGifBytes(blockBuffer, count);
    if (got != count) {
        dataEnded = true;
        return got < 0 ? Narrow(got) : kEndOfData;
    }
    return count;
}

inline int32_t CLzwDecoder::FetchCode(BitReader& in, int32_t size) {
    if (in.count < size) {
        if (in.end - in.next >= 8) {
            // Takes every whole byte that fits; the bits of the following byte land where
            // that byte will go, so the next fill puts the same bits there again.
            in.bits |= LoadLittleEndian64(in.next) << in.count;
            in.next += (63 - in.count) >> 3;
            in.count |= 56;
        } else {
            do {
                if (in.next == in.end) {
                    const int32_t n = ReadSubBlock();
                    if (n < 0) {
                        return n;
                    }
                    in.next = blockBuffer;
                    in.end = blockBuffer + n;
                }
                in.bits |= uint64_t(*in.next++) << in.count;
                in.count += 8;
            } while (in.count < size);
        }
    }
    const int32_t code = int32_t(in.bits & ((uint64_t(1) << size) - 1));
    in.bits >>= size;
    in.count -= size;
    return code;
}

int16_t CLzwDecoder::GetNextCode() {
    BitReader in{bitBuffer, bitCount, blockBuffer + blockPosition, blockBuffer + blockLength};
    const int32_t code = FetchCode(in, codeSize);
    bitBuffer = in.bits;
    bitCount = in.count;
    blockPosition = int32_t(in.next - blockBuffer);
    blockLength = int32_t(in.end - blockBuffer);
    return code < 0 ? Narrow(code) : int16_t(code);
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

    // Strings are written whole after a part-filled line, so the buffer has room for the
    // longest one beyond the line.
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                          uint8_t[size_t(lineWidth) + size_t(kTableSize)]);
    if (!buffer) {
        return kNoMemory;
    }
    uint8_t* const line = buffer.get();
    uint8_t* const lineEnd = line + lineWidth;
    uint8_t* out = line;

    const int32_t first = firstFree;
    const int32_t clear = clearCode;
    const int32_t end = endCode;
    for (int32_t i = 0; i < first; ++i) {
        length[i] = 1;
    }
    int32_t width = codeSize;
    int32_t slot = nextSlot;
    int32_t top = topSlot;
    BitReader in{bitBuffer, bitCount, blockBuffer, blockBuffer};

    int32_t oldCode = 0;
    uint8_t firstByte = 0;
    // The first code of the data starts a string like the first after a clear code: it adds
    // no entry, so streams without a leading clear code keep their widths in step.
    bool fresh = true;
    bool complete = false;  // the end code was read
    int32_t result = 0;
    for (;;) {
        int32_t c = FetchCode(in, width);
        if (c == end) {
            complete = true;
            break;
        }
        if (c < 0) {
            break;
        }
        if (c == clear) {
            width = s + 1;
            slot = first;
            top = 1 << (s + 1);
            fresh = true;
            continue;
        }
        if (fresh) {
            fresh = false;
            if (c >= slot) {
                c = 0;
            }
            oldCode = c;
            firstByte = uint8_t(c);
            *out++ = firstByte;
        } else {
            int32_t code = c;
            int32_t n;
            const bool unknown = code >= slot;
            if (unknown) {
                if (code > slot) {
                    ++badCodes;
                }
                code = oldCode;
                n = length[code] + 1;
                out[n - 1] = firstByte;
            } else {
                n = length[code];
            }
            // Every entry's prefix is an older code whose length is one less, so the walk
            // ends exactly at out.
            uint8_t* p = out + length[code] - 1;
            while (code >= first) {
                *p-- = suffix[code];
                code = prefix[code];
            }
            *p = uint8_t(code);
            assert(p == out);
            out += n;
            if (slot < top) {
                firstByte = uint8_t(code);
                suffix[slot] = firstByte;
                prefix[slot] = uint16_t(oldCode);
                length[slot] = uint16_t(length[oldCode] + 1);
                // A code beyond the table stands for the string just made; keeping the raw
                // code would make the next entry's prefix point past the table's valid part.
                oldCode = unknown ? slot : c;
                ++slot;
            }
            if (slot >= top && width < kMaxCodeBits) {
                top <<= 1;
                ++width;
            }
        }
        if (out >= lineEnd) {
            uint8_t* next = line;
            do {
                result = sink.PutGifLine(next, lineWidth);
                if (result < 0) {
                    break;
                }
                next += lineWidth;
            } while (out - next >= lineWidth);
            if (result < 0) {
                break;
            }
            const size_t rest = size_t(out - next);
            std::memmove(line, next, rest);
            out = line + rest;
        }
    }

    codeSize = int16_t(width);
    nextSlot = int16_t(slot);
    topSlot = int16_t(top);
    bitBuffer = in.bits;
    bitCount = in.count;
    blockPosition = int32_t(in.next - blockBuffer);
    blockLength = int32_t(in.end - blockBuffer);
    if (result < 0) {
        return Narrow(result);
    }
    if (complete && out > line) {
        result = sink.PutGifLine(line, int32_t(out - line));
        return result < 0 ? Narrow(result) : 0;
    }
    return 0;
}

void CLzwDecoder::SkipRemainingData() {
    blockPosition = blockLength = 0;  // the current sub-block is already in the buffer
    while (ReadSubBlock() > 0) {
    }
}
