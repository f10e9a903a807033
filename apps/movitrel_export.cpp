// movitrel export: the frames of a folder as an animated GIF, in the order the control plays
// them and each drawn as the control shows it in its picture area.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "apps/MovitrelApp.h"
#include "apps/ScanOnlyClient.h"
#include "codecs/GifAnimation.h"
#include "codecs/JpegImpl.h"
#include "image/Image.h"
#include "platform/Gdi.h"
#include "playback/FrameCache.h"
#include "playback/FrameLayout.h"
#include "playback/FramePlayer.h"

namespace {

constexpr int32_t kFailure = 1;

// The frame list exactly as the control builds it from Dir, BaseFile and Sort.
std::vector<CString> ListFrames(const ExportOptions& o) {
    CSourceSettings source;
    source.SetSource(o.dir, o.base.value_or(""), o.sort.value_or(0));
    CScanOnlyClient client;
    CPlaybackSettings playback;
    CFramePlayer player(client, source, playback);
    player.ScanDirectory();
    std::vector<CString> paths;
    for (POSITION pos = player.Frames().GetHeadPosition(); pos; pos = CFrameList::Next(pos)) {
        paths.push_back(CFrameList::GetAt(pos).strPath);
    }
    return paths;
}

// Colours of a composed picture to their palette indices: at most 257 colours ever meet it.
class CColorIndex {
public:
    // The first index of each colour wins, as a lookup of the drawn colour would find it.
    void Add(uint32_t color, uint8_t index) {
        size_t slot = Slot(color);
        while (m_used[slot] && m_colors[slot] != color) slot = (slot + 1) % kSlots;
        if (m_used[slot]) return;
        m_used[slot] = true;
        m_colors[slot] = color;
        m_indices[slot] = index;
    }
    // False when the colour is not there.
    bool Find(uint32_t color, uint8_t* index) const {
        size_t slot = Slot(color);
        while (m_used[slot]) {
            if (m_colors[slot] == color) {
                *index = m_indices[slot];
                return true;
            }
            slot = (slot + 1) % kSlots;
        }
        return false;
    }

private:
    static constexpr size_t kSlots = 1024;
    static size_t Slot(uint32_t color) { return (color * 2654435761u) >> 22; }
    bool m_used[kSlots] = {};
    uint32_t m_colors[kSlots] = {};
    uint8_t m_indices[kSlots] = {};
};

// Everything a frame of the export needs, shared by the writer's threads.
class CExport {
public:
    CExport(const ExportOptions& options, std::vector<CString> paths)
        : m_options(options), m_paths(std::move(paths)) {}

    bool Prepare(std::string* error);
    int32_t Run();

private:
    bool MakeFrame(int32_t index, CImage& picture);
    // The picture area as the control paints frame into it, as an 8-bit picture whose palette
    // is the frame's, with the background added when a band shows it.
    bool Compose(CImage& frame, CImage& picture);
    void Note(const std::string& text);
    // Frames found unreadable are not read again for the frames after them.
    bool Unreadable(int32_t listed) {
        std::lock_guard<std::mutex> lock(m_noteLock);
        return m_unreadable.count(listed) != 0;
    }
    void MarkUnreadable(int32_t listed) {
        std::lock_guard<std::mutex> lock(m_noteLock);
        m_unreadable.insert(listed);
    }

    const ExportOptions& m_options;
    const std::vector<CString> m_paths;  // the frames exported, in list order
    std::vector<int32_t> m_sequence;     // the list index of each frame of the file
    std::vector<int32_t> m_delays;
    int32_t m_width = 0;
    int32_t m_height = 0;
    CFrameFit m_fit;
    const bool m_tty = isatty(fileno(stderr)) != 0;

    std::mutex m_noteLock;
    std::set<std::string> m_noted;
    std::set<int32_t> m_unreadable;
};

bool CExport::Prepare(std::string* error) {
    const int32_t n = int32_t(m_paths.size());
    for (int32_t i = 0; i < n; ++i) m_sequence.push_back(i);
    // Back again without the two ends: the file starts over at frame 0.
    if (m_options.bounce) {
        for (int32_t i = n - 2; i >= 1; --i) m_sequence.push_back(i);
    }
    m_delays.assign(m_sequence.size(), m_options.delay);
    // The dwell is on the last frame of each direction played, as LastDelay with Loop.
    m_delays[size_t(n - 1)] += m_options.dwell;
    if (m_options.bounce && n > 1) m_delays[0] += m_options.dwell;

    if (m_options.width > 0) {
        m_width = m_options.width;
        m_height = m_options.height;
    } else {
        // The first frame whose header reads sets the screen.
        for (const CString& path : m_paths) {
            CJpegHeader header;
            if (ReadJpegHeader(path, &header) && header.width > 0 && header.height > 0) {
                m_width = header.width;
                m_height = header.height;
                break;
            }
        }
        if (m_width == 0) {
            *error = "no frame can be read";
            return false;
        }
        if (m_width > 0xFFFF || m_height > 0xFFFF) {
            *error = "the first frame is larger than a GIF holds (65535 a side)";
            return false;
        }
    }
    m_fit.on = m_options.decodeToFit;
    m_fit.cx = m_width;
    m_fit.cy = m_height;
    m_fit.maximize = m_options.maximize;
    return true;
}

void CExport::Note(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_noteLock);
    // On a terminal the progress line is rewritten in place: a note starts below it.
    if (m_noted.insert(text).second) {
        std::fprintf(stderr, "%smovitrel: %s\n", m_tty ? "\n" : "", text.c_str());
    }
}

