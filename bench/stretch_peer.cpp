// The floor for the control's per-frame stretch: a bare nearest-neighbour loop from an 8-bit
// 1920x1080 frame through a 128-entry palette into a 1600x900 32-bit buffer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

void BM_BareStretchLoop1080To900(benchmark::State& state) {
    constexpr int sw = 1920, sh = 1080, dw = 1600, dh = 900;
    std::vector<uint8_t> src(size_t(sw) * sh);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t((i * 7) % 128);
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010203u;
    std::vector<uint32_t> dst(size_t(dw) * dh);
    std::vector<int> columns(dw);
    for (int x = 0; x < dw; ++x) columns[size_t(x)] = x * sw / dw;
    for (auto _ : state) {
        for (int y = 0; y < dh; ++y) {
            const uint8_t* row = &src[size_t(y * sh / dh) * sw];
            uint32_t* out = &dst[size_t(y) * dw];
            for (int x = 0; x < dw; ++x) out[x] = palette[row[columns[size_t(x)]]];
        }
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_BareStretchLoop1080To900)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
