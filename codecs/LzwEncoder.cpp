#include "codecs/LzwEncoder.h"

#include <algorithm>
#include <cassert>

namespace {

// Doublings that take the table size to 65536 or more, subtracted from 8: spreads the pixel
// over the upper bits of the slot number.
constexpr int32_t HashShift() {
    int32_t shift = 0;
    for (int32_t size = CLzwEncoder::kHashSize; size < 65536; size *= 2) {
        ++shift;
    }
    return 8 - shift;
}

constexpr int32_t kHashShift = HashShift();
static_assert(kHashShift == 4);

void StoreLittleEndian32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

}  // namespace

int32_t CLzwEncoder::MaxCodeFor(int32_t bits) {
    // At 12 bits the limit is one past the last code, so the width never grows beyond it.
    return bits == kMaxBits ? kCodeLimit : (1 << bits) - 1;
}

CLzwEncoder::CodeWriter CLzwEncoder::Load() const {
    return CodeWriter{curAccum, curBits, bufferedCount, nBits, maxCode, freeEnt};
}

void CLzwEncoder::Store(const CodeWriter& w) {
    curAccum = w.accum;
    curBits = w.bits;
    bufferedCount = w.count;
    nBits = w.nBits;
    maxCode = w.maxCode;
    freeEnt = w.freeEnt;
}

inline void CLzwEncoder::PutBits(CodeWriter& w, int32_t code) {
    assert(code >= 0 && code < kCodeLimit);
    // Fewer than 32 bits are ever pending here, so the accumulator cannot overflow.
    w.accum |= uint64_t(code) << w.bits;
    w.bits += w.nBits;
    if (w.bits >= 32) {
        assert(w.count + 4 <= kBufferedBytes);
        StoreLittleEndian32(buffered + w.count, uint32_t(w.accum));
        w.count += 4;
        w.accum >>= 32;
        w.bits -= 32;
        if (w.count == kBufferedBytes) {
            WriteSubBlocks(w.count);
            w.count = 0;
        }
    }
}

inline void CLzwEncoder::Put(CodeWriter& w, int32_t code) {
    PutBits(w, code);
    if (w.freeEnt > w.maxCode) {
        ++w.nBits;
        w.maxCode = MaxCodeFor(w.nBits);
    }
}

inline void CLzwEncoder::PutThenNarrow(CodeWriter& w, int32_t code) {
    PutBits(w, code);
    w.nBits = initBits;
    w.maxCode = MaxCodeFor(initBits);
}

void CLzwEncoder::Finish(CodeWriter& w) {
    // The count is a whole number of words below the buffer size, and fewer than 32 bits
    // are pending, so the last bytes fit.
    while (w.bits > 0) {
        assert(w.count < kBufferedBytes);
        buffered[w.count++] = uint8_t(w.accum);
        w.accum >>= 8;
        w.bits -= 8;
    }
    w.accum = 0;
    w.bits = 0;
    WriteSubBlocks(w.count);
    w.count = 0;
    if (!sink->Flush()) {
        writeFailed = true;
    }
}

void CLzwEncoder::WriteSubBlocks(int32_t count) {
    for (int32_t done = 0; done < count; done += kPacketLimit) {
        const int32_t n = std::min(count - done, kPacketLimit);
        const uint8_t length = uint8_t(n);
        sink->WriteBytes(&length, 1);
        sink->WriteBytes(buffered + done, size_t(n));
    }
}

bool CLzwEncoder::Compress(int32_t init, CLzwPixelSource& pixels, CLzwByteSink& out) {
    assert(init >= 3 && init <= 9);
    sink = &out;
    writeFailed = false;
    initBits = nBits = init;
    clearFlag = false;
    maxCode = MaxCodeFor(nBits);
    clearCode = 1 << (init - 1);
    eofCode = clearCode + 1;
    freeEnt = clearCode + 2;
    curAccum = 0;
    curBits = 0;
    bufferedCount = 0;

    const uint8_t* pixel = nullptr;
    int32_t count = pixels.NextSpan(pixel, span, kSpanCapacity);
    ClearHash(kHashSize);
    CodeWriter w = Load();
    Put(w, clearCode);
    if (count <= 0) {
        // No pixels: a clear code and the end code make an empty but well-formed stream.
        Put(w, eofCode);
        Finish(w);
        Store(w);
        return !writeFailed;
    }

    const int32_t firstFree = clearCode + 2;
    int32_t ent = pixel[0];
    assert(ent < clearCode);
    int32_t next = 1;
    for (;;) {
        for (; next < count; ++next) {
            const int32_t c = pixel[next];
            assert(c < clearCode);
            const int32_t key = (c << kMaxBits) + ent;
            int32_t i = (c << kHashShift) ^ ent;
            if (hashTable[i] == key) {
                ent = codeTable[i];
                continue;
            }
            if (hashTable[i] >= 0) {
                const int32_t displacement = i == 0 ? 1 : kHashSize - i;
                bool found = false;
                // A slot holding key 0 ends the probe like an empty one; the streams written
                // so far depend on that.
                do {
                    i -= displacement;
                    if (i < 0) {
                        i += kHashSize;
                    }
                    if (hashTable[i] == key) {
                        found = true;
                        break;
                    }
                } while (hashTable[i] > 0);
                if (found) {
                    ent = codeTable[i];
                    continue;
                }
            }
            Put(w, ent);
            ent = c;
            if (w.freeEnt < kCodeLimit) {
                codeTable[i] = uint16_t(w.freeEnt++);
                hashTable[i] = key;
            } else {
                ClearHash(kHashSize);
                w.freeEnt = firstFree;
                PutThenNarrow(w, clearCode);
            }
        }
        count = pixels.NextSpan(pixel, span, kSpanCapacity);
        if (count <= 0) {
            break;
        }
        next = 0;
    }
    Put(w, ent);
    Put(w, eofCode);
    Finish(w);
    Store(w);
    return !writeFailed;
}

void CLzwEncoder::Output(int32_t code) {
    CodeWriter w = Load();
    if (clearFlag) {
        PutThenNarrow(w, code);
        clearFlag = false;
    } else {
        Put(w, code);
    }
    if (code == eofCode) {
        Finish(w);
    }
    Store(w);
}

void CLzwEncoder::ClearBlock() {
    ClearHash(kHashSize);
    freeEnt = clearCode + 2;
    clearFlag = true;
    Output(clearCode);
}

void CLzwEncoder::ClearHash(int32_t size) {
    std::fill_n(hashTable, std::clamp(size, 0, kHashSize), -1);
}
