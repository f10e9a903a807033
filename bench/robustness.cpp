// What bounds on input and a prompt stop cost, side by side in one run:
//   - destroying a control while it plays 12000x9000 frames at Delay 0 with Loop, the cache
//     on (CacheSize 2048) against off: a stop abandons the decodes under way, the worker's
//     and the read-ahead's alike;
//   - loading a saved state of 4096 names (1 MiB) into a control, against refusing a state of
//     180,000 short names (also 1 MiB), which is over the limit of names;
//   - the peak resident memory while frames of two sizes play (one of 320x240, then 15 of
//     4000x3000) with CacheSize 16 and the processor count taken as 16, against the same on
//     2 processors: decodes ahead reserve their own frame's size, so the count of threads
//     does not multiply the memory.
// Each measurement that plays runs in a child process of its own; frames are written once by
// the project's own JPEG writer into the system's temporary folder.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "control/MovitrelCtrl.h"
#include "framework/PropertyBag.h"
#include "host/headless/HeadlessSite.h"
#include "image/Image.h"
#include "platform/Thread.h"
#include "playback/Commands.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

int64_t PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            int64_t kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// A JPEG frame of the given size with detail enough to make the decode work: a gradient with
// a fine pattern over it.
bool WriteFrame(const fs::path& path, int32_t w, int32_t h) {
    CImage image;
    if (!image.CreateImpl(path.string(), 1) || image.Create(w, h, 24, -1) <= 0) return false;
    CImageImpl* impl = image.GetImpl();
    for (int32_t y = 0; y < h; ++y) {
        BYTE* row = impl->MemoryRow(y);
        for (int32_t x = 0; x < w; ++x) {
            row[3 * x] = BYTE(x * 255 / w ^ (y & 31));
            row[3 * x + 1] = BYTE(y * 255 / h);
            row[3 * x + 2] = BYTE((x + y) & 0xFF);
        }
    }
    return impl->Write("") != FALSE;
}

// A folder of frames made once: `first` of one size, then copies of one frame of another.
fs::path Frames(const std::string& name, int32_t firstW, int32_t firstH, int32_t w, int32_t h,
                int32_t copies) {
    const fs::path dir = fs::temp_directory_path() / ("movitrel-bench-" + name);
    const fs::path done = dir / ".complete";
    if (fs::exists(done)) return dir;
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (!WriteFrame(dir / "img0000.jpg", firstW, firstH)) return {};
    const fs::path model = dir / "model.tmp";
    if (!WriteFrame(model, w, h)) return {};
    for (int32_t i = 1; i <= copies; ++i) {
        char leaf[32];
        std::snprintf(leaf, sizeof leaf, "img%04d.jpg", int(i));
        fs::copy_file(model, dir / leaf);
    }
    fs::remove(model);
    std::ofstream(done) << "ok";
    return dir;
}

struct Result {
    bool ok = false;
    double ms = 0;
    double peakMb = 0;
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
        site = std::make_unique<CHeadlessSite>(*ctrl, 640, 520);
    }
    void Set(const char* name, const CVariant& v) { ctrl->SetProperty(CString(name), v); }
    void Play(const fs::path& dir, int32_t cacheMb) {
        Set("CacheSize", CVariant::I4(cacheMb));
        Set("Dir", CVariant::Str(dir.string()));
        Set("BaseFile", CVariant::Str("img"));
        Set("Sort", CVariant::I2(1));
        Set("Loop", CVariant::Bool(TRUE));
        Set("Delay", CVariant::I4(0));
    }
    std::unique_ptr<CMovitrelCtrl> ctrl;
    std::unique_ptr<CHeadlessSite> site;
};

