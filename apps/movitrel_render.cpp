// movitrel render: the headless container plays and saves every paint as a PNG file.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "apps/MovitrelApp.h"
#include "apps/ProgramControl.h"
#include "host/headless/HeadlessSite.h"
#include "playback/Commands.h"

namespace {

// Saves the surface after each paint, up to a limit.
class CRecordingSite : public CHeadlessSite {
public:
    CRecordingSite(CHostedControl& control, int32_t cx, int32_t cy, std::string outDir,
                   int32_t limit)
        : CHeadlessSite(control.Control(), cx, cy),
          m_ctrl(control),
          m_outDir(std::move(outDir)),
          m_limit(limit) {}

    void RedrawControlNow() override {
        CHeadlessSite::RedrawControlNow();
        Record();
    }
    // Paints that came through an invalidation rather than a refresh.
    void CatchUp() {
        if (PaintCount() > m_seen) Record();
    }

    int32_t Saved() const { return m_saved; }
    bool Failed() const { return m_failed; }
    std::chrono::steady_clock::time_point LastPaint() const { return m_lastPaint; }

private:
    void Record() {
        m_seen = PaintCount();
        m_lastPaint = std::chrono::steady_clock::now();
        if (m_saved >= m_limit || m_failed) return;
        char name[32];
        std::snprintf(name, sizeof name, "paint%04d.png", int(m_saved + 1));
        const std::string path = (std::filesystem::path(m_outDir) / name).string();
        if (!SavePng(path)) {
            std::fprintf(stderr, "\nmovitrel: cannot write %s\n", path.c_str());
            m_failed = true;
            return;
        }
        ++m_saved;
        const bool tty = isatty(fileno(stdout));
        std::printf("%s[%d/%d] %s  %s, %s, %d cached", tty ? "\r" : "", int(m_saved), int(m_limit),
                    name, m_ctrl.FramePosition().c_str(), CommandName(m_ctrl.CurrentCommand()),
                    int(m_ctrl.CachedFrameCount()));
        std::printf(tty ? "   " : "\n");
        std::fflush(stdout);
    }

    CHostedControl& m_ctrl;
    std::string m_outDir;
    int32_t m_limit;
    int32_t m_saved = 0;
    int32_t m_seen = 0;
    bool m_failed = false;
    std::chrono::steady_clock::time_point m_lastPaint = std::chrono::steady_clock::now();
};

}  // namespace

int32_t RunRender(const PlayOptions& options, int32_t frames, const std::string& outDir) {
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) {
        std::fprintf(stderr, "movitrel: cannot create %s: %s\n", outDir.c_str(),
                     ec.message().c_str());
        return 1;
    }
    WarnIfNoFrames(options);

    std::string error;
    std::unique_ptr<CHostedControl> hosted = CreateProgramControl(&error);
    if (!hosted || !InitControl(hosted->Control(), options, &error)) {
        std::fprintf(stderr, "movitrel: %s\n", error.c_str());
        return 1;
    }
    int32_t status = 0;
    {
        CRecordingSite site(*hosted, options.width, options.height, outDir, frames);
        if (!site.CreateControlWindow()) {
            std::fprintf(stderr, "movitrel: the control refused its window\n");
            return 1;
        }
        hosted->Control().SetProperty("Command", CVariant::I2(kCommandPlay));

        // Playback that has come to rest (the end of a sequence without Loop, or no frames)
        // paints no more; stop waiting after a quiet spell well beyond the frame delay.
        const int32_t delay = std::max(0, hosted->CurrentDelay());
        const auto quiet = std::chrono::milliseconds(std::max(5000, 20 * delay));
        while (site.Saved() < frames && !site.Failed()) {
            site.PumpUntil([&] { return site.Saved() >= frames || site.Failed(); }, 50);
            site.CatchUp();
            if (std::chrono::steady_clock::now() - site.LastPaint() > quiet) {
                std::printf("\nmovitrel: playback came to rest after %d paints\n",
                            int(site.Saved()));
                break;
            }
        }
        if (site.Failed()) status = 1;
        std::printf("\nmovitrel: %d PNG files in %s\n", int(site.Saved()), outDir.c_str());
    }
    return status;
}
