// The module's resource table: strings, dialog templates, bitmaps, the icon and the type
// library, by the ids the resource script gives them.
#pragma once

#include "framework/ClassFactory.h"
#include "module/ModuleClasses.h"

const CModuleResources& MovitrelResources();

// The compiled type library the module carries; null when this build carries none. Defined
// by the generated type-library source, or by the stand-in of a build without it.
const std::vector<uint8_t>* MovitrelTypeLibBytes();
