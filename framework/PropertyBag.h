// A control's saved properties: named text values, kept in a readable text file.
//
// File format, one property a line:
//
//     Name=value
//
// The name ends at the first unescaped '='; the rest of the line is the value. In names and
// values a backslash escapes: "\\" a backslash, "\n" a line feed, "\r" a carriage return,
// "\t" a tab, "\=" an equals sign (only needed in names). Lines that are empty or start with
// '#' are ignored. A line that breaks these rules (no '=', an empty name, a dangling or
// unknown escape) is skipped, so the property it meant to hold reads as missing.
// Names compare without regard to case; a name given twice keeps its last value.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "platform/Types.h"

class CPropertyBag {
public:
    // The value saved under the name, or nothing.
    std::optional<CString> Read(const CString& name) const;
    // Replaces the value of an existing name in place, or appends a new one.
    void Write(const CString& name, const CString& value);
    bool Remove(const CString& name);
    void Clear() { m_entries.clear(); }
    size_t Count() const { return m_entries.size(); }
    const std::vector<std::pair<CString, CString>>& Entries() const { return m_entries; }

    CString ToText() const;
    // Replaces the contents with the properties of the text; returns how many lines were
    // skipped as malformed.
    int32_t FromText(const CString& text);

    // FALSE when the file cannot be written or read; a failed load leaves the bag empty.
    BOOL SaveToFile(const CString& path) const;
    BOOL LoadFromFile(const CString& path);

private:
    std::vector<std::pair<CString, CString>> m_entries;
};
