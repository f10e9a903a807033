#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "codecs/LzwDecoder.h"
#include "codecs/LzwEncoder.h"
#include "tests/codecs/LzwTestSupport.h"

using namespace lzwtest;

namespace {

struct DecodeResult {
    int16_t result = 0;
    int32_t badCodes = 0;
    std::vector<Bytes> lines;
    size_t consumed = 0;  // source bytes read by Decode and SkipRemainingData
};

DecodeResult DecodeStream(const Bytes& stream, int32_t width, int32_t lineLimit = -1,
                          int32_t stopValue = -1) {
    VectorSource source(stream);
    LineCollector lines(lineLimit, stopValue);
    CLzwDecoder decoder(source, lines);
    DecodeResult r;
    r.result = decoder.Decode(width, r.badCodes);
    decoder.SkipRemainingData();
    r.lines = lines.lines;
    r.consumed = source.Position();
    return r;
}

Bytes Join(const std::vector<Bytes>& lines) {
    Bytes all;
    for (const Bytes& l : lines) {
        all.insert(all.end(), l.begin(), l.end());
    }
    return all;
}

}  // namespace

// ---- codes and widths ----

TEST(LzwDecoderCodes, GetNextCodeTakesBitsLeastSignificantFirst) {
    // Minimum code size 2: codes are 3 bits wide until the table grows.
    VectorSource source({
        0x02,        // sub-block of 2 bytes
        0b10001100,  // codes 4 (bits 0-2), 1 (bits 3-5), low bits of the third
        0b00000001,  // rest of the third code: 2 + 4 = 6
        0x00,
    });
    LineCollector lines;
    CLzwDecoder decoder(source, lines);
    decoder.InitTable(2);
    EXPECT_EQ(decoder.GetNextCode(), 4);
    EXPECT_EQ(decoder.GetNextCode(), 1);
    EXPECT_EQ(decoder.GetNextCode(), 6);
    EXPECT_EQ(decoder.GetNextCode(), 0);  // the remaining zero bits of the block
    EXPECT_EQ(decoder.GetNextCode(), 0);
    EXPECT_LT(decoder.GetNextCode(), 0);  // the empty sub-block ends the data
    EXPECT_LT(decoder.GetNextCode(), 0);  // and nothing after it is read
    EXPECT_EQ(source.Position(), 4u);
}

TEST(LzwDecoderCodes, CodesSpanSubBlocksOfOneByte) {
    CodePacker p(8);
    p.Code(256).Code(65).Code(66).Code(258).Code(259).Code(257);
    const DecodeResult r = DecodeStream(p.Stream(1), 3);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{65, 66, 65}, {66, 66, 65}}));  // 258 = AB, 259 = BA
}

TEST(LzwDecoderCodes, WidthGrowsWhenTheTableReachesTheTopSlot) {
    // s = 2: entries 6 and 7 fill the 3-bit table, so the end code is 4 bits wide.
    CodePacker p(2);
    p.Code(4).Code(1).Code(2).Code(6);
    ASSERT_EQ(p.Width(), 4);
    p.Code(5);
    const DecodeResult r = DecodeStream(p.Stream(), 2);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1, 2}, {1, 2}}));
    EXPECT_EQ(r.consumed, p.Stream().size());
}

TEST(LzwDecoderCodes, MinimumCodeSizeNineIsAccepted) {
    CodePacker p(9);
    p.Code(512).Code(65).Code(200).Code(514).Code(513);
    const DecodeResult r = DecodeStream(p.Stream(), 4);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{65, 200, 65, 200}}));
}

// ---- clear and end codes ----

TEST(LzwDecoderClear, KwKwKCodeRepeatsTheLastStringPlusItsFirstByte) {
    CodePacker p(2);
    p.Code(4).Code(1).Code(6).Code(7).Code(5);  // 1 | 1 1 | 1 1 1
    const DecodeResult r = DecodeStream(p.Stream(), 6);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.badCodes, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1, 1, 1, 1, 1, 1}}));
}

