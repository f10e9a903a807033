// movitrel image info and convert, run as a program. Pictures are made by PIL and every
// output is decoded by PIL again, so the pixels are judged by a decoder that is not ours.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/Image.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace fs = std::filesystem;

namespace {

Outcome Movitrel(std::vector<std::string> args) {
    args.insert(args.begin(), {MOVITREL_PROGRAM, "image"});
    Outcome outcome = RunProgram(args);
    // In the sanitizer builds a report ends the program with status 1, like a plain failure.
    EXPECT_EQ(outcome.err.find("Sanitizer"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find("runtime error"), std::string::npos) << outcome.err;
    return outcome;
}

std::string Dir() {
    const std::string dir = TestTmp() + "/image-command";
    fs::create_directories(dir);
    return dir;
}

// A picture of a kind pil_pixels.py knows, in the format of the extension, made once.
std::string Made(const std::string& kind, const std::string& extension) {
    const std::string path = Dir() + "/" + kind + "." + extension;
    if (fs::exists(path)) return path;
    const Outcome made = RunProgram({kPython, PilHelper(), "make", kind, path});
    EXPECT_EQ(made.status, 0) << "PIL could not write " << path << ": " << made.err;
    return path;
}

// What our own reader makes of a file, as colours.
Pixels DecodedByUs(const std::string& path) {
    Pixels p;
    CImage image;
    EXPECT_TRUE(image.Load(path, -1)) << path;
    if (!image.IsValid()) return p;
    p.width = image.GetWidth();
    p.height = image.GetHeight();
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            BYTE r = 0, g = 0, b = 0;
            image.GetPixelRGB(x, image.GetImpl()->MemoryRowOf(y), &r, &g, &b);
            p.rgb.insert(p.rgb.end(), {r, g, b});
        }
    }
    return p;
}

struct Difference {
    int max = 0;
    double mean = 0;
};

Difference Compare(const Pixels& a, const Pixels& b) {
    Difference d;
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return {255, 255};
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const int delta = std::abs(int(a.rgb[i]) - int(b.rgb[i]));
        d.max = std::max(d.max, delta);
        sum += delta;
    }
    d.mean = sum / double(a.rgb.size());
    return d;
}

std::string Out(const std::string& name) {
    return Dir() + "/" + name;
}

// Files in the output folder that a failed or finished write left half done.
std::vector<std::string> Leftovers() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir())) {
        const std::string name = entry.path().filename().string();
        if (name.find(".partial") != std::string::npos) names.push_back(name);
    }
    return names;
}

// "key: value" lines.
std::vector<std::pair<std::string, std::string>> InfoLines(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            lines.emplace_back(line, "<no colon>");
        } else {
            lines.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        }
    }
    return lines;
}

using Info = std::vector<std::pair<std::string, std::string>>;

Info Expected(const char* type, int bits, const char* colorType, int palette,
              const char* transparent = "none") {
    return {{"type", type},
            {"width", "41"},
            {"height", "27"},
            {"bits per pixel", std::to_string(bits)},
            {"colour type", colorType},
            {"palette size", std::to_string(palette)},
            {"transparent index", transparent}};
}

struct Source {
    const char* kind;
    const char* extension;
};

std::string Name(const Source& s) {
    return std::string(s.kind) + "." + s.extension;
}

}  // namespace

TEST(ImageConvert, LosslessFormatsKeepEveryPixelBothWays) {
    // Paletted, 1-bit, grey and true-colour pictures of at most 256 colours: every format
    // but JPEG holds them exactly, also GIF for the 24-bit ones.
    const Source sources[] = {{"few", "bmp"},   {"few", "png"},  {"few", "gif"},  {"few24", "bmp"},
                              {"few24", "png"}, {"grey", "bmp"}, {"grey", "png"}, {"grey", "gif"},
                              {"mono", "bmp"},  {"mono", "png"}, {"mono", "gif"}};
    for (const Source& source : sources) {
        const std::string in = Made(source.kind, source.extension);
        std::vector<std::string> files{in};
        for (const char* to : {"bmp", "png", "gif"}) {
            SCOPED_TRACE(Name(source) + " to " + to);
            const std::string there =
                Out(std::string(source.kind) + "-" + source.extension + "." + to);
            const Outcome forth = Movitrel({"convert", in, there});
            ASSERT_EQ(forth.status, 0) << forth.err;
            EXPECT_EQ(forth.err, "");
            const std::string back = there + "-back." + source.extension;
            const Outcome returned = Movitrel({"convert", there, back});
            ASSERT_EQ(returned.status, 0) << returned.err;
            files.insert(files.end(), {there, back});
        }
        const std::vector<Pixels> decoded = DecodedByPil(files);
        ASSERT_EQ(decoded[0].width, 41) << in;
        for (size_t f = 1; f < files.size(); ++f) {
            EXPECT_TRUE(SamePixels(decoded[0], decoded[f])) << files[f];
        }
    }
    EXPECT_TRUE(Leftovers().empty());
}