// Plays the huge frames and destroys the window in the middle of a decode.
Result Destroy(int64_t cacheMb, int64_t) {
    Result r;
    const fs::path dir = Frames("huge", 12000, 9000, 12000, 9000, 3);
    if (dir.empty()) return r;
    Hosted h;
    h.Play(dir, int32_t(cacheMb));
    if (!h.site->CreateControlWindow()) return r;
    h.Set("Command", CVariant::I2(kCommandPlay));
    // The first frame shown, the next ones under way.
    if (!h.site->PumpUntil([&] { return h.ctrl->ShownFrameIndex() >= 0; }, 120000)) return r;
    const auto busy = Clock::now() + std::chrono::milliseconds(500);
    h.site->PumpUntil([&] { return Clock::now() >= busy; }, 1000);
    const auto start = Clock::now();
    h.site->DestroyControlWindow();
    r.ms = Ms(Clock::now() - start);
    r.ok = !h.site->IsWindowLive();
    return r;
}

// Plays two passes of the mixed frames with the processor count taken as `processors`.
Result Peak(int64_t processors, int64_t cacheMb) {
    Result r;
    const fs::path dir = Frames("mixed", 320, 240, 4000, 3000, 15);
    if (dir.empty()) return r;
    OverrideProcessorCount(int32_t(processors));
    Hosted h;
    h.Play(dir, int32_t(cacheMb));
    if (!h.site->CreateControlWindow()) return r;
    h.Set("Command", CVariant::I2(kCommandPlay));
    int32_t last = -1, shown = 0;
    const auto start = Clock::now();
    r.ok = h.site->PumpUntil(
        [&] {
            if (h.ctrl->ShownFrameIndex() != last) {
                last = h.ctrl->ShownFrameIndex();
                ++shown;
            }
            return shown > 2 * 16;
        },
        300000);
    r.ms = Ms(Clock::now() - start);
    r.peakMb = double(PeakResidentKb()) / 1024.0;
    return r;
}

void Report(benchmark::State& state, const Result& r) {
    if (!r.ok) {
        state.SkipWithError("the control did not play");
        return;
    }
    state.SetIterationTime(r.ms / 1000.0);
    state.counters["peak_mb"] = r.peakMb;
}

void BM_DestroyWhilePlaying(benchmark::State& state) {
    for (auto _ : state) Report(state, InChild(&Destroy, state.range(0), 0));
}
// Where in its decodes a stop lands varies the cost of letting go of their memory by tens of
// milliseconds: seven repetitions, the median.
BENCHMARK(BM_DestroyWhilePlaying)
    ->ArgName("cache")
    ->Arg(0)
    ->Arg(2048)
    ->Iterations(1)
    ->Repetitions(7)
    ->DisplayAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_PeakWhilePlaying(benchmark::State& state) {
    for (auto _ : state) Report(state, InChild(&Peak, state.range(0), 16));
}
BENCHMARK(BM_PeakWhilePlaying)
    ->ArgName("processors")
    ->Arg(2)
    ->Arg(16)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A saved state of about 1 MiB and `names` names: three of the control's own first, then
// made-up ones, as short as base 36 makes them, their values filling the rest.
std::string StateText(int32_t names) {
    std::string text = "Dir=/tmp/frames\nDelay=100\nLoop=1\n";
    const size_t each = ((1u << 20) - text.size()) / size_t(names - 3);
    for (int32_t i = 0; i < names - 3; ++i) {
        std::string line;
        for (int32_t n = i; line.empty() || n > 0; n /= 36)
            line += "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36];
        line += "=";
        if (line.size() + 1 < each) line.resize(each - 1, 'v');
        text += line + "\n";
    }
    return text;
}

void LoadState(benchmark::State& state) {
    const int32_t names = int32_t(state.range(0));
    const fs::path path =
        fs::temp_directory_path() / ("movitrel-bench-state-" + std::to_string(names) + ".txt");
    std::ofstream(path) << StateText(names);
    CMovitrelCtrl ctrl;
    ctrl.OnResetState();
    bool loaded = false;
    for (auto _ : state) {
        CPropertyBag bag;
        loaded = bag.LoadFromFile(path.string()) != FALSE;
        if (loaded) ctrl.LoadProperties(bag);
    }
    state.counters["loaded"] = loaded ? 1 : 0;
    state.counters["bytes"] = double(fs::file_size(path));
}
void BM_LoadState(benchmark::State& state) {
    LoadState(state);
}
BENCHMARK(BM_LoadState)->ArgName("names")->Arg(4096)->Arg(180000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
