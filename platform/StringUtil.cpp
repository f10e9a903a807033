#include "platform/StringUtil.h"

namespace {
int FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}
}  // namespace

int32_t StrICmp(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = FoldAscii(static_cast<unsigned char>(*a));
        const int cb = FoldAscii(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}
