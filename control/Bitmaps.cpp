#include "control/Bitmaps.h"

#include <array>

#include "control/MovitrelCtrl.h"

namespace {

constexpr int32_t kRows = 20;

// Pictures are drawn as text, one character a pixel: '.' transparent, 'k' black, 'r' dark
// red, 's' silver, 'g' grey, 'w' white.
using Art = const char* const[kRows];

constexpr int32_t IndexOf(char c) {
    switch (c) {
        case '.':
            return kStdGreen;  // the mask
        case 'k':
            return kStdBlack;
        case 'r':
            return kStdDarkRed;
        case 's':
            return kStdSilver;
        case 'g':
            return kStdGrey;
        case 'w':
            return kStdWhite;
        default:
            return -1;
    }
}

constexpr bool IsWellFormed(const Art& art, int32_t width) {
    for (const char* row : art) {
        int32_t n = 0;
        for (; row[n] != '\0'; ++n) {
            if (IndexOf(row[n]) < 0) return false;
        }
        if (n != width) return false;
    }
    return true;
}

// clang-format off
// Glyphs of the buttons, without their frame (rows 1 and 17, columns 1 and 18). Rplay, Rew
// and StepBack are Play, Ff and StepFor mirrored.
constexpr Art kPlayArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    "......k.............",
    "......kk............",
    "......kkkk..........",
    "......kkkkk.........",
    "......kkkkkkk.......",
    "......kkkkkkkk......",
    "......kkkkkkk.......",
    "......kkkkk.........",
    "......kkkk..........",
    "......kk............",
    "......k.............",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};
constexpr Art kStopArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "......kkkkkkkk......",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};
constexpr Art kPauseArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "......kkk..kkk......",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};
constexpr Art kFfArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    ".....k....k.........",
    ".....kk...kk........",
    ".....kkk..kkk.......",
    ".....kkkk.kkkk......",
    ".....kkkkkkkkkk.....",
    ".....kkkk.kkkk......",
    ".....kkk..kkk.......",
    ".....kk...kk........",
    ".....k....k.........",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};
constexpr Art kStepForArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    ".....kk.k...........",
    ".....kk.kk..........",
    ".....kk.kkk.........",
    ".....kk.kkkk........",
    ".....kk.kkkkk.......",
    ".....kk.kkkkkk......",
    ".....kk.kkkkk.......",
    ".....kk.kkkk........",
    ".....kk.kkk.........",
    ".....kk.kk..........",
    ".....kk.k...........",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};
constexpr Art kLoopOffArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "...........r........",
    "...........rr.......",
    "...........rrr......",
    "....rrrrrrrrrrr.....",
    "....rrrrrrrrrrr.....",
    "...........rrr......",
    "...........rr.......",
    "...........r........",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};
constexpr Art kLoopOnArt = {
    "....................",
    "....................",
    "....................",
    "....................",
    "..........r.........",
    "......rrrrrr........",
    ".....rrrrrrrr.......",
    "....rr....rr..rr....",
    "....rr....r...rr....",
    "....rr........rr....",
    "....rr........rr....",
    "....rr........rr....",
    ".....rr......rr.....",
    "......rrrrrrrr......",
    ".......rrrrrr.......",
    "....................",
    "....................",
    "....................",
    "....................",
    "....................",
};

// The slider's 16 columns side by side: empty, the groove's three pieces, the thumb.
constexpr Art kSliderArt = {
    "................",
    "................",
    "................",
    "................",
    "....wwwwwwwwwwwk",
    "....wsssssssssgk",
    ".kkkwsssssssssgk",
    ".kgwwssssgwsssgk",
    ".kgwwssssgwsssgk",
    ".kgwwssssgwsssgk",
    ".kgwwssssgwsssgk",
    ".kgwwssssgwsssgk",
    ".kgwwssssgwsssgk",
    ".wwwwsssssssssgk",
    "....wggggggggggk",
    "....kkkkkkkkkkkk",
    "................",
    "................",
    "................",
    "................",
};

// clang-format on

static_assert(IsWellFormed(kPlayArt, kButtonSize) && IsWellFormed(kStopArt, kButtonSize) &&
              IsWellFormed(kPauseArt, kButtonSize) && IsWellFormed(kFfArt, kButtonSize) &&
              IsWellFormed(kStepForArt, kButtonSize) && IsWellFormed(kLoopOffArt, kButtonSize) &&
              IsWellFormed(kLoopOnArt, kButtonSize) && IsWellFormed(kSliderArt, kSliderImageCount));

// Colour indices, top row first.
template <int32_t W>
struct Grid {
    uint8_t px[kRows][W]{};

