#include "codecs/GifFrameEncoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr int32_t kDisposalKeep = 1;  // "do not dispose": the next frame draws over this one

void PutWord(std::string& out, int32_t value) {
    out.push_back(char(value & 0xFF));
    out.push_back(char((value >> 8) & 0xFF));
}

void PutColors(std::string& out, const uint32_t* colors, int32_t size) {
    for (int32_t i = 0; i < size; ++i) {
        out.push_back(char((colors[i] >> 16) & 0xFF));
        out.push_back(char((colors[i] >> 8) & 0xFF));
        out.push_back(char(colors[i] & 0xFF));
    }
}

// Bits of a table of size entries (a power of two, 2 to 256).
int32_t BitsOf(int32_t size) {
    int32_t bits = 1;
    while ((1 << bits) < size) ++bits;
    return bits;
}

int32_t TableSizeFor(int32_t entries) {
    int32_t size = 2;
    while (size < entries) size *= 2;
    return size;
}

class CBufferPixels : public CLzwPixelSource {
public:
    CBufferPixels(const uint8_t* pixels, size_t count) : data(pixels), left(count) {}
    int32_t NextPixel() override {
        if (left == 0) return -1;
        --left;
        return *data++;
    }
    int32_t NextSpan(const uint8_t*& span, uint8_t*, int32_t) override {
        const size_t n = std::min<size_t>(left, size_t(1) << 30);
        span = data;
        data += n;
        left -= n;
        return int32_t(n);
    }

private:
    const uint8_t* data;
    size_t left;
};

class CStringSink : public CLzwByteSink {
public:
    explicit CStringSink(std::string& target) : out(target) {}
    void WriteBytes(const uint8_t* bytes, size_t count) override {
        out.append(reinterpret_cast<const char*>(bytes), count);
    }
    bool Flush() override { return true; }

private:
    std::string& out;
};

}  // namespace

bool ReadGifPicture(CGifPicture* picture) {
    CImageImpl* impl = picture->image ? picture->image->GetImpl() : nullptr;
    if (impl == nullptr || impl->imageBits == nullptr || impl->imageDIB == nullptr ||
        impl->bitsPerPixel != 8 || impl->imageWidth <= 0 || impl->imageHeight <= 0) {
        return false;
    }
    picture->width = impl->imageWidth;
    picture->height = impl->imageHeight;
    std::fill(std::begin(picture->colors), std::end(picture->colors), 0u);
    if (impl->imagePalette && impl->imagePalette->GetSafeHandle()) {
        PALETTEENTRY entries[256] = {};
        const int32_t count = std::min(impl->imagePalette->GetEntryCount(), 256);
        GetPaletteEntries(impl->imagePalette->GetSafeHandle(), 0, UINT(count), entries);
        for (int32_t i = 0; i < count; ++i) {
            picture->colors[i] = uint32_t(entries[i].peRed) << 16 |
                                 uint32_t(entries[i].peGreen) << 8 | entries[i].peBlue;
        }
        picture->colorCount = count;
    } else if (!impl->imagePalette && impl->imageDIB->biCompression != BI_BITFIELDS) {
        // Without a palette the block's table is in colour form.
        const int32_t count = std::min(ColorCountOf(impl->imageDIB), 256);
        const auto* table = reinterpret_cast<const RGBQUAD*>(
            reinterpret_cast<const BYTE*>(impl->imageDIB) + impl->imageDIB->biSize);
        for (int32_t i = 0; i < count; ++i) {
            picture->colors[i] = uint32_t(table[i].rgbRed) << 16 |
                                 uint32_t(table[i].rgbGreen) << 8 | table[i].rgbBlue;
        }
        picture->colorCount = count;
    }
    return picture->colorCount > 0;
}

CGifGlobalTable GlobalTableOf(const CGifPicture& first) {
    CGifGlobalTable global;
    global.width = first.width;
    global.height = first.height;
    global.count = first.colorCount;
    // Room for a transparent index just past the palette, unless it fills all 256 entries.
    global.size = TableSizeFor(std::min(first.colorCount + 1, 256));
    std::copy_n(first.colors, global.count, global.colors);
    return global;
}

std::string GifFileHeader(const CGifGlobalTable& global, int32_t repeat) {
    std::string out("GIF89a");
    PutWord(out, global.width);
    PutWord(out, global.height);
    const int32_t bits = BitsOf(global.size);
    out.push_back(char(0x80 | ((bits - 1) << 4) | (bits - 1)));
    out.push_back(0);  // background colour index
    out.push_back(0);  // aspect ratio
    PutColors(out, global.colors, global.size);
    if (repeat != 1) {
        out.push_back(char(kExtensionIntroducer));
        out.push_back(char(kApplicationLabel));
        out.push_back(11);
        out.append("NETSCAPE2.0");
        out.push_back(3);
        out.push_back(1);
        // The count is of the passes after the first.
        PutWord(out, repeat == 0 ? 0 : repeat - 1);
        out.push_back(0);
    }
    return out;
}

