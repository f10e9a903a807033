// The animation writer: round trips through our reader and through giflib, the optimiser's
// crops and transparency, colour tables, delays, loop counts and failures.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "codecs/GifAnimation.h"
#include "platform/FileIO.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;
namespace fs = std::filesystem;

namespace {

// Distinct colours, a different set for each seed, so frames carry palettes of their own.
Colours Palette(int32_t count, uint32_t seed) {
    Colours colours;
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t v = (uint32_t(i) * 2654435761u) ^ (seed * 40503u);
        colours.push_back(((v >> 8) & 0xFFFF00u) | uint32_t(i));  // the low byte keeps them apart
    }
    return colours;
}

uint32_t Noise(int32_t x, int32_t y, uint32_t seed) {
    uint32_t v = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ seed * 83492791u;
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    return v ^ (v >> 15);
}

// Noisy pictures, each on its own palette, that move across the screen.
Pictures Panning(int32_t frames, int32_t width, int32_t height) {
    Pictures pictures;
    for (int32_t f = 0; f < frames; ++f) {
        pictures.push_back(MakePicture(width, height, Palette(40, uint32_t(f)), [&](int x, int y) {
            return int32_t(Noise(x + 3 * f, y, 7) % 40);
        }));
    }
    return pictures;
}

// Frames as giflib decodes them, composed here (the writer only ever asks for disposal 1):
// an oracle that shares no code with our reader.
std::vector<Colours> ComposedByGiflib(const std::string& path, std::vector<int32_t>* delays) {
    std::vector<Colours> shown;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(gif, nullptr) << path;
    if (!gif) return shown;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    Colours screen(size_t(gif->SWidth) * size_t(gif->SHeight), 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, i, &control);
        EXPECT_LE(control.DisposalMode, DISPOSE_DO_NOT);
        if (delays) delays->push_back(control.DelayTime);
        const ColorMapObject* map =
            image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const GifImageDesc& d = image.ImageDesc;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                if (index == control.TransparentColor) continue;
                const GifColorType c = map->Colors[index];
                screen[size_t(d.Top + y) * size_t(gif->SWidth) + size_t(d.Left + x)] =
                    0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
            }
        }
        shown.push_back(screen);
    }
    DGifCloseFile(gif, &error);
    return shown;
}

void ExpectShownAsGiven(const std::vector<Colours>& shown, const Pictures& pictures) {
    ASSERT_EQ(shown.size(), pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(shown[i], ShownColours(*pictures[i])) << "frame " << i;
    }
}

}  // namespace

TEST(GifAnimationWrite, EveryFrameComposesToThePictureGivenInOurReaderAndInGiflib) {
    const Pictures pictures = Panning(12, 37, 23);
    for (bool optimize : {true, false}) {
        const std::string path = TempPath(optimize ? "pan.gif" : "pan-whole.gif");
        CGifWriteOptions options;
        options.optimize = optimize;
        const CGifWriteResult result = WriteAnimation(path, pictures, 60, options);
        ASSERT_TRUE(result) << int(result.error);
        EXPECT_EQ(result.bytes, int64_t(fs::file_size(path)));
        CGifAnimation animation;
        ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
        std::vector<int32_t> delays;
        ExpectShownAsGiven(ComposedByGiflib(path, &delays), pictures);
        EXPECT_EQ(delays, std::vector<int32_t>(12, 6));
        EXPECT_EQ(animation.width, 37);
        EXPECT_EQ(animation.height, 23);
    }
}

TEST(GifAnimationWrite, AFrameThatDiffersInOneCornerIsCroppedToIt) {
    Pictures pictures;
    const Colours colours = Palette(16, 1);
    pictures.push_back(MakePicture(40, 30, colours, [](int x, int y) { return (x + y) % 16; }));
    // The bottom right 6 x 5 pixels change, every one of them.
    pictures.push_back(MakePicture(40, 30, colours, [](int x, int y) {
        return x >= 34 && y >= 25 ? (x + y + 1) % 16 : (x + y) % 16;
    }));
    const std::string path = TempPath("corner.gif");
    ASSERT_TRUE(WriteAnimation(path, pictures));
    CGifAnimation animation;
    ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
    ExpectShownAsGiven(ComposedByGiflib(path, nullptr), pictures);
    const CGifFrame& corner = animation.frames[1];
    EXPECT_EQ(corner.left, 34);
    EXPECT_EQ(corner.top, 25);
    EXPECT_EQ(corner.width, 6);
    EXPECT_EQ(corner.height, 5);
    EXPECT_EQ(corner.disposal, 1);
    EXPECT_EQ(corner.transparent, -1);  // nothing in it is unchanged
    const CGifFrame& first = animation.frames[0];
    EXPECT_EQ(first.width, 40);
    EXPECT_EQ(first.height, 30);
    EXPECT_FALSE(first.localTable);
}

