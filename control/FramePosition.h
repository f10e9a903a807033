// What a container may ask the control beyond its properties: which frame its last paint
// showed, for status lines and scripts. A container reaches it through
// COleControl::GetInterface(IID_IMovitrelFramePosition).
#pragma once

#include <cstdint>

#include "framework/Com.h"

constexpr IID IID_IMovitrelFramePosition{
    0x3C51D0E2, 0x7A94, 0x4B1F, {0x8E, 0x27, 0x61, 0x0D, 0xA3, 0x5C, 0x94, 0xB8}};

class IMovitrelFramePosition {
public:
    // The index of the frame shown at the last paint (-1 or -2 while there is none) and the
    // number of frames the worker had then.
    virtual int32_t ShownFrameIndex() const = 0;
    virtual int32_t ShownFrameCount() const = 0;
    // Whether that index belongs to the list of the source now set (Dir, BaseFile, Sort): false
    // from a change of source until a paint shows a frame of the new list.
    virtual bool ShownFrameIsCurrent() const = 0;
    // Decoded frames the frame cache holds now (0 with CacheSize 0).
    virtual int32_t CachedFrameCount() const = 0;

protected:
    ~IMovitrelFramePosition() = default;
};
