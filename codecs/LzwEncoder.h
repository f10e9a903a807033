// The GIF variant of LZW encoding: codes from the initial width up to 12 bits, strings found
// through an open-addressing hash table of 5003 slots, a clear code once 4096 codes are in
// use, output packed least significant bit first into data sub-blocks of at most 254 bytes.
//
// Pixels come from a pixel source and sub-blocks go to a byte sink, so the encoder knows
// nothing of files or images. All state lives in the object (about 35 KB: allocate it).
#pragma once

#include <cstddef>
#include <cstdint>

class CLzwPixelSource {
public:
    virtual ~CLzwPixelSource() = default;
    // The next pixel index, or -1 when every pixel has been sent.
    virtual int32_t NextPixel() = 0;
    // The next run of pixels: their number (0 once every pixel has been sent), with span
    // pointing at them, either in the source's own memory or in scratch, which has room for
    // capacity pixels. The encoder takes pixels only through this; sources whose pixels lie
    // in rows should override it.
    virtual int32_t NextSpan(const uint8_t*& span, uint8_t* scratch, int32_t capacity) {
        int32_t count = 0;
        while (count < capacity) {
            const int32_t pixel = NextPixel();
            if (pixel < 0) {
                break;
            }
            scratch[count++] = uint8_t(pixel);
        }
        span = scratch;
        return count;
    }
};

class CLzwByteSink {
public:
    virtual ~CLzwByteSink() = default;
    virtual void WriteBytes(const uint8_t* bytes, size_t count) = 0;
    // Pushes out what was written; false when any write so far has failed.
    virtual bool Flush() = 0;
};

class CLzwEncoder {
public:
    static constexpr int32_t kHashSize = 5003;  // prime, about 80% above the code limit
    static constexpr int32_t kMaxBits = 12;
    static constexpr int32_t kCodeLimit = 1 << kMaxBits;
    static constexpr int32_t kPacketLimit = 254;

    // Encodes every pixel of the source as the data sub-blocks of one image, without the
    // minimum code size byte before them and the empty sub-block after them. initBits is the
    // code width after a clear code (minimum code size + 1, 3..9); every pixel must be below
    // 2^(initBits - 1). False when the sink reported a write error after the end code.
    bool Compress(int32_t initBits, CLzwPixelSource& pixels, CLzwByteSink& out);

    // Packs one code at the current width.
    void Output(int32_t code);
    // Restarts the string table: a clear code now, narrow codes from the next one on.
    void ClearBlock();
    // Empties the first size slots of the hash table.
    void ClearHash(int32_t size);

private:
    // Sub-blocks are gathered a few at a time, so that codes can be stored a word at once;
    // whole words fill the buffer exactly, so it is handed over as full sub-blocks.
    static constexpr int32_t kBufferedBytes = kPacketLimit * 16;
    static_assert(kBufferedBytes % 4 == 0);
    static constexpr int32_t kSpanCapacity = 1024;

    // The coder's running state, held in locals while compressing so that the byte stores
    // of the output cannot force it back to memory.
    struct CodeWriter {
        uint64_t accum;
        int32_t bits;   // pending in accum
        int32_t count;  // bytes in buffered
        int32_t nBits;
        int32_t maxCode;
        int32_t freeEnt;
    };
    CodeWriter Load() const;
    void Store(const CodeWriter& w);
    // Packs code at the current width.
    inline void PutBits(CodeWriter& w, int32_t code);
    // Packs code, then widens the codes once the table needs it.
    inline void Put(CodeWriter& w, int32_t code);
    // Packs code (the clear code), then goes back to the initial width.
    inline void PutThenNarrow(CodeWriter& w, int32_t code);
    // The last bits, every buffered byte, and the sink's flush.
    void Finish(CodeWriter& w);
    // Hands the first count buffered bytes to the sink in sub-blocks.
    void WriteSubBlocks(int32_t count);
    static int32_t MaxCodeFor(int32_t bits);

    CLzwByteSink* sink = nullptr;
    bool writeFailed = false;

    int32_t initBits = 0;
    int32_t nBits = 0;
    int32_t maxCode = 0;
    int32_t clearCode = 0;
    int32_t eofCode = 0;
    int32_t freeEnt = 0;
    bool clearFlag = false;

    uint64_t curAccum = 0;
    int32_t curBits = 0;

    int32_t hashTable[kHashSize] = {};
    uint16_t codeTable[kHashSize] = {};

    int32_t bufferedCount = 0;
    uint8_t buffered[kBufferedBytes] = {};
    uint8_t span[kSpanCapacity] = {};
};