TEST(GifAnimationWrite, UnchangedPixelsInsideTheCropBecomeTransparentWhenThatIsSmaller) {
    // Two changed pixels at opposite corners: the crop is the whole noisy picture, and only
    // with transparency does the noise in between compress to nothing.
    Pictures pictures;
    const Colours colours = Palette(64, 2);
    const auto noise = [](int x, int y) { return int32_t(Noise(x, y, 3) % 64); };
    pictures.push_back(MakePicture(50, 40, colours, noise));
    pictures.push_back(MakePicture(50, 40, colours, [&](int x, int y) {
        if ((x == 1 && y == 1) || (x == 48 && y == 38)) return (noise(x, y) + 1) % 64;
        return noise(x, y);
    }));
    const std::string path = TempPath("transparent.gif");
    ASSERT_TRUE(WriteAnimation(path, pictures));
    CGifAnimation animation;
    ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
    ExpectShownAsGiven(ComposedByGiflib(path, nullptr), pictures);
    const CGifFrame& frame = animation.frames[1];
    EXPECT_EQ(frame.left, 1);
    EXPECT_EQ(frame.top, 1);
    EXPECT_EQ(frame.width, 48);
    EXPECT_EQ(frame.height, 38);
    ASSERT_GE(frame.transparent, 0);
    // Both pictures share a palette, the global table: the transparent index is just past it.
    EXPECT_FALSE(frame.localTable);
    EXPECT_EQ(frame.transparent, 64);
    EXPECT_EQ(frame.codeSize, 7);  // 65 entries need a table of 128
    // The second frame costs a few dozen bytes beyond a file of the first alone.
    Pictures first;
    first.push_back(MakePicture(50, 40, colours, noise));
    const std::string alone = TempPath("alone.gif");
    ASSERT_TRUE(WriteAnimation(alone, first));
    EXPECT_LT(fs::file_size(path), fs::file_size(alone) + 100);
}

TEST(GifAnimationWrite, AFrameIdenticalToTheOneBeforeIsOnePixelAndKeepsItsDelay) {
    Pictures pictures = Panning(1, 20, 10);
    pictures.push_back(MakePicture(20, 10, Palette(40, 0),
                                   [](int x, int y) { return int32_t(Noise(x, y, 7) % 40); }));
    pictures.push_back(MakePicture(20, 10, Palette(40, 9),
                                   [](int x, int y) { return int32_t(Noise(x, y, 1) % 40); }));
    const std::string path = TempPath("same.gif");
    ASSERT_TRUE(WriteAnimation(path, pictures, std::vector<int32_t>{100, 250, 100}));
    CGifAnimation animation;
    ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
    std::vector<int32_t> delays;
    ExpectShownAsGiven(ComposedByGiflib(path, &delays), pictures);
    EXPECT_EQ(delays, (std::vector<int32_t>{10, 25, 10}));
    const CGifFrame& same = animation.frames[1];
    EXPECT_EQ(same.width, 1);
    EXPECT_EQ(same.height, 1);
    EXPECT_EQ(same.left, 0);
    EXPECT_EQ(same.top, 0);
}

TEST(GifAnimationWrite, GreyFramesShareTheGlobalRampAndAreCroppedWithoutTransparency) {
    Colours ramp;
    for (uint32_t i = 0; i < 256; ++i) ramp.push_back(i << 16 | i << 8 | i);
    Pictures pictures;
    for (int32_t f = 0; f < 4; ++f) {
        // A still grey picture with a block that moves down the left side.
        pictures.push_back(MakePicture(64, 48, ramp, [f](int x, int y) {
            const bool block = x >= 4 && x < 12 && y >= 8 * f && y < 8 * f + 8;
            return block ? 255 - int32_t(Noise(x, y, 5) % 16) : int32_t(Noise(x, y, 4) % 256);
        }));
    }
    const std::string path = TempPath("grey.gif");
    ASSERT_TRUE(WriteAnimation(path, pictures));
    CGifAnimation animation;
    ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
    ExpectShownAsGiven(ComposedByGiflib(path, nullptr), pictures);
    EXPECT_EQ(animation.globalColors.size(), 256u);
    EXPECT_EQ(animation.globalColors, ramp);
    for (size_t i = 0; i < animation.frames.size(); ++i) {
        const CGifFrame& frame = animation.frames[i];
        EXPECT_FALSE(frame.localTable) << i;
        EXPECT_EQ(frame.transparent, -1) << i;
        EXPECT_EQ(frame.codeSize, 8) << i;
        if (i > 0) {
            EXPECT_EQ(frame.left, 4) << i;
            EXPECT_EQ(frame.width, 8) << i;
            EXPECT_EQ(frame.top, 8 * int32_t(i) - 8) << i;
            EXPECT_EQ(frame.height, 16) << i;  // where the block was, and where it is
        }
    }
}

