#include "framework/Registry.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/FileIO.h"
#include "platform/StringUtil.h"

namespace {

constexpr const char* kHeader = "REGEDIT4";

struct RootAlias {
    const char* shortName;
    const char* longName;
};
constexpr RootAlias kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKCU", "HKEY_CURRENT_USER"},
};

char Fold(char c) {
    // The separator sorts before everything, so a key's subkeys follow it directly.
    if (c == '\\') return '\x01';
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

CString Quote(const CString& s) {
    CString out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Reads a quoted string starting at pos (at the opening quote); the position after the
// closing quote, or npos when the string is malformed.
size_t Unquote(const CString& line, size_t pos, CString* out) {
    if (pos >= line.size() || line[pos] != '"') return CString::npos;
    out->clear();
    for (size_t i = pos + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') return i + 1;
        if (c == '\\') {
            if (++i >= line.size()) return CString::npos;
            c = line[i];
        }
        *out += c;
    }
    return CString::npos;
}

CString Trim(const CString& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == CString::npos) return CString();
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Whether a value line ends in the backslash that joins the next line to it: only values
// other than strings continue (a string may end in an escaped backslash of its own).
bool ContinuesOnNextLine(const CString& raw) {
    CString line = Trim(raw);
    if (line.empty() || line.back() != '\\' || line[0] == '[' || line[0] == ';') return false;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else {
        CString name;
        pos = Unquote(line, 0, &name);
        if (pos == CString::npos) return false;
    }
    size_t eq = line.find('=', pos);
    if (eq == CString::npos) return false;
    CString value = Trim(line.substr(eq + 1));
    return !value.empty() && value[0] != '"';
}

std::mutex& FileMutex() {
    static std::mutex m;
    return m;
}

CString& FilePath() {
    static CString path;
    return path;
}

}  // namespace

bool CRegistry::NoCaseLess::operator()(const CString& a, const CString& b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char x = Fold(a[i]);
        char y = Fold(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

CString CRegistry::NormalizeKey(const CString& key) {
    CString out;
    for (char c : key) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    size_t sep = out.find('\\');
    CString root = out.substr(0, sep);
    for (const RootAlias& alias : kRoots) {
        if (EqualsNoCase(root, alias.shortName)) {
            return alias.longName + (sep == CString::npos ? CString() : out.substr(sep));
        }
    }
    return out;
}

void CRegistry::CreateKey(const CString& key) {
    CString path = NormalizeKey(key);
    if (path.empty()) return;
    // Parents first, as an import makes them.
    size_t pos = 0;
    while (true) {
        size_t sep = path.find('\\', pos);
        CString part = path.substr(0, sep);
        auto it = m_keys.find(part);
        if (it == m_keys.end()) m_keys.emplace(part, Key{part, {}});
        if (sep == CString::npos) break;
        pos = sep + 1;
    }
}

bool CRegistry::KeyExists(const CString& key) const {
    return m_keys.count(NormalizeKey(key)) != 0;
}

bool CRegistry::DeleteKey(const CString& key) {
    CString path = NormalizeKey(key);
    auto it = m_keys.find(path);
    if (it == m_keys.end()) return false;
    CString prefix = path + "\\";
    // In tree order the keys below follow the key itself.
    auto end = std::next(it);
    while (end != m_keys.end() && end->first.size() > prefix.size() &&
           EqualsNoCase(end->first.substr(0, prefix.size()), prefix)) {
        ++end;
    }
    m_keys.erase(it, end);
    return true;
}

void CRegistry::SetValue(const CString& key, const CString& name, const CRegValue& value) {
    CreateKey(key);
    auto it = m_keys.find(NormalizeKey(key));
    if (it == m_keys.end()) return;  // an empty path names no key
    it->second.values[name] = value;
}

std::optional<CRegValue> CRegistry::GetValue(const CString& key, const CString& name) const {
    auto it = m_keys.find(NormalizeKey(key));
    if (it == m_keys.end()) return std::nullopt;
    auto v = it->second.values.find(name);
    if (v == it->second.values.end()) return std::nullopt;
    return v->second;
}

std::optional<CString> CRegistry::GetString(const CString& key, const CString& name) const {
    auto v = GetValue(key, name);
    if (!v || v->kind != CRegValue::Kind::String) return std::nullopt;
    return v->text;
}

bool CRegistry::DeleteValue(const CString& key, const CString& name) {
    auto it = m_keys.find(NormalizeKey(key));
    return it != m_keys.end() && it->second.values.erase(name) != 0;
}

std::vector<CString> CRegistry::Keys() const {
    std::vector<CString> keys;
    for (const auto& [path, k] : m_keys) keys.push_back(k.path);
    return keys;
}

std::vector<std::pair<CString, CRegValue>> CRegistry::Values(const CString& key) const {
    std::vector<std::pair<CString, CRegValue>> values;
    auto it = m_keys.find(NormalizeKey(key));
    if (it == m_keys.end()) return values;
    for (const auto& v : it->second.values) values.push_back(v);
    return values;
}

CString CRegistry::ToText() const {
    CString text = CString(kHeader) + "\n";
    for (const auto& [path, k] : m_keys) {
        text += "\n[" + k.path + "]\n";
        for (const auto& [name, v] : k.values) {
            text += name.empty() ? CString("@") : Quote(name);
            text += '=';
            switch (v.kind) {
                case CRegValue::Kind::String:
                    text += Quote(v.text);
                    break;
                case CRegValue::Kind::Dword: {
                    char hex[16];
                    std::snprintf(hex, sizeof hex, "%08x", unsigned(v.dword));
                    text += CString("dword:") + hex;
                    break;
                }
                case CRegValue::Kind::Raw:
                    text += v.text;
                    break;
            }
            text += '\n';
        }
    }
    return text;
}

int32_t CRegistry::FromText(const CString& text) {
    m_keys.clear();
    std::vector<CString> lines;
    {
        std::istringstream in(text);
        CString line;
        CString pending;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            // A trailing backslash continues a hex value on the next line.
            if (ContinuesOnNextLine(pending.empty() ? line : pending + line)) {
                pending += Trim(line.substr(0, line.size() - 1));
                continue;
            }
            lines.push_back(pending.empty() ? line : pending + Trim(line));
            pending.clear();
        }
        if (!pending.empty()) lines.push_back(pending);
    }
    size_t first = 0;
    while (first < lines.size() && Trim(lines[first]).empty()) ++first;
    if (first == lines.size() || Trim(lines[first]) != kHeader) return -1;

    int32_t skipped = 0;
    CString current;  // the key values go to; empty after a deletion or before any section
    for (size_t i = first + 1; i < lines.size(); ++i) {
        CString line = Trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                ++skipped;
                current.clear();
                continue;
            }
            CString path = line.substr(1, line.size() - 2);
            if (path[0] == '-') {
                DeleteKey(path.substr(1));
                current.clear();
            } else {
                current = NormalizeKey(path);
                CreateKey(current);
            }
            continue;
        }
        if (current.empty()) {
            ++skipped;
            continue;
        }
        CString name;
        size_t pos;
        if (line[0] == '@') {
            pos = 1;
        } else {
            pos = Unquote(line, 0, &name);
            if (pos == CString::npos) {
                ++skipped;
                continue;
            }
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            ++skipped;
            continue;
        }
        CString rest = Trim(line.substr(pos + 1));
        if (rest == "-") {
            DeleteValue(current, name);
        } else if (!rest.empty() && rest[0] == '"') {
            CString value;
            size_t end = Unquote(rest, 0, &value);
            if (end == CString::npos || !Trim(rest.substr(end)).empty()) {
                ++skipped;
                continue;
            }
            SetString(current, name, value);
        } else if (rest.rfind("dword:", 0) == 0) {
            CString digits = rest.substr(6);
            char* endp = nullptr;
            unsigned long v = std::strtoul(digits.c_str(), &endp, 16);
            if (digits.empty() || digits.size() > 8 || *endp != '\0') {
                ++skipped;
                continue;
            }
            SetValue(current, name, CRegValue::Dword(uint32_t(v)));
        } else if (!rest.empty()) {
            SetValue(current, name, CRegValue{CRegValue::Kind::Raw, rest, 0});
        } else {
            ++skipped;
        }
    }
    return skipped;
}

