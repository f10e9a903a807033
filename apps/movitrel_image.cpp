// movitrel image: describes an image file, or converts it to another format, through the
// image library's own readers and writers. An input's format is told by its first bytes (its
// extension only when they name none); an output's follows its extension.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

#include "apps/MovitrelApp.h"
#include "codecs/JpegImpl.h"
#include "image/Image.h"
#include "platform/FileIO.h"
#include "platform/MessageSink.h"
#include "platform/StringUtil.h"

namespace {

constexpr int32_t kFailure = 1;
constexpr int32_t kGifColors = 256;

const char* FormatName(int32_t type) {
    switch (type) {
        case kImageTypeBmp:
            return "BMP";
        case kImageTypeJpeg:
            return "JPEG";
        case kImageTypeGif:
            return "GIF";
        case kImageTypePng:
            return "PNG";
        case kImageTypeXpm:
            return "XPM";
        default:
            return "unknown";
    }
}

// The type an extension names for the command: the library's table, and ".jpeg" as JPEG.
int32_t TypeFromExtension(const std::string& path) {
    const int32_t type = ImageTypeFromPath(path);
    if (type != -1) return type;
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && StrICmp(path.c_str() + dot + 1, "jpeg") == 0) {
        return kImageTypeJpeg;
    }
    return -1;
}

// An input's format: its first bytes decide, its extension only when they name none.
struct InputType {
    int32_t type = -1;
    int32_t byExtension = -1;
};

InputType TypeOfInput(const std::string& path) {
    InputType input;
    input.byExtension = TypeFromExtension(path);
    BYTE head[8] = {};
    size_t got = 0;
    if (const CFileStream file(OpenFileForRead(path)); file) {
        got = std::fread(head, 1, sizeof head, file.Get());
    }
    const int32_t bySignature = ImageTypeFromSignature(head, got);
    input.type = bySignature != -1 ? bySignature : input.byExtension;
    return input;
}

// Empty when the library has a format class for the type, else why not.
std::string FormatProblem(const std::string& path, int32_t type) {
    CImage probe;
    if (probe.CreateImpl(path, type)) return {};
    if (type == -1)
        return path + ": no image format has this extension (use .bmp, .jpg, .gif or .png)";
    return path + ": " + FormatName(type) +
           " files are not supported (use .bmp, .jpg, .gif or .png)";
}

bool LoadPicture(CImage& image, const std::string& path) {
    const InputType input = TypeOfInput(path);
    if (input.byExtension != -1 && input.byExtension != input.type) {
        std::fprintf(stderr,
                     "movitrel: note: %s holds a %s file, not %s as its extension says; "
                     "read as %s\n",
                     path.c_str(), FormatName(input.type), FormatName(input.byExtension),
                     FormatName(input.type));
    }
    const BOOL read = image.Load(path, input.type);
    if (read && image.IsValid()) return true;
    const char* format = FormatName(input.type);
    if (read) {
        std::fprintf(stderr, "movitrel: %s holds no picture\n", path.c_str());
    } else {
        std::fprintf(stderr, "movitrel: cannot read %s as a %s file\n", path.c_str(), format);
    }
    return false;
}

std::string ColorTypeText(int32_t colorType) {
    std::string words;
    for (auto [bit, word] : {std::pair{kColorTypePalette, "palette"},
                             {kColorTypeColor, "colour"},
                             {kColorTypeAlpha, "alpha"}}) {
        if (!(colorType & bit)) continue;
        words += words.empty() ? "" : ", ";
        words += word;
    }
    return words.empty() ? std::to_string(colorType)
                         : std::to_string(colorType) + " (" + words + ")";
}

int32_t PaletteSize(const CImageImpl& image) {
    return image.imagePalette ? image.imagePalette->GetEntryCount() : 0;
}

// Palette entries as three arrays, the form CreatePalette takes.
struct PaletteArrays {
    int32_t count = 0;
    BYTE red[kMaxPaletteEntries] = {};
    BYTE green[kMaxPaletteEntries] = {};
    BYTE blue[kMaxPaletteEntries] = {};

