// Interchange with giflib, an independent GIF codec: files it writes are read by our reader,
// and files our writer makes are read by it.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include "codecs/GifImpl.h"
#include "image/ImageFormats.h"
#include "platform/Sync.h"
#include "platform/Thread.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;

namespace {

struct OracleImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Rgb> colours;
    std::vector<Bytes> rows;  // top first
    bool interlaced = false;
    int32_t transparent = -1;  // from a graphic control block
};

// Writes one image with giflib. Interlaced rows are handed over in pass order, as the
// format stores them.
bool GiflibWrite(const std::string& path, const OracleImage& img, bool gif89 = false,
                 const OracleImage* second = nullptr) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif) {
        return false;
    }
    EGifSetGifVersion(gif, gif89 || img.transparent >= 0);
    int bits = 1;
    while ((1 << bits) < int(img.colours.size())) {
        ++bits;
    }
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    for (size_t i = 0; i < img.colours.size(); ++i) {
        map->Colors[i] = {img.colours[i][0], img.colours[i][1], img.colours[i][2]};
    }
    bool ok = EGifPutScreenDesc(gif, img.width, img.height, bits, 0, map) == GIF_OK;
    GifFreeMapObject(map);
    for (const OracleImage* part : {&img, second}) {
        if (!part) {
            continue;
        }
        if (part->transparent >= 0) {
            GifByteType control[4] = {0x01, 0, 0, GifByteType(part->transparent)};
            ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, 0, 0, part->width, part->height, part->interlaced,
                                    nullptr) == GIF_OK;
        std::vector<int32_t> order;
        if (part->interlaced) {
            const int32_t starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
            for (int32_t p = 0; p < 4; ++p) {
                for (int32_t r = starts[p]; r < part->height; r += steps[p]) {
                    order.push_back(r);
                }
            }
        } else {
            for (int32_t r = 0; r < part->height; ++r) {
                order.push_back(r);
            }
        }
        for (int32_t r : order) {
            Bytes line = part->rows[size_t(r)];
            ok = ok && EGifPutLine(gif, line.data(), part->width) == GIF_OK;
        }
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

// Reads the first image with giflib, rows back in picture order.
bool GiflibRead(const std::string& path, OracleImage& img) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) {
        return false;
    }
    bool ok = false;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    while (DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) {
                break;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) != GIF_OK) {
                    ext = nullptr;
                }
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) != GIF_OK) {
            break;
        }
        img.width = gif->Image.Width;
        img.height = gif->Image.Height;
        img.interlaced = gif->Image.Interlace;
        const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
        for (int i = 0; map && i < map->ColorCount; ++i) {
            img.colours.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
        }
        img.rows.assign(size_t(img.height), Bytes(size_t(img.width)));
        ok = true;
        for (int32_t r = 0; r < img.height && ok; ++r) {
            ok = DGifGetLine(gif, img.rows[size_t(r)].data(), img.width) == GIF_OK;
        }
        break;
    }
    DGifCloseFile(gif, &error);
    return ok;
}

OracleImage RandomImage(int32_t width, int32_t height, int32_t colours, uint32_t seed) {
    lzwtest::Rng rng(seed);
    OracleImage img;
    img.width = width;
    img.height = height;
    for (int32_t i = 0; i < colours; ++i) {
        img.colours.push_back({uint8_t(rng.Next()), uint8_t(rng.Next()), uint8_t(i)});
    }
    img.rows.assign(size_t(height), Bytes(size_t(width)));
    for (Bytes& row : img.rows) {
        // Runs and noise, so that strings of every length appear.
        uint8_t value = 0;
        for (uint8_t& p : row) {
            if (rng.Below(5) == 0) {
                value = uint8_t(rng.Below(uint32_t(colours)));
            }
            p = value;
        }
    }
    return img;
}

}  // namespace

TEST(GifOracle, GiflibFilesReadByOurReader) {
    struct Case {
        int32_t width, height, colours;
    };
    for (const Case& c : {Case{1, 1, 2}, Case{17, 9, 4}, Case{64, 64, 16}, Case{200, 150, 256},
                          Case{31, 23, 256}, Case{640, 480, 256}}) {
        for (bool interlaced : {false, true}) {
            const OracleImage img =
                RandomImage(c.width, c.height, c.colours, uint32_t(c.width * 7 + c.height));
            OracleImage written = img;
            written.interlaced = interlaced;
            const std::string path = TempPath("giflib-made.gif");
            ASSERT_TRUE(GiflibWrite(path, written));
            CGifImpl ours("");
            ASSERT_TRUE(ours.Read(path));
            EXPECT_EQ(ours.imageWidth, c.width);
            EXPECT_EQ(ours.imageHeight, c.height);
            EXPECT_EQ(Rows(ours), img.rows)
                << c.width << "x" << c.height << (interlaced ? " interlaced" : "");
            EXPECT_EQ(PaletteOf(ours), img.colours);
        }
    }
}

