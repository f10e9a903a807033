#include "image/ImageFormats.h"

// The GIF block parser, LZW decoder and encoder go here.
BOOL CGifImpl::Read(const CString&) { return FALSE; }

BOOL CGifImpl::Write(const CString&) { return FALSE; }

int32_t CGifImpl::NextPixel() {
    if (pixelsLeft == 0) return -1;
    --pixelsLeft;
    // Rows of an 8-bit image, whatever the depth: deeper images are refused before this.
    const int32_t stride = ((gifBits * gifWidth + 31) >> 5) * 4;
    const int32_t pixel = pixelData[static_cast<ptrdiff_t>(curY) * stride + curX];
    BumpPixel();
    return pixel;
}

void CGifImpl::BumpPixel() {
    if (++curX == gifWidth) {
        curX = 0;
        --curY;
    }
}