bool CExport::Compose(CImage& frame, CImage& picture) {
    const int32_t w = m_width, h = m_height;
    CImagePalette* palette = frame.IsValid() ? frame.GetPalette() : nullptr;
    PALETTEENTRY entries[256] = {};
    int32_t count = 0;
    if (palette) {
        count = std::min(palette->GetEntryCount(), 256);
        GetPaletteEntries(palette->GetSafeHandle(), 0, UINT(count), entries);
    }
    if (picture.Create(w, h, 8, -1) <= 0) {
        Note("out of memory for a frame of " + std::to_string(w) + " x " + std::to_string(h));
        return false;
    }
    CImageImpl& out = *picture.GetImpl();

    const CFrameRect drawn =
        palette ? FrameLayout(frame.GetFullWidth(), frame.GetFullHeight(), w, h, m_options.maximize)
                : CFrameRect{};
    const bool unscaled = palette && drawn == CFrameRect{0, 0, w, h} && frame.GetWidth() == w &&
                          frame.GetHeight() == h;
    if (unscaled) {
        // Drawn one to one over the whole area: every pixel shows its own palette entry.
        CImageImpl& in = *frame.GetImpl();
        for (int32_t y = 0; y < h; ++y) std::copy_n(in.PictureRow(y), w, out.PictureRow(y));
    } else {
        CDC dc(w, h);
        if (dc.GetSafeHdc() == nullptr) {
            Note("out of memory for a frame of " + std::to_string(w) + " x " + std::to_string(h));
            return false;
        }
        DrawFramePicture(&dc, frame, w, h, m_options.maximize, m_options.background);
        CColorIndex index;
        for (int32_t i = 0; i < count; ++i) {
            index.Add(uint32_t(entries[i].peRed) << 16 | uint32_t(entries[i].peGreen) << 8 |
                          entries[i].peBlue,
                      uint8_t(i));
        }
        const uint32_t back = dc.ResolveColor(m_options.background);
        for (int32_t y = 0; y < h; ++y) {
            const uint32_t* row = dc.Row(y);
            BYTE* target = out.PictureRow(y);
            for (int32_t x = 0; x < w; ++x) {
                uint8_t i = 0;
                if (!index.Find(row[x] & 0xFFFFFFu, &i)) {
                    // Only the bands show a colour the frame lacks.
                    if ((row[x] & 0xFFFFFFu) != back || count >= 256) {
                        Note(
                            "a frame uses all 256 colours and the background is another; "
                            "choose a --background among its colours");
                        return false;
                    }
                    entries[count] = {GetRValue(m_options.background),
                                      GetGValue(m_options.background),
                                      GetBValue(m_options.background), 0};
                    index.Add(back, uint8_t(count));
                    i = uint8_t(count++);
                }
                target[x] = i;
            }
        }
    }
    BYTE red[256], green[256], blue[256];
    for (int32_t i = 0; i < count; ++i) {
        red[i] = entries[i].peRed;
        green[i] = entries[i].peGreen;
        blue[i] = entries[i].peBlue;
    }
    return out.CreatePalette(std::max(count, 1), red, green, blue) != FALSE;
}

bool CExport::MakeFrame(int32_t index, CImage& picture) {
    // A frame that cannot be read leaves the picture before it on show, as in the control;
    // before any, the control shows its background.
    auto frame = std::make_unique<CImage>();
    for (int32_t k = index; k >= 0; --k) {
        const int32_t listed = m_sequence[size_t(k)];
        if (Unreadable(listed)) continue;
        const CString& path = m_paths[size_t(listed)];
        if (LoadFrameFile(*frame, path, {}, m_fit)) break;
        MarkUnreadable(listed);
        Note("cannot read " + path + "; the frame before it stays on show");
        frame = std::make_unique<CImage>();  // a failed read may leave a picture behind
    }
    return Compose(*frame, picture);
}

int32_t CExport::Run() {
    CGifWriteOptions options;
    options.repeat = m_options.repeat;
    options.optimize = !m_options.noOptimize;
    options.threads = m_options.threads;
    options.progress = [&](int32_t written, int32_t count) {
        std::fprintf(stderr, "%s[%d/%d] frames written to %s%s", m_tty ? "\r" : "", int(written),
                     int(count), m_options.out.c_str(), m_tty ? "" : "\n");
    };
    const CGifWriteResult result = WriteGifAnimation(
        m_options.out, m_delays,
        [this](int32_t index, CImage& picture) { return MakeFrame(index, picture); }, options);
    if (m_tty) std::fprintf(stderr, "\n");
    if (result) {
        std::fprintf(stderr, "movitrel: %s: %d frames of %d x %d, %lld bytes\n",
                     m_options.out.c_str(), int(m_delays.size()), int(m_width), int(m_height),
                     static_cast<long long>(result.bytes));
        return 0;
    }
    std::string why;
    switch (result.error) {
        case GifWriteError::Io:
            why = "cannot write it: " + result.io.message();
            break;
        case GifWriteError::NoMemory:
            why = "out of memory";
            break;
        case GifWriteError::TooLarge:
            why = "the picture area is larger than a GIF holds";
            break;
        default:  // the frame's own note says why
            why = "frame " + std::to_string(result.frame) + " could not be made";
            break;
    }
    std::fprintf(stderr, "movitrel: %s not written: %s\n", m_options.out.c_str(), why.c_str());
    return kFailure;
}

}  // namespace

