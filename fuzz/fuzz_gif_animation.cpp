// The animation reader: every frame read must lie in the screen with all its pixels, the
// bounds must hold, and composing the frames (for screens small enough to compose quickly)
// must stay inside the screen whatever the disposals and tables say.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/GifAnimation.h"

namespace {

// Small enough to compose every input in a few milliseconds.
constexpr int64_t kComposedPixels = int64_t(1) << 18;

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CGifReadLimits limits;
    limits.maxFrames = 4096;
    CGifAnimation animation;
    ReadGifAnimation(data, size, &animation, limits);
    Check(int64_t(animation.frames.size()) <= limits.maxFrames);
    int64_t held = 0;
    for (const CGifFrame& frame : animation.frames) {
        Check(frame.left >= 0 && frame.top >= 0);
        Check(frame.left + frame.width <= animation.width);
        Check(frame.top + frame.height <= animation.height);
        Check(frame.indices.size() == size_t(frame.width) * size_t(frame.height));
        Check(frame.codeSize >= 2 && frame.codeSize <= 8);
        held +=
            int64_t(frame.indices.size()) + int64_t(frame.colors.size()) * 4 + kGifFrameRecordBytes;
    }
    Check(held <= limits.maxBytes);
    if (int64_t(animation.width) * animation.height > kComposedPixels) return 0;
    CGifScreen screen(animation);
    if (!screen.Valid()) return 0;
    volatile uint32_t sum = 0;
    int32_t shown = 0;
    while (screen.Next()) {
        Check(screen.Shown() == shown++);
        for (uint32_t pixel : screen.Pixels()) sum = sum + pixel;
    }
    Check(shown == int32_t(animation.frames.size()));
    return 0;
}