    void Add(BYTE r, BYTE g, BYTE b) {
        red[count] = r;
        green[count] = g;
        blue[count] = b;
        ++count;
    }
};

// The picture unchanged: the block, its palette, colour type and transparent index.
bool CopyPicture(const CImageImpl& source, CImageImpl& target) {
    return target.CopyFrom(source) != FALSE;
}

bool ToTrueColor(CImageImpl& source, CImageImpl& target) {
    if (target.Create(source.imageWidth, source.imageHeight, 24, kColorTypeColor) == 0) {
        return false;
    }
    for (int32_t y = 0; y < source.imageHeight; ++y) {
        for (int32_t x = 0; x < source.imageWidth; ++x) {
            BYTE r = 0, g = 0, b = 0;  // an index the palette lacks comes out black
            source.GetPixelRGB(x, y, &r, &g, &b);
            target.SetPixelRGB(x, y, r, g, b);
        }
    }
    return true;
}

// 8 bits with a palette: the picture's own colours when there are at most 256 of them,
// else the 6 x 6 x 6 colour cube, whose nearest entry is the nearest level per channel.
bool ToPaletted(CImageImpl& source, CImageImpl& target, std::string* note) {
    std::unordered_map<uint32_t, BYTE> indexOf;
    PaletteArrays entries;
    bool fits = true;
    for (int32_t y = 0; y < source.imageHeight && fits; ++y) {
        for (int32_t x = 0; x < source.imageWidth && fits; ++x) {
            BYTE r = 0, g = 0, b = 0;
            source.GetPixelRGB(x, y, &r, &g, &b);
            const uint32_t key = RGB(r, g, b);
            if (indexOf.count(key)) continue;
            fits = entries.count < kGifColors;
            if (!fits) break;
            indexOf[key] = BYTE(entries.count);
            entries.Add(r, g, b);
        }
    }
    constexpr int32_t kLevels = 6;
    constexpr int32_t kStep = 255 / (kLevels - 1);
    if (!fits) {
        entries.count = 0;
        for (int32_t i = 0; i < kLevels * kLevels * kLevels; ++i) {
            entries.Add(BYTE(i / 36 * kStep), BYTE(i / 6 % 6 * kStep), BYTE(i % 6 * kStep));
        }
        *note = "more than 256 colours: reduced to a cube of " + std::to_string(entries.count) +
                " colours";
    }
    if (target.Create(source.imageWidth, source.imageHeight, 8, -1) == 0 ||
        !target.CreatePalette(entries.count, entries.red, entries.green, entries.blue)) {
        return false;
    }
    const auto level = [](BYTE v) { return (v + kStep / 2) / kStep; };
    for (int32_t y = 0; y < source.imageHeight; ++y) {
        for (int32_t x = 0; x < source.imageWidth; ++x) {
            BYTE r = 0, g = 0, b = 0;
            source.GetPixelRGB(x, y, &r, &g, &b);
            const int32_t index =
                fits ? indexOf[RGB(r, g, b)] : (level(r) * kLevels + level(g)) * kLevels + level(b);
            target.SetPixelIndex(x, y, index);
        }
    }
    return true;
}

// Whether the colour-form table of a paletteless image is the grey ramp that a PNG writer
// implies when it writes the indices as grey levels.
bool TableIsGreyRamp(const CImageImpl& image) {
    const auto* table = reinterpret_cast<const RGBQUAD*>(
        reinterpret_cast<const BYTE*>(image.imageDIB) + image.imageDIB->biSize);
    const int32_t top = (1 << image.bitsPerPixel) - 1;
    for (uint32_t i = 0; i < image.imageDIB->biClrUsed; ++i) {
        const BYTE level = BYTE(int32_t(i) * 255 / top);
        if (table[i].rgbRed != level || table[i].rgbGreen != level || table[i].rgbBlue != level) {
            return false;
        }
    }
    return true;
}