CGifArea DifferenceOf(const CGifPicture& prev, const CGifPicture& cur) {
    const bool samePalette =
        std::equal(std::begin(prev.colors), std::end(prev.colors), std::begin(cur.colors));
    int32_t left = cur.width, right = -1, top = -1, bottom = -1;
    for (int32_t y = 0; y < cur.height; ++y) {
        const uint8_t* a = prev.Row(y);
        const uint8_t* b = cur.Row(y);
        if (samePalette && std::memcmp(a, b, size_t(cur.width)) == 0) continue;
        int32_t first = 0;
        while (first < cur.width && prev.colors[a[first]] == cur.colors[b[first]]) ++first;
        if (first == cur.width) continue;
        int32_t last = cur.width - 1;
        while (prev.colors[a[last]] == cur.colors[b[last]]) --last;
        left = std::min(left, first);
        right = std::max(right, last);
        if (top < 0) top = y;
        bottom = y;
    }
    if (top < 0) return CGifArea{};
    return CGifArea{left, top, right - left + 1, bottom - top + 1};
}

std::string CGifFrameEncoder::Encode(const CGifPicture& cur, const CGifPicture* prev,
                                     const CGifArea& area, const CGifGlobalTable& global,
                                     int32_t delayCs) {
    // First the colours written and whether any pixel can be transparent.
    bool used[256] = {};
    bool anyTransparent = false;
    for (int32_t y = area.y; y < area.y + area.height; ++y) {
        const uint8_t* row = cur.Row(y);
        const uint8_t* under = prev ? prev->Row(y) : nullptr;
        for (int32_t x = area.x; x < area.x + area.width; ++x) {
            if (under && cur.colors[row[x]] == prev->colors[under[x]]) {
                anyTransparent = true;
            } else {
                used[row[x]] = true;
            }
        }
    }
    if (prev && !anyTransparent) return {};

    uint8_t map[256];
    uint32_t table[256] = {};
    int32_t tableSize = 0;
    int32_t transparent = -1;
    bool onGlobal = cur.sharesGlobal;
    for (int32_t i = global.count; i < 256 && onGlobal; ++i) onGlobal = !used[i];
    if (onGlobal) {
        for (int32_t i = 0; i < 256; ++i) map[i] = uint8_t(i);
        tableSize = global.size;
        if (anyTransparent) {
            if (global.count >= global.size) return {};
            transparent = global.count;
        }
    } else {
        int32_t count = 0;
        for (int32_t i = 0; i < 256; ++i) {
            if (!used[i]) continue;
            const uint32_t color = cur.colors[i];
            int32_t j = 0;
            while (j < count && table[j] != color) ++j;
            if (j == count) table[count++] = color;
            map[i] = uint8_t(j);
        }
        if (anyTransparent) {
            if (count >= 256) return {};
            transparent = count;
        }
        tableSize = TableSizeFor(count + (anyTransparent ? 1 : 0));
    }

    m_pixels.resize(size_t(area.width) * size_t(area.height));
    uint8_t* out = m_pixels.data();
    for (int32_t y = area.y; y < area.y + area.height; ++y) {
        const uint8_t* row = cur.Row(y);
        const uint8_t* under = prev ? prev->Row(y) : nullptr;
        for (int32_t x = area.x; x < area.x + area.width; ++x) {
            const bool same = under && cur.colors[row[x]] == prev->colors[under[x]];
            *out++ = same ? uint8_t(transparent) : map[row[x]];
        }
    }

    std::string bytes;
    bytes.push_back(char(kExtensionIntroducer));
    bytes.push_back(char(kGraphicControlLabel));
    bytes.push_back(4);
    bytes.push_back(char((kDisposalKeep << 2) | (transparent >= 0 ? 1 : 0)));
    PutWord(bytes, delayCs);
    bytes.push_back(char(transparent >= 0 ? transparent : 0));
    bytes.push_back(0);

    const int32_t bits = BitsOf(tableSize);
    bytes.push_back(char(kImageSeparator));
    PutWord(bytes, area.x);
    PutWord(bytes, area.y);
    PutWord(bytes, area.width);
    PutWord(bytes, area.height);
    bytes.push_back(char(onGlobal ? 0 : 0x80 | (bits - 1)));
    if (!onGlobal) PutColors(bytes, table, tableSize);

    const int32_t codeSize = std::max(2, bits);
    bytes.push_back(char(codeSize));
    CBufferPixels pixels(m_pixels.data(), m_pixels.size());
    CStringSink sink(bytes);
    m_lzw->Compress(codeSize + 1, pixels, sink);
    bytes.push_back(0);
    return bytes;
}
