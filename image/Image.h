// The public image object: a small handle that owns one implementation object (a format class)
// holding the pixels and the palette.
//
// States: empty (no implementation object; IsValid FALSE), without pixels (an implementation
// object with no block; IsValid FALSE), with pixels (IsValid TRUE). Operations that need an
// implementation object answer 0, FALSE, -1 or null when there is none.
#pragma once

#include <functional>
#include <memory>

#include "image/ImageFormats.h"
#include "image/ImageImpl.h"
#include "image/ImagePalette.h"
#include "platform/Gdi.h"
#include "platform/Types.h"

// Type code of a path's extension (the text after the last '.', compared without regard to
// case): BMP 0, JPG 1, GIF 2, XPM 3, PNG 4; -1 for anything else, no extension included.
int32_t ImageTypeFromPath(const CString& path);
// Type code of a file's first bytes: "BM", FF D8 FF, "GIF8" or the PNG signature; -1 for
// anything else or too few bytes. Load itself goes by the extension; a caller that wants the
// content to decide passes this code.
int32_t ImageTypeFromSignature(const BYTE* bytes, size_t count);

class CImage {
public:
    CImage() = default;
    virtual ~CImage();
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    virtual int32_t GetBytesPerLine();
    virtual int32_t GetWidth();
    virtual int32_t GetHeight();
    virtual int32_t GetBitsPerPixel();
    virtual int32_t GetColorType();
    virtual BOOL IsInside(int32_t x, int32_t y);
    // Makes a BMP implementation object first when the image is empty (imageType 0).
    virtual int32_t Create(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t colorType);
    // The format factory: drops the current implementation object, then makes the one for
    // type (0, 1, 2, 4) with path as its file name. FALSE, leaving the image empty, for any
    // other type. imageType and imagePath are not changed.
    virtual BOOL CreateImpl(const CString& path, const int32_t& type);
    virtual BOOL Draw(CDC* dc, int32_t xDest, int32_t yDest, int32_t width, int32_t height,
                      int32_t xSrc, int32_t ySrc);
    virtual BOOL StretchDraw(CDC* dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                             int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                             int32_t srcHeight);
    virtual int32_t GetPixelIndex(int32_t x, int32_t y);
    virtual BOOL GetPixelRGB(int32_t x, int32_t y, BYTE* red, BYTE* green, BYTE* blue);
    virtual BOOL SetPixelIndex(int32_t x, int32_t y, int32_t index);
    virtual BOOL SetPixelRGB(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue);
    virtual BOOL CreatePalette(int32_t count, const BYTE* red, const BYTE* green, const BYTE* blue);
    virtual BOOL CreatePaletteFromRGB(int32_t count, const BYTE* rgb);
    virtual BOOL SetPalette(CImagePalette* palette);  // takes ownership
    virtual CImagePalette* GetPalette();
    virtual BOOL IsValid();
    virtual CImageImpl* GetImpl();
    virtual BYTE* GetBits();

    // Loads a file: type -1 takes the type from the extension. The implementation object is
    // kept when the type is unchanged and replaced otherwise; an unknown type leaves the image
    // empty. A failed Read on a kept object leaves its previous picture in place.
    BOOL Load(const CString& path, int32_t type);
    // As Load, with the read done by the caller on the implementation object (a format's read
    // with options of its own).
    BOOL Load(const CString& path, int32_t type,
              const std::function<BOOL(CImageImpl& impl, const CString& path)>& read);

    // Makes this a copy of other (type, path and a picture of its own), as if the same file had
    // been loaded into it; an image made in memory, without a type, is copied into the BMP
    // class. FALSE when other has no pixels; this then holds none either.
    BOOL CopyFrom(const CImage& other);

    // Exchanges whole pictures (type, path and implementation object) without copying pixels.
    void Swap(CImage& other) noexcept;

    // The picture's size in its file: the decoded size, unless a reader decoded it smaller
    // (a JPEG file read to fit), in which case the picture is laid out at this size.
    int32_t GetFullWidth();
    int32_t GetFullHeight();

    int32_t GetImageType() const { return imageType; }
    const CString& GetImagePath() const { return imagePath; }

protected:
    int32_t imageType = -1;
    CString imagePath;
    std::unique_ptr<CImageImpl> imageImpl;
};