    constexpr void Put(int32_t x0, const Art& art, bool mirrored, int32_t width) {
        for (int32_t y = 0; y < kRows; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const char c = art[y][mirrored ? width - 1 - x : x];
                px[y][x0 + x] = static_cast<uint8_t>(IndexOf(c));
            }
        }
    }

    // The top and left lines are drawn last, so they own the two corners they share with the
    // bottom and right ones.
    constexpr void Frame(int32_t x0, bool sunken) {
        const uint8_t topLeft = sunken ? kStdBlack : kStdWhite;
        const uint8_t bottomRight = sunken ? kStdWhite : kStdGrey;
        for (int32_t x = 1; x <= 18; ++x) px[17][x0 + x] = bottomRight;
        for (int32_t y = 1; y <= 17; ++y) px[y][x0 + 18] = bottomRight;
        for (int32_t x = 1; x <= 18; ++x) px[1][x0 + x] = topLeft;
        for (int32_t y = 1; y <= 17; ++y) px[y][x0 + 1] = topLeft;
    }
};

constexpr int32_t kButtonsWidth = kButtonImageCount * kButtonSize;

constexpr Grid<kButtonsWidth> ButtonPixels() {
    struct Glyph {
        const Art* art;
        bool mirrored;
    };
    // In image order: Play, Stop, Pause, Rplay, Ff, Rew, StepFor, StepBack.
    const Glyph glyphs[8] = {
        {&kPlayArt, false}, {&kStopArt, false}, {&kPauseArt, false},   {&kPlayArt, true},
        {&kFfArt, false},   {&kFfArt, true},    {&kStepForArt, false}, {&kStepForArt, true},
    };
    Grid<kButtonsWidth> g;
    for (int32_t i = 0; i < 8; ++i) {
        for (int32_t pressed = 0; pressed < 2; ++pressed) {
            const int32_t x0 = (2 * i + pressed) * kButtonSize;
            g.Put(x0, *glyphs[i].art, glyphs[i].mirrored, kButtonSize);
            g.Frame(x0, pressed != 0);
        }
    }
    // Loop on wears the sunken frame like every other button that is on.
    g.Put(kImageLoopOff * kButtonSize, kLoopOffArt, false, kButtonSize);
    g.Frame(kImageLoopOff * kButtonSize, false);
    g.Put(kImageLoopOn * kButtonSize, kLoopOnArt, false, kButtonSize);
    g.Frame(kImageLoopOn * kButtonSize, true);
    return g;
}

constexpr Grid<kSliderImageCount> SliderPixels() {
    Grid<kSliderImageCount> g;
    g.Put(0, kSliderArt, false, kSliderImageCount);
    return g;
}

// Two pixels a byte, the left one in the high nibble; the bottom row first.
template <int32_t W>
constexpr std::array<uint8_t, size_t(StrideOf(W, 4)) * kRows> Pack(const Grid<W>& g) {
    std::array<uint8_t, size_t(StrideOf(W, 4)) * kRows> out{};
    for (int32_t y = 0; y < kRows; ++y) {
        const size_t row = size_t(kRows - 1 - y) * size_t(StrideOf(W, 4));
        for (int32_t x = 0; x < W; ++x) {
            const uint8_t v = g.px[y][x];
            out[row + size_t(x / 2)] |= static_cast<uint8_t>(x % 2 == 0 ? v << 4 : v);
        }
    }
    return out;
}

#pragma pack(push, 1)
struct Dib16Info {
    BITMAPINFO info;
    RGBQUAD moreColors[15];  // the table runs on past BITMAPINFO's one entry
};
#pragma pack(pop)
static_assert(sizeof(Dib16Info) == sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));

constexpr Dib16Info MakeInfo(int32_t width) {
    Dib16Info d{};
    d.info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    d.info.bmiHeader.biWidth = width;
    d.info.bmiHeader.biHeight = kRows;
    d.info.bmiHeader.biPlanes = 1;
    d.info.bmiHeader.biBitCount = 4;
    d.info.bmiHeader.biCompression = BI_RGB;
    d.info.bmiHeader.biSizeImage = uint32_t(StrideOf(width, 4)) * kRows;
    d.info.bmiHeader.biClrUsed = 16;
    d.info.bmiColors[0] = kStandardColors[0];
    for (int32_t i = 1; i < 16; ++i) d.moreColors[i - 1] = kStandardColors[i];
    return d;
}

constexpr Dib16Info kButtonsInfo = MakeInfo(kButtonsWidth);
constexpr auto kButtonsBits = Pack(ButtonPixels());
constexpr Dib16Info kSliderInfo = MakeInfo(kSliderImageCount);
constexpr auto kSliderBits = Pack(SliderPixels());

}  // namespace

CBitmapData FindBitmapData(uint32_t bitmapId) {
    switch (bitmapId) {
        case kBitmapButtons:
            return {&kButtonsInfo.info, kButtonsBits.data(), uint32_t(kButtonsBits.size())};
        case kBitmapSlider:
            return {&kSliderInfo.info, kSliderBits.data(), uint32_t(kSliderBits.size())};
        default:
            return {};
    }
}

BOOL CreateImageListFromBitmap(CImageList& list, uint32_t bitmapId, int32_t cx, int32_t grow,
                               COLORREF mask) {
    const CBitmapData data = FindBitmapData(bitmapId);
    // An unknown bitmap leaves the list empty, as any failed Create does.
    return list.Create(data.info, data.bits, cx, grow, mask);
}
