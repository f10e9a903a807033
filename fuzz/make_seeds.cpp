// fuzz_seeds OUTDIR: writes the seed corpora of the fuzz targets with the project's own
// writers (OUTDIR/bmp, gif, png, jpeg, lzw, extension, gif_animation, registry, property_bag,
// state_stream).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/Codecs.h"
#include "codecs/GifAnimation.h"
#include "codecs/LzwEncoder.h"
#include "framework/PropertyBag.h"
#include "framework/Registry.h"
#include "framework/StateStream.h"
#include "image/Image.h"

namespace fs = std::filesystem;

namespace {

// A small picture with edges and a gradient, at the given depth.
void Paint(CImage& image, int32_t w, int32_t h, int32_t bits) {
    image.Create(w, h, bits, -1);
    if (bits <= 8) {
        const int32_t n = 1 << bits;
        const size_t entries = static_cast<size_t>(n);
        std::vector<BYTE> r(entries), g(entries), b(entries);
        for (int32_t i = 0; i < n; ++i) {
            r[size_t(i)] = BYTE(i * 255 / (n - 1));
            g[size_t(i)] = BYTE(255 - i * 255 / (n - 1));
            b[size_t(i)] = BYTE((i * 97) & 255);
        }
        image.CreatePalette(n, r.data(), g.data(), b.data());
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) image.SetPixelIndex(x, y, (x / 3 + y) % n);
        }
    } else {
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) image.SetPixelRGB(x, y, x * 9, y * 13, (x ^ y) * 5);
        }
    }
}

void WriteWith(int32_t type, const std::string& path, int32_t w, int32_t h, int32_t bits) {
    CImage image;
    if (!image.CreateImpl(path, type)) return;
    Paint(image, w, h, bits);
    if (!image.GetImpl()->Write(path)) std::remove(path.c_str());
}

class Pixels : public CLzwPixelSource {
public:
    Pixels(int32_t count, int32_t colors) : count_(count), colors_(colors) {}
    int32_t NextPixel() override { return i_ < count_ ? (i_++ / 5) % colors_ : -1; }

private:
    int32_t count_, colors_, i_ = 0;
};

class Collect : public CLzwByteSink {
public:
    void WriteBytes(const uint8_t* bytes, size_t count) override {
        out.insert(out.end(), bytes, bytes + count);
    }
    bool Flush() override { return true; }
    std::vector<uint8_t> out;
};

void WriteLzwSeed(const std::string& path, int32_t width, int32_t minCodeSize, int32_t pixels) {
    auto encoder = std::make_unique<CLzwEncoder>();
    Pixels source(pixels, 1 << minCodeSize);
    Collect sink;
    encoder->Compress(minCodeSize + 1, source, sink);
    std::ofstream out(path, std::ios::binary);
    out.put(char(width - 1));
    out.put(char(minCodeSize));
    out.write(reinterpret_cast<const char*>(sink.out.data()), std::streamsize(sink.out.size()));
    out.put(0);
}

// Animations by the project's own writer: frames that move (crops and transparency), frames on
// one shared palette, whole frames, and a single pass without the loop extension.
void WriteAnimationSeeds(const std::string& dir) {
    struct Seed {
        const char* name;
        int32_t frames, width, height, bits;
        bool shared, optimize;
        int32_t repeat;
    };
    const Seed seeds[] = {
        {"moving", 5, 24, 16, 4, false, true, 0}, {"shared", 4, 20, 12, 8, true, true, 3},
        {"whole", 3, 9, 7, 2, false, false, 0},   {"once", 2, 5, 5, 1, true, true, 1},
        {"still", 4, 16, 16, 3, true, true, 0},
    };
    for (const Seed& seed : seeds) {
        const int32_t colors = 1 << seed.bits;
        const auto maker = [&](int32_t index, CImage& picture) {
            if (picture.Create(seed.width, seed.height, 8, -1) <= 0) return false;
            const size_t n = static_cast<size_t>(colors);
            std::vector<BYTE> r(n), g(n), b(n);
            const int32_t tint = seed.shared ? 0 : index;
            for (int32_t i = 0; i < colors; ++i) {
                r[size_t(i)] = BYTE(i * 255 / std::max(1, colors - 1));
                g[size_t(i)] = BYTE(i * 37 + tint * 50);
                b[size_t(i)] = BYTE(255 - i * 11 - tint * 20);
            }
            picture.CreatePalette(colors, r.data(), g.data(), b.data());
            const bool still = std::string(seed.name) == "still";
            for (int32_t y = 0; y < seed.height; ++y) {
                for (int32_t x = 0; x < seed.width; ++x) {
                    const int32_t moved = still && (x < 10 || y < 10) ? 0 : index;
                    picture.SetPixelIndex(x, y, (x / 2 + y + moved) % colors);
                }
            }
            return true;
        };
        CGifWriteOptions options;
        options.optimize = seed.optimize;
        options.repeat = seed.repeat;
        options.threads = 1;
        WriteGifAnimation(dir + "/" + seed.name + ".gif",
                          std::vector<int32_t>(size_t(seed.frames), 70), maker, options);
    }
}

}  // namespace