TEST(ImageConvert, TrueColourKeepsEveryPixelInBmpAndPng) {
    for (const char* from : {"bmp", "png", "32.bmp"}) {
        const std::string in =
            std::string(from) == "32.bmp" ? Made("smooth32", "bmp") : Made("smooth", from);
        const Pixels original = DecodedByPil(in);
        for (const char* to : {"bmp", "png"}) {
            const std::string out = Out(std::string("smooth-") + from + "." + to);
            const Outcome run = Movitrel({"convert", in, out});
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_TRUE(SamePixels(original, DecodedByPil(out))) << from << " to " << to;
        }
    }
}

TEST(ImageConvert, ManyColoursToGifAreReducedWithANote) {
    for (const char* kind : {"smooth", "smooth32"}) {
        const std::string in = Made(kind, std::string(kind) == "smooth" ? "png" : "bmp");
        const std::string out = Out(std::string(kind) + ".gif");
        const Outcome run = Movitrel({"convert", in, out});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("reduced"), std::string::npos) << run.err;
        // Each channel lands on the nearest of six levels 51 apart.
        const Difference d = Compare(DecodedByPil(in), DecodedByPil(out));
        EXPECT_LE(d.max, 25) << kind;
        EXPECT_GT(d.max, 0) << kind;
    }
}

TEST(ImageConvert, JpegOutputStaysCloseToTheSource) {
    // Smooth pictures only: sharp colour edges lose their chroma in any JPEG.
    const Source sources[] = {{"smooth", "png"}, {"smooth", "bmp"}, {"smooth32", "bmp"},
                              {"grey", "png"},   {"grey", "gif"},   {"mono", "bmp"}};
    for (const Source& source : sources) {
        SCOPED_TRACE(Name(source));
        const std::string in = Made(source.kind, source.extension);
        const Pixels original = DecodedByPil(in);
        const std::string out = Out(std::string(source.kind) + "-" + source.extension + "-q95.jpg");
        const Outcome run = Movitrel({"convert", in, out, "--quality", "95"});
        ASSERT_EQ(run.status, 0) << run.err;
        const Pixels written = DecodedByPil(out);
        ASSERT_EQ(written.width, original.width);
        ASSERT_EQ(written.height, original.height);
        const Difference d = Compare(original, written);
        EXPECT_LE(d.mean, 1.5);
        EXPECT_LE(d.max, 12);
    }
}

TEST(ImageConvert, JpegQualityDefaultsToTheWritersOwn) {
    const std::string in = Made("smooth", "png");
    const std::string low = Out("smooth-default.jpg");
    const std::string high = Out("smooth-q95.jpg");
    ASSERT_EQ(Movitrel({"convert", in, low}).status, 0);
    ASSERT_EQ(Movitrel({"convert", in, high, "--quality", "95"}).status, 0);
    EXPECT_LT(fs::file_size(low), fs::file_size(high));
    const Difference d = Compare(DecodedByPil(in), DecodedByPil(low));
    EXPECT_LE(d.mean, 5.0);
    EXPECT_GT(d.mean, Compare(DecodedByPil(in), DecodedByPil(high)).mean);
}

