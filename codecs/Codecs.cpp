#include "codecs/Codecs.h"

#include <mutex>

#include "codecs/GifImpl.h"
#include "codecs/JpegImpl.h"
#include "codecs/PngImpl.h"

namespace {

template <class Impl>
std::unique_ptr<CImageImpl> Make(const CString& path) {
    return std::make_unique<Impl>(path);
}

}  // namespace

void RegisterCodecs() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterImageFormat(kImageTypeJpeg, &Make<CJpegImpl>);
        RegisterImageFormat(kImageTypeGif, &Make<CGifImpl>);
        RegisterImageFormat(kImageTypePng, &Make<CPngImpl>);
    });
}
