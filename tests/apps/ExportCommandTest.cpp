// movitrel export, run as a program; every file it writes is read back by PIL, an animation
// reader that is not ours, and compared with the control's own decode and paint.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/GifAnimation.h"
#include "codecs/JpegImpl.h"
#include "image/Image.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kWidth = 48;
constexpr int32_t kHeight = 36;

Outcome Movitrel(std::vector<std::string> args) {
    args.insert(args.begin(), MOVITREL_PROGRAM);
    // The program's registry and caches stay in the test's folder.
    Outcome outcome = RunProgram(args, {"XDG_CONFIG_HOME=" + TestTmp() + "/config",
                                        "XDG_CACHE_HOME=" + TestTmp() + "/cache"});
    EXPECT_EQ(outcome.err.find("Sanitizer"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find("runtime error"), std::string::npos) << outcome.err;
    return outcome;
}

std::string Folder(const std::string& name) {
    const std::string dir = TestTmp() + "/export/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A colourful frame, different for each seed, so each decodes to a palette of its own.
void WriteFrame(const std::string& path, int32_t seed, int32_t w = kWidth, int32_t h = kHeight) {
    CJpegImpl jpeg(path);
    ASSERT_NE(jpeg.Create(w, h, 24, kColorTypeColor), 0);
    jpeg.jpegQuality = 90;
    for (int32_t y = 0; y < h; ++y) {
        BYTE* row = jpeg.PictureRow(y);
        for (int32_t x = 0; x < w; ++x) {
            row[3 * x] = BYTE(x * 5 + seed * 40);
            row[3 * x + 1] = BYTE(y * 7 + seed * 23);
            row[3 * x + 2] = BYTE((x + y) * 3 + seed * 61);
        }
    }
    ASSERT_TRUE(jpeg.Write(path));
}

// Frames f<n>.jpg, frame i with seed i.
std::vector<std::string> WriteFrames(const std::string& dir, int32_t count) {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < count; ++i) {
        paths.push_back(dir + "/f" + std::to_string(i) + ".jpg");
        WriteFrame(paths.back(), i);
    }
    return paths;
}

// A frame as the control decodes it, as colours.
Pixels AsTheControlDecodes(const std::string& path) {
    CImage image;
    EXPECT_TRUE(image.Load(path, kImageTypeJpeg)) << path;
    Pixels p;
    p.width = image.GetWidth();
    p.height = image.GetHeight();
    for (int32_t y = 0; y < p.height; ++y) {
        for (int32_t x = 0; x < p.width; ++x) {
            BYTE r = 0, g = 0, b = 0;
            image.GetPixelRGB(x, image.GetImpl()->MemoryRowOf(y), &r, &g, &b);
            p.rgb.insert(p.rgb.end(), {r, g, b});
        }
    }
    return p;
}

Pixels Crop(const Pixels& p, int32_t w, int32_t h) {
    Pixels out;
    out.width = w;
    out.height = h;
    for (int32_t y = 0; y < h; ++y) {
        const auto row = p.rgb.begin() + ptrdiff_t(3 * y * p.width);
        out.rgb.insert(out.rgb.end(), row, row + 3 * w);
    }
    return out;
}

// What is left of a write that failed or finished: partial files beside the target.
bool NothingBeside(const std::string& dir, const std::string& except = "") {
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != except && entry.path().extension() != ".jpg") return false;
    }
    return true;
}

}  // namespace

