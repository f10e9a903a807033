#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "codecs/LzwDecoder.h"
#include "codecs/LzwEncoder.h"
#include "platform/Sync.h"
#include "platform/Thread.h"
#include "tests/codecs/LzwTestSupport.h"

using namespace lzwtest;

namespace {

struct Encoded {
    Bytes subBlocks;  // the encoder's output: sub-blocks without code size byte or terminator
    bool ok = false;
};

Encoded Encode(const Bytes& pixels, int32_t minCodeSize) {
    auto encoder = std::make_unique<CLzwEncoder>();
    VectorPixels source(pixels);
    VectorSink sink;
    Encoded e;
    e.ok = encoder->Compress(minCodeSize + 1, source, sink);
    e.subBlocks = sink.data;
    return e;
}

Bytes DecodeOurs(const Encoded& e, int32_t minCodeSize, int32_t width) {
    Bytes stream{uint8_t(minCodeSize)};
    stream.insert(stream.end(), e.subBlocks.begin(), e.subBlocks.end());
    stream.push_back(0);
    VectorSource source(stream);
    LineCollector lines;
    CLzwDecoder decoder(source, lines);
    int32_t bad = 0;
    EXPECT_EQ(decoder.Decode(width, bad), 0);
    EXPECT_EQ(bad, 0);
    return lines.Joined();
}

std::vector<size_t> BlockLengths(const Bytes& subBlocks) {
    std::vector<size_t> lengths;
    for (size_t i = 0; i < subBlocks.size(); i += size_t(subBlocks[i]) + 1) {
        lengths.push_back(subBlocks[i]);
    }
    return lengths;
}

Bytes Pattern(const char* kind, size_t n, int32_t bits, uint32_t seed) {
    Rng rng(seed);
    const uint32_t colours = 1u << bits;
    Bytes p(n);
    for (size_t i = 0; i < n; ++i) {
        switch (kind[0]) {
            case 'r':  // noise: the table fills fast and clears often
                p[i] = uint8_t(rng.Below(colours));
                break;
            case 'g':  // gradient rows
                p[i] = uint8_t((i % 97) % colours);
                break;
            case 'b':  // runs of random length
                p[i] = i == 0 || rng.Below(20) ? (i ? p[i - 1] : 0) : uint8_t(rng.Below(colours));
                break;
            default:  // one colour: long strings, deep stack
                p[i] = uint8_t(colours - 1);
                break;
        }
    }
    return p;
}

}  // namespace

// ---- exact output ----

TEST(LzwEncoderOutput, TwoByTwoOfOneColour) {
    // Codes 256, 1, 258, 1, 257 at 9 bits, least significant bit first.
    const Encoded e = Encode({1, 1, 1, 1}, 8);
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.subBlocks, (Bytes{0x06, 0x00, 0x03, 0x08, 0x0C, 0x10, 0x10}));
}

TEST(LzwEncoderOutput, NoPixelsGiveClearAndEndOnly) {
    const Encoded e = Encode({}, 8);
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.subBlocks, (Bytes{0x03, 0x00, 0x03, 0x02}));  // 256, 257
}

TEST(LzwEncoderOutput, FirstCodeIsClearAtEveryCodeSize) {
    for (int32_t s = 2; s <= 8; ++s) {
        const Encoded e = Encode(Pattern("random", 50, s, 7), s);
        const ReferenceResult ref = ReferenceDecode(s, e.subBlocks);
        ASSERT_FALSE(ref.codes.empty());
        EXPECT_EQ(ref.codes.front(), std::make_pair(1 << s, s + 1)) << "s=" << s;
        EXPECT_EQ(ref.codes.back().first, (1 << s) + 1);
    }
}

TEST(LzwEncoderOutput, SubBlocksAreFull254ExceptTheLast) {
    const Encoded e = Encode(Pattern("random", 20000, 8, 3), 8);
    const std::vector<size_t> lengths = BlockLengths(e.subBlocks);
    ASSERT_GT(lengths.size(), 3u);
    for (size_t i = 0; i + 1 < lengths.size(); ++i) {
        ASSERT_EQ(lengths[i], 254u) << "block " << i;
    }
    EXPECT_GT(lengths.back(), 0u);
    EXPECT_LE(lengths.back(), 254u);
}

