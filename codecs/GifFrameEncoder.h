// Internal to the animation writer: one frame's picture as the writer compares it, and the
// blocks that write it (graphic control extension, image descriptor, colour table, data).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/LzwEncoder.h"
#include "image/Image.h"

// A frame as made, with its colours read once.
struct CGifPicture {
    std::unique_ptr<CImage> image;
    int32_t width = 0;
    int32_t height = 0;
    int32_t colorCount = 0;     // entries of its palette (or colour table)
    uint32_t colors[256] = {};  // 0x00RRGGBB; entries past colorCount are black
    bool sharesGlobal = false;  // its palette is frame 0's

    const uint8_t* Row(int32_t y) const { return image->GetImpl()->PictureRow(y); }
    uint32_t ColorAt(int32_t x, int32_t y) const { return colors[Row(y)[x]]; }
};

// Reads the picture's size and colours; false unless it is an 8-bit picture with pixels and
// colours.
bool ReadGifPicture(CGifPicture* picture);

// The global table: frame 0's palette whole, padded to a power of two with room for a
// transparent index past it when there are fewer than 256 entries.
struct CGifGlobalTable {
    int32_t width = 0;  // the screen, frame 0's size
    int32_t height = 0;
    int32_t count = 0;
    int32_t size = 2;
    uint32_t colors[256] = {};
};
CGifGlobalTable GlobalTableOf(const CGifPicture& first);
// The header, the screen descriptor, the global table and, unless repeat is 1, the loop
// extension.
std::string GifFileHeader(const CGifGlobalTable& global, int32_t repeat);

struct CGifArea {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The rectangle in which cur's colours differ from prev's (of the same size); width 0 when
// they are the same everywhere.
CGifArea DifferenceOf(const CGifPicture& prev, const CGifPicture& cur);

// Writes frames: one per thread, since the coder's tables are large.
class CGifFrameEncoder {
public:
    CGifFrameEncoder() : m_lzw(std::make_unique<CLzwEncoder>()) {}

    // One frame's blocks: area of cur, on the global table when cur shares it, else on a
    // local table of the colours written. With prev, pixels whose colour equals prev's are
    // written as the transparent index. Empty when prev is given but no pixel of the area
    // can be transparent, or no index is left for it.
    std::string Encode(const CGifPicture& cur, const CGifPicture* prev, const CGifArea& area,
                       const CGifGlobalTable& global, int32_t delayCs);

private:
    std::unique_ptr<CLzwEncoder> m_lzw;
    std::vector<uint8_t> m_pixels;
};