TEST(GifOracle, GiflibTransparencyReadByOurReader) {
    OracleImage img = RandomImage(10, 10, 16, 5);
    img.transparent = 6;
    const std::string path = TempPath("giflib-transparent.gif");
    ASSERT_TRUE(GiflibWrite(path, img));
    CGifImpl ours("");
    ASSERT_TRUE(ours.Read(path));
    EXPECT_EQ(ours.transparentIndex, 6);
    const std::vector<Rgb> pal = PaletteOf(ours);
    ASSERT_EQ(pal.size(), 256u);
    EXPECT_EQ(pal[6], (Rgb{0, 0, 0}));
    EXPECT_EQ(pal[7], img.colours[7]);
    EXPECT_EQ(pal[200], (Rgb{255, 255, 255}));
    EXPECT_EQ(Rows(ours), img.rows);
}

TEST(GifOracle, GiflibAnimationGivesItsFirstImage) {
    const OracleImage first = RandomImage(12, 8, 4, 1);
    OracleImage second = RandomImage(12, 8, 4, 2);
    const std::string path = TempPath("giflib-two.gif");
    ASSERT_TRUE(GiflibWrite(path, first, true, &second));
    CGifImpl ours("");
    ASSERT_TRUE(ours.Read(path));
    EXPECT_EQ(Rows(ours), first.rows);
}

TEST(GifOracle, OurFilesReadByGiflib) {
    for (int32_t width : {1, 3, 100, 640}) {
        const int32_t height = width == 640 ? 480 : 21;
        const OracleImage img = RandomImage(width, height, 256, uint32_t(width));
        CGifImpl ours("");
        ours.Create(width, height, 8, -1);
        for (int32_t r = 0; r < height; ++r) {
            std::copy(img.rows[size_t(r)].begin(), img.rows[size_t(r)].end(), ours.PictureRow(r));
        }
        BYTE red[256], green[256], blue[256];
        for (size_t i = 0; i < 256; ++i) {
            red[i] = img.colours[i][0];
            green[i] = img.colours[i][1];
            blue[i] = img.colours[i][2];
        }
        ours.CreatePalette(256, red, green, blue);
        const std::string path = TempPath("ours.gif");
        ASSERT_TRUE(ours.Write(path));
        OracleImage back;
        ASSERT_TRUE(GiflibRead(path, back)) << width;
        EXPECT_EQ(back.width, width);
        EXPECT_EQ(back.height, height);
        EXPECT_FALSE(back.interlaced);
        EXPECT_EQ(back.colours, img.colours);
        EXPECT_EQ(back.rows, img.rows) << width;
    }
}

// ---- threads ----

namespace {

struct GifJob {
    std::string source;  // a giflib file to read
    std::string target;  // where to write it again
    std::vector<Bytes> rows;
    bool ok = false;
    CEvent done;
};

uint32_t RunGifJob(void* param) {
    std::unique_ptr<std::shared_ptr<GifJob>> holder(static_cast<std::shared_ptr<GifJob>*>(param));
    GifJob& job = **holder;
    bool ok = true;
    for (int32_t round = 0; round < 10 && ok; ++round) {
        CGifImpl gif("");
        ok = gif.Read(job.source) && gif.Write(job.target);
        CGifImpl again("");
        ok = ok && again.Read(job.target);
        job.rows = Rows(again);
    }
    job.ok = ok;
    job.done.SetEvent();
    return 0;
}

}  // namespace

TEST(GifOracle, TwoThreadsReadAndWriteAtOnce) {
    const OracleImage a = RandomImage(320, 200, 256, 41);
    OracleImage b = RandomImage(150, 99, 16, 42);
    b.interlaced = true;
    auto jobA = std::make_shared<GifJob>();
    auto jobB = std::make_shared<GifJob>();
    jobA->source = TempPath("thread-a.gif");
    jobA->target = TempPath("thread-a-out.gif");
    jobB->source = TempPath("thread-b.gif");
    jobB->target = TempPath("thread-b-out.gif");
    ASSERT_TRUE(GiflibWrite(jobA->source, a));
    ASSERT_TRUE(GiflibWrite(jobB->source, b));
    for (const auto& job : {jobA, jobB}) {
        auto* param = new std::shared_ptr<GifJob>(job);
        if (!AfxBeginThread(RunGifJob, param)) {
            delete param;
            FAIL() << "no thread";
        }
    }
    const bool aDone = jobA->done.Wait(60000) == WAIT_OBJECT_0;
    const bool bDone = jobB->done.Wait(60000) == WAIT_OBJECT_0;
    ASSERT_TRUE(aDone && bDone);
    EXPECT_TRUE(jobA->ok);
    EXPECT_TRUE(jobB->ok);
    EXPECT_EQ(jobA->rows, a.rows);
    EXPECT_EQ(jobB->rows, b.rows);
}