TEST(GifAnimationWrite, LocalTablesHoldOnlyTheColoursWrittenAndSizeTheCodes) {
    // Frame 0 has a palette of 200 colours and uses two; frame 1, on another palette, writes
    // three colours in the changed rectangle (4 entries: code size 2), frame 2 five (8
    // entries: code size 3), frame 3 one colour and transparent pixels (2 entries).
    const Colours big = Palette(200, 11);
    Pictures pictures;
    pictures.push_back(MakePicture(16, 16, big, [](int x, int) { return x < 8 ? 0 : 1; }));
    const Colours other = Palette(10, 12);
    pictures.push_back(MakePicture(16, 16, other, [](int x, int) { return x % 3; }));
    pictures.push_back(MakePicture(16, 16, other, [](int x, int) { return x % 5; }));
    pictures.push_back(MakePicture(16, 16, other, [](int x, int y) {
        return x == 0 && y == 0 ? 9 : (y == 15 && x == 15 ? 9 : x % 5);
    }));
    const std::string path = TempPath("tables.gif");
    ASSERT_TRUE(WriteAnimation(path, pictures));
    CGifAnimation animation;
    ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
    ExpectShownAsGiven(ComposedByGiflib(path, nullptr), pictures);
    ASSERT_EQ(animation.frames.size(), 4u);
    EXPECT_EQ(animation.globalColors.size(), 256u);  // 200 entries, padded
    EXPECT_EQ(animation.frames[0].codeSize, 8);
    EXPECT_TRUE(animation.frames[1].localTable);
    EXPECT_EQ(animation.frames[1].colors.size(), 4u);
    EXPECT_EQ(animation.frames[1].codeSize, 2);
    EXPECT_EQ(animation.frames[2].colors.size(), 8u);
    EXPECT_EQ(animation.frames[2].codeSize, 3);
    const CGifFrame& last = animation.frames[3];
    EXPECT_EQ(last.width * last.height, 256);  // the two corners
    EXPECT_EQ(last.colors.size(), 2u);
    EXPECT_EQ(last.transparent, 1);  // just past the one colour
    EXPECT_EQ(last.colors[0], other[9]);
}

TEST(GifAnimationWrite, RepeatCountsBecomeTheLoopExtension) {
    const Pictures pictures = Panning(2, 8, 8);
    for (auto [repeat, loop] : {std::pair{0, 0}, {1, -1}, {2, 1}, {5, 4}, {65536, 65535}}) {
        const std::string path = TempPath("repeat.gif");
        CGifWriteOptions options;
        options.repeat = repeat;
        ASSERT_TRUE(WriteAnimation(path, pictures, 100, options));
        CGifAnimation animation;
        ASSERT_EQ(ReadGifAnimation(path, &animation), GifReadStatus::Ok);
        EXPECT_EQ(animation.loopCount, loop) << repeat;
        int error = 0;
        GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK);
        int32_t netscape = 0;
        for (int i = 0; i < gif->SavedImages[0].ExtensionBlockCount; ++i) {
            const ExtensionBlock& b = gif->SavedImages[0].ExtensionBlocks[i];
            if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
                ++netscape;
            }
        }
        DGifCloseFile(gif, &error);
        EXPECT_EQ(netscape, repeat == 1 ? 0 : 1) << repeat;
    }
}

TEST(GifAnimationWrite, DelaysAreRoundedCentisecondsWithAFloorViewersHonour) {
    EXPECT_EQ(GifDelayCentiseconds(0), 2);
    EXPECT_EQ(GifDelayCentiseconds(10), 2);
    EXPECT_EQ(GifDelayCentiseconds(19), 2);
    EXPECT_EQ(GifDelayCentiseconds(20), 2);
    EXPECT_EQ(GifDelayCentiseconds(24), 2);
    EXPECT_EQ(GifDelayCentiseconds(25), 3);
    EXPECT_EQ(GifDelayCentiseconds(500), 50);
    EXPECT_EQ(GifDelayCentiseconds(655354), 65535);
    EXPECT_EQ(GifDelayCentiseconds(3600000), 65535);
    EXPECT_EQ(GifDelayCentiseconds(-5), 2);
}

