// The demo animation: a day passing over rolling hills, with balloons drifting by. Made of
// smooth gradients and soft shapes, which survive the JPEG writer's low fixed quality; every
// motion is periodic in the frame count, so the sequence loops without a jump.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "apps/MovitrelApp.h"
#include "codecs/JpegImpl.h"
#include "image/ImageFormats.h"
#include "platform/FileIO.h"

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb Scale(Rgb a, double s) {
    return {a.r * s, a.g * s, a.b * s};
}
Rgb Add(Rgb a, Rgb b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}
double Smooth(double e0, double e1, double x) {
    double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

struct Balloon {
    double lane;   // vertical position, 0 top .. 1 horizon
    double size;   // radius in pixels
    double start;  // horizontal phase, 0 .. 1
    int laps;      // crossings per loop of the animation
    Rgb color;
};

constexpr Balloon kBalloons[] = {
    {0.30, 34, 0.10, 1, {230, 70, 60}},
    {0.55, 22, 0.55, 1, {250, 200, 60}},
    {0.18, 16, 0.80, 2, {80, 160, 230}},
};

class Scene {
public:
    Scene(int32_t width, int32_t height, double t) : m_w(width), m_h(height), m_t(t) {
        const double phase = 2 * std::numbers::pi * t;
        m_elevation = -std::cos(phase);  // the sun: -1 midnight, 1 noon
        m_day = Clamp01(0.5 + 0.8 * m_elevation);
        m_dusk = std::exp(-m_elevation * m_elevation * 12.0);  // near the horizon
        m_horizon = m_h * 0.62;
        m_sunX = m_w * (0.5 + 0.44 * std::sin(phase));
        m_sunY = m_horizon - m_h * 0.52 * m_elevation;
        m_moonX = m_w * (0.5 - 0.44 * std::sin(phase));
        m_moonY = m_horizon + m_h * 0.52 * m_elevation;
        m_phase = phase;
    }

    Rgb Pixel(int32_t x, int32_t y) const {
        Rgb c = Sky(x, y);
        for (const Balloon& b : kBalloons) c = DrawBalloon(c, b, x, y);
        for (int32_t layer = 0; layer < 3; ++layer) c = DrawHill(c, layer, x, y);
        return c;
    }

private:
    Rgb Sky(int32_t x, int32_t y) const {
        const double v = Clamp01(y / m_horizon);
        const Rgb top = Mix({8, 10, 36}, {40, 110, 205}, m_day);
        const Rgb low = Mix(Mix({40, 30, 80}, {170, 210, 240}, m_day), {255, 130, 70}, m_dusk);
        Rgb c = Mix(top, low, std::pow(v, 1.4));
        // Sun and moon with a soft glow.
        const double ds = std::hypot(x - m_sunX, y - m_sunY);
        const double sunDisc = 1.0 - Smooth(30, 33, ds);
        const double glow = std::exp(-ds * ds / (2 * 90.0 * 90.0)) * 0.55;
        c = Add(c, Scale(Mix({255, 240, 200}, {255, 150, 80}, m_dusk), glow));
        c = Mix(c, Mix({255, 250, 225}, {255, 190, 120}, m_dusk), sunDisc);
        const double dm = std::hypot(x - m_moonX, y - m_moonY);
        const double moonDisc = 1.0 - Smooth(20, 23, dm);
        c = Add(c, Scale({120, 130, 160}, std::exp(-dm * dm / (2 * 50.0 * 50.0)) * (1 - m_day)));
        c = Mix(c, {225, 228, 240}, moonDisc * (1 - 0.7 * m_day));
        return c;
    }

    double HillTop(int32_t layer, int32_t x) const {
        const double u = double(x) / m_w * 2 * std::numbers::pi;
        const double base = m_horizon + layer * m_h * 0.1 - m_h * 0.04;
        const double amp = m_h * (0.07 - 0.015 * layer);
        // Nearer hills move faster, by whole turns per loop.
        const double drift = m_phase * (layer + 1);
        return base - amp * std::sin(u * (1 + layer) + drift + layer * 1.7) -
               amp * 0.4 * std::sin(u * (3 + 2 * layer) - drift * 2 + layer);
    }

    Rgb DrawHill(Rgb under, int32_t layer, int32_t x, int32_t y) const {
        const double top = HillTop(layer, x);
        const double edge = Smooth(top - 1.0, top + 1.0, y);
        if (edge <= 0) return under;
        static const Rgb kDay[3] = {{110, 150, 95}, {70, 130, 60}, {40, 100, 45}};
        static const Rgb kNight[3] = {{30, 35, 60}, {20, 28, 45}, {12, 18, 30}};
        Rgb c = Mix(kNight[layer], kDay[layer], m_day);
        c = Mix(c, Scale(c, 1.25), m_dusk * 0.5);
        // Lit along the crest, darker down the slope.
        const double depth = Clamp01((y - top) / (m_h * 0.35));
        c = Scale(c, 1.15 - 0.45 * depth);
        return Mix(under, c, edge);
    }

    Rgb DrawBalloon(Rgb under, const Balloon& b, int32_t x, int32_t y) const {
        const double span = m_w + 4 * b.size;
        const double pos = std::fmod(b.start + m_t * b.laps, 1.0);
        const double cx = pos * span - 2 * b.size;
        const double cy = m_horizon * b.lane + 10 * std::sin(m_phase * 3 + b.start * 6);
        const double dx = (x - cx) / b.size;
        const double dy = (y - cy) / (b.size * 1.15);
        const double r2 = dx * dx + dy * dy;
        Rgb c = under;
        if (r2 < 1.08) {
            // A lit sphere: light from the sun's side, stripes as broad soft bands.
            const double nz = std::sqrt(std::max(0.0, 1 - r2));
            const double lx = (m_sunX - cx) / m_w;
            double light = 0.45 + 0.55 * Clamp01(0.6 * nz + lx * dx * 0.8 - 0.3 * dy);
            light *= 0.55 + 0.45 * m_day;
            const double band = 0.5 + 0.5 * std::cos(dx * 5.0);
            Rgb body = Mix(b.color, {250, 245, 235}, band * 0.35);
            c = Mix(under, Scale(body, light), 1.0 - Smooth(0.92, 1.08, r2));
        }
        // The basket, a small rounded block below the envelope.
        const double bx = (x - cx) / (b.size * 0.28);
        const double by = (y - (cy + b.size * 1.55)) / (b.size * 0.2);
        const double box = std::max(std::abs(bx), std::abs(by));
        if (box < 1.2) {
            const Rgb wood = Scale({150, 100, 60}, 0.5 + 0.5 * m_day);
            c = Mix(c, wood, 1.0 - Smooth(0.9, 1.2, box));
        }
        return c;
    }

    int32_t m_w, m_h;
    double m_t;
    double m_phase = 0, m_elevation = 0, m_day = 0, m_dusk = 0, m_horizon = 0;
    double m_sunX = 0, m_sunY = 0, m_moonX = 0, m_moonY = 0;
};

uint8_t Byte(double v) {
    return uint8_t(std::lround(std::clamp(v, 0.0, 255.0)));
}

constexpr const char* kStampName = ".complete";

std::string FramePath(const std::string& dir, int32_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%03d.jpg", kDemoPrefix, int(i));
    return (std::filesystem::path(dir) / name).string();
}

std::string StampText() {
    return std::to_string(kDemoFrameCount) + " " + std::to_string(kDemoWidth) + "x" +
           std::to_string(kDemoHeight) + " v1\n";
}

}  // namespace

