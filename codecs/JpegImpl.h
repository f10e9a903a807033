// The JPEG format class, through libjpeg.
#pragma once

#include "image/ImageFormats.h"

class CJpegImpl : public CImageFileImpl {
public:
    explicit CJpegImpl(const CString& path) : CImageFileImpl(path) {}
    ~CJpegImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Write(const CString& path) override;

    int32_t jpegQuality = 30;  // handed to the compressor by Write
};