// The colour-form table of a paletteless image, attached as its palette.
bool AttachTableAsPalette(CImageImpl& image) {
    const auto* table = reinterpret_cast<const RGBQUAD*>(
        reinterpret_cast<const BYTE*>(image.imageDIB) + image.imageDIB->biSize);
    PaletteArrays entries;
    for (uint32_t i = 0; i < image.imageDIB->biClrUsed && i < uint32_t(kMaxPaletteEntries); ++i) {
        entries.Add(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    }
    return image.CreatePalette(entries.count, entries.red, entries.green, entries.blue);
}

// Puts the picture into target in a form its writer takes: each writer walks only some
// depths (JPEG: 8 bits with a palette or 24; PNG: up to 8 or 24; GIF: up to 8).
bool PrepareFor(int32_t type, CImageImpl& source, CImageImpl& target, std::string* note) {
    const int32_t bits = source.bitsPerPixel;
    const bool paletted = source.imagePalette != nullptr;
    switch (type) {
        case kImageTypeJpeg:
            if ((bits == 8 && paletted) || bits == 24) return CopyPicture(source, target);
            return ToTrueColor(source, target);
        case kImageTypeGif:
            if (bits <= 8) return CopyPicture(source, target);
            return ToPaletted(source, target, note);
        case kImageTypePng:
            if (bits > 8 && bits != 24) return ToTrueColor(source, target);
            if (!CopyPicture(source, target)) return false;
            // Indices without a palette are written as grey levels: keep other colours.
            if (bits <= 8 && !paletted && !TableIsGreyRamp(target)) {
                return AttachTableAsPalette(target);
            }
            return true;
        default:
            return CopyPicture(source, target);
    }
}

// Standard output carries only the program's own lines: the PNG writer traces its palette
// there.
class StdoutSilenced {
public:
    StdoutSilenced() {
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~StdoutSilenced() {
        std::fflush(stdout);
        if (saved >= 0) {
            dup2(saved, STDOUT_FILENO);
            close(saved);
        }
    }
    StdoutSilenced(const StdoutSilenced&) = delete;
    StdoutSilenced& operator=(const StdoutSilenced&) = delete;

private:
    int saved = -1;
};

// Collects the writers' message boxes: a writer may report an error there and still answer
// TRUE.
class MessageCollector {
public:
    MessageCollector() {
        previous = SetMessageSink([this](const CString& text) { texts.push_back(text); });
    }
    ~MessageCollector() { SetMessageSink(previous); }
    MessageCollector(const MessageCollector&) = delete;
    MessageCollector& operator=(const MessageCollector&) = delete;
    std::vector<CString> texts;

private:
    MessageSink previous;
};

int32_t Info(const std::string& path) {
    CImage image;
    if (!LoadPicture(image, path)) return kFailure;
    const CImageImpl& impl = *image.GetImpl();
    std::printf("type: %s\n", FormatName(image.GetImageType()));
    std::printf("width: %d\n", int(impl.imageWidth));
    std::printf("height: %d\n", int(impl.imageHeight));
    std::printf("bits per pixel: %d\n", int(impl.bitsPerPixel));
    std::printf("colour type: %s\n", ColorTypeText(impl.colorType).c_str());
    std::printf("palette size: %d\n", int(PaletteSize(impl)));
    if (impl.transparentIndex >= 0) {
        std::printf("transparent index: %d\n", int(impl.transparentIndex));
    } else {
        std::printf("transparent index: none\n");
    }
    return 0;
}

int32_t Convert(const std::string& in, const std::string& out, int32_t jpegQuality) {
    CImage source;
    if (!LoadPicture(source, in)) return kFailure;
    CImageImpl& picture = *source.GetImpl();

    const int32_t type = TypeFromExtension(out);
    const char* format = FormatName(type);
    const std::string partial = PartialPathFor(out);
    CImage target;
    if (!target.CreateImpl(partial, type)) {
        std::fprintf(stderr, "movitrel: %s\n", FormatProblem(out, type).c_str());
        return kFailure;
    }
    CImageImpl& writer = *target.GetImpl();
    std::string note;
    if (!PrepareFor(type, picture, writer, &note)) {
        std::fprintf(stderr, "movitrel: not enough memory to convert %s\n", in.c_str());
        return kFailure;
    }
    if (picture.transparentIndex >= 0) {
        note += std::string(note.empty() ? "" : "; ") + "the transparent index " +
                std::to_string(picture.transparentIndex) + " is not kept";
    }
    if (jpegQuality > 0 && type == kImageTypeJpeg) {
        static_cast<CJpegImpl&>(writer).jpegQuality = jpegQuality;
    }

    // The file is written beside OUT and renamed in, never in place: a folder that takes no
    // new file refuses the conversion, with the system's reason.
    errno = 0;
    const HFILE probe = FileCreate(partial);
    if (probe == HFILE_ERROR) {
        std::fprintf(stderr, "movitrel: cannot write %s: %s (no new file can be made beside it)\n",
                     out.c_str(), std::strerror(errno));
        return kFailure;
    }
    FileClose(probe);

    BOOL written = FALSE;
    std::vector<CString> messages;
    {
        MessageCollector collector;
        StdoutSilenced quiet;
        written = writer.Write(partial);
        messages = collector.texts;
    }
    for (const CString& text : messages) {
        std::fprintf(stderr, "movitrel: %s writer: %s\n", format, text.c_str());
    }
    if (!written || !messages.empty()) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        std::fprintf(stderr, "movitrel: cannot write %s as a %s file\n", out.c_str(), format);
        return kFailure;
    }
    if (const std::error_code ec = CommitPartial(partial, out)) {
        std::fprintf(stderr, "movitrel: cannot write %s: %s\n", out.c_str(), ec.message().c_str());
        return kFailure;
    }
    if (!note.empty()) std::fprintf(stderr, "movitrel: note: %s\n", note.c_str());
    std::printf("%s: %s, %d x %d, %d bits per pixel\n", out.c_str(), format, int(writer.imageWidth),
                int(writer.imageHeight), int(writer.bitsPerPixel));
    return 0;
}

}  // namespace

