#include "framework/PropertyBag.h"

#include <cstdio>
#include <memory>

#include "platform/FileIO.h"
#include "platform/StringUtil.h"

namespace {

// A saved file is a handful of lines; anything far larger is not ours.
constexpr size_t kMaxBagFileBytes = 16u << 20;

CString Escape(const CString& s, bool isName) {
    CString out;
    out.reserve(s.size());
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
            default:
                return std::nullopt;
        }
    }
    return out;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

std::optional<CString> CPropertyBag::Read(const CString& name) const {
    for (const auto& [key, value] : m_entries) {
        if (EqualsNoCase(key, name)) return value;
    }
    return std::nullopt;
}

void CPropertyBag::Write(const CString& name, const CString& value) {
    for (auto& [key, old] : m_entries) {
        if (EqualsNoCase(key, name)) {
            old = value;
            return;
        }
    }
    m_entries.emplace_back(name, value);
}

bool CPropertyBag::Remove(const CString& name) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (EqualsNoCase(it->first, name)) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
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
    m_entries.clear();
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
            Write(*name, *value);
        } else {
            ++skipped;
        }
        start = next;
    }
    return skipped;
}

BOOL CPropertyBag::SaveToFile(const CString& path) const {
    std::unique_ptr<FILE, FileCloser> file(CreateFileForWrite(path));
    if (!file) return FALSE;
    CString text = ToText();
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return FALSE;
    return std::fclose(file.release()) == 0 ? TRUE : FALSE;
}

BOOL CPropertyBag::LoadFromFile(const CString& path) {
    m_entries.clear();
    std::unique_ptr<FILE, FileCloser> file(OpenFileForRead(path));
    if (!file) return FALSE;
    CString text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (text.size() + n > kMaxBagFileBytes) return FALSE;
        text.append(buffer, n);
    }
    if (std::ferror(file.get())) return FALSE;
    FromText(text);
    return TRUE;
}
