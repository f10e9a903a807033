// The DIB file routines on their own: chunked writes, table sizes, header reading, saving.
#include <gtest/gtest.h>

#include <cstring>

#include "DibTestSupport.h"
#include "image/Dib.h"

using namespace dibtest;

namespace {

struct Recorder {
    std::vector<int64_t> sizes;
    std::vector<uint8_t> bytes;
    int64_t shortAt = -1;  // call number that takes one byte less
    DibWriter Writer() {
        return [this](const void* data, int64_t count) {
            const auto* p = static_cast<const uint8_t*>(data);
            bytes.insert(bytes.end(), p, p + count);
            sizes.push_back(count);
            return int64_t(sizes.size() - 1) == shortAt ? count - 1 : count;
        };
    }
};

std::vector<uint8_t> Pattern(size_t count) {
    std::vector<uint8_t> data(count);
    for (size_t i = 0; i < count; ++i) data[i] = uint8_t(i * 7 + i / 256);
    return data;
}

}  // namespace

TEST(WriteInChunks, HundredThousandBytesGoOutInFourChunks) {
    const auto data = Pattern(100000);
    Recorder rec;
    EXPECT_EQ(WriteInChunks(rec.Writer(), data.data(), 100000), 100000);
    EXPECT_EQ(rec.sizes, (std::vector<int64_t>{32768, 32768, 32768, 1696}));
    EXPECT_EQ(rec.bytes, data);
}

TEST(WriteInChunks, ExactMultipleEndsWithAFullChunk) {
    const auto data = Pattern(65536);
    Recorder rec;
    EXPECT_EQ(WriteInChunks(rec.Writer(), data.data(), 65536), 65536);
    EXPECT_EQ(rec.sizes, (std::vector<int64_t>{32768, 32768}));

    Recorder small;
    EXPECT_EQ(WriteInChunks(small.Writer(), data.data(), 100), 100);
    EXPECT_EQ(small.sizes, (std::vector<int64_t>{100}));
}

TEST(WriteInChunks, ShortWriteStopsAndGivesZero) {
    const auto data = Pattern(100000);
    Recorder first;
    first.shortAt = 0;
    EXPECT_EQ(WriteInChunks(first.Writer(), data.data(), 100000), 0);
    EXPECT_EQ(first.sizes.size(), 1u);
    Recorder last;
    last.shortAt = 3;
    EXPECT_EQ(WriteInChunks(last.Writer(), data.data(), 100000), 0);
    EXPECT_EQ(last.sizes.size(), 4u);
}

TEST(WriteInChunks, ToAFileHandle) {
    const auto data = Pattern(70000);
    const auto path = TempPath("chunks.bin");
    const HFILE file = FileCreate(path);
    ASSERT_NE(file, HFILE_ERROR);
    EXPECT_EQ(WriteInChunks(file, data.data(), 70000), 70000);
    FileClose(file);
    EXPECT_EQ(ReadAll(path), data);
}

TEST(ColorTableBytes, ByHeaderKindAndDepth) {
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biBitCount = 8;
    EXPECT_EQ(ColorTableBytes(&h), 1024);
    h.biClrUsed = 20;
    EXPECT_EQ(ColorTableBytes(&h), 80);
    h.biBitCount = 24;
    h.biClrUsed = 0;
    EXPECT_EQ(ColorTableBytes(&h), 0);
    h.biBitCount = 16;
    h.biCompression = BI_BITFIELDS;
    EXPECT_EQ(ColorTableBytes(&h), 12);

    BITMAPCOREHEADER core{12, 4, 4, 1, 4};
    EXPECT_EQ(ColorTableBytes(reinterpret_cast<const BITMAPINFOHEADER*>(&core)), 48);
    core.bcBitCount = 24;
    EXPECT_EQ(ColorTableBytes(reinterpret_cast<const BITMAPINFOHEADER*>(&core)), 0);
}

TEST(ReadDIBInfo, HandleErrorGivesNothing) {
    EXPECT_FALSE(ReadDIBInfo(HFILE_ERROR));
}

