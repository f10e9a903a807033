#include "framework/PropertyBag.h"

#include "platform/FileIO.h"

namespace {

CString Escape(const CString& s, bool isName) {
    CString out;
    out.reserve(s.size());
    // A line that starts with '#' is a comment: a name that does is escaped.
    if (isName && !s.empty() && s[0] == '#') out += '\\';
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '=':
                if (isName) {
                    out += "\\=";
                } else {
                    out += c;
                }
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Unescapes s[from, to); nothing when an escape is dangling or unknown.
std::optional<CString> Unescape(const CString& s, size_t from, size_t to) {
    CString out;
    for (size_t i = from; i < to; ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == to) return std::nullopt;
        switch (s[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '=':
                out += '=';
                break;
            case '#':
                out += '#';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace

CString CPropertyBag::Folded(const CString& name) {
    CString folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return folded;
}

std::optional<CString> CPropertyBag::Read(const CString& name) const {
    const auto it = m_index.find(Folded(name));
    if (it == m_index.end()) return std::nullopt;
    return m_entries[it->second].second;
}

bool CPropertyBag::Write(const CString& name, const CString& value) {
    if (name.empty()) return false;  // no line could hold it
    CString key = Folded(name);
    const auto it = m_index.find(key);
    if (it != m_index.end()) {
        m_entries[it->second].second = value;
        return true;
    }
    if (m_entries.size() >= kMaxNames) return false;
    m_index.emplace(std::move(key), m_entries.size());
    m_entries.emplace_back(name, value);
    return true;
}

bool CPropertyBag::Remove(const CString& name) {
    const auto it = m_index.find(Folded(name));
    if (it == m_index.end()) return false;
    const size_t at = it->second;
    m_index.erase(it);
    m_entries.erase(m_entries.begin() + ptrdiff_t(at));
    for (auto& [key, place] : m_index) {
        if (place > at) --place;
    }
    return true;
}

void CPropertyBag::Clear() {
    m_entries.clear();
    m_index.clear();
}

CString CPropertyBag::ToText() const {
    CString text;
    for (const auto& [name, value] : m_entries) {
        text += Escape(name, true);
        text += '=';
        text += Escape(value, false);
        text += '\n';
    }
    return text;
}

int32_t CPropertyBag::FromText(const CString& text) {
    Clear();
    int32_t skipped = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == CString::npos) end = text.size();
        size_t lineEnd = end;
        if (lineEnd > start && text[lineEnd - 1] == '\r') --lineEnd;  // files edited elsewhere
        size_t next = end + 1;
        if (lineEnd == start || text[start] == '#') {
            start = next;
            continue;
        }
        // The separator is the first '=' not escaped by a backslash.
        size_t eq = CString::npos;
        for (size_t i = start; i < lineEnd; ++i) {
            if (text[i] == '\\') {
                ++i;
            } else if (text[i] == '=') {
                eq = i;
                break;
            }
        }
        std::optional<CString> name, value;
        if (eq != CString::npos && eq > start) {
            name = Unescape(text, start, eq);
            value = Unescape(text, eq + 1, lineEnd);
        }
        if (name && value && !name->empty()) {
            if (!Write(*name, *value)) {
                Clear();
                return -1;
            }
        } else {
            ++skipped;
        }
        start = next;
    }
    return skipped;
}

BOOL CPropertyBag::SaveToFile(const CString& path, CString* error) const {
    if (const std::error_code ec = WriteWholeFile(path, ToText())) {
        if (error) *error = "cannot write " + path + ": " + ec.message();
        return FALSE;
    }
    return TRUE;
}

BOOL CPropertyBag::LoadFromFile(const CString& path, CString* error) {
    Clear();
    CString text;
    std::error_code reason;
    const FileReadError read = ReadWholeFile(path, kMaxFileBytes, &text, &reason);
    if (read != FileReadError::None) {
        if (error)
            *error = "cannot read " + path + ": " + DescribeReadError(read, reason, kMaxFileBytes);
        return FALSE;
    }
    if (FromText(text) < 0) {
        if (error) {
            *error = "cannot read " + path + ": more than " + std::to_string(kMaxNames) + " names";
        }
        return FALSE;
    }
    return TRUE;
}