TEST(LzwDecoderClear, ClearCodeResetsTableAndWidth) {
    CodePacker p(2);
    // Before the clear, 6 = "3 3"; after it, 6 is rebuilt as "2 1".
    p.Code(4).Code(3).Code(3).Code(6).Code(4).Code(4).Code(2).Code(1).Code(6).Code(5);
    const DecodeResult r = DecodeStream(p.Stream(), 3);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{3, 3, 3}, {3, 2, 1}, {2, 1}}));
    EXPECT_EQ(r.badCodes, 0);
}

TEST(LzwDecoderClear, StreamWithoutLeadingClearDecodesLikeOneWithIt) {
    CodePacker with(2), without(2);
    with.Code(4);
    for (int32_t c : {1, 2, 6, 8, 0, 3}) {
        with.Code(c);
        without.Code(c);
    }
    with.Code(5);
    without.Code(5);
    const Bytes withStream = with.Stream();
    const DecodeResult a = DecodeStream(withStream, 1);
    const DecodeResult b = DecodeStream(without.Stream(), 1);
    EXPECT_EQ(a.result, 0);
    const ReferenceResult ref = ReferenceDecode(2, Bytes(withStream.begin() + 1, withStream.end()));
    ASSERT_TRUE(ref.ok);
    EXPECT_EQ(Join(a.lines), ref.pixels);
    EXPECT_EQ(Join(a.lines), Join(b.lines));
}

TEST(LzwDecoderClear, FirstCodeAfterClearBeyondTableIsTakenAsZero) {
    CodePacker p(2);
    p.Code(4).Code(7).Code(2).Code(5);
    const DecodeResult r = DecodeStream(p.Stream(), 2);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{0, 2}}));
}

TEST(LzwDecoderClear, EndCodeStopsAndSkipFindsTheNextBlock) {
    CodePacker p(2);
    p.Code(4).Code(1).Code(5).Code(3).Code(3).Code(3);  // codes after the end are ignored
    Bytes stream = p.Stream(1);
    const size_t dataEnd = stream.size();
    stream.push_back(0x3B);  // the block after the image
    const DecodeResult r = DecodeStream(stream, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1}}));
    EXPECT_EQ(r.consumed, dataEnd);
}

TEST(LzwDecoderClear, PartialLineIsDeliveredAtTheEndCode) {
    CodePacker p(2);
    p.Code(4).Code(1).Code(2).Code(3).Code(5);
    const DecodeResult r = DecodeStream(p.Stream(), 2);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1, 2}, {3}}));
}

// ---- a full table ----

namespace {

// s = 8: after the clear, 3838 codes of single pixels fill entries 258..4095.
CodePacker FillTable(Bytes& expected) {
    CodePacker p(8);
    p.Code(256);
    for (int32_t i = 0; i < 3839; ++i) {
        p.Code(i % 200);
        expected.push_back(uint8_t(i % 200));
    }
    return p;
}

}  // namespace

TEST(LzwDecoderFullTable, CodesStayTwelveBitsWithoutClear) {
    Bytes expected;
    CodePacker p = FillTable(expected);
    ASSERT_EQ(p.Width(), 12);
    p.Code(4095).Code(300).Code(7).Code(257);  // 300 = "42 43", made long ago
    const Bytes stream = p.Stream();
    const ReferenceResult ref = ReferenceDecode(8, Bytes(stream.begin() + 1, stream.end()));
    ASSERT_TRUE(ref.ok);
    expected = ref.pixels;
    const DecodeResult r = DecodeStream(stream, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.badCodes, 0);
    EXPECT_EQ(Join(r.lines), expected);
    EXPECT_EQ(r.consumed, stream.size());
}

