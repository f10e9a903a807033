// The strip's two bitmaps, kept as data: 4-bit bottom-up DIBs with the 16 standard colours,
// in which pure green (index 10) marks the pixels an image list shows in its background
// colour. The module carries the same bytes as its bitmap resources 214 and 209.
//
// Buttons (214, 360x20): 18 images of 20x20. Images 0 to 15 are eight pairs of a normal and a
// pressed picture (Play, Stop, Pause, Rplay, Ff, Rew, StepFor, StepBack); the normal picture
// has a raised frame (white row 1 and column 1, grey row 17 and column 18), the pressed one
// the same glyph in a sunken frame (black row 1 and column 1, white row 17 and column 18).
// Image 16 is Loop off (a straight arrow, raised), 17 Loop on (a looped arrow, sunken).
//
// Slider (209, 16x20): one-pixel columns. 0 empty; 1, 2, 3 the groove's left end, middle and
// right end (rows 6 to 13); 4 to 15 the thumb, left to right (rows 4 to 15).
#pragma once

#include <cstdint>

#include "platform/Gdi.h"

// The transparent colour of both bitmaps.
constexpr COLORREF kBitmapMaskColor = RGB(0, 255, 0);

// Image numbers in the buttons bitmap: the normal picture; the pressed one follows it.
enum ButtonImage : int32_t {
    kImagePlay = 0,
    kImageStop = 2,
    kImagePause = 4,
    kImageRplay = 6,
    kImageFf = 8,
    kImageRew = 10,
    kImageStepFor = 12,
    kImageStepBack = 14,
    kImageLoopOff = 16,
    kImageLoopOn = 17,
};
constexpr int32_t kButtonImageCount = 18;
constexpr int32_t kButtonSize = 20;

// Image numbers in the slider bitmap.
enum SliderImage : int32_t {
    kSliderEmpty = 0,
    kSliderGrooveLeft = 1,
    kSliderGroove = 2,
    kSliderGrooveRight = 3,
    kSliderThumbFirst = 4,
};
constexpr int32_t kSliderThumbWidth = 12;
constexpr int32_t kSliderImageCount = kSliderThumbFirst + kSliderThumbWidth;
constexpr int32_t kSliderImageWidth = 1;  // one-pixel columns

// The strip the two bitmaps are drawn into: a slider row above a row of nine buttons, each row
// 20 pixels high and 180 wide.
constexpr int32_t kStripWidth = 180;
constexpr int32_t kStripRowHeight = 20;
constexpr int32_t kButtonCount = 9;

// The slider row: its groove runs from column kGrooveInset to kStripWidth - kGrooveInset, and
// the thumb's left edge travels kSliderTravel columns along it, from first frame to last. A
// press is on the track between kTrackTop and kTrackBottom rows above the row's bottom.
constexpr int32_t kGrooveInset = 5;
constexpr int32_t kSliderTravel = kStripWidth - 2 * kGrooveInset - kSliderThumbWidth + 1;
constexpr int32_t kTrackTop = 16;
constexpr int32_t kTrackBottom = 5;
// The button row: a press counts kButtonInset inside a button's square.
constexpr int32_t kButtonInset = 2;

// Height of the strip with the rows shown (0, 20 or 40).
constexpr int32_t StripHeight(BOOL showButtons, BOOL showSlider) {
    return (showButtons ? kStripRowHeight : 0) + (showSlider ? kStripRowHeight : 0);
}

struct CBitmapData {
    const BITMAPINFO* info = nullptr;  // header and a 16-entry colour table (RGBQUADs)
    const uint8_t* bits = nullptr;     // bottom-up rows, each padded to 4 bytes
    uint32_t bitsSize = 0;             // bytes at bits
};

// The bitmap with resource id 214 or 209; all null for any other id.
CBitmapData FindBitmapData(uint32_t bitmapId);
