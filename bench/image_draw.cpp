// Drawing a frame the way the control does: an 8-bit palettised picture through a realised
// palette, scaled (1920x1080 into 1600x900) and unscaled (1280x720). Also the per-frame
// Create that the JPEG reader makes, same size every time.
#include <benchmark/benchmark.h>

#include "image/Image.h"

namespace {

// A palettised picture with varied indices, as a quantised frame would be.
void MakeFrame(CImage& image, int32_t width, int32_t height) {
    image.Create(width, height, 8, -1);
    BYTE red[128], green[128], blue[128];
    for (int i = 0; i < 128; ++i) {
        red[i] = BYTE(i * 2);
        green[i] = BYTE(255 - i * 2);
        blue[i] = BYTE((i * 37) & 0xFF);
    }
    image.CreatePalette(128, red, green, blue);
    for (int32_t y = 0; y < height; ++y) {
        BYTE* row = image.GetImpl()->MemoryRow(y);
        for (int32_t x = 0; x < width; ++x) row[x] = BYTE((x / 7 + y / 5) % 128);
    }
}

void BM_StretchDraw1080To900(benchmark::State& state) {
    CImage image;
    MakeFrame(image, 1920, 1080);
    CDC dc(1600, 900);
    dc.SelectPalette(image.GetPalette()->GetSafeHandle(), TRUE);
    for (auto _ : state) {
        image.StretchDraw(&dc, 0, 0, 1600, 900, 0, 0, -1, -1);
        benchmark::DoNotOptimize(dc.Bits());
    }
    state.SetItemsProcessed(state.iterations() * 1600 * 900);
}
BENCHMARK(BM_StretchDraw1080To900)->Unit(benchmark::kMillisecond);

void BM_Draw720(benchmark::State& state) {
    CImage image;
    MakeFrame(image, 1280, 720);
    CDC dc(1280, 720);
    dc.SelectPalette(image.GetPalette()->GetSafeHandle(), TRUE);
    for (auto _ : state) {
        image.Draw(&dc, 0, 0, -1, -1, 0, 0);
        benchmark::DoNotOptimize(dc.Bits());
    }
    state.SetItemsProcessed(state.iterations() * 1280 * 720);
}
BENCHMARK(BM_Draw720)->Unit(benchmark::kMillisecond);

// The JPEG reader's Create for every frame of a 1080p sequence.
void BM_CreateSameSize1080(benchmark::State& state) {
    CImage image;
    for (auto _ : state) {
        image.Create(1920, 1080, 8, -1);
        benchmark::DoNotOptimize(image.GetBits());
        for (int32_t y = 0; y < 1080; ++y) image.GetImpl()->MemoryRow(y)[0] = 1;
    }
}
BENCHMARK(BM_CreateSameSize1080)->Unit(benchmark::kMicrosecond);

// The same without reuse: a new image object every frame.
void BM_CreateFresh1080(benchmark::State& state) {
    for (auto _ : state) {
        CImageImpl impl;
        impl.Create(1920, 1080, 8, -1);
        benchmark::DoNotOptimize(impl.imageBits);
        // Touch the rows as a decoder would, so lazily mapped pages are paid for.
        for (int32_t y = 0; y < 1080; ++y) impl.MemoryRow(y)[0] = 1;
    }
}
BENCHMARK(BM_CreateFresh1080)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
