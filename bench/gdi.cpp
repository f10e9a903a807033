// The blits the control makes every frame: an 8-bit frame of 128 palette colours drawn
// through the realised palette, stretched to the control or unscaled.
#include "platform/Gdi.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// An 8-bit DIB_PAL_COLORS frame with 128 colours, as the JPEG reader makes them.
struct Frame {
    Frame(int32_t width, int32_t height)
        : header(sizeof(BITMAPINFOHEADER) + 256 * sizeof(uint16_t)),
          bits(size_t((width + 3) / 4 * 4) * size_t(height)) {
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = 8;
        h.biClrUsed = 128;
        std::memcpy(header.data(), &h, sizeof h);
        for (uint16_t i = 0; i < 128; ++i) {
            std::memcpy(header.data() + sizeof h + 2 * i, &i, sizeof i);
        }
        uint32_t seed = 12345;
        for (uint8_t& b : bits) {
            seed = seed * 1103515245u + 12345u;
            b = uint8_t((seed >> 16) & 0x7F);
        }
    }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(header.data()); }
    std::vector<uint8_t> header;
    std::vector<uint8_t> bits;
};

HPALETTE MakePalette128() {
    std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + 128 * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = 128;
    for (int i = 0; i < 128; ++i) {
        log->palPalEntry[i] = {uint8_t(i * 2), uint8_t(255 - i), uint8_t(i * 7), 0};
    }
    return CreatePalette(log);
}

void BM_StretchFrame1080To900(benchmark::State& state) {
    Frame frame(1920, 1080);
    HPALETTE pal = MakePalette128();
    CDC dc(1600, 900);
    dc.SelectPalette(pal, TRUE);
    dc.RealizePalette();
    dc.SetStretchBltMode(COLORONCOLOR);
    for (auto _ : state) {
        StretchDIBits(&dc, 0, 0, 1600, 900, 0, 0, 1920, 1080, frame.bits.data(), frame.Info(),
                      DIB_PAL_COLORS, SRCCOPY);
        benchmark::DoNotOptimize(dc.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1600 * 900);
    DeleteObject(pal);
}
BENCHMARK(BM_StretchFrame1080To900)->Unit(benchmark::kMillisecond);

void BM_StretchFrame720To900(benchmark::State& state) {
    Frame frame(1280, 720);
    HPALETTE pal = MakePalette128();
    CDC dc(1600, 900);
    dc.SelectPalette(pal, TRUE);
    dc.RealizePalette();
    for (auto _ : state) {
        StretchDIBits(&dc, 0, 0, 1600, 900, 0, 0, 1280, 720, frame.bits.data(), frame.Info(),
                      DIB_PAL_COLORS, SRCCOPY);
        benchmark::DoNotOptimize(dc.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1600 * 900);
    DeleteObject(pal);
}
BENCHMARK(BM_StretchFrame720To900)->Unit(benchmark::kMillisecond);

void BM_SetDIBits720(benchmark::State& state) {
    Frame frame(1280, 720);
    HPALETTE pal = MakePalette128();
    CDC dc(1280, 720);
    dc.SelectPalette(pal, TRUE);
    dc.RealizePalette();
    for (auto _ : state) {
        SetDIBitsToDevice(&dc, 0, 0, 1280, 720, 0, 0, 0, 720, frame.bits.data(), frame.Info(),
                          DIB_PAL_COLORS);
        benchmark::DoNotOptimize(dc.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1280 * 720);
    DeleteObject(pal);
}
BENCHMARK(BM_SetDIBits720)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
