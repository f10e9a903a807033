#include "module/ModuleArt.h"

#include <cstring>

#include "platform/Gdi.h"

namespace {

// A picture of palette indices, row 0 at the top.
class Canvas {
public:
    Canvas(int32_t cx, int32_t cy, uint8_t fill)
        : m_cx(cx), m_cy(cy), m_px(size_t(cx * cy), fill) {}
    void Fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t c) {
        for (int32_t y = y0; y < y1; ++y) {
            for (int32_t x = x0; x < x1; ++x) Set(x, y, c);
        }
    }
    void Set(int32_t x, int32_t y, uint8_t c) {
        if (x >= 0 && y >= 0 && x < m_cx && y < m_cy) m_px[size_t(y * m_cx + x)] = c;
    }
    // A film frame: a dark strip with sprocket holes above and below a picture, and a play
    // triangle in the picture.
    void FilmFrame(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t hole) {
        Fill(x0, y0, x1, y1, kStdBlack);
        int32_t band = hole + 2;
        for (int32_t x = x0 + 1; x + hole <= x1 - 1; x += hole * 2) {
            Fill(x, y0 + 1, x + hole, y0 + 1 + hole, kStdWhite);
            Fill(x, y1 - 1 - hole, x + hole, y1 - 1, kStdWhite);
        }
        Fill(x0 + 1, y0 + band, x1 - 1, y1 - band, kStdBlue);
        int32_t h = (y1 - band) - (y0 + band);
        int32_t cx = (x0 + x1) / 2 - h / 4;
        for (int32_t row = 0; row < h - 2; ++row) {
            int32_t reach = std::min(row, h - 3 - row);
            for (int32_t dx = 0; dx <= reach; ++dx) Set(cx + dx, y0 + band + 1 + row, kStdYellow);
        }
    }
    uint8_t At(int32_t x, int32_t y) const { return m_px[size_t(y * m_cx + x)]; }

private:
    int32_t m_cx;
    int32_t m_cy;
    std::vector<uint8_t> m_px;
};

void AppendHeader(std::vector<uint8_t>& out, int32_t cx, int32_t cyField, uint32_t sizeImage) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = cx;
    h.biHeight = cyField;
    h.biPlanes = 1;
    h.biBitCount = 4;
    h.biSizeImage = sizeImage;
    h.biClrUsed = 16;
    const auto* p = reinterpret_cast<const uint8_t*>(&h);
    out.insert(out.end(), p, p + sizeof h);
    const auto* c = reinterpret_cast<const uint8_t*>(kStandardColors);
    out.insert(out.end(), c, c + sizeof kStandardColors);
}

// The 4-bit rows, bottom-up, high nibble first.
void AppendPixels(std::vector<uint8_t>& out, const Canvas& canvas, int32_t cx, int32_t cy) {
    int32_t stride = int32_t(StrideOf(cx, 4));
    for (int32_t y = cy - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(stride), 0);
        for (int32_t x = 0; x < cx; ++x) {
            uint8_t v = canvas.At(x, y) & 0x0F;
            row[size_t(x / 2)] |= (x % 2 == 0) ? uint8_t(v << 4) : v;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

}  // namespace

std::vector<uint8_t> ToolboxBitmap() {
    constexpr int32_t cx = 20, cy = 22;
    Canvas canvas(cx, cy, kStdSilver);
    canvas.FilmFrame(2, 2, 18, 20, 2);
    canvas.Fill(2, 20, 18, 21, kStdGrey);  // a shadow under the strip
    std::vector<uint8_t> out;
    AppendHeader(out, cx, cy, uint32_t(StrideOf(cx, 4) * cy));
    AppendPixels(out, canvas, cx, cy);
    return out;
}

std::vector<uint8_t> ModuleIcon() {
    constexpr int32_t size = 32;
    Canvas canvas(size, size, kStdBlack);
    canvas.FilmFrame(2, 4, 30, 28, 3);
    std::vector<uint8_t> out;
    uint32_t xorBytes = uint32_t(StrideOf(size, 4) * size);
    uint32_t andBytes = uint32_t(StrideOf(size, 1) * size);
    AppendHeader(out, size, size * 2, xorBytes + andBytes);
    AppendPixels(out, canvas, size, size);
    // The AND mask: 1 where the screen shows through, outside the film strip.
    int32_t stride = int32_t(StrideOf(size, 1));
    for (int32_t y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(stride), 0);
        for (int32_t x = 0; x < size; ++x) {
            bool inside = x >= 2 && x < 30 && y >= 4 && y < 28;
            if (!inside) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}