TEST(LzwEncoderOutput, FullTableSendsCodeThenClearAtTwelveBitsThenNineBits) {
    const Encoded e = Encode(Pattern("random", 30000, 8, 11), 8);
    const ReferenceResult ref = ReferenceDecode(8, e.subBlocks);
    ASSERT_TRUE(ref.ok);
    // The second clear code: 3838 strings were assigned (258..4095) after the first code.
    size_t second = 0;
    for (size_t i = 1; i < ref.codes.size(); ++i) {
        if (ref.codes[i].first == 256) {
            second = i;
            break;
        }
    }
    ASSERT_GT(second, 0u);
    EXPECT_EQ(second, 1u + 3839u);
    EXPECT_EQ(ref.codes[second - 1].second, 12);
    EXPECT_EQ(ref.codes[second].second, 12);
    EXPECT_EQ(ref.codes[second + 1].second, 9);
    EXPECT_EQ(ref.codes[second + 2].second, 9);
}

TEST(LzwEncoderOutput, WriteFailureIsReportedAfterTheEndCode) {
    auto encoder = std::make_unique<CLzwEncoder>();
    const Bytes pixels = Pattern("gradient", 1000, 8, 1);
    VectorPixels source(pixels);
    VectorSink sink;
    sink.failFlush = true;
    EXPECT_FALSE(encoder->Compress(9, source, sink));
    EXPECT_EQ(sink.flushes, 1);
    EXPECT_FALSE(sink.data.empty());  // everything was still handed over
}

TEST(LzwEncoderOutput, EncoderObjectCanBeReused) {
    auto encoder = std::make_unique<CLzwEncoder>();
    const Bytes a = Pattern("random", 9000, 8, 5);
    const Bytes b = Pattern("runs", 500, 8, 6);
    VectorPixels sa(a), sb(b);
    VectorSink first, second;
    ASSERT_TRUE(encoder->Compress(9, sa, first));
    ASSERT_TRUE(encoder->Compress(9, sb, second));
    EXPECT_EQ(second.data, Encode(b, 8).subBlocks);  // nothing carried over from the first
}

// ---- pixel spans and sub-block hand-over ----

namespace {

// Hands pixels over in spans of lengths taken in turn from a list, alternately from its own
// memory and copied into the encoder's scratch space (cut to its capacity).
class SpanPixels : public CLzwPixelSource {
public:
    SpanPixels(const Bytes& pixels, std::vector<int32_t> spanLengths)
        : data(pixels), lengths(std::move(spanLengths)) {}
    int32_t NextPixel() override { return pos < data.size() ? data[pos++] : -1; }
    int32_t NextSpan(const uint8_t*& span, uint8_t* scratch, int32_t capacity) override {
        int32_t n = int32_t(std::min(size_t(lengths[turn % lengths.size()]), data.size() - pos));
        if (turn++ % 2 == 0) {
            span = data.data() + pos;
        } else {
            n = std::min(n, capacity);
            std::copy(data.begin() + long(pos), data.begin() + long(pos) + n, scratch);
            span = scratch;
        }
        pos += size_t(n);
        return n;
    }

private:
    const Bytes& data;
    std::vector<int32_t> lengths;
    size_t pos = 0;
    size_t turn = 0;
};

}  // namespace

TEST(LzwEncoderSpans, SpanLengthsDoNotChangeTheStream) {
    const std::vector<std::vector<int32_t>> splits = {{1},       {2, 1},    {3, 7, 1, 64}, {640},
                                                      {5000, 1}, {1, 5000}, {100000}};
    for (int32_t s : {3, 8}) {
        for (const char* kind : {"random", "bursts", "flat"}) {
            const Bytes pixels = Pattern(kind, 30000, s, uint32_t(s) + 40);
            const Encoded plain = Encode(pixels, s);
            for (const std::vector<int32_t>& lengths : splits) {
                auto encoder = std::make_unique<CLzwEncoder>();
                SpanPixels source(pixels, lengths);
                VectorSink sink;
                ASSERT_TRUE(encoder->Compress(s + 1, source, sink));
                ASSERT_EQ(sink.data, plain.subBlocks)
                    << kind << " s=" << s << " first span " << lengths[0];
            }
        }
    }
}

TEST(LzwEncoderSpans, EveryStreamLengthAroundManySubBlocksIsFramedAndDecodes) {
    // Pixel counts whose streams end on and around sub-block edges, over many sub-blocks.
    const Bytes all = Pattern("random", 3400, 8, 17);
    bool endedOnAnEdge = false;
    for (size_t n = 2700; n <= all.size(); ++n) {
        const Bytes pixels(all.begin(), all.begin() + long(n));
        const Encoded e = Encode(pixels, 8);
        ASSERT_TRUE(e.ok);
        const std::vector<size_t> lengths = BlockLengths(e.subBlocks);
        size_t total = 0;
        for (size_t i = 0; i < lengths.size(); ++i) {
            ASSERT_TRUE(lengths[i] == 254 || (i + 1 == lengths.size() && lengths[i] > 0))
                << n << " pixels, block " << i << " of " << lengths[i];
            total += lengths[i];
        }
        endedOnAnEdge = endedOnAnEdge || total % 254 == 0;
        const ReferenceResult ref = ReferenceDecode(8, e.subBlocks);
        ASSERT_TRUE(ref.ok) << n << " pixels";
        ASSERT_EQ(ref.pixels, pixels) << n << " pixels";
    }
    EXPECT_TRUE(endedOnAnEdge);
}

