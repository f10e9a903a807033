// A saved state as the Windows module reads it from a stream. Whatever parses must save and
// parse again to the same rows.
#include <cstddef>
#include <cstdint>

#include "framework/StateStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPropertyBag bag;
    bag.Write("Before", "kept");
    const StateError error = ParseState(data, size, &bag);
    if (error != StateError::None) {
        // A refused state leaves the bag as it was.
        if (bag.Count() != 1 || bag.Read("Before") != CString("kept")) __builtin_trap();
        return 0;
    }
    CString saved;
    if (FormatState(bag, &saved) != StateError::None) {
        // Escaping may lengthen the text past the limit, and nothing else refuses a save.
        if (bag.ToText().size() <= kMaxStateTextBytes) __builtin_trap();
        return 0;
    }
    CPropertyBag again;
    if (ParseState(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &again) !=
            StateError::None ||
        again.Entries() != bag.Entries()) {
        __builtin_trap();
    }
    return 0;
}