TEST(ImageConvert, JpegInputIsWrittenAsOurReaderDecodesIt) {
    // Our reader reduces colour files to 128 colours; the converted file holds exactly that
    // picture, which in turn stays near PIL's own decode of the JPEG.
    for (const char* kind : {"smooth", "grey"}) {
        const std::string in = Made(kind, "jpg");
        const Pixels ours = DecodedByUs(in);
        for (const char* to : {"bmp", "png", "gif"}) {
            SCOPED_TRACE(std::string(kind) + ".jpg to " + to);
            const std::string out = Out(std::string(kind) + "-jpg." + to);
            const Outcome run = Movitrel({"convert", in, out});
            ASSERT_EQ(run.status, 0) << run.err;
            const Pixels written = DecodedByPil(out);
            EXPECT_TRUE(SamePixels(ours, written));
            EXPECT_LE(Compare(DecodedByPil(in), written).mean, 9.0);
        }
        const std::string again = Out(std::string(kind) + "-jpg.jpg");
        ASSERT_EQ(Movitrel({"convert", in, again, "--quality", "95"}).status, 0);
        // Dithered colours are the detail a JPEG smooths first.
        EXPECT_LE(Compare(ours, DecodedByPil(again)).mean, 6.0);
    }
}

TEST(ImageConvert, AlphaIsComposedOverTheBackgroundOnce) {
    // PIL's RGBA picture at alpha 128 over the reader's background (31, 127, 255).
    const std::string in = Made("rgba", "png");
    const Pixels colours = DecodedByPil(Made("smooth", "png"));
    const std::string out = Out("rgba.bmp");
    const Outcome run = Movitrel({"convert", in, out});
    ASSERT_EQ(run.status, 0) << run.err;
    Pixels expected = colours;
    const int background[3] = {31, 127, 255};
    for (size_t i = 0; i < expected.rgb.size(); ++i) {
        expected.rgb[i] = uint8_t((colours.rgb[i] * 128 + background[i % 3] * 127 + 127) / 255);
    }
    EXPECT_LE(Compare(expected, DecodedByPil(out)).max, 1);
}

TEST(ImageConvert, ColoursOfAGifWithoutColourTableSurvive) {
    // No table at all: the reader leaves the block's default colours, which a PNG holding
    // only grey levels would lose. Two pixels, indices 1 and 3, LZW codes clear 1 3 end.
    const std::string in = Out("no-table.gif");
    const unsigned char bytes[] = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0,    0,    0, 0x2C, 0,
                                   0,   0,   0,   2,   0,   1,   0, 0, 2, 2, 0xCC, 0x0A, 0, 0x3B};
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    const Pixels ours = DecodedByUs(in);
    ASSERT_EQ(ours.rgb, (std::vector<uint8_t>{128, 0, 0, 128, 128, 0}));
    for (const char* to : {"png", "bmp", "gif"}) {
        const std::string out = Out(std::string("no-table.gif.") + to);
        const Outcome run = Movitrel({"convert", in, out});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(SamePixels(ours, DecodedByPil(out))) << to;
    }
}

TEST(ImageInfo, DescribesWhatTheReadersMake) {
    const struct {
        const char* kind;
        const char* extension;
        Info expected;
    } cases[] = {
        {"smooth", "png", Expected("PNG", 24, "2 (colour)", 0)},
        {"rgba", "png", Expected("PNG", 24, "6 (colour, alpha)", 0)},
        {"grey", "png", Expected("PNG", 8, "0", 0)},
        {"mono", "png", Expected("PNG", 1, "0", 0)},
        {"few", "png", Expected("PNG", 4, "3 (palette, colour)", 16)},
        {"smooth", "bmp", Expected("BMP", 24, "0", 0)},
        {"few", "bmp", Expected("BMP", 8, "3 (palette, colour)", 16)},
        {"mono", "bmp", Expected("BMP", 1, "3 (palette, colour)", 2)},
        {"few", "gif", Expected("GIF", 8, "3 (palette, colour)", 16)},
        // With a transparent index the reader widens the palette to 256 entries.
        {"transparent", "gif", Expected("GIF", 8, "3 (palette, colour)", 256, "3")},
        {"grey", "jpg", Expected("JPEG", 8, "3 (palette, colour)", 256)},
    };
    for (const auto& c : cases) {
        const std::string path = Made(c.kind, c.extension);
        const Outcome run = Movitrel({"info", path});
        EXPECT_EQ(run.status, 0) << path << ": " << run.err;
        EXPECT_EQ(InfoLines(run.out), c.expected) << path;
    }
    // A colour JPEG comes out through the quantiser: at most 128 colours.
    const Outcome jpeg = Movitrel({"info", Made("smooth", "jpg")});
    ASSERT_EQ(jpeg.status, 0);
    const Info lines = InfoLines(jpeg.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3].second, "8");
    const int colours = std::stoi(lines[5].second);
    EXPECT_GT(colours, 16);
    EXPECT_LE(colours, 128);
}

