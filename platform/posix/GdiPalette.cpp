// Logical palettes by handle. A handle is a number dressed as a pointer, drawn from a counter
// that never repeats, so a deleted handle can never come back naming another palette.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Gdi.h"

namespace {

// The 20 static colours in the order of the Windows default palette: the first ten are
// indices 0-9 of a system palette, the last ten indices 246-255.
constexpr PALETTEENTRY kStockEntries[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

// Handles step by 4 so they look like aligned pointers to anyone who prints them.
constexpr uintptr_t kStockHandle = 0x1000;
constexpr uintptr_t kHandleStep = 4;

class PaletteTable {
public:
    PaletteTable() {
        m_palettes.emplace(kStockHandle, std::vector<PALETTEENTRY>(std::begin(kStockEntries),
                                                                   std::end(kStockEntries)));
    }

    HPALETTE Add(std::vector<PALETTEENTRY> entries) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const uintptr_t handle = m_next;
        m_next += kHandleStep;
        m_palettes.emplace(handle, std::move(entries));
        return ToHandle(handle);
    }

    BOOL Remove(HPALETTE palette) {
        const uintptr_t key = FromHandle(palette);
        if (key == kStockHandle) return TRUE;
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_palettes.erase(key) ? TRUE : FALSE;
    }

    // Runs fn on the entries under the lock; false for a bad handle.
    template <class Fn>
    bool With(HPALETTE palette, Fn&& fn) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_palettes.find(FromHandle(palette));
        if (it == m_palettes.end()) return false;
        fn(it->second);
        return true;
    }

    static HPALETTE ToHandle(uintptr_t h) { return reinterpret_cast<HPALETTE>(h); }
    static uintptr_t FromHandle(HPALETTE p) { return reinterpret_cast<uintptr_t>(p); }

private:
    std::mutex m_mutex;
    std::unordered_map<uintptr_t, std::vector<PALETTEENTRY>> m_palettes;
    uintptr_t m_next = kStockHandle + kHandleStep;
};

// Never destroyed: devices and images may still release palettes while static objects are
// torn down at exit, and an operating system's handle table outlives its programs too.
PaletteTable& Table() {
    static PaletteTable* table = new PaletteTable;
    return *table;
}

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE* logPalette) {
    if (!logPalette || logPalette->palVersion != 0x300 || logPalette->palNumEntries == 0) {
        return nullptr;
    }
    // palPalEntry is declared with one element; the caller allocated palNumEntries of them.
    const PALETTEENTRY* first = logPalette->palPalEntry;
    std::vector<PALETTEENTRY> entries(first, first + logPalette->palNumEntries);
    return Table().Add(std::move(entries));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    UINT result = 0;
    Table().With(palette, [&](const std::vector<PALETTEENTRY>& pal) {
        const UINT size = UINT(pal.size());
        if (!entries) {
            result = size;
            return;
        }
        if (start >= size) return;
        result = std::min(count, size - start);
        std::copy(pal.begin() + start, pal.begin() + start + result, entries);
    });
    return result;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
    UINT result = CLR_INVALID;
    const int32_t r = GetRValue(color);
    const int32_t g = GetGValue(color);
    const int32_t b = GetBValue(color);
    Table().With(palette, [&](const std::vector<PALETTEENTRY>& pal) {
        int32_t best = std::numeric_limits<int32_t>::max();
        for (size_t i = 0; i < pal.size(); ++i) {
            const int32_t dr = pal[i].peRed - r;
            const int32_t dg = pal[i].peGreen - g;
            const int32_t db = pal[i].peBlue - b;
            const int32_t d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                result = UINT(i);
                if (d == 0) break;
            }
        }
    });
    return result;
}

BOOL DeleteObject(HPALETTE palette) {
    return Table().Remove(palette);
}

HPALETTE GetStockPalette() {
    Table();  // the stock palette is made with the table
    return PaletteTable::ToHandle(kStockHandle);
}
