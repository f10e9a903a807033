// DecodeToFit against the whole decode, side by side in one run, on the XL set (100 frames of
// 4000x2250 from a real photograph) shown in a 640x480 control at Delay 0 with Loop, in the
// headless container:
//   - cache off: distinct frames painted per second, DecodeToFit on and off;
//   - cache on (CacheSize 256): the first pass, on and off;
//   - frames the cache holds per megabyte of CacheSize after a pass: on at CacheSize 16, off
//     at CacheSize 256 (whole frames need that much before any is kept, since each decode
//     ahead reserves room for several), so that the budget binds in both;
//   - quality: for 10 frames, the PSNR of the painted picture area against a reference made
//     by decoding the frame whole in 24 bits (libjpeg) and box-filtering it to the size it is
//     drawn at, DecodeToFit on and off.
// Each play runs in a child process of its own. Frames: MOVITREL_FRAMES (default
// /tmp/movitrel-frames), made by make-frames.sh OUTDIR --large.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/MovitrelCtrl.h"
#include "host/headless/HeadlessSite.h"
#include "playback/Commands.h"
#include "playback/FrameLayout.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr int32_t kPictureHeight = kHeight - 40;  // both rows of the strip
constexpr int32_t kQualityFrames = 10;

std::string FrameSet() {
    const char* env = std::getenv("MOVITREL_FRAMES");
    return std::string(env ? env : "/tmp/movitrel-frames") + "/XL";
}