// The input's first bytes tell its format; a disagreeing extension is named on standard error.
// An output's format still follows its extension, ".jpeg" included.
TEST(ImageInfo, TellsTheInputFormatByItsBytes) {
    const auto copied = [](const std::string& from, const std::string& name) {
        const std::string to = Out(name);
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
        return to;
    };
    const std::string pngAsJpg = copied(Made("few", "png"), "png-inside.jpg");
    Outcome run = Movitrel({"info", pngAsJpg});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(InfoLines(run.out), Expected("PNG", 4, "3 (palette, colour)", 16));
    EXPECT_NE(run.err.find("holds a PNG file, not JPEG"), std::string::npos) << run.err;

    const std::string jpeg = copied(Made("grey", "jpg"), "a.jpeg");
    run = Movitrel({"info", jpeg});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(InfoLines(run.out), Expected("JPEG", 8, "3 (palette, colour)", 256));
    EXPECT_EQ(run.err, "");

    // No extension at all: the bytes alone.
    run = Movitrel({"info", copied(Made("few", "gif"), "no-extension")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(InfoLines(run.out), Expected("GIF", 8, "3 (palette, colour)", 16));

    // convert a.jpeg b.png, and a .jpeg output written as JPEG.
    run = Movitrel({"convert", jpeg, Out("from-jpeg.png")});
    EXPECT_EQ(run.status, 0) << run.err;
    // The same bytes under .jpg, which the library's own Load takes.
    EXPECT_TRUE(SamePixels(DecodedByUs(Made("grey", "jpg")), DecodedByPil(Out("from-jpeg.png"))));
    run = Movitrel({"convert", pngAsJpg, Out("out.jpeg")});
    EXPECT_EQ(run.status, 0) << run.err;
    run = Movitrel({"info", Out("out.jpeg")});
    EXPECT_EQ(InfoLines(run.out).at(0), (std::pair<std::string, std::string>{"type", "JPEG"}));
    EXPECT_TRUE(Leftovers().empty());
}

TEST(ImageConvert, TransparencyThatIsLostIsNamed) {
    const Outcome run = Movitrel({"convert", Made("transparent", "gif"), Out("transparent.png")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("transparent index 3 is not kept"), std::string::npos) << run.err;
}

TEST(ImageCommandErrors, BadCommandLinesExitWithStatusTwo) {
    const std::string good = Made("few", "png");
    const std::string tif = Out("picture.tif");
    std::ofstream(tif) << "not looked at";
    const struct {
        std::vector<std::string> args;
        const char* mention;
    } cases[] = {
        {{}, "subcommand"},
        {{"info"}, "FILE"},
        {{"info", Out("missing.png")}, "missing.png"},
        {{"info", tif}, "no image format"},
        {{"convert", good}, "OUT"},
        {{"convert", Out("missing.gif"), Out("x.png")}, "missing.gif"},
        {{"convert", good, Out("x.tiff")}, "no image format"},
        {{"convert", good, Out("x.xpm")}, "XPM files are not supported"},
        {{"convert", good, Out("x")}, "no image format"},
        {{"convert", good, Out("x.jpg"), "--quality", "0"}, "--quality"},
    };
    for (const auto& c : cases) {
        const Outcome run = Movitrel(c.args);
        EXPECT_EQ(run.status, 2) << c.mention << ": " << run.err;
        EXPECT_NE(run.err.find(c.mention), std::string::npos) << run.err;
    }
    for (const char* name : {"x.tiff", "x.xpm", "x", "x.jpg", "x.png"}) {
        EXPECT_FALSE(fs::exists(Out(name))) << name;
    }
    for (const std::vector<std::string>& help :
         {std::vector<std::string>{"--help"}, {"info", "--help"}, {"convert", "--help"}}) {
        const Outcome run = Movitrel(help);
        EXPECT_EQ(run.status, 0) << help[0];
        EXPECT_NE(run.out.find("Usage"), std::string::npos) << run.out;
    }
}

TEST(ImageCommandErrors, UnreadableInputFailsAndWritesNothing) {
    const std::string damaged = Out("damaged.png");
    std::ofstream(damaged, std::ios::binary) << "\x89PNG\r\n\x1a\n and then nothing sensible";
    const std::string emptyGif = Out("no-picture.gif");
    std::ofstream(emptyGif, std::ios::binary)
        << std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);
    // A JPEG signature and nothing sensible after it (a GIF named .jpg is read as the GIF it is).
    const std::string brokenJpeg = Out("broken.jpg");
    std::ofstream(brokenJpeg, std::ios::binary) << "\xFF\xD8\xFF\xE0 and then nothing sensible";

    for (const auto& [in, mention] : {std::pair{damaged, "cannot read"},
                                      {emptyGif, "holds no picture"},
                                      {brokenJpeg, "as a JPEG file"}}) {
        const Outcome info = Movitrel({"info", in});
        EXPECT_EQ(info.status, 1) << in;
        EXPECT_NE(info.err.find(mention), std::string::npos) << info.err;
        EXPECT_EQ(info.out, "");

        const std::string out = Out("from-unreadable.bmp");
        const Outcome convert = Movitrel({"convert", in, out});
        EXPECT_EQ(convert.status, 1) << in;
        EXPECT_NE(convert.err.find(mention), std::string::npos) << convert.err;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_TRUE(Leftovers().empty());
}

TEST(ImageCommandErrors, FailedWritesLeaveNoFileBehind) {
    const std::string in = Made("few", "gif");
    // A folder that does not exist: the writer cannot create its file.
    const std::string nowhere = Out("no-such-folder/x.png");
    Outcome run = Movitrel({"convert", in, nowhere});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(fs::path(nowhere).parent_path()));

    // A folder where the file should go: written beside it, then refused the name.
    const std::string folder = Out("taken.png");
    fs::create_directories(folder);
    run = Movitrel({"convert", in, folder});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_directory(folder));

    // An existing file keeps its contents when the conversion fails.
    const std::string kept = Out("kept.bmp");
    std::ofstream(kept) << "old contents";
    const std::string damaged = Out("damaged-again.gif");
    std::ofstream(damaged) << "GIF8 but not really";
    run = Movitrel({"convert", damaged, kept});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadText(kept), "old contents");
    EXPECT_TRUE(Leftovers().empty());
}

