// Directory scan of 10,000 and 100,000 matching files in each sort mode.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "apps/ScanOnlyClient.h"
#include "playback/FramePlayer.h"

namespace {

// Names come in a shuffled numeric order so sort mode 1 has real work to do.
std::string MakeDirectory(int files) {
    const std::string dir = "/tmp/movitrel-bench-scan-" + std::to_string(files);
    const std::string stamp = dir + "/.complete";
    if (access(stamp.c_str(), F_OK) == 0) return dir;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (int i = 0; i < files; ++i) {
        const int n = int((uint64_t(i) * 7919u) % uint64_t(files));
        const std::string path = dir + "/img" + std::to_string(n) + ".jpg";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) close(fd);
    }
    const int fd = open(stamp.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd >= 0) close(fd);
    return dir;
}

void BM_Scan(benchmark::State& state) {
    const int files = int(state.range(0));
    const int sort = int(state.range(1));
    CSourceSettings source;
    source.SetSource(MakeDirectory(files), "img", sort);
    CScanOnlyClient client;
    CPlaybackSettings playback;
    CFramePlayer player(client, source, playback);
    for (auto _ : state) {
        player.ScanDirectory();
        if (player.Count() != files) state.SkipWithError("wrong frame count");
    }
    state.counters["files"] = files;
}

// The floor: listing the same directory with nothing else done.
void BM_Readdir(benchmark::State& state) {
    const std::string dir = MakeDirectory(int(state.range(0)));
    for (auto _ : state) {
        DIR* d = opendir(dir.c_str());
        int n = 0;
        while (readdir(d)) ++n;
        closedir(d);
        benchmark::DoNotOptimize(n);
    }
}

}  // namespace

BENCHMARK(BM_Readdir)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan)
    ->ArgsProduct({{10000, 100000}, {0, 1, 2}})
    ->ArgNames({"files", "sort"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