TEST(LzwDecoderFullTable, ClearAtFullTableReturnsToNineBits) {
    Bytes expected;
    CodePacker p = FillTable(expected);
    p.Code(256);
    ASSERT_EQ(p.Width(), 9);
    p.Code(10).Code(11).Code(258).Code(257);
    const Bytes stream = p.Stream();
    for (uint8_t b : {10, 11, 10, 11}) {
        expected.push_back(b);
    }
    const DecodeResult r = DecodeStream(stream, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(Join(r.lines), expected);
}

// ---- early ends and stops ----

TEST(LzwDecoderEarlyEnd, DataEndingWithoutEndCodeKeepsFullLines) {
    CodePacker p(2);
    // 3 + 3 + 3 + 3 + 4 bits: exactly two bytes, so no padding bits form a code.
    p.Code(4).Code(1).Code(2).Code(3).Code(1);  // no end code
    const DecodeResult r = DecodeStream(p.Stream(), 3);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1, 2, 3}}));  // the partial line is dropped
}

TEST(LzwDecoderEarlyEnd, SourceEndingInsideASubBlock) {
    CodePacker p(2);
    p.Code(4).Code(1).Code(2).Code(1).Code(2).Code(5);
    Bytes stream = p.Stream();
    stream.resize(stream.size() - 2);
    const DecodeResult r = DecodeStream(stream, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.lines.empty());  // the truncated block is not decoded
    EXPECT_EQ(r.consumed, stream.size());
}

TEST(LzwDecoderEarlyEnd, EmptySubBlockBeforeEndCodeStopsWithoutReadingOn) {
    const Bytes stream = {
        0x02,        // minimum code size
        0x01, 0x0C,  // codes 4 (clear), 1
        0x00,        // data terminator before any end code
        0x2C, 0x01,  // next block: must not be taken as image data
    };
    const DecodeResult r = DecodeStream(stream, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1}}));
    EXPECT_EQ(r.consumed, 4u);
}

TEST(LzwDecoderEarlyEnd, MissingCodeSizeBytePassesTheSourceValueOn) {
    const DecodeResult r = DecodeStream({}, 4);
    EXPECT_EQ(r.result, -1);
}

TEST(LzwDecoderEarlyEnd, LineSinkRefusalStopsDecodingWithItsValue) {
    CodePacker p(2);
    p.Code(4);
    for (int32_t i = 0; i < 10; ++i) {
        p.Code(i % 4);
    }
    p.Code(5);
    const DecodeResult r = DecodeStream(p.Stream(), 2, 3, -7);
    EXPECT_EQ(r.result, -7);
    EXPECT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.consumed, p.Stream().size());  // the skip still finds the data's end
}

TEST(LzwDecoderEarlyEnd, BadMinimumCodeSizes) {
    for (uint8_t s : {0, 1, 10, 12, 255}) {
        const DecodeResult r = DecodeStream({s, 0x01, 0xFF, 0x00, 0x3B}, 4);
        EXPECT_EQ(r.result, CLzwDecoder::kBadCodeSize) << int(s);
        EXPECT_TRUE(r.lines.empty());
        EXPECT_EQ(r.consumed, 4u) << "skip stops after the empty sub-block";
    }
}

TEST(LzwDecoderEarlyEnd, WidthZeroStoresNothing) {
    CodePacker p(2);
    p.Code(4).Code(1).Code(5);
    const DecodeResult r = DecodeStream(p.Stream(), 0);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_EQ(r.consumed, p.Stream().size());
}

// ---- sub-block boundaries ----

