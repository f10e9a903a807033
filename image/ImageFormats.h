// The format factory and the format classes of this library. Read and Write follow one
// contract: a non-empty path replaces fileName, the file named by fileName is read or written,
// and the result is TRUE on success. A successful Read leaves a new block (top picture row in
// the last memory row) and, for a paletted picture, an attached palette.
//
// BMP is built in. The JPEG, GIF and PNG classes live in codecs/, a library above this one,
// which adds them to the factory through RegisterImageFormat (codecs/Codecs.h).
#pragma once

#include <memory>

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

// Makes a format class for a path; the factory holds one for each type that has a class.
using ImageImplMaker = std::unique_ptr<CImageImpl> (*)(const CString& path);
// Adds or replaces the maker of a type code; a code outside 0 to 4 is ignored. Safe to call
// while other threads make images.
void RegisterImageFormat(int32_t type, ImageImplMaker maker);
// The format class of a type, or null when none is registered for it.
std::unique_ptr<CImageImpl> MakeImageImpl(int32_t type, const CString& path);
