#include <gtest/gtest.h>

#include "codecs/LzwDecoder.h"
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