TEST(ImageConvert, OutputReplacesAnExistingFileAndMayBeTheInput) {
    const std::string path = Out("in-place.png");
    fs::copy_file(Made("few", "png"), path, fs::copy_options::overwrite_existing);
    const Pixels before = DecodedByPil(path);
    const Outcome run = Movitrel({"convert", path, path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(SamePixels(before, DecodedByPil(path)));
    EXPECT_NE(run.out.find("PNG, 41 x 27"), std::string::npos) << run.out;
    EXPECT_TRUE(Leftovers().empty());
}

TEST(ImageConvert, OntoALinkAPrivateFileAndALongName) {
    const std::string in = Made("few", "png");
    const Pixels expected = DecodedByPil(in);
    // The link stays; the file it leads to is the one converted onto.
    fs::create_directories(Out("real"));
    const std::string real = Out("real/target.png");
    std::ofstream(real) << "old";
    const std::string link = Out("link.png");
    fs::remove(link);
    fs::create_symlink("real/target.png", link);
    Outcome run = Movitrel({"convert", in, link});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(SamePixels(expected, DecodedByPil(real)));

    const std::string secret = Out("private.png");
    std::ofstream(secret) << "old";
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    run = Movitrel({"convert", in, secret});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    const std::string longName = Out(std::string(240, 'n') + ".png");
    run = Movitrel({"convert", in, longName});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(SamePixels(expected, DecodedByPil(longName)));
    EXPECT_TRUE(Leftovers().empty());
}

TEST(ImageConvert, AFolderThatTakesNoNewFileRefusesWithItsReasonAndKeepsTheFile) {
    const std::string folder = Out("locked");
    fs::create_directories(folder);
    const std::string in = Made("few", "png");
    const std::string target = folder + "/kept.png";
    std::ofstream(target) << "old contents";
    std::vector<std::string> args = {MOVITREL_PROGRAM, "image", "convert", in, target};
    // The user may write the file but not make one beside it; root may do both, so the
    // program runs as another user then.
    if (getuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
        args.insert(args.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    } else {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const Outcome run = RunProgram(args);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write " + target + ": Permission denied"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadText(target), "old contents");
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename(), "kept.png");
    }
}