bool WriteDemoFrames(const std::string& dir, int32_t count, int32_t width, int32_t height,
                     std::string* error) {
    for (int32_t i = 0; i < count; ++i) {
        const std::string path = FramePath(dir, i);
        CJpegImpl jpeg(path);
        if (jpeg.Create(width, height, 24, kColorTypeColor) == 0) {
            *error = "cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                     " picture";
            return false;
        }
        const Scene scene(width, height, double(i) / count);
        for (int32_t y = 0; y < height; ++y) {
            BYTE* row = jpeg.PictureRow(y);
            for (int32_t x = 0; x < width; ++x) {
                const Rgb c = scene.Pixel(x, y);
                row[3 * x + 0] = Byte(c.b);
                row[3 * x + 1] = Byte(c.g);
                row[3 * x + 2] = Byte(c.r);
            }
        }
        if (!jpeg.Write(path)) {
            *error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

std::optional<std::string> EnsureDemoFrames(std::string* error) {
    namespace fs = std::filesystem;
    const std::string dir = CacheFolder("demo");
    const fs::path stamp = fs::path(dir) / kStampName;
    std::error_code ec;
    bool complete = fs::exists(stamp, ec);
    if (complete) {
        // A stamp longer than the expected text cannot match it: no more is read.
        const std::string expected = StampText();
        CString text;
        complete = ReadWholeFile(stamp.string(), expected.size(), &text) == FileReadError::None &&
                   text == expected;
        for (int32_t i = 0; complete && i < kDemoFrameCount; ++i)
            complete = fs::exists(FramePath(dir, i), ec);
    }
    if (complete) return dir;

    fs::create_directories(dir, ec);
    if (ec) {
        *error = "cannot create " + dir + ": " + ec.message();
        return std::nullopt;
    }
    fs::remove(stamp, ec);
    std::fprintf(stderr, "movitrel: making the demo animation in %s ...\n", dir.c_str());
    if (!WriteDemoFrames(dir, kDemoFrameCount, kDemoWidth, kDemoHeight, error)) return std::nullopt;
    WriteWholeFile(stamp.string(), StampText());  // without it the frames are made again
    return dir;
}
