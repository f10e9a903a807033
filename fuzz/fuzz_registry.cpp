// The registry file's text: any input parses without a crash, in linear time, and whatever
// it gives survives a save and a second parse unchanged (same rows, nothing skipped).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CRegistry first;
    if (first.FromText(CString(reinterpret_cast<const char*>(data), size)) < 0) return 0;
    if (!first.Refused().empty()) std::abort();  // a file's malformed rows are skipped, not refused
    const CString text = first.ToText();
    CRegistry second;
    if (second.FromText(text) != 0 || second.ToText() != text) std::abort();
    return 0;
}
