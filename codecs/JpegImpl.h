// The JPEG format class, through libjpeg.
#pragma once

#include <functional>
#include <limits>

#include "image/Image.h"
#include "image/ImageFormats.h"

// How a JPEG file is read beyond what CImage::Load does: a decode that can be abandoned and
// a cap on the decoded size. The defaults read exactly as Load does.
struct CJpegReadOptions {
    // Asked before the decode starts and at each of libjpeg's progress calls (a few times a
    // scanline row); true abandons the decode, which then fails with nothing allocated kept.
    std::function<bool()> cancel;
    // A frame whose decoded size has more pixels than this is refused from its header,
    // before anything is allocated.
    int64_t maxPixels = std::numeric_limits<int64_t>::max();
    // A size to fit: when both are positive, the file is decoded at the smallest scale N/8
    // (N = 1 to 8, libjpeg's scaled decode, which rounds each side up) whose size still
    // covers fitWidth x fitHeight; the two-pass quantiser then runs on the smaller picture.
    // A picture decoded smaller keeps its file's size in CImage::GetFullWidth/GetFullHeight,
    // so that it is laid out as the whole picture would be. 0: the whole picture, as Load.
    int32_t fitWidth = 0;
    int32_t fitHeight = 0;
};

// The N of the scale N/8 a file of width x height is decoded at to fit fitWidth x fitHeight
// (see CJpegReadOptions); 8 when either fit side is 0 or less, or nothing smaller covers it.
int32_t JpegScaleEighths(int32_t width, int32_t height, int32_t fitWidth, int32_t fitHeight);
// The size libjpeg decodes a side of `side` pixels to at the scale eighths/8.
inline int32_t JpegScaledSide(int32_t side, int32_t eighths) {
    return int32_t((int64_t(side) * eighths + 7) / 8);
}

// What a JPEG file's header says, read without decoding anything.
struct CJpegHeader {
    int32_t width = 0;
    int32_t height = 0;
    bool gray = false;  // decoded into a grey ramp rather than quantised to a palette
};
// FALSE when the file cannot be opened or its header is not a JPEG header.
BOOL ReadJpegHeader(const CString& path, CJpegHeader* header);

// Loads path into image as image.Load(path, kImageTypeJpeg) does, with the options. FALSE
// when the file cannot be read, is too large or the decode was abandoned; the image keeps
// its previous picture only when the failure came before the decode started.
BOOL LoadJpeg(CImage& image, const CString& path, const CJpegReadOptions& options);

class CJpegImpl : public CImageFileImpl {
public:
    explicit CJpegImpl(const CString& path) : CImageFileImpl(path) {}
    ~CJpegImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Read(const CString& path, const CJpegReadOptions& options);
    BOOL Write(const CString& path) override;

    int32_t jpegQuality = 30;  // handed to the compressor by Write
};
