// The format classes the factory makes. Read and Write follow one contract: a non-empty path
// replaces fileName, the file named by fileName is read or written, and the result is TRUE on
// success. A successful Read leaves a new block (top picture row in the last memory row) and,
// for a paletted picture, an attached palette.
#pragma once

#include <vector>

#include "image/ImageImpl.h"

// Image type codes; file extensions map to them through ImageTypeFromPath.
constexpr int32_t kImageTypeBmp = 0;
constexpr int32_t kImageTypeJpeg = 1;
constexpr int32_t kImageTypeGif = 2;
constexpr int32_t kImageTypeXpm = 3;  // known extension, no format class
constexpr int32_t kImageTypePng = 4;

class CImageFileImpl : public CImageImpl {
public:
    explicit CImageFileImpl(const CString& path) : fileName(path) {}
    ~CImageFileImpl() override;

    CString fileName;  // what Read reads and Write writes
};

// Read and Write in image/BmpImpl.cpp.
class CBmpImpl : public CImageFileImpl {
public:
    explicit CBmpImpl(const CString& path) : CImageFileImpl(path) {}
    ~CBmpImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Write(const CString& path) override;
};

// Read and Write in codecs/JpegImpl.cpp.
class CJpegImpl : public CImageFileImpl {
public:
    explicit CJpegImpl(const CString& path) : CImageFileImpl(path) {}
    ~CJpegImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Write(const CString& path) override;

    int32_t jpegQuality = 30;  // handed to the compressor by Write
};

// Read and Write in codecs/GifImpl.cpp. The fields are the writer's working state, all set by
// Write before use.
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

// Read and Write in codecs/PngImpl.cpp.
class CPngImpl : public CImageFileImpl {
public:
    explicit CPngImpl(const CString& path) : CImageFileImpl(path) {}
    ~CPngImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Write(const CString& path) override;
};
