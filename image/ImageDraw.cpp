// Palette attachment and drawing of CImageImpl.
#include <array>

#include "image/ImageImpl.h"
#include "platform/MessageSink.h"

BOOL CImageImpl::AttachNewPalette(std::unique_ptr<CImagePalette> palette) {
    imagePalette = std::move(palette);
    colorType |= kColorTypePalette | kColorTypeColor;
    return UpdateDIBColorTable(imageDIB, imagePalette->GetSafeHandle(), TRUE);
}

BOOL CImageImpl::SetPalette(CImagePalette* palette) {
    if (!palette) return FALSE;
    if (palette == imagePalette.get()) {
        colorType |= kColorTypePalette | kColorTypeColor;
        return UpdateDIBColorTable(imageDIB, palette->GetSafeHandle(), TRUE);
    }
    return AttachNewPalette(std::unique_ptr<CImagePalette>(palette));
}

BOOL CImageImpl::CreatePalette(int32_t count, const BYTE* red, const BYTE* green,
                               const BYTE* blue) {
    if (count < 0 || count > kMaxPaletteEntries) return FALSE;
    if (!green) green = red;
    if (!blue) blue = green;
    auto palette = std::make_unique<CImagePalette>();
    if (!palette->CreateFromArrays(count, red, green, blue)) return FALSE;
    return AttachNewPalette(std::move(palette));
}

BOOL CImageImpl::CreatePaletteFromRGB(int32_t count, const BYTE* rgb) {
    if (count < 0 || count > kMaxPaletteEntries || (count > 0 && !rgb)) return FALSE;
    if (imagePalette) AfxMessageBox("CImageImpl::imagePalette already exists!");
    std::array<BYTE, kMaxPaletteEntries> red{}, green{}, blue{};
    for (int32_t i = 0; i < count; ++i) {
        red[size_t(i)] = rgb[3 * i];
        green[size_t(i)] = rgb[3 * i + 1];
        blue[size_t(i)] = rgb[3 * i + 2];
    }
    auto palette = std::make_unique<CImagePalette>();
    if (!palette->CreateFromArrays(count, red.data(), green.data(), blue.data())) return FALSE;
    return AttachNewPalette(std::move(palette));
}

BOOL CImageImpl::CreateGrayPalette(int32_t count) {
    if (count <= 0 || count > kMaxPaletteEntries) return FALSE;
    std::array<BYTE, kMaxPaletteEntries> ramp{};
    for (int32_t i = 0; i < count; ++i) ramp[size_t(i)] = BYTE(i * 256 / count);
    return CreatePalette(count, ramp.data(), nullptr, nullptr);
}

namespace {

// Index form only means something while a palette is attached; a table still in colour
// form has to be drawn as colours.
UINT ColorUseOf(const CImagePalette* palette) {
    return palette ? DIB_PAL_COLORS : DIB_RGB_COLORS;
}

}  // namespace

BOOL CImageImpl::Draw(CDC* dc, int32_t xDest, int32_t yDest, int32_t width, int32_t height,
                      int32_t xSrc, int32_t ySrc) {
    if (!imageDIB) return FALSE;
    if (!dc || !dc->GetSafeHdc()) return TRUE;
    dc->RealizePalette();
    if (width == -1) width = imageWidth;
    if (height == -1) height = imageHeight;
    SetDIBitsToDevice(dc->GetSafeHdc(), xDest, yDest, DWORD(width), DWORD(height), xSrc, ySrc, 0,
                      UINT(imageHeight), imageBits, reinterpret_cast<const BITMAPINFO*>(imageDIB),
                      ColorUseOf(imagePalette.get()));
    return TRUE;
}

BOOL CImageImpl::StretchDraw(CDC* dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                             int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                             int32_t srcHeight) {
    if (!imageDIB) return FALSE;
    if (!dc || !dc->GetSafeHdc()) return TRUE;
    if (destWidth == -1) destWidth = imageWidth;
    if (destHeight == -1) destHeight = imageHeight;
    if (srcWidth == -1) srcWidth = imageWidth - xSrc;
    if (srcHeight == -1) srcHeight = imageHeight - ySrc;
    dc->RealizePalette();
    dc->SetStretchBltMode(COLORONCOLOR);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(imageDIB);
    const HDC hdc = dc->GetSafeHdc();
    const UINT colorUse = ColorUseOf(imagePalette.get());
    auto blit = [&](DWORD rop) {
        StretchDIBits(hdc, xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight,
                      imageBits, info, colorUse, rop);
    };

    // The mask trick needs indices and a palette to find black and white in; anything else
    // is drawn opaque.
    if (transparentIndex == -1 || !imagePalette || bitsPerPixel > 8) {
        blit(SRCCOPY);
        return TRUE;
    }

    const int32_t black = int32_t(imagePalette->GetNearestIndex(0, 0, 0));
    const int32_t white = int32_t(imagePalette->GetNearestIndex(255, 255, 255));
    const size_t pixels = size_t(imageWidth) * size_t(imageHeight);
    if (maskSave.size() != pixels) maskSave.assign(pixels, 0);
    size_t at = 0;
    for (int32_t y = 0; y < imageHeight; ++y) {
        for (int32_t x = 0; x < imageWidth; ++x, ++at) {
            const int32_t index = GetPixelIndex(x, y);
            maskSave[at] = BYTE(index);
            SetPixelIndex(x, y, index == transparentIndex ? white : black);
        }
    }
    blit(SRCAND);  // holes where the picture is opaque, destination kept elsewhere

    at = 0;
    for (int32_t y = 0; y < imageHeight; ++y) {
        for (int32_t x = 0; x < imageWidth; ++x, ++at) {
            const int32_t index = maskSave[at];
            SetPixelIndex(x, y, index == transparentIndex ? black : index);
        }
    }
    blit(SRCPAINT);  // the picture into the holes; black leaves the rest untouched

    at = 0;
    for (int32_t y = 0; y < imageHeight; ++y) {
        for (int32_t x = 0; x < imageWidth; ++x, ++at) SetPixelIndex(x, y, maskSave[at]);
    }
    return TRUE;
}