void AddImageCommands(CLI::App& app, ImageCommands& commands) {
    const CLI::Validator inputPath(
        [](std::string& path) { return FormatProblem(path, TypeOfInput(path).type); }, "IMAGE");
    const CLI::Validator outputPath(
        [](std::string& path) { return FormatProblem(path, TypeFromExtension(path)); }, "IMAGE");
    CLI::App* image =
        app.add_subcommand("image", "describe an image file or convert it to another format");
    image->require_subcommand(1);

    const auto addInput = [&](CLI::App* command, const char* name) {
        command
            ->add_option(name, commands.in, "a BMP, JPEG, GIF or PNG file, told by its first bytes")
            ->required()
            ->check(CLI::ExistingFile)
            ->check(inputPath);
    };

    commands.info = image->add_subcommand(
        "info", "print the type, size, depth, colour type, palette size and transparent index");
    addInput(commands.info, "FILE");

    commands.convert = image->add_subcommand(
        "convert", "read IN and write it as OUT, each in the format its extension names");
    addInput(commands.convert, "IN");
    commands.convert
        ->add_option("OUT", commands.out, "a .bmp, .jpg (or .jpeg), .gif or .png file to write")
        ->required()
        ->check(outputPath);
    commands.convert
        ->add_option("--quality", commands.jpegQuality,
                     "JPEG quality for a .jpg OUT, 1 to 100 (default: the writer's own, 30)")
        ->check(CLI::Range(1, 100));
}

std::optional<int32_t> RunImageCommand(const ImageCommands& commands) {
    if (commands.info && *commands.info) return Info(commands.in);
    if (commands.convert && *commands.convert) {
        return Convert(commands.in, commands.out, commands.jpegQuality);
    }
    return std::nullopt;
}
