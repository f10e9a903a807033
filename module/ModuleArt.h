// The module's own pictures: the toolbox bitmap and the icon.
#pragma once

#include <cstdint>
#include <vector>

// Toolbox bitmap 1: a packed 4-bit DIB of 20x22 pixels with the 16 standard colours.
std::vector<uint8_t> ToolboxBitmap();
// Icon 1: a 32x32 icon image with the 16 standard colours, as an .ico file holds it (a packed
// 4-bit DIB of height 64: the colour rows, then the 1-bit AND mask, both bottom-up).
std::vector<uint8_t> ModuleIcon();
