// The GIF variant of LZW decoding: variable-width codes of up to 12 bits, packed least
// significant bit first into data sub-blocks (a length byte, then that many bytes).
//
// The decoder takes its bytes from a byte source and hands each finished line to a line
// sink, so it knows nothing of files or images. All state lives in the object: two decoders
// on two threads do not meet. For any input it stays inside its tables and buffers.
#pragma once

#include <cstdint>

// Where the decoder reads the minimum code size byte and the data sub-blocks from.
class CLzwByteSource {
public:
    virtual ~CLzwByteSource() = default;
    // The next byte as 0..255, or a negative value once there are no more.
    virtual int32_t GetGifByte() = 0;
    // Reads count bytes into out: count, or, when the source ends first, the negative value
    // GetGifByte gave for the first missing byte. Sources that hold their bytes in memory
    // should override this; the decoder takes whole sub-blocks through it.
    virtual int32_t GetGifBytes(uint8_t* out, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            const int32_t b = GetGifByte();
            if (b < 0) {
                return b;
            }
            out[i] = uint8_t(b);
        }
        return count;
    }
};

// Where finished lines go.
class CLzwLineSink {
public:
    virtual ~CLzwLineSink() = default;
    // Stores count pixel bytes; 0 to go on, a negative value to stop decoding.
    virtual int32_t PutGifLine(const uint8_t* bytes, int32_t count) = 0;
};

class CLzwDecoder {
public:
    static constexpr int32_t kMaxCodeBits = 12;
    static constexpr int32_t kTableSize = 1 << kMaxCodeBits;
    static constexpr int16_t kBadCodeSize = -20;  // minimum code size outside 2..9
    static constexpr int16_t kNoMemory = -10;     // no line buffer
    static constexpr int16_t kEndOfData = -1;     // an empty sub-block before the end code

    CLzwDecoder(CLzwByteSource& source, CLzwLineSink& sink);

    // Starts a new string table for codes of minimum size s (clear code 2^s).
    void InitTable(int16_t s);
    // The next code, or a negative value when the data has run out.
    int16_t GetNextCode();
    // Decodes one image's data into lines of lineWidth pixels. 0 when done (also when the
    // data ends early: full lines are delivered, a partial one is dropped), kBadCodeSize,
    // kNoMemory, or a negative value from the line sink or from reading the code size byte.
    // badCodes counts codes found above the next free table slot.
    int16_t Decode(int32_t lineWidth, int32_t& badCodes);
    // Reads past whatever is left of the image data, up to and including the empty sub-block
    // that ends it, so that the caller can go on with the next block of the file.
    void SkipRemainingData();

private:
    struct BitReader;
    int32_t ReadSubBlock();
    inline int32_t FetchCode(BitReader& in, int32_t size);

    CLzwByteSource& source;
    CLzwLineSink& sink;

    int16_t codeSize = 0;
    int16_t clearCode = 0;
    int16_t endCode = 0;
    int16_t firstFree = 0;
    int16_t topSlot = 0;
    int16_t nextSlot = 0;
    bool dataEnded = false;  // the empty sub-block, or the end of the source, has been read

    // Bits not yet taken as codes, lowest first; bits above bitCount may hold the start of
    // the next unread byte of the sub-block.
    uint64_t bitBuffer = 0;
    int32_t bitCount = 0;
    int32_t blockPosition = 0;
    int32_t blockLength = 0;
    uint8_t blockBuffer[256] = {};

    uint16_t prefix[kTableSize] = {};
    uint8_t suffix[kTableSize] = {};
    // The length of each code's string, so that it can be written in place, last byte first.
    uint16_t length[kTableSize] = {};
};
