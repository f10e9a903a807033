// The extension lookup and the format factory, for any path.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/Codecs.h"
#include "image/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegisterCodecs();
    const std::string path(reinterpret_cast<const char*>(data), size);
    const int32_t type = ImageTypeFromPath(path);
    if (type < -1 || type > 4) __builtin_trap();
    CImage image;
    const BOOL made = image.CreateImpl(path, type);
    // Every known type but the one without a format class gets an implementation object.
    if ((made != FALSE) != (type >= 0 && type != 3)) __builtin_trap();
    return 0;
}
