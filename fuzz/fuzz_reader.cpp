// One reader through CImage::Load; the image type comes from the build (MOVITREL_FUZZ_TYPE).
#include <cstddef>
#include <cstdint>

#include "codecs/Codecs.h"
#include "fuzz/FuzzInput.h"
#include "image/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegisterCodecs();
    static FuzzFile file;
    const std::string path = file.Hold(data, size);
    if (path.empty()) return 0;
    CImage image;
    if (image.Load(path, MOVITREL_FUZZ_TYPE) && image.IsValid()) {
        // Touch every pixel the image claims to have: a wrong geometry shows up here.
        volatile int32_t sum = 0;
        for (int32_t y = 0; y < image.GetHeight(); y += 7) {
            for (int32_t x = 0; x < image.GetWidth(); x += 7) sum = sum + image.GetPixelIndex(x, y);
        }
    }
    return 0;
}
