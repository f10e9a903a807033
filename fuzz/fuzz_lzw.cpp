// The LZW decoder alone: the first byte picks the line width, the rest is the code size byte
// and the sub-blocks.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/LzwDecoder.h"

namespace {

class Bytes : public CLzwByteSource {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int32_t GetGifByte() override { return pos_ < size_ ? data_[pos_++] : -1; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class Lines : public CLzwLineSink {
public:
    explicit Lines(int32_t limit) : limit_(limit) {}
    int32_t PutGifLine(const uint8_t* bytes, int32_t count) override {
        volatile uint8_t x = 0;
        for (int32_t i = 0; i < count; ++i) x = x ^ bytes[i];
        return ++lines_ > limit_ ? -1 : 0;
    }

private:
    int32_t limit_;
    int32_t lines_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t width = 1 + data[0] % 64;
    Bytes source(data + 1, size - 1);
    Lines sink(4096);
    auto decoder = std::make_unique<CLzwDecoder>(source, sink);
    int32_t badCodes = 0;
    decoder->Decode(width, badCodes);
    decoder->SkipRemainingData();
    return 0;
}