TEST(ExportCommand, FramesComeInTheControlsOrderAsItDecodesThem) {
    const std::string dir = Folder("order");
    // Sorted by number, 2 comes before 10; a file without the prefix is left out.
    WriteFrame(dir + "/f10.jpg", 2);
    WriteFrame(dir + "/f2.jpg", 1);
    WriteFrame(dir + "/f1.jpg", 0);
    WriteFrame(dir + "/other.jpg", 5);
    const std::string out = dir + "/out.gif";
    const Outcome run =
        Movitrel({"export", dir, out, "--base", "f", "--sort", "number", "--delay", "120"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("[3/3]"), std::string::npos) << run.err;  // the progress line
    EXPECT_TRUE(NothingBeside(dir, "out.gif"));
    const PilAnimation animation = AnimationByPil(out);
    ASSERT_EQ(animation.frames.size(), 3u);
    EXPECT_EQ(animation.loop, 0);  // for ever
    EXPECT_EQ(animation.durations, (std::vector<int>{120, 120, 120}));
    const char* names[] = {"f1", "f2", "f10"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(
            SamePixels(AsTheControlDecodes(dir + "/" + names[i] + ".jpg"), animation.frames[i]))
            << names[i];
    }
}

TEST(ExportCommand, BounceDwellRepeatAndASliceOfTheList) {
    const std::string dir = Folder("bounce");
    const std::vector<std::string> frames = WriteFrames(dir, 6);
    const std::string out = dir + "/out.gif";
    const Outcome run =
        Movitrel({"export", dir, out, "--sort", "number", "--first", "1", "--count", "4",
                  "--bounce", "--delay", "100", "--dwell", "300", "--repeat", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    const PilAnimation animation = AnimationByPil(out);
    // Frames 1 to 4, then back to 2: the file starts over at 1. Each end dwells.
    const int32_t shown[] = {1, 2, 3, 4, 3, 2};
    ASSERT_EQ(animation.frames.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(SamePixels(AsTheControlDecodes(frames[size_t(shown[i])]), animation.frames[i]))
            << i;
    }
    EXPECT_EQ(animation.durations, (std::vector<int>{400, 100, 100, 400, 100, 100}));
    EXPECT_EQ(animation.loop, 2);  // three passes

    const Outcome once = Movitrel(
        {"export", dir, out, "--sort", "number", "--repeat", "1", "--count", "2", "--delay", "7"});
    ASSERT_EQ(once.status, 0) << once.err;
    const PilAnimation single = AnimationByPil(out);
    EXPECT_EQ(single.loop, -1);                               // no loop extension
    EXPECT_EQ(single.durations, (std::vector<int>{20, 20}));  // the shortest viewers honour
}

TEST(ExportCommand, APictureAreaLaysFramesOutAsTheControlPaintsThem) {
    // One frame larger than the area, shrunk into it with bands above and below; the control
    // renders the same picture area above its strip of 40 rows.
    const std::string dir = Folder("layout");
    WriteFrame(dir + "/a.jpg", 3, 64, 48);
    const std::string out = dir + "/out.gif";
    for (bool fit : {false, true}) {
        std::vector<std::string> args = {"export", dir, out, "--width", "40", "--height", "50"};
        if (fit) args.push_back("--decode-to-fit");
        const Outcome run = Movitrel(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string paints = TestTmp() + "/export/paints" + (fit ? "-fit" : "");
        std::vector<std::string> render = {"render", dir,       "--frames", "2",        "--out",
                                           paints,   "--width", "40",       "--height", "90"};
        if (fit) render.push_back("--decode-to-fit");
        ASSERT_EQ(Movitrel(render).status, 0);
        const std::vector<Pixels> painted =
            DecodedByPil({paints + "/paint0001.png", paints + "/paint0002.png"});
        // The second paint shows the frame; the first may too, when the worker's refresh
        // comes in before the window's first paint is done.
        const PilAnimation animation = AnimationByPil(out);
        ASSERT_EQ(animation.frames.size(), 1u);
        EXPECT_TRUE(SamePixels(Crop(painted[1], 40, 50), animation.frames[0])) << fit;
    }

    // The bands in another colour; the frame lands 10 rows down.
    const Outcome coloured =
        Movitrel({"export", dir, out, "--width", "40", "--height", "50", "--background", "10A0f0"});
    ASSERT_EQ(coloured.status, 0) << coloured.err;
    const Pixels frame = AnimationByPil(out).frames.at(0);
    const auto at = [&](int32_t x, int32_t y) {
        const size_t i = 3 * (size_t(y) * size_t(frame.width) + size_t(x));
        return std::vector<int>{frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]};
    };
    EXPECT_EQ(at(0, 0), (std::vector<int>{0x10, 0xA0, 0xF0}));
    EXPECT_EQ(at(39, 9), (std::vector<int>{0x10, 0xA0, 0xF0}));
    EXPECT_NE(at(0, 10), (std::vector<int>{0x10, 0xA0, 0xF0}));
    EXPECT_EQ(at(20, 49), (std::vector<int>{0x10, 0xA0, 0xF0}));
}

TEST(ExportCommand, OtherSizesAreLaidOutInTheFirstFramesScreen) {
    const std::string dir = Folder("sizes");
    WriteFrame(dir + "/f1.jpg", 1);
    WriteFrame(dir + "/f2.jpg", 2, 24, 36);  // narrower: centred with bands at the sides
    WriteFrame(dir + "/f3.jpg", 3, 96, 36);  // wider: shrunk to 48 x 18
    const std::string out = dir + "/out.gif";
    const Outcome run = Movitrel({"export", dir, out, "--sort", "number"});
    ASSERT_EQ(run.status, 0) << run.err;
    const PilAnimation animation = AnimationByPil(out);
    ASSERT_EQ(animation.frames.size(), 3u);
    for (const Pixels& frame : animation.frames) {
        EXPECT_EQ(frame.width, kWidth);
        EXPECT_EQ(frame.height, kHeight);
    }
    // Column 12 of the middle frame is its first; column 11 is black band.
    const Pixels narrow = AsTheControlDecodes(dir + "/f2.jpg");
    const Pixels& middle = animation.frames[1];
    for (int32_t y = 0; y < kHeight; ++y) {
        const size_t shown = 3 * (size_t(y) * kWidth + 12), own = 3 * size_t(y) * 24;
        EXPECT_EQ(middle.rgb[shown], narrow.rgb[own]) << y;
        EXPECT_EQ(middle.rgb[shown - 3] + middle.rgb[shown - 2] + middle.rgb[shown - 1], 0) << y;
    }
}

TEST(ExportCommand, AnUnreadableFrameLeavesTheOneBeforeItOnShow) {
    const std::string dir = Folder("unreadable");
    const std::vector<std::string> frames = WriteFrames(dir, 3);
    ASSERT_TRUE(WriteAll(frames[1], {0xFF, 0xD8, 0xFF, 0xE0, 0, 0}));  // a JPEG cut short
    const std::string out = dir + "/out.gif";
    const Outcome run = Movitrel({"export", dir, out, "--sort", "number"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(frames[1]), std::string::npos) << run.err;
    const PilAnimation animation = AnimationByPil(out);
    ASSERT_EQ(animation.frames.size(), 3u);
    EXPECT_TRUE(SamePixels(AsTheControlDecodes(frames[0]), animation.frames[1]));
    EXPECT_TRUE(SamePixels(AsTheControlDecodes(frames[2]), animation.frames[2]));
}

TEST(ExportCommand, OptimisedAndWholeFramesShowTheSameOnAnyNumberOfThreads) {
    const std::string dir = Folder("threads");
    // Frames 1 and 3 are copies of the ones before them: optimised, nothing of them changes.
    const std::vector<std::string> frames = WriteFrames(dir, 5);
    fs::copy_file(frames[0], frames[1], fs::copy_options::overwrite_existing);
    fs::copy_file(frames[2], frames[3], fs::copy_options::overwrite_existing);
    const std::string optimised = dir + "/optimised.gif", whole = dir + "/whole.gif",
                      single = dir + "/single.gif";
    ASSERT_EQ(Movitrel({"export", dir, optimised, "--sort", "number"}).status, 0);
    ASSERT_EQ(Movitrel({"export", dir, whole, "--sort", "number", "--no-optimize"}).status, 0);
    ASSERT_EQ(Movitrel({"export", dir, single, "--sort", "number", "--threads", "1"}).status, 0);
    EXPECT_EQ(ReadAll(single), ReadAll(optimised));
    const PilAnimation a = AnimationByPil(optimised), b = AnimationByPil(whole);
    ASSERT_EQ(a.frames.size(), 5u);
    ASSERT_EQ(b.frames.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(SamePixels(a.frames[i], b.frames[i])) << i;
    CGifAnimation ours;
    ASSERT_EQ(ReadGifAnimation(whole, &ours), GifReadStatus::Ok);
    for (const CGifFrame& frame : ours.frames) EXPECT_EQ(frame.width * frame.height, 48 * 36);
    ASSERT_EQ(ReadGifAnimation(optimised, &ours), GifReadStatus::Ok);
    EXPECT_EQ(ours.frames[1].width * ours.frames[1].height, 1);
    EXPECT_EQ(ours.frames[3].width * ours.frames[3].height, 1);
    EXPECT_LT(fs::file_size(optimised), fs::file_size(whole));
}

TEST(ExportCommand, BadCommandLinesAndMissingFoldersExitWithStatusTwo) {
    const std::string dir = Folder("usage");
    WriteFrames(dir, 2);
    const std::string out = dir + "/out.gif";
    const std::vector<std::vector<std::string>> bad = {
        {"export", "/no/such/folder", out},
        {"export", dir},
        {"export", dir, out, "--sort", "bogus"},
        {"export", dir, out, "--width", "40"},
        {"export", dir, out, "--height", "40"},
        {"export", dir, out, "--width", "0", "--height", "40"},
        {"export", dir, out, "--background", "12345"},
        {"export", dir, out, "--background", "zz0000"},
        {"export", dir, out, "--repeat", "65537"},
        {"export", dir, out, "--count", "0"},
        {"export", dir, out, "--threads", "0"},
        {"export", dir, out, "--delay", "-1"},
    };
    for (const auto& args : bad) {
        const Outcome run = Movitrel(args);
        EXPECT_EQ(run.status, 2) << args.back() << ": " << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_NE(Movitrel(bad[0]).err.find("/no/such/folder"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(NothingBeside(dir));

    const Outcome help = Movitrel({"export", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--bounce", "--dwell", "--decode-to-fit", "--no-optimize",
                               "--threads", "--repeat", "--background", "--first", "--count"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    // The manual page is made from --help-all.
    EXPECT_NE(Movitrel({"--help-all"}).out.find("--no-optimize"), std::string::npos);
}

TEST(ExportCommand, NoFramesOrAnOutputThatCannotBeWrittenExitWithStatusOne) {
    const std::string empty = Folder("empty");
    const Outcome none = Movitrel({"export", empty, empty + "/out.gif"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no frames"), std::string::npos) << none.err;
    EXPECT_TRUE(fs::is_empty(empty));

    const std::string dir = Folder("unwritable");
    WriteFrames(dir, 2);
    const Outcome nowhere = Movitrel({"export", dir, dir + "/missing/out.gif"});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("cannot write it"), std::string::npos) << nowhere.err;
    const Outcome folder = Movitrel({"export", dir, dir});
    EXPECT_EQ(folder.status, 1);
    const Outcome past = Movitrel({"export", dir, dir + "/out.gif", "--first", "2"});
    EXPECT_EQ(past.status, 1);
    EXPECT_NE(past.err.find("--first"), std::string::npos) << past.err;
    EXPECT_TRUE(NothingBeside(dir));

    // An existing file stays as it was when the export cannot finish.
    const std::string kept = dir + "/kept.gif";
    ASSERT_TRUE(WriteAll(kept, {'o', 'l', 'd'}));
    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
    const Outcome readOnly = Movitrel({"export", dir, kept});
    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
    if (geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(readOnly.status, 1);
        EXPECT_EQ(ReadText(kept), "old");
    }
    EXPECT_TRUE(NothingBeside(dir, "kept.gif"));
}
