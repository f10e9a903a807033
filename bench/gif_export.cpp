// movitrel export against its peers, each figure beside its peer from the same run, every
// program run as a whole process and timed on the wall clock:
//   - file size, on the S set (100 frames of 640x480, a camera panning: every frame changes)
//     and on a still camera made from the same photograph (a fixed view whose lower right
//     corner changes from frame to frame): our export against gifsicle -O3 run on our own
//     --no-optimize export of the same frames;
//   - time on the S set: our export against ImageMagick's convert -colors 128 -layers Optimize
//     on the same JPEG frames, and our export on every processor against --threads 1 (seven
//     runs of each in turns: the medians and the best, with the load average of the machine,
//     which other work may share);
//   - fidelity: every frame of our file, composed by PIL, against the control's own paint of
//     that frame (movitrel render at 640x520, the frame unscaled above the strip, cropped to
//     the picture); a frame the render did not paint (two refreshes can meet in one paint)
//     is rendered again alone.
// Frames: MOVITREL_FRAMES (default /tmp/movitrel-frames); working files in
// MOVITREL_GIF_BENCH (default /tmp/movitrel-gif-export-bench). gifsicle and ImageMagick are
// installed by scripts/bench.sh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480;

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string FramesRoot() {
    return Env("MOVITREL_FRAMES", "/tmp/movitrel-frames");
}

