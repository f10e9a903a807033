#include "image/Image.h"

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <iterator>
#include <typeinfo>
#include <utility>

#include "platform/StringUtil.h"

namespace {

struct ExtensionRow {
    const char* extension;
    int32_t type;
};

// Sorted by extension: searched by halving.
constexpr ExtensionRow kExtensions[] = {
    {"BMP", kImageTypeBmp}, {"GIF", kImageTypeGif}, {"JPG", kImageTypeJpeg},
    {"PNG", kImageTypePng}, {"XPM", kImageTypeXpm},
};

std::unique_ptr<CImageImpl> MakeBmp(const CString& path) {
    return std::make_unique<CBmpImpl>(path);
}

// One maker per type code, BMP built in; atomic, as a program may register while a worker
// thread already loads.
std::atomic<ImageImplMaker> g_makers[kImageTypePng + 1] = {&MakeBmp};

}  // namespace

void RegisterImageFormat(int32_t type, ImageImplMaker maker) {
    if (type >= 0 && type < int32_t(std::size(g_makers))) g_makers[type] = maker;
}

std::unique_ptr<CImageImpl> MakeImageImpl(int32_t type, const CString& path) {
    if (type < 0 || type >= int32_t(std::size(g_makers))) return nullptr;
    const ImageImplMaker maker = g_makers[type];
    return maker ? maker(path) : nullptr;
}

int32_t ImageTypeFromSignature(const BYTE* bytes, size_t count) {
    static constexpr BYTE kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto startsWith = [&](std::initializer_list<BYTE> prefix) {
        return count >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes);
    };
    if (count >= sizeof kPng && std::equal(std::begin(kPng), std::end(kPng), bytes))
        return kImageTypePng;
    if (startsWith({'G', 'I', 'F', '8'})) return kImageTypeGif;
    if (startsWith({0xFF, 0xD8, 0xFF})) return kImageTypeJpeg;
    if (startsWith({'B', 'M'})) return kImageTypeBmp;
    return -1;
}

