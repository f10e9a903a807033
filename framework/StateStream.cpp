#include "framework/StateStream.h"

#include <utility>

namespace {

uint32_t ReadWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteWord(uint32_t value, uint8_t* p) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

}  // namespace

StateError ParseStateHeader(const uint8_t (&header)[kStateHeaderBytes], uint32_t* textBytes) {
    if (ReadWord(header) != kStateTag) return StateError::BadTag;
    const uint32_t count = ReadWord(header + 4);
    if (count > kMaxStateTextBytes) return StateError::TooLong;
    *textBytes = count;
    return StateError::None;
}

StateError ParseStateText(const CString& text, CPropertyBag* bag) {
    // Into a bag of its own first: a refused text leaves the caller's untouched.
    CPropertyBag parsed;
    if (parsed.FromText(text) < 0) return StateError::TooManyNames;
    *bag = std::move(parsed);
    return StateError::None;
}

StateError ParseState(const uint8_t* data, size_t size, CPropertyBag* bag) {
    if (size < kStateHeaderBytes) return StateError::Truncated;
    uint8_t header[kStateHeaderBytes];
    for (size_t i = 0; i < kStateHeaderBytes; ++i) header[i] = data[i];
    uint32_t textBytes = 0;
    if (const StateError e = ParseStateHeader(header, &textBytes); e != StateError::None) return e;
    if (size - kStateHeaderBytes < textBytes) return StateError::Truncated;
    return ParseStateText(
        CString(reinterpret_cast<const char*>(data) + kStateHeaderBytes, textBytes), bag);
}

void FormatStateHeader(uint32_t textBytes, uint8_t (&header)[kStateHeaderBytes]) {
    WriteWord(kStateTag, header);
    WriteWord(textBytes, header + 4);
}

StateError FormatState(const CPropertyBag& bag, CString* bytes) {
    bytes->clear();
    const CString text = bag.ToText();
    if (text.size() > kMaxStateTextBytes) return StateError::TooLong;
    uint8_t header[kStateHeaderBytes];
    FormatStateHeader(uint32_t(text.size()), header);
    bytes->reserve(kStateHeaderBytes + text.size());
    bytes->append(reinterpret_cast<const char*>(header), kStateHeaderBytes);
    bytes->append(text);
    return StateError::None;
}
