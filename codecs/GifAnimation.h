// Animated GIF files: a writer of a sequence of 8-bit frames (GIF89a, frame-difference
// optimisation, prepared and encoded on several threads) and a reader of every frame with the
// composition a viewer shows. Both report failure by their result, never by a message box,
// and hold no state between calls: two animations may be read or written at once.
//
// Pixels: a frame's indices are top picture row first, width bytes a row. Colours are
// 0x00RRGGBB; the composed screen is 0xAARRGGBB, alpha 0 where nothing is shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <system_error>
#include <vector>

#include "image/ImageImpl.h"
#include "platform/Types.h"

class CImage;

// ---- Writing --------------------------------------------------------------------------------

// The delay a viewer gets for delayMs: centiseconds, rounded to the nearest. Delays under
// 20 ms (0 included) are written as 2 cs, because common viewers (browsers among them) show a
// frame of 0 or 1 cs for 100 ms; 2 cs is the shortest they honour. Long delays are capped at
// 65535 cs (655.35 s), the most the file can hold.
int32_t GifDelayCentiseconds(int32_t delayMs);

struct CGifWriteOptions {
    // How many times a viewer plays the file: 0 for ever, 1 for a single pass (written without
    // the loop extension), N for N passes (a loop count of N - 1). At most 65536.
    int32_t repeat = 0;
    // Each frame after the first cropped to where it differs from what is shown, unchanged
    // pixels inside written as the transparent index, whichever is smallest (see the writer).
    bool optimize = true;
    // Threads that make, prepare and encode frames; 0 or less for one per processor.
    int32_t threads = 0;
    // Called on the writer's own thread after each frame is written, in order.
    std::function<void(int32_t written, int32_t count)> progress;
};

enum class GifWriteError {
    None,
    NoFrames,    // no delays were given
    Arguments,   // a repeat count out of range
    FrameMaker,  // the frame maker answered false for `frame`, or threw
    BadFrame,    // `frame` is not an 8-bit picture with colours, or has another size than the first
    TooLarge,    // the first frame is larger than a GIF holds (65535 a side)
    NoMemory,    // memory, or threads, ran out (`frame`: the frame being made, if any)
    Io,          // the file could not be written (`io` says why); the target is as it was
};

struct CGifWriteResult {
    GifWriteError error = GifWriteError::None;
    int32_t frame = -1;  // the frame concerned, for FrameMaker and BadFrame
    std::error_code io;
    int64_t bytes = 0;         // the file's size when written
    int32_t peakPictures = 0;  // the most frames' pictures held at once
    explicit operator bool() const { return error == GifWriteError::None; }
};

// Makes frame `index` (0-based) into picture: 8 bits per pixel, its colours in a palette (or
// a colour table), the size of frame 0. Called on the writer's threads, several indices at
// once, each index once, in about ascending order; false stops the write.
using GifFrameMaker = std::function<bool(int32_t index, CImage& picture)>;

// Writes an animation of delaysMs.size() frames to path: written beside it and renamed in, so
// path holds either what it held before or the whole file. The screen is frame 0's size.
//
// Colour tables: frame 0's palette is the global table, and every later frame with the same
// palette is written on it (frames that share one palette, as grey frames share their ramp,
// carry no table of their own). Every other frame carries a local table of just the colours
// it writes, in palette order. A transparent index, where one is used, is the entry just past
// the colours; the global table keeps room for it, so only a palette of 256 entries (a grey
// ramp) leaves frames on it without transparency. Tables are padded to a power of two with
// black, and each frame's minimum code size follows from its table's size.
//
// With optimize, each later frame is written whichever way is smallest: whole; cropped to
// the rectangle in which it differs from the frame before; or cropped with the pixels whose
// colour equals the one shown written as the transparent index. Every frame is drawn with
// disposal "do not dispose", so shown in order each composes to exactly the frame given. A
// frame identical to the one before is one pixel at the top left corner.
//
// Frames are made, compared and encoded on options.threads threads while this thread writes
// them in order; at most threads + 2 pictures are held at once.
CGifWriteResult WriteGifAnimation(const CString& path, const std::vector<int32_t>& delaysMs,
                                  const GifFrameMaker& maker, const CGifWriteOptions& options);