int main(int argc, char** argv) {
    RegisterCodecs();
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    const std::string root = argv[1];
    for (const char* sub : {"bmp", "gif", "png", "jpeg", "lzw", "extension", "gif_animation",
                            "registry", "property_bag", "state_stream"}) {
        fs::create_directories(root + "/" + sub);
    }
    const struct {
        const char* dir;
        const char* ext;
        int32_t type;
        std::vector<int32_t> depths;
    } formats[] = {
        {"bmp", "bmp", 0, {1, 4, 8, 24}},
        {"gif", "gif", 2, {8}},
        {"png", "png", 4, {8, 24}},
        {"jpeg", "jpg", 1, {8, 24}},
    };
    for (const auto& f : formats) {
        for (int32_t bits : f.depths) {
            for (auto [w, h] : {std::pair{1, 1}, {7, 5}, {33, 17}}) {
                const std::string path = root + "/" + f.dir + "/seed_" + std::to_string(bits) +
                                         "_" + std::to_string(w) + "x" + std::to_string(h) + "." +
                                         f.ext;
                WriteWith(f.type, path, w, h, bits);
            }
        }
    }
    WriteAnimationSeeds(root + "/gif_animation");
    WriteLzwSeed(root + "/lzw/small", 8, 2, 40);
    WriteLzwSeed(root + "/lzw/wide", 64, 8, 5000);
    WriteLzwSeed(root + "/lzw/table_full", 32, 4, 60000);
    int n = 0;
    for (const char* name : {"frame001.JPG", "a.Gif", "picture.jpeg", "b.xpm", "a.b.png", "x.",
                             "noext", "C:\\dir.x\\f.bmp"}) {
        std::ofstream(root + "/extension/" + std::to_string(n++)) << name;
    }

    // A registry as a registration writes it, and one as an editor saves it.
    CRegistry registry;
    const std::string clsid = "HKCR\\CLSID\\{5C2B1A30-8D4E-4F11-9A6B-0C1D2E3F4A5B}";
    registry.SetString(clsid, "", "Movitrel Control");
    registry.SetString(clsid + "\\InprocServer32", "", "/usr/lib/movitrel/MOVITREL.OCX");
    registry.SetString(clsid + "\\InprocServer32", "ThreadingModel", "Apartment");
    registry.SetValue(clsid + "\\MiscStatus", "Count", CRegValue::Dword(0x20191));
    registry.SetString("HKCR\\MOVITREL.MovitrelCtrl.1\\CLSID", "", "{5C2B1A30}");
    std::ofstream(root + "/registry/written") << registry.ToText();
    std::ofstream(root + "/registry/edited")
        << "\xEF\xBB\xBFREGEDIT4\r\n\r\n; a comment\r\n[HKEY_CLASSES_ROOT\\A\\B]\r\n"
           "@=\"x\"\r\n\"bin\"=hex:01,02,\\\r\n  03\r\n\"gone\"=-\r\n[-HKCR\\A\\C]\r\n";

    // A control's saved state, and a text with every escape.
    CPropertyBag bag;
    for (const auto& [name, value] : {std::pair<const char*, const char*>{"_Version", "65537"},
                                      {"Dir", "/tmp/frames"},
                                      {"BaseFile", "img"},
                                      {"Loop", "1"},
                                      {"Delay", "100"},
                                      {"CacheSize", "256"}}) {
        bag.Write(name, value);
    }
    std::ofstream(root + "/property_bag/state") << bag.ToText();
    CString stream;
    if (FormatState(bag, &stream) == StateError::None) {
        std::ofstream(root + "/state_stream/state", std::ios::binary) << stream;
    }
    std::ofstream(root + "/property_bag/escapes")
        << "# saved by hand\r\nOdd\\=Name=a\\nb\\tc\\\\\n\\#Hash=1\nno separator\n";
    return 0;
}