BOOL CRegistry::SaveToFile(const CString& path) const {
    // A first registration makes the file's folder, as on a fresh account.
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    // Written whole before it replaces the file, so that a reader in another process never
    // sees half a registry and a failed write loses nothing.
    const CString partial = PartialPathFor(path);
    std::unique_ptr<FILE, int (*)(FILE*)> file(CreateFileForWrite(partial), &std::fclose);
    if (!file) return FALSE;
    CString text = ToText();
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (std::fclose(file.release()) != 0 || !written) {
        std::remove(partial.c_str());
        return FALSE;
    }
    return CommitPartial(partial, path) ? FALSE : TRUE;
}

BOOL CRegistry::LoadFromFile(const CString& path) {
    m_keys.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(OpenFileForRead(path), &std::fclose);
    if (!file) return FALSE;
    CString text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, n);
    return FromText(text) >= 0 ? TRUE : FALSE;
}

void SetRegistryFile(const CString& path) {
    std::lock_guard<std::mutex> lock(FileMutex());
    FilePath() = path;
}

CString GetRegistryFile() {
    std::lock_guard<std::mutex> lock(FileMutex());
    return FilePath();
}

BOOL UpdateRegistryFile(const std::function<bool(CRegistry& registry)>& update) {
    // One writer at a time within the process, so two registrations do not lose each other's
    // rows.
    std::lock_guard<std::mutex> lock(FileMutex());
    const CString& path = FilePath();
    if (path.empty()) return FALSE;
    CRegistry registry;
    // A missing file is an empty registry; a file that is not one is left alone.
    if (!registry.LoadFromFile(path)) {
        std::unique_ptr<FILE, int (*)(FILE*)> existing(OpenFileForRead(path), &std::fclose);
        if (existing) return FALSE;
    }
    if (!update(registry)) return FALSE;
    return registry.SaveToFile(path);
}
