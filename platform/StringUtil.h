#pragma once

#include "platform/Types.h"

// Compares ignoring ASCII letter case, like _stricmp: <0, 0 or >0.
int32_t StrICmp(const char* a, const char* b);
inline bool EqualsNoCase(const CString& a, const CString& b) {
    return StrICmp(a.c_str(), b.c_str()) == 0;
}