TEST(ReadDIBInfo, LeavesTheFileAtTheRowsNamedByTheOffset) {
    // Two bytes of padding between the table and the rows; the offset says so.
    const auto info = InfoHeader(1, 1, 1, BI_RGB, 4, 2);
    const auto table = Bytes().U32(0).U32(0x00FFFFFF).data;
    const uint32_t offBits = 14 + 40 + 8 + 2;
    const auto bytes = FileHeader(offBits + 4, offBits)
                           .Append(info.data)
                           .Append(table)
                           .U8(0xEE)
                           .U8(0xEE)
                           .U8(0x80)
                           .U8(1)
                           .U8(2)
                           .U8(3);
    const auto path = WriteTemp("offbits.bmp", bytes.data);
    const HFILE file = FileOpenRead(path);
    ASSERT_NE(file, HFILE_ERROR);
    const CDibBlock block = ReadDIBInfo(file);
    ASSERT_TRUE(block);
    EXPECT_EQ(block.size, 48u);
    EXPECT_EQ(block.Header()->biClrUsed, 2u);
    EXPECT_EQ(std::memcmp(block.bytes.get() + 40, table.data(), 8), 0);
    EXPECT_EQ(FileSeek(file, 0, SEEK_CUR), offBits);
    FileClose(file);
}

TEST(ReadDIBInfo, StartsFromTheCurrentPosition) {
    // The BMP is embedded after 5 bytes of something else; its offsets count from its start.
    const auto bmp = BmpFile(InfoHeader(1, 1, 24, BI_RGB, 4, 0), {}, {9, 8, 7, 0});
    const auto bytes = Bytes().Fill(5, 0x55).Append(bmp);
    const auto path = WriteTemp("embedded.bmp", bytes.data);
    const HFILE file = FileOpenRead(path);
    ASSERT_EQ(FileSeek(file, 5, SEEK_SET), 5);
    const CDibBlock block = ReadDIBInfo(file);
    ASSERT_TRUE(block);
    EXPECT_EQ(block.size, 40u);
    EXPECT_EQ(FileSeek(file, 0, SEEK_CUR), 5 + 54);
    FileClose(file);
}

TEST(LoadDIBBlock, MissingFileGivesNothing) {
    EXPECT_FALSE(LoadDIBBlock(TempPath("nothing-here.bmp")));
}

TEST(SaveDIBBlock, WritesFileHeaderThenTheBlock) {
    // 16-bit bitfields: the masks are part of the table.
    auto block = InfoHeader(1, 2, 16, BI_BITFIELDS, 8, 0)
                     .U32(0xF800)
                     .U32(0x07E0)
                     .U32(0x001F)
                     .U16(0x1234)
                     .U16(0)
                     .U16(0x5678)
                     .U16(0);
    const auto path = TempPath("saved.bmp");
    ASSERT_TRUE(SaveDIBBlock(path, reinterpret_cast<const BITMAPINFOHEADER*>(block.data.data()),
                             block.data.size()));
    const auto file = ReadAll(path);
    ASSERT_EQ(file.size(), 14 + block.data.size());
    EXPECT_EQ(Le32(file, 10), 14u + 40u + 12u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 14, file.end()), block.data);
}

TEST(SaveDIBBlock, RefusesBlocksThatDoNotHoldTheirRows) {
    const auto path = TempPath("refused.bmp");
    EXPECT_FALSE(SaveDIBBlock(path, nullptr, 0));
    auto block = InfoHeader(4, 4, 8, BI_RGB, 16, 4).Fill(16, 0).Fill(15, 0);  // one byte short
    EXPECT_FALSE(SaveDIBBlock(path, reinterpret_cast<const BITMAPINFOHEADER*>(block.data.data()),
                              block.data.size()));
    block.U8(0);
    EXPECT_TRUE(SaveDIBBlock(path, reinterpret_cast<const BITMAPINFOHEADER*>(block.data.data()),
                             block.data.size()));
    EXPECT_FALSE(SaveDIBBlock(TempPath("no-dir/x.bmp"),
                              reinterpret_cast<const BITMAPINFOHEADER*>(block.data.data()),
                              block.data.size()));
}