int32_t ImageTypeFromPath(const CString& path) {
    const size_t dot = path.rfind('.');
    if (dot == CString::npos || dot + 1 == path.size()) return -1;
    const CString extension = path.substr(dot + 1);
    size_t low = 0;
    size_t high = std::size(kExtensions);
    while (low < high) {
        const size_t middle = (low + high) / 2;
        const int32_t order = StrICmp(kExtensions[middle].extension, extension.c_str());
        if (order == 0) return kExtensions[middle].type;
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return -1;
}

CImage::~CImage() = default;

int32_t CImage::GetBytesPerLine() {
    return imageImpl ? imageImpl->bytesPerLine : 0;
}

int32_t CImage::GetWidth() {
    return imageImpl ? imageImpl->imageWidth : 0;
}

int32_t CImage::GetHeight() {
    return imageImpl ? imageImpl->imageHeight : 0;
}

int32_t CImage::GetFullWidth() {
    if (!imageImpl) return 0;
    return imageImpl->fullWidth > 0 ? imageImpl->fullWidth : imageImpl->imageWidth;
}

int32_t CImage::GetFullHeight() {
    if (!imageImpl) return 0;
    return imageImpl->fullHeight > 0 ? imageImpl->fullHeight : imageImpl->imageHeight;
}

int32_t CImage::GetBitsPerPixel() {
    return imageImpl ? imageImpl->bitsPerPixel : 0;
}

int32_t CImage::GetColorType() {
    return imageImpl ? imageImpl->colorType : 0;
}

BOOL CImage::IsInside(int32_t x, int32_t y) {
    return imageImpl && imageImpl->IsInside(x, y);
}

int32_t CImage::Create(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t colorType) {
    if (!imageImpl) {
        CreateImpl(CString(), kImageTypeBmp);
        imageType = kImageTypeBmp;
        imagePath.clear();
    }
    return imageImpl->Create(width, height, bitsPerPixel, colorType);
}

BOOL CImage::CreateImpl(const CString& path, const int32_t& type) {
    imageImpl = MakeImageImpl(type, path);
    return imageImpl ? TRUE : FALSE;
}

BOOL CImage::Draw(CDC* dc, int32_t xDest, int32_t yDest, int32_t width, int32_t height,
                  int32_t xSrc, int32_t ySrc) {
    return imageImpl ? imageImpl->Draw(dc, xDest, yDest, width, height, xSrc, ySrc) : FALSE;
}

BOOL CImage::StretchDraw(CDC* dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                         int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                         int32_t srcHeight) {
    if (!imageImpl) return FALSE;
    return imageImpl->StretchDraw(dc, xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth,
                                  srcHeight);
}

int32_t CImage::GetPixelIndex(int32_t x, int32_t y) {
    return imageImpl ? imageImpl->GetPixelIndex(x, y) : -1;
}

BOOL CImage::GetPixelRGB(int32_t x, int32_t y, BYTE* red, BYTE* green, BYTE* blue) {
    return imageImpl ? imageImpl->GetPixelRGB(x, y, red, green, blue) : FALSE;
}

BOOL CImage::SetPixelIndex(int32_t x, int32_t y, int32_t index) {
    return imageImpl ? imageImpl->SetPixelIndex(x, y, index) : FALSE;
}

BOOL CImage::SetPixelRGB(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) {
    return imageImpl ? imageImpl->SetPixelRGB(x, y, red, green, blue) : FALSE;
}

BOOL CImage::CreatePalette(int32_t count, const BYTE* red, const BYTE* green, const BYTE* blue) {
    return imageImpl ? imageImpl->CreatePalette(count, red, green, blue) : FALSE;
}

BOOL CImage::CreatePaletteFromRGB(int32_t count, const BYTE* rgb) {
    return imageImpl ? imageImpl->CreatePaletteFromRGB(count, rgb) : FALSE;
}

BOOL CImage::SetPalette(CImagePalette* palette) {
    if (!imageImpl) {
        delete palette;  // ownership was handed over; nothing can hold it
        return FALSE;
    }
    return imageImpl->SetPalette(palette);
}

CImagePalette* CImage::GetPalette() {
    return imageImpl ? imageImpl->imagePalette.get() : nullptr;
}

BOOL CImage::IsValid() {
    return imageImpl && imageImpl->imageDIB;
}

CImageImpl* CImage::GetImpl() {
    return imageImpl.get();
}

BYTE* CImage::GetBits() {
    return imageImpl ? imageImpl->imageBits : nullptr;
}

BOOL CImage::Load(const CString& path, int32_t type) {
    return Load(path, type, [](CImageImpl& impl, const CString& file) { return impl.Read(file); });
}

BOOL CImage::Load(const CString& path, int32_t type,
                  const std::function<BOOL(CImageImpl& impl, const CString& path)>& read) {
    const int32_t previousType = imageType;
    imagePath = path;
    if (type == -1) type = ImageTypeFromPath(imagePath);
    imageType = type;
    if (!imageImpl || type != previousType) {
        if (!CreateImpl(imagePath, type)) return FALSE;
    }
    return read(*imageImpl, imagePath);
}

BOOL CImage::CopyFrom(const CImage& other) {
    imageType = other.imageType;
    imagePath = other.imagePath;
    if (!other.imageImpl) {
        imageImpl.reset();
        return FALSE;
    }
    // A picture made in memory has no type of its own; its copy gets the BMP class. The
    // object held is kept when its class is right, so its block can be written over.
    const int32_t type = imageType >= 0 ? imageType : kImageTypeBmp;
    auto* file = dynamic_cast<CImageFileImpl*>(imageImpl.get());
    if (file != nullptr && typeid(*imageImpl) == typeid(*other.imageImpl)) {
        file->fileName = imagePath;
    } else if (!CreateImpl(imagePath, type)) {
        return FALSE;
    }
    return imageImpl->CopyFrom(*other.imageImpl);
}

void CImage::Swap(CImage& other) noexcept {
    std::swap(imageType, other.imageType);
    std::swap(imagePath, other.imagePath);
    std::swap(imageImpl, other.imageImpl);
}
