// The saved-properties text: any input parses without a crash, in linear time, holds at most
// the name limit, and what it gives survives a save and a second parse unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/PropertyBag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPropertyBag first;
    if (first.FromText(CString(reinterpret_cast<const char*>(data), size)) < 0) {
        if (first.Count() != 0) std::abort();  // a refused text leaves the bag empty
        return 0;
    }
    if (first.Count() > CPropertyBag::kMaxNames) std::abort();
    CPropertyBag second;
    if (second.FromText(first.ToText()) != 0 || second.Entries() != first.Entries()) std::abort();
    return 0;
}
