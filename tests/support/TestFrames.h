// Frame directories for the tests that play them: solid-colour JPEG frames whose colour tells
// which frame a paint or a load showed, in a scratch folder named after the running test
// (FreshDir).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/Image.h"
#include "image/ImageFormats.h"
#include "tests/support/TestFiles.h"

constexpr int32_t kFrameWidth = 32;
constexpr int32_t kFrameHeight = 24;

// Colour of frame i: far apart for i < 16, so a decoded frame is told by its centre pixel.
inline COLORREF FrameColour(int32_t i) {
    static const COLORREF colours[] = {
        RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),     RGB(255, 255, 0),
        RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255), RGB(128, 0, 0),
        RGB(0, 128, 0),   RGB(0, 0, 128),   RGB(128, 128, 0),   RGB(128, 0, 128),
        RGB(0, 128, 128), RGB(255, 128, 0), RGB(128, 255, 0),   RGB(0, 128, 255),
    };
    return colours[i % 16];
}

inline int32_t ColourDistance(COLORREF a, COLORREF b) {
    return std::abs(int32_t(GetRValue(a)) - GetRValue(b)) +
           std::abs(int32_t(GetGValue(a)) - GetGValue(b)) +
           std::abs(int32_t(GetBValue(a)) - GetBValue(b));
}

// Writes one solid-colour JPEG file; false when it could not be written.
inline bool WriteSolidJpeg(const std::string& path, COLORREF colour, int32_t w = kFrameWidth,
                           int32_t h = kFrameHeight) {
    CImage image;
    if (!image.CreateImpl(path, kImageTypeJpeg) || image.Create(w, h, 24, -1) <= 0) return false;
    CImageImpl* impl = image.GetImpl();
    for (int32_t y = 0; y < h; ++y) {
        BYTE* row = impl->MemoryRow(y);
        for (int32_t x = 0; x < w; ++x) {
            row[3 * x] = GetBValue(colour);
            row[3 * x + 1] = GetGValue(colour);
            row[3 * x + 2] = GetRValue(colour);
        }
    }
    return impl->Write("") != FALSE;
}

// n frames <dir>/<prefix><i>.jpg, frame i in FrameColour(i).
inline void WriteFrames(const std::string& dir, const std::string& prefix, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        ASSERT_TRUE(
            WriteSolidJpeg(dir + "/" + prefix + std::to_string(i) + ".jpg", FrameColour(i)));
    }
}
