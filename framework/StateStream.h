// A control's saved state as one run of bytes, as the Windows module keeps it in a stream: a
// header of two little-endian 32-bit words, the tag "MVTR" and the byte count of the text, then
// the property bag's text (PropertyBag.h). A reader takes the header first and checks the count
// before it allocates anything for the text; bytes after the text are not the state's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/PropertyBag.h"

constexpr size_t kStateHeaderBytes = 8;
constexpr uint32_t kStateTag = 0x5254564D;  // "MVTR" in the stream's byte order
// Far more than a control saves; a count above it is not ours.
constexpr uint32_t kMaxStateTextBytes = 1u << 20;

enum class StateError {
    None,
    BadTag,        // not a saved state
    TooLong,       // the count, or a bag's text, exceeds kMaxStateTextBytes
    Truncated,     // fewer bytes than the header and the count promise
    TooManyNames,  // more than CPropertyBag::kMaxNames names
};

// The text's byte count the header announces.
StateError ParseStateHeader(const uint8_t (&header)[kStateHeaderBytes], uint32_t* textBytes);
// The properties of the text. On an error *bag is left as it was.
StateError ParseStateText(const CString& text, CPropertyBag* bag);
// A whole state: the header, then the text it announces (more bytes may follow). On an error
// *bag is left as it was.
StateError ParseState(const uint8_t* data, size_t size, CPropertyBag* bag);

// The header for a text of that many bytes.
void FormatStateHeader(uint32_t textBytes, uint8_t (&header)[kStateHeaderBytes]);
// The whole state of the bag; TooLong, leaving *bytes empty, when its text exceeds the limit.
StateError FormatState(const CPropertyBag& bag, CString* bytes);