std::string Work() {
    const std::string dir = Env("MOVITREL_GIF_BENCH", "/tmp/movitrel-gif-export-bench");
    fs::create_directories(dir);
    return dir;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The program's registry and caches stay in the working folder.
std::string Movitrel() {
    return "XDG_CONFIG_HOME=" + Quote(Work() + "/config") +
           " XDG_CACHE_HOME=" + Quote(Work() + "/cache") + " " + Quote(MOVITREL_PROGRAM);
}

std::string Helper() {
    return std::string("/usr/bin/python3 ") +
           Quote(MOVITREL_SOURCE_DIR "/bench/gif_export_helper.py");
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Wall seconds of one run; negative when it failed.
double Wall(const std::string& command) {
    const auto start = Clock::now();
    if (!Run(command)) return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string Set(int which) {
    if (which == 0) return FramesRoot() + "/S";
    const std::string still = Work() + "/still";
    Run(Helper() + " still " + Quote(FramesRoot() + "/S") + " " + Quote(still));
    return still;
}

bool HaveFrames(const std::string& dir) {
    std::error_code ec;
    return fs::exists(dir + "/img0001.jpg", ec) || fs::exists(dir + "/still0001.jpg", ec);
}

std::string Export(const std::string& dir, const std::string& out, const std::string& extra = "") {
    return Movitrel() + " export " + Quote(dir) + " " + Quote(out) + " --sort number " + extra;
}

void BM_ExportSize(benchmark::State& state) {
    const std::string dir = Set(int(state.range(0)));
    if (!HaveFrames(dir)) return state.SkipWithError("no frames: run make-frames.sh");
    const std::string tag = state.range(0) == 0 ? "S" : "still";
    const std::string ours = Work() + "/" + tag + ".gif", whole = Work() + "/" + tag + "-whole.gif",
                      peer = Work() + "/" + tag + "-gifsicle.gif";
    for (auto _ : state) {
        const double seconds = Wall(Export(dir, ours));
        if (seconds < 0 || !Run(Export(dir, whole, "--no-optimize"))) {
            return state.SkipWithError("movitrel export failed");
        }
        if (!Run("gifsicle -O3 " + Quote(whole) + " -o " + Quote(peer))) {
            return state.SkipWithError("gifsicle failed (bench.sh installs it)");
        }
        state.SetIterationTime(seconds);
    }
    state.counters["ours_bytes"] = double(fs::file_size(ours));
    state.counters["whole_bytes"] = double(fs::file_size(whole));
    state.counters["gifsicle_bytes"] = double(fs::file_size(peer));
    state.SetLabel(tag);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double LoadAverage() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

// The program's default (every processor) and --threads 1 in turns, so that both meet the
// same load from whatever else the machine runs: the median of each, and the best of each
// (the run least disturbed), with the machine's load average around them.
void BM_ExportThreads(benchmark::State& state) {
    const std::string dir = Set(0);
    if (!HaveFrames(dir)) return state.SkipWithError("no frames: run make-frames.sh");
    std::vector<double> all, one;
    const double loadBefore = LoadAverage();
    for (auto _ : state) {
        for (int round = 0; round < 7; ++round) {
            all.push_back(Wall(Export(dir, Work() + "/wall.gif")));
            one.push_back(Wall(Export(dir, Work() + "/wall.gif", "--threads 1")));
            if (all.back() < 0 || one.back() < 0) return state.SkipWithError("export failed");
        }
        state.SetIterationTime(Median(all));
    }
    state.counters["all_ms"] = 1000 * Median(all);
    state.counters["one_ms"] = 1000 * Median(one);
    state.counters["all_best_ms"] = 1000 * *std::min_element(all.begin(), all.end());
    state.counters["one_best_ms"] = 1000 * *std::min_element(one.begin(), one.end());
    state.counters["load"] = (loadBefore + LoadAverage()) / 2;
}

void BM_ImageMagickWall(benchmark::State& state) {
    const std::string dir = Set(0);
    if (!HaveFrames(dir)) return state.SkipWithError("no frames: run make-frames.sh");
    for (auto _ : state) {
        const double seconds =
            Wall("/usr/bin/convert -delay 50 " + Quote(dir) +
                 "/img*.jpg -colors 128 -layers Optimize " + Quote(Work() + "/imagemagick.gif"));
        if (seconds < 0) return state.SkipWithError("convert failed (bench.sh installs it)");
        state.SetIterationTime(seconds);
    }
}

// "frames N equal E" and the frames not matched.
struct Comparison {
    int frames = 0, equal = 0;
    std::vector<int> missed;
};

Comparison Compare(const std::string& args) {
    std::istringstream in(Output(Helper() + " compare " + args));
    Comparison c;
    std::string word;
    in >> word >> c.frames >> word >> c.equal;
    int i;
    while (in >> i) c.missed.push_back(i);
    return c;
}

void BM_ExportFidelity(benchmark::State& state) {
    const std::string dir = Set(0);
    if (!HaveFrames(dir)) return state.SkipWithError("no frames: run make-frames.sh");
    const std::string gif = Work() + "/fidelity.gif", paints = Work() + "/paints",
                      alone = Work() + "/alone";
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().extension() == ".jpg") names.push_back(e.path().string());
    }
    std::sort(names.begin(), names.end());  // img0001... as --sort number orders them
    Comparison first, again;
    for (auto _ : state) {
        fs::remove_all(paints);
        fs::remove_all(alone);
        const std::string size =
            " --width " + std::to_string(kWidth) + " --height " + std::to_string(kHeight + 40);
        if (!Run(Export(dir, gif)) ||
            !Run(Movitrel() + " render " + Quote(dir) + " --sort number --delay 100 --frames " +
                 std::to_string(names.size() + 20) + " --out " + Quote(paints) + size)) {
            return state.SkipWithError("export or render failed");
        }
        const std::string area = " " + std::to_string(kWidth) + " " + std::to_string(kHeight);
        first = Compare(Quote(gif) + " " + Quote(paints) + area);
        std::string indices;
        for (int i : first.missed) {
            const std::string one = alone + "/frames" + std::to_string(i);
            fs::create_directories(one);
            fs::create_symlink(names[size_t(i)],
                               one + "/" + fs::path(names[size_t(i)]).filename().string());
            Run(Movitrel() + " render " + Quote(one) + " --frames 2 --out " +
                Quote(alone + "/" + std::to_string(i)) + size);
            indices += " " + std::to_string(i);
        }
        again = first.missed.empty() ? Comparison{}
                                     : Compare(Quote(gif) + " " + Quote(alone) + area + indices);
        state.SetIterationTime(1);
    }
    state.counters["frames"] = first.frames;
    state.counters["equal"] = first.equal + again.equal;
    state.counters["rendered_alone"] = double(first.missed.size());
}

}  // namespace

BENCHMARK(BM_ExportSize)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportThreads)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMagickWall)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportFidelity)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
