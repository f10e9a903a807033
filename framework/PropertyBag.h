// A control's saved properties: named text values, kept in a readable text file.
//
// File format, one property a line:
//
//     Name=value
//
// The name ends at the first unescaped '='; the rest of the line is the value. In names and
// values a backslash escapes: "\\" a backslash, "\n" a line feed, "\r" a carriage return,
// "\t" a tab, "\=" an equals sign (only needed in names), "\#" a '#' (only needed at the start
// of a name, which would otherwise make the line a comment). Lines that are empty or start with
// '#' are ignored. A line that breaks these rules (no '=', an empty name, a dangling or
// unknown escape) is skipped, so the property it meant to hold reads as missing.
// Names compare without regard to case; a name given twice keeps its last value. A bag
// holds at most kMaxNames names, far more than a control saves: a text or file with more is
// refused whole.
#pragma once

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Types.h"

class CPropertyBag {
public:
    static constexpr size_t kMaxNames = 4096;
    // A saved file is a handful of lines; anything far larger is not ours.
    static constexpr size_t kMaxFileBytes = 16u << 20;

    // The value saved under the name, or nothing.
    std::optional<CString> Read(const CString& name) const;
    // Replaces the value of an existing name in place, or appends a new one. False, with
    // nothing stored, for an empty name, or when the name is new and the bag holds kMaxNames
    // already.
    bool Write(const CString& name, const CString& value);
    bool Remove(const CString& name);
    void Clear();
    size_t Count() const { return m_entries.size(); }
    const std::vector<std::pair<CString, CString>>& Entries() const { return m_entries; }

    CString ToText() const;
    // Replaces the contents with the properties of the text; returns how many lines were
    // skipped as malformed, or -1, leaving the bag empty, when the text holds more than
    // kMaxNames names.
    int32_t FromText(const CString& text);

    // Saves are written beside the file and renamed in, so a failed save leaves the file as it
    // was. FALSE when the file cannot be written or read, with a sentence in *error when asked
    // for; a failed load leaves the bag empty.
    BOOL SaveToFile(const CString& path, CString* error = nullptr) const;
    BOOL LoadFromFile(const CString& path, CString* error = nullptr);

private:
    static CString Folded(const CString& name);

    std::vector<std::pair<CString, CString>> m_entries;
    // Each name without regard to case, to its place in m_entries.
    std::unordered_map<CString, size_t> m_index;
};
