// GIF decode and encode of a 640 x 480 8-bit picture: our reader and writer against giflib on
// the same file, plus the LZW coder alone in memory.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "codecs/LzwDecoder.h"
#include "codecs/LzwEncoder.h"
#include "image/ImageFormats.h"

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

// A photograph-like picture: smooth gradients with a little noise, so strings have a range
// of lengths.
std::vector<uint8_t> Picture() {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int32_t base = (x / 5 + y / 3 + (x * y) / 4000) & 0xFF;
            pixels[size_t(y) * kWidth + size_t(x)] = uint8_t(base ^ ((noise >> 16) & 0x03));
        }
    }
    return pixels;
}

std::unique_ptr<CGifImpl> PictureImage() {
    auto gif = std::make_unique<CGifImpl>("");
    gif->Create(kWidth, kHeight, 8, -1);
    const std::vector<uint8_t> pixels = Picture();
    for (int32_t r = 0; r < kHeight; ++r) {
        std::copy(pixels.begin() + ptrdiff_t(r) * kWidth, pixels.begin() + ptrdiff_t(r + 1) * kWidth,
                  gif->PictureRow(r));
    }
    BYTE ramp[256];
    for (int32_t i = 0; i < 256; ++i) {
        ramp[i] = BYTE(i);
    }
    gif->CreatePalette(256, ramp, nullptr, nullptr);
    return gif;
}

const std::string& OurFile() {
    static const std::string path = [] {
        const std::string p = "/tmp/movitrel-bench-gif.gif";
        PictureImage()->Write(p);
        return p;
    }();
    return path;
}

void BM_OurGifRead(benchmark::State& state) {
    const std::string& path = OurFile();
    CGifImpl gif("");
    for (auto _ : state) {
        benchmark::DoNotOptimize(gif.Read(path));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_GiflibRead(benchmark::State& state) {
    const std::string& path = OurFile();
    std::vector<GifPixelType> line(kWidth);
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        while (gif && DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
            if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) != GIF_OK) {
                break;
            }
            for (int32_t r = 0; r < gif->Image.Height; ++r) {
                DGifGetLine(gif, line.data(), gif->Image.Width);
            }
            break;
        }
        DGifCloseFile(gif, &error);
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_OurGifWrite(benchmark::State& state) {
    auto gif = PictureImage();
    const std::string path = "/tmp/movitrel-bench-gif-ours-out.gif";
    for (auto _ : state) {
        benchmark::DoNotOptimize(gif->Write(path));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_GiflibWrite(benchmark::State& state) {
    const std::vector<uint8_t> pixels = Picture();
    std::vector<GifPixelType> line(kWidth);
    const std::string path = "/tmp/movitrel-bench-gif-giflib-out.gif";
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
        ColorMapObject* map = GifMakeMapObject(256, nullptr);
        for (int32_t i = 0; i < 256; ++i) {
            map->Colors[i] = {GifByteType(i), GifByteType(i), GifByteType(i)};
        }
        EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
        for (int32_t r = 0; r < kHeight; ++r) {
            std::copy(pixels.begin() + ptrdiff_t(r) * kWidth,
                      pixels.begin() + ptrdiff_t(r + 1) * kWidth, line.begin());
            EGifPutLine(gif, line.data(), kWidth);
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// ---- the LZW coder alone, in memory ----

class MemoryPixels : public CLzwPixelSource {
public:
    explicit MemoryPixels(const std::vector<uint8_t>& data) : pixels(data) {}
    int32_t NextPixel() override { return pos < pixels.size() ? pixels[pos++] : -1; }

private:
    const std::vector<uint8_t>& pixels;
    size_t pos = 0;
};

class MemorySink : public CLzwByteSink {
public:
    void WriteBytes(const uint8_t* bytes, size_t count) override {
        data.insert(data.end(), bytes, bytes + count);
    }
    bool Flush() override { return true; }
    std::vector<uint8_t> data;
};

class MemorySource : public CLzwByteSource {
public:
    explicit MemorySource(const std::vector<uint8_t>& bytes) : data(bytes) {}
    int32_t GetGifByte() override { return pos < data.size() ? data[pos++] : -1; }

private:
    const std::vector<uint8_t>& data;
    size_t pos = 0;
};

class NullLines : public CLzwLineSink {
public:
    int32_t PutGifLine(const uint8_t* bytes, int32_t count) override {
        checksum += bytes[0] + uint32_t(count);
        return 0;
    }
    uint32_t checksum = 0;
};

void BM_LzwEncode(benchmark::State& state) {
    const std::vector<uint8_t> pixels = Picture();
    auto encoder = std::make_unique<CLzwEncoder>();
    for (auto _ : state) {
        MemoryPixels source(pixels);
        MemorySink sink;
        sink.data.reserve(pixels.size());
        encoder->Compress(9, source, sink);
        benchmark::DoNotOptimize(sink.data.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_LzwDecode(benchmark::State& state) {
    const std::vector<uint8_t> pixels = Picture();
    std::vector<uint8_t> stream{8};
    {
        auto encoder = std::make_unique<CLzwEncoder>();
        MemoryPixels source(pixels);
        MemorySink sink;
        encoder->Compress(9, source, sink);
        stream.insert(stream.end(), sink.data.begin(), sink.data.end());
        stream.push_back(0);
    }
    for (auto _ : state) {
        MemorySource source(stream);
        NullLines lines;
        auto decoder = std::make_unique<CLzwDecoder>(source, lines);
        int32_t bad = 0;
        decoder->Decode(kWidth, bad);
        benchmark::DoNotOptimize(lines.checksum);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

}  // namespace

BENCHMARK(BM_OurGifRead);
BENCHMARK(BM_GiflibRead);
BENCHMARK(BM_OurGifWrite);
BENCHMARK(BM_GiflibWrite);
BENCHMARK(BM_LzwEncode);
BENCHMARK(BM_LzwDecode);

BENCHMARK_MAIN();
