// The GIF format class, with the project's own LZW coder (codecs/LzwDecoder.h, LzwEncoder.h).
#pragma once

#include <vector>

#include "image/ImageFormats.h"

// The fields are the writer's working state, all set by Write before use.
class CGifImpl : public CImageFileImpl {
public:
    explicit CGifImpl(const CString& path) : CImageFileImpl(path) {}
    ~CGifImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Write(const CString& path) override;

    // Next pixel index to encode (left to right, top picture row first), -1 when all are sent.
    int32_t NextPixel();
    void BumpPixel();

    int32_t gifWidth = 0;
    int32_t gifHeight = 0;
    int32_t curX = 0;
    int32_t curY = 0;  // memory row, from imageHeight - 1 downwards
    int32_t gifBits = 8;
    int32_t pixelsLeft = 0;
    uint32_t curAccum = 0;
    int32_t curBits = 0;
    BYTE* pixelData = nullptr;
    std::vector<PALETTEENTRY> paletteEntries;  // 768 entries filled from imagePalette
};
