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
};

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
