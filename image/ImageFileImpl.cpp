#include "image/ImageFormats.h"

CImageFileImpl::~CImageFileImpl() = default;
