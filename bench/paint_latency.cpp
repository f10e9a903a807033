// How long the Qt window's thread is held up while the worker decodes large frames.
//
// 500 frames of 1920x1080 (links to the L set, cycled) play at delay 0 in a MovitrelWidget.
// A 2 ms timer on the GUI thread records how late each tick comes: any stall of the thread
// (a paint waiting for the worker, a long draw) shows as a late tick. Each paint's own time
// is recorded too. The peer figure is one frame's decode. Frames: MOVITREL_FRAMES (default
// /tmp/movitrel-frames).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/Codecs.h"
#include "control/MovitrelCtrl.h"
#include "host/qt/MovitrelWidget.h"
#include "image/Image.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 500;
constexpr int kPlaySeconds = 15;

std::string FrameSet() {
    const char* env = std::getenv("MOVITREL_FRAMES");
    return std::string(env ? env : "/tmp/movitrel-frames") + "/L";
}

// kFrames links frame0000.jpg ... in a folder of their own, to the set's files in turn.
std::string LinkFrames() {
    std::vector<fs::path> sources;
    for (const auto& e : fs::directory_iterator(FrameSet()))
        if (e.path().extension() == ".jpg") sources.push_back(e.path());
    std::sort(sources.begin(), sources.end());
    if (sources.empty()) return {};
    const fs::path dir = fs::temp_directory_path() / "movitrel-bench-paint";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame%04d.jpg", i);
        fs::create_symlink(sources[size_t(i) % sources.size()], dir / name);
    }
    return dir.string();
}

class TimedWidget : public MovitrelWidget {
public:
    using MovitrelWidget::MovitrelWidget;
    std::vector<double> paintsMs;

protected:
    void paintEvent(QPaintEvent* event) override {
        QElapsedTimer t;
        t.start();
        MovitrelWidget::paintEvent(event);
        paintsMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void BM_PaintWhilePlaying1080(benchmark::State& state) {
    const std::string dir = LinkFrames();
    if (dir.empty()) {
        state.SkipWithError("no frames: run make-frames.sh");
        return;
    }
    RegisterCodecs();  // the probe decodes before any control registers the formats
    CImage probe;
    std::vector<double> decodes;
    for (int i = 0; i < 5; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        probe.Load(dir + "/frame000" + std::to_string(i) + ".jpg", 1);
        decodes.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }

    for (auto _ : state) {
        CMovitrelCtrl ctrl;
        ctrl.OnResetState();
        std::vector<double> lateMs;
        int32_t paints = 0;
        {
            TimedWidget widget(ctrl);
            widget.resize(960, 600);
            widget.SetControlProperty("Dir", QString::fromStdString(dir));
            widget.SetControlProperty("BaseFile", "frame");
            widget.SetControlProperty("Sort", 1);
            widget.SetControlProperty("Delay", 0);
            widget.SetControlProperty("Loop", true);
            widget.show();
            widget.CreateControlWindow();
            widget.SetControlProperty("Command", 1);

            QEventLoop loop;
            QElapsedTimer clock;
            QTimer tick;
            tick.setTimerType(Qt::PreciseTimer);
            qint64 last = 0;
            clock.start();
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const qint64 now = clock.nsecsElapsed();
                if (last != 0) lateMs.push_back(double(now - last) / 1e6 - 2.0);
                last = now;
                if (now > qint64(kPlaySeconds) * 1000000000) loop.quit();
            });
            tick.start(2);
            loop.exec();
            paints = widget.PaintCount();
            state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
            state.counters["paint_max_ms"] = Percentile(widget.paintsMs, 1.0);
            state.counters["paint_p99_ms"] = Percentile(widget.paintsMs, 0.99);
        }
        state.counters["late_max_ms"] = Percentile(lateMs, 1.0);
        state.counters["late_p99_ms"] = Percentile(lateMs, 0.99);
        state.counters["paints_per_s"] = double(paints) / kPlaySeconds;
    }
    state.counters["decode_ms"] = Percentile(decodes, 0.5);
}
BENCHMARK(BM_PaintWhilePlaying1080)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // No window system needed: the offscreen platform paints all the same.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
