// Frame decoding: CImage::Load(path, 1) against plain libjpeg with the same settings, and the
// playback worker's frame rate with no delay. Frames come from make-frames.sh
// (MOVITREL_FRAMES, default /tmp/movitrel-frames: sets S, M, L, G).
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/Image.h"
#include "platform/Thread.h"
#include "playback/Commands.h"
#include "playback/FramePlayer.h"

namespace {

std::string FramesRoot() {
    const char* env = std::getenv("MOVITREL_FRAMES");
    return env ? env : "/tmp/movitrel-frames";
}

std::vector<std::string> FramesOf(const std::string& set) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(FramesRoot() + "/" + set, ec)) {
        if (e.path().extension() == ".jpg") paths.push_back(e.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

const char* const kSets[] = {"S", "M", "L", "G"};

// The reader's settings, straight on libjpeg, into one reused buffer.
void PlainDecode(const std::string& path, std::vector<JSAMPLE>& pixels) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 128;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_FS;
    }
    jpeg_start_decompress(&cinfo);
    const size_t stride = cinfo.output_width * size_t(cinfo.output_components);
    pixels.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pixels[stride * cinfo.output_scanline];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
}

void BM_PlainLibjpeg(benchmark::State& state) {
    const auto frames = FramesOf(kSets[state.range(0)]);
    if (frames.empty()) return state.SkipWithError("no frames: run make-frames.sh");
    std::vector<JSAMPLE> pixels;
    size_t i = 0;
    for (auto _ : state) PlainDecode(frames[i++ % frames.size()], pixels);
    state.SetLabel(kSets[state.range(0)]);
}

void BM_ImageLoad(benchmark::State& state) {
    const auto frames = FramesOf(kSets[state.range(0)]);
    if (frames.empty()) return state.SkipWithError("no frames: run make-frames.sh");
    CImage image;
    size_t i = 0;
    for (auto _ : state) {
        if (!image.Load(frames[i++ % frames.size()], 1)) state.SkipWithError("load failed");
    }
    state.SetLabel(kSets[state.range(0)]);
}

// The command-line decoder with the same colour settings, process start included.
void BM_Djpeg(benchmark::State& state) {
    const auto frames = FramesOf(kSets[state.range(0)]);
    if (frames.empty()) return state.SkipWithError("no frames: run make-frames.sh");
    size_t i = 0;
    for (auto _ : state) {
        const std::string command =
            "djpeg -colors 128 -dither fs -outfile /dev/null '" + frames[i++ % frames.size()] + "'";
        if (std::system(command.c_str()) != 0) state.SkipWithError("djpeg failed");
    }
    state.SetLabel(kSets[state.range(0)]);
}

class BenchClient : public CPlayerClient, public IWindowHandler {
public:
    BenchClient() : player(*this, source, playback), hwnd_(CreatePlatformWindow(this)) {}
    ~BenchClient() override { DestroyPlatformWindow(hwnd_); }
    bool StopRequested() const override { return stop.load(); }
    CEvent& RescanEvent() override { return rescan; }
    CEvent& WakeEvent() override { return wake; }
    CEvent& EndEvent() override { return end; }
    CEvent& ExitEvent() override { return exitEvent; }
    HWND PlayerWindow() const override { return hwnd_; }
    LRESULT OnWindowMessage(HWND, uint32_t, WPARAM, LPARAM) override { return 0; }

    CSourceSettings source;
    CPlaybackSettings playback;
    CFramePlayer player;
    CEvent rescan, wake, end, exitEvent;
    std::atomic<bool> stop{false};

private:
    HWND hwnd_;
};

// Plays the whole 1280x720 set with delay 0, from the first frame to the end event.
void BM_WorkerFramesPerSecond(benchmark::State& state) {
    const auto frames = FramesOf("M");
    if (frames.empty()) return state.SkipWithError("no frames: run make-frames.sh");
    BenchClient client;
    client.source.SetSource(FramesRoot() + "/M", "img", 1);
    // The decode path: nothing here paints, and the frame cache has a benchmark of its own.
    client.playback.SetCacheSize(0);
    client.playback.SetAll(kCommandNone, FALSE, PauseState::Running, 0);
    client.rescan.SetEvent();
    if (!AfxBeginThread(&CFramePlayer::ThreadProc, &client.player))
        return state.SkipWithError("no thread");
    client.wake.SetEvent();
    int64_t shown = 0;
    for (auto _ : state) {
        // Command 7 shows frame 0 and waits; command 1 then plays to the end.
        client.playback.SetAll(kCommandStop, FALSE, PauseState::Running, 0);
        client.wake.SetEvent();
        while (client.player.Current() != 0) std::this_thread::yield();
        client.playback.SetAll(kCommandPlay, FALSE, PauseState::Running, 0);
        const auto start = std::chrono::steady_clock::now();
        client.wake.SetEvent();
        client.end.Wait(INFINITE);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        shown += int64_t(frames.size()) - 1;
        PumpMessages();
    }
    client.stop = true;
    client.wake.SetEvent();
    client.exitEvent.Wait(INFINITE);
    state.counters["fps"] = benchmark::Counter(double(shown), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PlainLibjpeg)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageLoad)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Djpeg)->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkerFramesPerSecond)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
