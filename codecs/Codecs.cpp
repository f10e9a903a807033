#include "codecs/Codecs.h"

#include <mutex>

#include "codecs/GifImpl.h"
#include "codecs/JpegImpl.h"
#include "codecs/PngImpl.h"

// The symbol the library's link interface names as undefined (MOVITREL_CODECS_ANCHOR in
// codecs/CMakeLists.txt and movitrel-image.pc): the linker must then take this file from the
// archive, and with it the initialiser below, wherever the library sits on the link line.
// The assembler name is given so that no target adds its underscore to it.
extern "C" const char movitrel_codecs_anchor __asm__("movitrel_codecs_anchor") = 0;

namespace {

template <class Impl>
std::unique_ptr<CImageImpl> Make(const CString& path) {
    return std::make_unique<Impl>(path);
}

// Before main (or as a module loads): a program that links the library has every format
// without calling anything first.
[[maybe_unused]] const bool g_registered = (RegisterCodecs(), true);

}  // namespace

void RegisterCodecs() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterImageFormat(kImageTypeJpeg, &Make<CJpegImpl>);
        RegisterImageFormat(kImageTypeGif, &Make<CGifImpl>);
        RegisterImageFormat(kImageTypePng, &Make<CPngImpl>);
    });
}
