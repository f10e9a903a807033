#include "framework/DispatchMap.h"

#include <algorithm>

#include "platform/StringUtil.h"

const CDispEntry* FindDispEntry(const CDispatchMap& map, DISPID dispid) {
    for (const CDispEntry& e : map) {
        if (e.dispid == dispid) return &e;
    }
    return nullptr;
}

const CDispEntry* FindDispEntry(const CDispatchMap& map, const CString& name) {
    for (const CDispEntry& e : map) {
        if (EqualsNoCase(e.name, name)) return &e;
    }
    return nullptr;
}

const CEventEntry* FindEventEntry(const CEventMap& map, DISPID dispid) {
    for (const CEventEntry& e : map) {
        if (e.dispid == dispid) return &e;
    }
    return nullptr;
}

std::vector<const CDispEntry*> PersistedEntries(const CDispatchMap& map) {
    std::vector<const CDispEntry*> entries;
    for (const CDispEntry& e : map) {
        if (e.exchange) entries.push_back(&e);
    }
    // Entries without an order keep their place after the ordered ones, in table order.
    std::stable_sort(entries.begin(), entries.end(), [](const CDispEntry* a, const CDispEntry* b) {
        auto key = [](const CDispEntry* e) {
            return e->persistOrder > 0 ? e->persistOrder : INT32_MAX;
        };
        return key(a) < key(b);
    });
    return entries;
}