void AddExportCommand(CLI::App& app, ExportOptions& o, CLI::App** command) {
    static const std::map<std::string, int16_t> kSorts{{"none", 0}, {"number", 1}, {"time", 2}};
    CLI::App* cmd = app.add_subcommand(
        "export",
        "write the frames of DIR as an animated GIF, as the control plays and shows them");
    *command = cmd;
    cmd->add_option("DIR", o.dir, "folder of .jpg frames")
        ->required()
        ->check(CLI::ExistingDirectory);
    cmd->add_option("OUT", o.out, "the .gif file to write (written beside it and renamed in)")
        ->required();
    cmd->add_option("--base", o.base, "file-name prefix of the frames (default: every .jpg)");
    cmd->add_option("--sort", o.sort, "frame order: none, number (in the name) or time (created)")
        ->transform(CLI::CheckedTransformer(kSorts, CLI::ignore_case));
    cmd->add_option("--delay", o.delay,
                    "milliseconds each frame shows (default 500; under 20 is written as 20, the "
                    "shortest common viewers honour)")
        ->check(CLI::Range(0, 3600000));
    cmd->add_option("--dwell", o.dwell,
                    "extra milliseconds on the last frame of each direction (default 0)")
        ->check(CLI::Range(0, 3600000));
    cmd->add_option("--repeat", o.repeat,
                    "how many times a viewer plays the file: 0 for ever (default), 1 once")
        ->check(CLI::Range(0, 65536));
    cmd->add_flag("--bounce", o.bounce, "forward then backward, without repeating the end frames");
    CLI::Option* width = cmd->add_option("--width", o.width,
                                         "width of the picture area (default: the first frame's)")
                             ->check(CLI::Range(1, 16384));
    CLI::Option* height = cmd->add_option("--height", o.height,
                                          "height of the picture area (default: the first frame's)")
                              ->check(CLI::Range(1, 16384));
    width->needs(height);
    height->needs(width);
    cmd->add_flag("--maximize", o.maximize, "enlarge small frames to fill the picture area");
    cmd->add_option("--background", o.backgroundText,
                    "RRGGBB colour of the bands around a frame (default 000000, the control's)")
        ->check([](const std::string& text) -> std::string {
            const bool ok = text.size() == 6 &&
                            text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
            return ok ? "" : "a colour is six hex digits, RRGGBB";
        });
    cmd->add_flag("--decode-to-fit", o.decodeToFit,
                  "decode frames that are shown smaller at a smaller size, as the control's "
                  "DecodeToFit does");
    cmd->add_option("--first", o.first, "0-based index of the first frame exported (default 0)")
        ->check(CLI::Range(0, 2147483647));
    cmd->add_option("--count", o.count, "how many frames to export (default: all from --first)")
        ->check(CLI::Range(1, 2147483647));
    cmd->add_option("--threads", o.threads,
                    "threads that prepare and encode frames (default: one per processor)")
        ->check(CLI::Range(1, 1024));
    cmd->add_flag("--no-optimize", o.noOptimize,
                  "write every frame whole instead of only what changed");
}

int32_t RunExport(ExportOptions& o) {
    if (!o.backgroundText.empty()) {
        const uint32_t rgb = uint32_t(std::stoul(o.backgroundText, nullptr, 16));
        o.background = RGB(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb));
    }
    std::vector<CString> all = ListFrames(o);
    const std::string base = o.base.value_or("");
    if (all.empty()) {
        std::fprintf(stderr, "movitrel: no frames (%s*.jpg) in %s; nothing written\n", base.c_str(),
                     o.dir.c_str());
        return kFailure;
    }
    if (int64_t(o.first) >= int64_t(all.size())) {
        std::fprintf(stderr,
                     "movitrel: %s holds %d frames; --first %d is past the last; nothing "
                     "written\n",
                     o.dir.c_str(), int(all.size()), int(o.first));
        return kFailure;
    }
    const int64_t left = int64_t(all.size()) - o.first;
    const int64_t count = o.count ? std::min<int64_t>(*o.count, left) : left;
    std::vector<CString> chosen(all.begin() + o.first, all.begin() + o.first + count);

    CExport job(o, std::move(chosen));
    std::string error;
    if (!job.Prepare(&error)) {
        std::fprintf(stderr, "movitrel: %s; nothing written\n", error.c_str());
        return kFailure;
    }
    return job.Run();
}
