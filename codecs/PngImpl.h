// The PNG format class, through libpng.
#pragma once

#include "image/ImageFormats.h"

class CPngImpl : public CImageFileImpl {
public:
    explicit CPngImpl(const CString& path) : CImageFileImpl(path) {}
    ~CPngImpl() override = default;
    BOOL Read(const CString& path) override;
    BOOL Write(const CString& path) override;
};
