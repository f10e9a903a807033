// The module's resource table: strings, dialog templates, bitmaps, the icon and the type
// library, by the ids the resource script gives them.
#pragma once

#include "framework/ClassFactory.h"

constexpr uint32_t IDS_MOVITREL = 1;  // "Movitrel Control": the control's type name
constexpr uint32_t IDB_MOVITREL = 1;  // the toolbox bitmap
constexpr uint32_t IDI_MOVITREL = 1;  // the icon the About box shows
constexpr uint32_t IDR_TYPELIB = 1;   // resource "TYPELIB" 1

const CModuleResources& MovitrelResources();

// The compiled type library the module carries; null when this build carries none. Defined
// by the generated type-library source, or by the stand-in of a build without it.
const std::vector<uint8_t>* MovitrelTypeLibBytes();