namespace {

// The packed code bits of a stream made by the encoder, without any sub-block framing.
Bytes PackedBits(const Bytes& pixels, int32_t s) {
    auto encoder = std::make_unique<CLzwEncoder>();
    VectorPixels source(pixels);
    VectorSink sink;
    encoder->Compress(s + 1, source, sink);
    Bytes packed;
    for (size_t i = 0; i < sink.data.size(); i += size_t(sink.data[i]) + 1) {
        packed.insert(packed.end(), sink.data.begin() + long(i) + 1,
                      sink.data.begin() + long(i) + 1 + sink.data[i]);
    }
    return packed;
}

// The code size byte, then packed in sub-blocks: the first of firstLength bytes, the rest of
// length bytes, then the empty sub-block.
Bytes Framed(int32_t s, const Bytes& packed, size_t firstLength, size_t length) {
    Bytes out{uint8_t(s)};
    for (size_t i = 0, n = firstLength; i < packed.size(); i += n, n = length) {
        n = std::min(n, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

Bytes Bursts(size_t n, uint32_t colours, uint32_t seed) {
    Rng rng(seed);
    Bytes p(n);
    for (size_t i = 0; i < n; ++i) {
        p[i] = i > 0 && rng.Below(12) ? p[i - 1] : uint8_t(rng.Below(colours));
    }
    return p;
}

}  // namespace

TEST(LzwDecoderSubBlocks, EveryByteOfTheStreamCanEndASubBlock) {
    // Enough pixels for widths 9 to 12 and a clear code at the full table: with the first
    // sub-block 1..255 bytes long and full ones after it, each width change, the clear and
    // every code fall on a sub-block edge in some round.
    const Bytes pixels = Bursts(24000, 256, 8);
    const Bytes packed = PackedBits(pixels, 8);
    const Bytes plain = Framed(8, packed, 255, 255);
    const ReferenceResult ref = ReferenceDecode(8, Bytes(plain.begin() + 1, plain.end()));
    ASSERT_TRUE(ref.ok);
    ASSERT_EQ(std::count(ref.codes.begin(), ref.codes.end(), std::make_pair(256, 12)), 1);
    for (size_t first = 1; first <= 255; ++first) {
        const Bytes stream = Framed(8, packed, first, 255);
        const DecodeResult r = DecodeStream(stream, 97);
        ASSERT_EQ(r.result, 0) << "first sub-block " << first;
        ASSERT_EQ(r.badCodes, 0) << "first sub-block " << first;
        ASSERT_EQ(Join(r.lines), pixels) << "first sub-block " << first;
        ASSERT_EQ(r.consumed, stream.size()) << "first sub-block " << first;
    }
}

TEST(LzwDecoderSubBlocks, ShortSubBlocksOfEveryLength) {
    // Blocks shorter than a word, a word long, and just over it.
    for (int32_t s : {2, 5, 8}) {
        const Bytes pixels = Bursts(9000, 1u << s, uint32_t(s));
        const Bytes packed = PackedBits(pixels, s);
        for (size_t length = 1; length <= 17; ++length) {
            const Bytes stream = Framed(s, packed, length, length);
            const DecodeResult r = DecodeStream(stream, 64);
            ASSERT_EQ(r.result, 0) << "s=" << s << " length " << length;
            ASSERT_EQ(Join(r.lines), pixels) << "s=" << s << " length " << length;
            ASSERT_EQ(r.consumed, stream.size()) << "s=" << s << " length " << length;
        }
    }
}

TEST(LzwDecoderSubBlocks, SourceEndingAtEveryByteKeepsTheLinesOfWholeSubBlocks) {
    // The reference decoder sees only the sub-blocks that arrived whole, as ours must.
    const int32_t s = 4;
    const Bytes pixels = Bursts(600, 16, 3);
    const Bytes stream = Framed(s, PackedBits(pixels, s), 13, 13);
    const int32_t width = 10;
    for (size_t cut = 1; cut < stream.size(); ++cut) {
        const Bytes part(stream.begin(), stream.begin() + long(cut));
        Bytes whole;
        for (size_t i = 1; i < part.size() && i + part[i] < part.size(); i += size_t(part[i]) + 1) {
            whole.insert(whole.end(), part.begin() + long(i), part.begin() + long(i) + 1 + part[i]);
        }
        const ReferenceResult ref = ReferenceDecode(s, whole);
        const size_t fullLines =
            ref.ok ? (ref.pixels.size() + width - 1) / width : ref.pixels.size() / width;
        const DecodeResult r = DecodeStream(part, width);
        ASSERT_EQ(r.result, 0) << "cut at " << cut;
        ASSERT_EQ(r.lines.size(), fullLines) << "cut at " << cut;
        ASSERT_EQ(Join(r.lines),
                  Bytes(ref.pixels.begin(),
                        ref.pixels.begin() + long(std::min(ref.pixels.size(), fullLines * width))))
            << "cut at " << cut;
        ASSERT_EQ(r.consumed, cut) << "cut at " << cut;
    }
}

// ---- lines ----

TEST(LzwDecoderLines, LinesOfEveryWidthUpToAndBeyondTheLongestString) {
    // One colour makes strings of up to 90 pixels, so a string may fill several lines.
    Bytes pixels(4000, 7);
    const Bytes bursts = Bursts(3000, 256, 5);
    pixels.insert(pixels.end(), bursts.begin(), bursts.end());
    const Bytes packed = PackedBits(pixels, 8);
    const Bytes stream = Framed(8, packed, 255, 255);
    for (int32_t width = 1; width <= 130; ++width) {
        const DecodeResult r = DecodeStream(stream, width);
        ASSERT_EQ(r.result, 0) << width;
        ASSERT_EQ(Join(r.lines), pixels) << width;
        const size_t rest = pixels.size() % size_t(width);
        ASSERT_EQ(r.lines.size(), pixels.size() / size_t(width) + (rest ? 1 : 0)) << width;
        ASSERT_EQ(r.lines.back().size(), rest ? rest : size_t(width)) << width;
    }
}

TEST(LzwDecoderLines, RefusalInsideALongStringStopsAtThatLine) {
    const Bytes pixels(3000, 9);
    const Bytes stream = Framed(8, PackedBits(pixels, 8), 255, 255);
    for (int32_t limit : {0, 1, 40, 299}) {
        VectorSource source(stream);
        LineCollector lines(limit, -9);
        CLzwDecoder decoder(source, lines);
        int32_t bad = 0;
        EXPECT_EQ(decoder.Decode(3, bad), -9) << limit;
        EXPECT_EQ(lines.calls, limit + 1) << "no line is offered after the refusal";
        EXPECT_EQ(lines.Joined(), Bytes(size_t(limit) * 3, 9)) << limit;
    }
}

// ---- hostile input ----

TEST(LzwDecoderHostile, CodeBeyondNextSlotIsCountedAndDecodedAsKwKwK) {
    CodePacker p(2);
    p.Code(4).Code(1).Code(7).Code(6).Code(5);  // 7 is above the next slot (6)
    const DecodeResult r = DecodeStream(p.Stream(), 5);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.badCodes, 1);
    EXPECT_EQ(r.lines, (std::vector<Bytes>{{1, 1, 1, 1, 1}}));
}

TEST(LzwDecoderHostile, RepeatedBadCodesNeverLeaveTheTable) {
    // Every code far above the table: each must give a bounded string.
    CodePacker p(8);
    p.Code(256).Code(1);
    for (int32_t i = 0; i < 5000; ++i) {
        p.Code(4095);
    }
    p.Code(257);
    const DecodeResult r = DecodeStream(p.Stream(), 1000);
    EXPECT_EQ(r.result, 0);
    EXPECT_GT(r.badCodes, 3000);
    for (const Bytes& line : r.lines) {
        for (uint8_t b : line) {
            ASSERT_EQ(b, 1);  // only pixel 1 was ever in the data
        }
    }
}

TEST(LzwDecoderHostile, RandomStreamsStayInBoundsAndLinesHaveTheirWidth) {
    Rng rng(12345);
    for (int32_t round = 0; round < 3000; ++round) {
        Bytes stream{uint8_t(2 + rng.Below(8))};
        const uint32_t blocks = 1 + rng.Below(6);
        for (uint32_t b = 0; b < blocks; ++b) {
            const uint32_t n = rng.Below(256);
            stream.push_back(uint8_t(n));
            for (uint32_t i = 0; i < n; ++i) {
                stream.push_back(uint8_t(rng.Next()));
            }
        }
        if (rng.Below(2)) {
            stream.resize(1 + rng.Below(uint32_t(stream.size())));
        }
        const int32_t width = 1 + int32_t(rng.Below(64));
        const DecodeResult r = DecodeStream(stream, width);
        EXPECT_LE(r.consumed, stream.size());
        EXPECT_EQ(r.result, 0);
        for (size_t i = 0; i + 1 < r.lines.size(); ++i) {
            ASSERT_EQ(r.lines[i].size(), size_t(width));
        }
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
}
