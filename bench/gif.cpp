// GIF decode and encode of two 1920 x 1080 8-bit pictures, our reader and writer against
// giflib on the same file with the same 256-entry colour map, plus the LZW coder alone in
// memory. Picture 0 is a photograph (a frame of the L set, quantised by the frame loader to
// 128 colours: MOVITREL_FRAMES, default /tmp/movitrel-frames); picture 1 a flat-colour
// graphic. The writers' file sizes are reported as the counter "bytes".
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "codecs/GifImpl.h"
#include "codecs/LzwDecoder.h"
#include "codecs/LzwEncoder.h"
#include "image/Image.h"
#include "image/ImageFormats.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

struct Picture {
    std::vector<uint8_t> pixels;  // picture rows, top first
    uint8_t rgb[256][3] = {};     // unused entries black
    bool ok = false;
};

Picture Photograph() {
    Picture p;
    const char* env = std::getenv("MOVITREL_FRAMES");
    CImage frame;
    if (!frame.Load(std::string(env ? env : "/tmp/movitrel-frames") + "/L/img0001.jpg", 1) ||
        frame.GetWidth() != kWidth || frame.GetHeight() != kHeight ||
        frame.GetBitsPerPixel() != 8 || frame.GetPalette() == nullptr) {
        return p;
    }
    const CImageImpl& impl = *frame.GetImpl();
    p.pixels.resize(size_t(kWidth) * kHeight);
    for (int32_t r = 0; r < kHeight; ++r) {
        std::copy_n(impl.PictureRow(r), kWidth, p.pixels.begin() + ptrdiff_t(r) * kWidth);
    }
    for (int32_t i = 0; i < frame.GetPalette()->GetEntryCount(); ++i) {
        frame.GetPalette()->GetEntryRGB(i, &p.rgb[i][0], &p.rgb[i][1], &p.rgb[i][2]);
    }
    p.ok = true;
    return p;
}

// Large areas of a few colours: panels, a checker of small squares, thin rules.
Picture FlatGraphic() {
    Picture p;
    p.pixels.resize(size_t(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            uint8_t v = uint8_t((x / 240 + (y / 180) * 3) % 6);
            if ((x / 16 + y / 16) % 11 == 0) v = 9;
            if (y % 200 < 4) v = 12;
            p.pixels[size_t(y) * kWidth + size_t(x)] = v;
        }
    }
    for (int32_t i = 0; i < 16; ++i) {
        p.rgb[i][0] = uint8_t(40 * (i % 6));
        p.rgb[i][1] = uint8_t(90 + 10 * i);
        p.rgb[i][2] = uint8_t(250 - 15 * i);
    }
    p.ok = true;
    return p;
}

const Picture& PictureFor(int64_t which) {
    static const Picture pictures[2] = {Photograph(), FlatGraphic()};
    return pictures[which];
}

std::unique_ptr<CGifImpl> OurImage(const Picture& p) {
    auto gif = std::make_unique<CGifImpl>("");
    gif->Create(kWidth, kHeight, 8, -1);
    for (int32_t r = 0; r < kHeight; ++r) {
        std::copy_n(p.pixels.begin() + ptrdiff_t(r) * kWidth, kWidth, gif->PictureRow(r));
    }
    gif->CreatePaletteFromRGB(256, &p.rgb[0][0]);
    return gif;
}

std::string TempFile(const std::string& leaf) {
    return (std::filesystem::temp_directory_path() / ("movitrel-bench-gif-" + leaf)).string();
}

// The picture as our writer makes it, which both readers then read.
const std::string& OurFile(int64_t which) {
    static const std::string paths[2] = {TempFile("photo.gif"), TempFile("flat.gif")};
    static bool written[2] = {};
    if (!written[which]) {
        OurImage(PictureFor(which))->Write(paths[which]);
        written[which] = true;
    }
    return paths[which];
}

bool Ready(benchmark::State& state) {
    if (PictureFor(state.range(0)).ok) return true;
    state.SkipWithError("no 1920x1080 frame: run make-frames.sh");
    return false;
}

void BM_OurGifRead(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::string& path = OurFile(state.range(0));
    CGifImpl gif("");
    for (auto _ : state) {
        benchmark::DoNotOptimize(gif.Read(path));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_GiflibRead(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::string& path = OurFile(state.range(0));
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
    if (!Ready(state)) return;
    auto gif = OurImage(PictureFor(state.range(0)));
    const std::string path = TempFile("ours-out.gif");
    for (auto _ : state) {
        benchmark::DoNotOptimize(gif->Write(path));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["bytes"] = double(std::filesystem::file_size(path));
}

void BM_GiflibWrite(benchmark::State& state) {
    if (!Ready(state)) return;
    const Picture& picture = PictureFor(state.range(0));
    std::vector<GifPixelType> line(kWidth);
    const std::string path = TempFile("giflib-out.gif");
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
        // The same 256 entries as ours, so both streams start at code size 8.
        ColorMapObject* map = GifMakeMapObject(256, nullptr);
        for (int32_t i = 0; i < 256; ++i) {
            map->Colors[i] = {picture.rgb[i][0], picture.rgb[i][1], picture.rgb[i][2]};
        }
        EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
        for (int32_t r = 0; r < kHeight; ++r) {
            std::copy_n(picture.pixels.begin() + ptrdiff_t(r) * kWidth, kWidth, line.begin());
            EGifPutLine(gif, line.data(), kWidth);
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["bytes"] = double(std::filesystem::file_size(path));
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
    if (!Ready(state)) return;
    const std::vector<uint8_t>& pixels = PictureFor(state.range(0)).pixels;
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
    if (!Ready(state)) return;
    const std::vector<uint8_t>& pixels = PictureFor(state.range(0)).pixels;
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

BENCHMARK(BM_OurGifRead)->Arg(0)->Arg(1);
BENCHMARK(BM_GiflibRead)->Arg(0)->Arg(1);
BENCHMARK(BM_OurGifWrite)->Arg(0)->Arg(1);
BENCHMARK(BM_GiflibWrite)->Arg(0)->Arg(1);
BENCHMARK(BM_LzwEncode)->Arg(0)->Arg(1);
BENCHMARK(BM_LzwDecode)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