std::vector<fs::path> Frames() {
    std::vector<fs::path> paths;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(FrameSet(), ec)) {
        if (e.path().extension() == ".jpg") paths.push_back(e.path());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct Result {
    bool ok = false;
    double seconds = 0;
    double fps = 0;
    double framesPerMb = 0;
    double psnrOnMin = 0, psnrOffMin = 0;
    int32_t framesWorse = 0;
};

Result InChild(Result (*measure)(int64_t, int64_t), int64_t a, int64_t b) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const Result r = measure(a, b);
        [[maybe_unused]] const ssize_t n = write(fds[1], &r, sizeof r);
        _exit(0);
    }
    close(fds[1]);
    Result r;
    if (pid < 0 || read(fds[0], &r, sizeof r) != ssize_t(sizeof r)) r = Result{};
    close(fds[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return r;
}

struct Hosted {
    Hosted() : ctrl(std::make_unique<CMovitrelCtrl>()) {
        ctrl->OnResetState();
        site = std::make_unique<CHeadlessSite>(*ctrl, kWidth, kHeight);
    }
    void Set(const char* name, const CVariant& v) { ctrl->SetProperty(CString(name), v); }
    std::unique_ptr<CMovitrelCtrl> ctrl;
    std::unique_ptr<CHeadlessSite> site;
};

// Plays `frames` distinct frames looped at Delay 0 and counts them; the cache's frames per
// megabyte after that.
Result Play(int64_t fit, int64_t cacheMb) {
    Result r;
    const int32_t frames = cacheMb > 0 ? 100 : 30;
    Hosted h;
    h.Set("CacheSize", CVariant::I4(int32_t(cacheMb)));
    h.Set("DecodeToFit", CVariant::Bool(fit ? TRUE : FALSE));
    h.Set("Dir", CVariant::Str(FrameSet()));
    h.Set("BaseFile", CVariant::Str("img"));
    h.Set("Sort", CVariant::I2(1));
    h.Set("Loop", CVariant::Bool(TRUE));
    h.Set("Delay", CVariant::I4(0));
    if (!h.site->CreateControlWindow()) return r;
    if (!h.site->PumpUntil([&] { return h.ctrl->ShownFrameCount() == 100; }, 60000)) return r;
    int32_t last = h.ctrl->ShownFrameIndex(), painted = 0;
    h.Set("Command", CVariant::I2(kCommandPlay));
    const auto start = Clock::now();
    h.site->PumpUntil(
        [&] {
            if (h.ctrl->ShownFrameIndex() != last) {
                last = h.ctrl->ShownFrameIndex();
                ++painted;
            }
            return painted >= frames;
        },
        600000);
    if (painted < frames) return r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.fps = frames / r.seconds;
    if (cacheMb > 0) r.framesPerMb = double(h.ctrl->CachedFrameCount()) / double(cacheMb);
    r.ok = true;
    return r;
}

// The frame decoded whole in 24 bits, top row first, red-green-blue.
bool DecodeWhole(const fs::path& path, int32_t* w, int32_t* h, std::vector<uint8_t>* rgb) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    *w = int32_t(cinfo.output_width);
    *h = int32_t(cinfo.output_height);
    rgb->resize(size_t(*w) * size_t(*h) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgb->data() + size_t(cinfo.output_scanline) * size_t(*w) * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return true;
}

// The PSNR of the control's paint of a frame against the frame decoded whole and
// box-filtered to the size it is drawn at; negative when the control did not paint it.
double PaintedPsnr(const fs::path& frame, bool fit) {
    const fs::path one = fs::temp_directory_path() / "movitrel-bench-fit-one";
    fs::remove_all(one);
    fs::create_directories(one);
    fs::create_symlink(frame, one / "img0001.jpg");
    Hosted h;
    h.Set("DecodeToFit", CVariant::Bool(fit ? TRUE : FALSE));
    h.Set("Dir", CVariant::Str(one.string()));
    h.Set("BaseFile", CVariant::Str("img"));
    if (!h.site->CreateControlWindow()) return -1;
    if (!h.site->PumpUntil([&] { return h.ctrl->ShownFrameIndex() == 0; }, 60000)) return -1;
    h.site->PumpUntil([] { return false; }, 200);  // a paint after the frame's own

    int32_t w = 0, hgt = 0;
    std::vector<uint8_t> rgb;
    if (!DecodeWhole(frame, &w, &hgt, &rgb)) return -1;
    const CFrameRect rect = FrameLayout(w, hgt, kWidth, kPictureHeight, FALSE);
    double squared = 0;
    for (int32_t y = 0; y < rect.height; ++y) {
        const int64_t y0 = int64_t(y) * hgt / rect.height;
        const int64_t y1 = int64_t(y + 1) * hgt / rect.height;
        for (int32_t x = 0; x < rect.width; ++x) {
            const int64_t x0 = int64_t(x) * w / rect.width;
            const int64_t x1 = int64_t(x + 1) * w / rect.width;
            double box[3] = {0, 0, 0};
            for (int64_t sy = y0; sy < y1; ++sy) {
                const uint8_t* p = rgb.data() + (size_t(sy) * size_t(w) + size_t(x0)) * 3;
                for (int64_t sx = x0; sx < x1; ++sx, p += 3) {
                    box[0] += p[0];
                    box[1] += p[1];
                    box[2] += p[2];
                }
            }
            const double n = double((y1 - y0) * (x1 - x0));
            const COLORREF c = h.site->GetPixel(rect.x + x, rect.y + y);
            const double d[3] = {box[0] / n - GetRValue(c), box[1] / n - GetGValue(c),
                                 box[2] / n - GetBValue(c)};
            squared += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    fs::remove_all(one);
    const double mse = squared / (3.0 * rect.width * rect.height);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

// For 10 frames spread over the set, the PSNR with DecodeToFit on and off: the lowest of each,
// and how many frames came out lower with it on.
Result Quality(int64_t, int64_t) {
    Result r;
    const std::vector<fs::path> all = Frames();
    if (all.size() < size_t(kQualityFrames)) return r;
    r.psnrOnMin = r.psnrOffMin = 1e9;
    for (int32_t i = 0; i < kQualityFrames; ++i) {
        const fs::path frame = all[size_t(i) * (all.size() / kQualityFrames)];
        const double off = PaintedPsnr(frame, false), on = PaintedPsnr(frame, true);
        if (off < 0 || on < 0) return r;
        r.psnrOffMin = std::min(r.psnrOffMin, off);
        r.psnrOnMin = std::min(r.psnrOnMin, on);
        if (on < off) ++r.framesWorse;
    }
    r.ok = true;
    r.seconds = 1;
    return r;
}

void Report(benchmark::State& state, const Result& r) {
    if (!r.ok) {
        state.SkipWithError("no frames: run make-frames.sh OUTDIR --large");
        return;
    }
    state.SetIterationTime(r.seconds);
    state.counters["fps"] = r.fps;
    state.counters["frames_per_mb"] = r.framesPerMb;
    state.counters["psnr_on_min"] = r.psnrOnMin;
    state.counters["psnr_off_min"] = r.psnrOffMin;
    state.counters["frames_worse"] = r.framesWorse;
}

// Arguments: DecodeToFit, CacheSize.
void BM_FitPlay(benchmark::State& state) {
    for (auto _ : state) Report(state, InChild(&Play, state.range(0), state.range(1)));
}
BENCHMARK(BM_FitPlay)
    ->ArgNames({"fit", "cache"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 256})
    ->Args({1, 256})
    ->Args({1, 16})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_FitQuality(benchmark::State& state) {
    for (auto _ : state) Report(state, InChild(&Quality, 0, 0));
}
BENCHMARK(BM_FitQuality)->Iterations(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