// ---- Reading --------------------------------------------------------------------------------

// A logical screen larger than this on either side is refused.
constexpr int32_t kMaxGifScreenSide = 16384;

struct CGifReadLimits {
    // Frames held at most; the frames read so far are kept and the read ends there.
    int32_t maxFrames = 100000;
    // Bytes the frames hold at most: each its width x height pixels, its local table and a
    // record (kGifFrameRecordBytes), so that empty frames count too.
    int64_t maxBytes = kMaxImageBytes;
};
constexpr int64_t kGifFrameRecordBytes = 128;

struct CGifFrame {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t delayCs = 0;           // from the frame's graphic control extension, else 0
    int32_t disposal = 0;          // 0 to 7 as written; 0 and 1 keep, 2 clears, 3 restores
    int32_t transparent = -1;      // the transparent index, -1 for none
    bool interlaced = false;       // as written; indices are stored deinterlaced
    bool localTable = false;       // colours from its own table rather than the global one
    int32_t codeSize = 0;          // the LZW minimum code size
    std::vector<uint32_t> colors;  // its local table; empty when it is drawn with the global one
    std::vector<uint8_t> indices;  // width x height
};

struct CGifAnimation {
    int32_t width = 0;  // the logical screen
    int32_t height = 0;
    // The loop extension's count: -1 without one (a single pass), 0 for ever, N for N passes
    // after the first.
    int32_t loopCount = -1;
    std::vector<uint32_t> globalColors;
    std::vector<CGifFrame> frames;
};

enum class GifReadStatus {
    Ok,
    CannotOpen,     // the file cannot be read
    NotGif,         // no GIF signature or no whole screen descriptor
    BadScreen,      // a screen of 0 or more than kMaxGifScreenSide on a side
    Truncated,      // the file ends before its trailer, or a frame's data before its pixels
    BadFrame,       // a frame outside the screen, or with a minimum code size outside 2..8
    UnknownBlock,   // a byte that starts no block
    TooManyFrames,  // more frames than maxFrames
    TooLarge,       // the frames would hold more than maxBytes
};

// Reads every frame. Whatever the status, *animation holds the screen and the whole frames
// read before the problem (none for CannotOpen, NotGif and BadScreen). Surplus pixels of a
// frame's data are ignored. Linear in the input; memory bounded by the limits.
GifReadStatus ReadGifAnimation(const CString& path, CGifAnimation* animation,
                               const CGifReadLimits& limits = {});
GifReadStatus ReadGifAnimation(const uint8_t* bytes, size_t size, CGifAnimation* animation,
                               const CGifReadLimits& limits = {});
const char* DescribeGifReadStatus(GifReadStatus status);

// The screen as a viewer shows it, frame after frame. It starts transparent. Before each frame
// is drawn, the one before is disposed of as it asks: 2 clears its rectangle to transparent
// (as browsers do, rather than to the background colour), 3 puts back what was under it,
// any other value leaves it. A frame's transparent pixels leave what is under them; indices
// past its table draw opaque black.
class CGifScreen {
public:
    explicit CGifScreen(const CGifAnimation& animation);
    // The animation must outlive the screen. False when the screen would take more than
    // kMaxImageBytes, or is empty.
    bool Valid() const { return m_valid; }
    // Draws the next frame; false (nothing changes) once every frame is shown.
    bool Next();
    int32_t Shown() const { return m_next - 1; }  // the frame on show, -1 before the first
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }  // width x height
    uint32_t At(int32_t x, int32_t y) const {
        return m_pixels[size_t(y) * size_t(m_animation.width) + size_t(x)];
    }

private:
    const CGifAnimation& m_animation;
    bool m_valid = false;
    int32_t m_next = 0;
    std::vector<uint32_t> m_pixels;
    std::vector<uint32_t> m_saved;  // under the frame on show, when it asks to be restored
};