TEST(GifAnimationWrite, AnyThreadCountWritesTheSameFileAndHoldsFewPictures) {
    const Pictures pictures = Panning(30, 24, 16);
    std::vector<uint8_t> first;
    for (int32_t threads : {1, 2, 4, 7}) {
        const std::string path = TempPath("threads.gif");
        CGifWriteOptions options;
        options.threads = threads;
        std::atomic<int32_t> made{0};
        std::vector<int32_t> progress;
        options.progress = [&](int32_t written, int32_t count) {
            EXPECT_EQ(count, 30);
            progress.push_back(written);
        };
        const CGifWriteResult result = WriteGifAnimation(
            path, std::vector<int32_t>(30, 40),
            [&](int32_t index, CImage& picture) {
                ++made;
                return picture.CopyFrom(*pictures[size_t(index)]) != FALSE;
            },
            options);
        ASSERT_TRUE(result);
        EXPECT_EQ(made.load(), 30);
        EXPECT_LE(result.peakPictures, threads + 2) << threads;
        EXPECT_EQ(progress.size(), 30u);
        EXPECT_EQ(progress.back(), 30);
        const std::vector<uint8_t> bytes = ReadAll(path);
        if (first.empty()) {
            first = bytes;
        } else {
            EXPECT_EQ(bytes, first) << threads << " threads";
        }
    }
}

TEST(GifAnimationWrite, FailuresLeaveTheTargetAsItWasAndNoPartialFile) {
    const std::string dir = TempPath("failures");
    fs::create_directories(dir);
    const std::string path = dir + "/out.gif";
    ASSERT_TRUE(WriteAll(path, {'o', 'l', 'd'}));
    const Pictures pictures = Panning(6, 12, 8);
    const auto unchanged = [&] {
        EXPECT_EQ(ReadText(path), "old");
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_EQ(entry.path().filename().string(), "out.gif");
        }
    };

    EXPECT_EQ(WriteAnimation(path, Pictures{}, 100).error, GifWriteError::NoFrames);
    unchanged();

    const CGifWriteResult refused = WriteGifAnimation(
        path, std::vector<int32_t>(6, 100),
        [&](int32_t index, CImage& picture) {
            return index != 4 && picture.CopyFrom(*pictures[size_t(index)]) != FALSE;
        },
        {});
    EXPECT_EQ(refused.error, GifWriteError::FrameMaker);
    EXPECT_EQ(refused.frame, 4);
    unchanged();

    for (bool memory : {false, true}) {
        const CGifWriteResult thrown =
            WriteGifAnimation(path, std::vector<int32_t>(6, 100),
                              [&](int32_t index, CImage& picture) {
                                  if (index == 2 && memory) throw std::bad_alloc();
                                  if (index == 2) throw std::runtime_error("the maker's own");
                                  return picture.CopyFrom(*pictures[size_t(index)]) != FALSE;
                              },
                              {});
        EXPECT_EQ(thrown.error, memory ? GifWriteError::NoMemory : GifWriteError::FrameMaker);
        EXPECT_EQ(thrown.frame, 2);
        unchanged();
    }

    Pictures sizes = Panning(3, 12, 8);
    sizes.push_back(MakePicture(12, 9, Palette(4, 0), [](int, int) { return 0; }));
    const CGifWriteResult otherSize = WriteAnimation(path, sizes);
    EXPECT_EQ(otherSize.error, GifWriteError::BadFrame);
    EXPECT_EQ(otherSize.frame, 3);
    unchanged();

    Pictures deep = Panning(1, 12, 8);
    deep.push_back(std::make_unique<CImage>());
    ASSERT_GT(deep.back()->Create(12, 8, 24, -1), 0);
    const CGifWriteResult trueColour = WriteAnimation(path, deep);
    EXPECT_EQ(trueColour.error, GifWriteError::BadFrame);
    EXPECT_EQ(trueColour.frame, 1);
    unchanged();

    CGifWriteOptions tooMany;
    tooMany.repeat = 65537;
    EXPECT_EQ(WriteAnimation(path, pictures, 100, tooMany).error, GifWriteError::Arguments);
    unchanged();

    InjectFileFault(FileFault::WriteNoSpace);
    const CGifWriteResult full = WriteAnimation(path, pictures);
    EXPECT_EQ(full.error, GifWriteError::Io);
    EXPECT_EQ(full.io, std::errc::no_space_on_device);
    unchanged();

    const CGifWriteResult nowhere = WriteAnimation(dir + "/missing/out.gif", pictures);
    EXPECT_EQ(nowhere.error, GifWriteError::Io);
    EXPECT_EQ(WriteAnimation(dir, pictures).error, GifWriteError::Io);  // a folder
    unchanged();

    ASSERT_TRUE(WriteAnimation(path, pictures));
    CGifAnimation animation;
    ExpectShownAsGiven(ComposedByUs(path, &animation), pictures);
}
