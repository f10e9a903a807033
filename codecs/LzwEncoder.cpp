#include "codecs/LzwEncoder.h"

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

}  // namespace

int32_t CLzwEncoder::MaxCodeFor(int32_t bits) {
    // At 12 bits the limit is one past the last code, so the width never grows beyond it.
    return bits == kMaxBits ? kCodeLimit : (1 << bits) - 1;
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
    InitPacket();

    int32_t ent = pixels.NextPixel();
    ClearHash(kHashSize);
    Output(clearCode);
    if (ent < 0) {
        // No pixels: a clear code and the end code make an empty but well-formed stream.
        Output(eofCode);
        return !writeFailed;
    }
    assert(ent < clearCode);

    for (int32_t c = pixels.NextPixel(); c >= 0; c = pixels.NextPixel()) {
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
        Output(ent);
        ent = c;
        if (freeEnt < kCodeLimit) {
            codeTable[i] = uint16_t(freeEnt++);
            hashTable[i] = key;
        } else {
            ClearBlock();
        }
    }
    Output(ent);
    Output(eofCode);
    return !writeFailed;
}

void CLzwEncoder::Output(int32_t code) {
    assert(code >= 0 && code < kCodeLimit);
    // Fewer than 8 bits are ever pending here, so the accumulator cannot overflow.
    curAccum = (curAccum & ((1u << curBits) - 1)) | (uint32_t(code) << curBits);
    curBits += nBits;
    while (curBits >= 8) {
        PutPacketByte(uint8_t(curAccum & 0xFF));
        curAccum >>= 8;
        curBits -= 8;
    }

    if (freeEnt > maxCode || clearFlag) {
        if (clearFlag) {
            nBits = initBits;
            maxCode = MaxCodeFor(nBits);
            clearFlag = false;
        } else {
            ++nBits;
            maxCode = MaxCodeFor(nBits);
        }
    }

    if (code == eofCode) {
        while (curBits > 0) {
            PutPacketByte(uint8_t(curAccum & 0xFF));
            curAccum >>= 8;
            curBits -= 8;
        }
        FlushPacket();
        if (!sink->Flush()) {
            writeFailed = true;
        }
    }
}

void CLzwEncoder::ClearBlock() {
    ClearHash(kHashSize);
    freeEnt = clearCode + 2;
    clearFlag = true;
    Output(clearCode);
}

void CLzwEncoder::ClearHash(int32_t size) {
    for (int32_t i = 0; i < size && i < kHashSize; ++i) {
        hashTable[i] = -1;
    }
}

void CLzwEncoder::PutPacketByte(uint8_t b) {
    packet[packetCount++] = b;
    if (packetCount >= kPacketLimit) {
        FlushPacket();
    }
}

void CLzwEncoder::FlushPacket() {
    if (packetCount > 0) {
        const uint8_t count = uint8_t(packetCount);
        sink->WriteBytes(&count, 1);
        sink->WriteBytes(packet, size_t(packetCount));
        packetCount = 0;
    }
}