// ---- round trips ----

TEST(LzwRoundTrip, VariedDataAtEveryCodeSize) {
    const char* kinds[] = {"random", "gradient", "bursts", "flat"};
    for (int32_t s = 2; s <= 8; ++s) {
        for (const char* kind : kinds) {
            for (size_t n : {size_t(1), size_t(2), size_t(7), size_t(300), size_t(70001)}) {
                const Bytes pixels = Pattern(kind, n, s, uint32_t(n * 31 + size_t(s)));
                const Encoded e = Encode(pixels, s);
                ASSERT_TRUE(e.ok);
                const ReferenceResult ref = ReferenceDecode(s, e.subBlocks);
                ASSERT_TRUE(ref.ok) << kind << " s=" << s << " n=" << n;
                ASSERT_EQ(ref.pixels, pixels) << kind << " s=" << s << " n=" << n;
                ASSERT_EQ(DecodeOurs(e, s, 1), pixels) << kind << " s=" << s << " n=" << n;
            }
        }
    }
}

TEST(LzwRoundTrip, LinesOfTheImageWidth) {
    const Bytes pixels = Pattern("bursts", 640 * 48, 8, 99);
    const Encoded e = Encode(pixels, 8);
    Bytes stream{8};
    stream.insert(stream.end(), e.subBlocks.begin(), e.subBlocks.end());
    stream.push_back(0);
    VectorSource source(stream);
    LineCollector lines;
    CLzwDecoder decoder(source, lines);
    int32_t bad = 0;
    ASSERT_EQ(decoder.Decode(640, bad), 0);
    ASSERT_EQ(lines.lines.size(), 48u);
    for (size_t y = 0; y < 48; ++y) {
        ASSERT_EQ(lines.lines[y],
                  Bytes(pixels.begin() + long(y * 640), pixels.begin() + long((y + 1) * 640)));
    }
}

TEST(LzwRoundTrip, MillionPixelsOfOneColourMakeTheLongestStrings) {
    const Bytes pixels(1 << 20, 3);
    const Encoded e = Encode(pixels, 2);
    EXPECT_LT(e.subBlocks.size(), 4000u);  // strings up to thousands of pixels long
    EXPECT_EQ(DecodeOurs(e, 2, 1024), pixels);
}

// ---- threads ----

namespace {

struct CodingJob {
    Bytes pixels;
    int32_t s = 8;
    Bytes encoded;
    Bytes decoded;
    CEvent done;
};

uint32_t RunCodingJob(void* param) {
    // The thread keeps its own reference, so the job outlives the SetEvent call.
    std::unique_ptr<std::shared_ptr<CodingJob>> holder(
        static_cast<std::shared_ptr<CodingJob>*>(param));
    CodingJob& job = **holder;
    for (int32_t round = 0; round < 20; ++round) {
        job.encoded = Encode(job.pixels, job.s).subBlocks;
        job.decoded = DecodeOurs(Encoded{job.encoded, true}, job.s, 64);
    }
    job.done.SetEvent();
    return 0;
}

bool Start(const std::shared_ptr<CodingJob>& job) {
    auto* param = new std::shared_ptr<CodingJob>(job);
    if (AfxBeginThread(RunCodingJob, param) == nullptr) {
        delete param;
        return false;
    }
    return true;
}

}  // namespace

TEST(LzwThreads, TwoThreadsCodeAtOnce) {
    auto a = std::make_shared<CodingJob>();
    auto b = std::make_shared<CodingJob>();
    a->pixels = Pattern("random", 64 * 300, 8, 21);
    b->pixels = Pattern("bursts", 64 * 300, 4, 22);
    b->s = 4;
    ASSERT_TRUE(Start(a));
    ASSERT_TRUE(Start(b));
    const bool aDone = a->done.Wait(60000) == WAIT_OBJECT_0;
    const bool bDone = b->done.Wait(60000) == WAIT_OBJECT_0;
    ASSERT_TRUE(aDone && bDone);
    EXPECT_EQ(a->decoded, a->pixels);
    EXPECT_EQ(b->decoded, b->pixels);
    EXPECT_EQ(a->encoded, Encode(a->pixels, 8).subBlocks);
    EXPECT_EQ(b->encoded, Encode(b->pixels, 4).subBlocks);
}
