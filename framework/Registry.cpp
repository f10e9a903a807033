#include "framework/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/FileIO.h"
#include "platform/StringUtil.h"

namespace {

constexpr const char* kHeader = "REGEDIT4";
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
// A registration that holds the file's lock longer than this has hung; the next one gives up
// rather than hang with it.
constexpr auto kLockPatience = std::chrono::seconds(10);

struct RootAlias {
    const char* shortName;
    const char* longName;
};
constexpr RootAlias kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKCU", "HKEY_CURRENT_USER"},
};

unsigned char Fold(char c) {
    // The separator sorts before everything, bytes above 127 included (compared unsigned),
    // so a key's subkeys follow it directly.
    if (c == '\\') return 1;
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A')
                                  : static_cast<unsigned char>(c);
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

// A line break, or any other control character but a tab, would break the file's lines.
bool HasControlCharacter(const CString& s) {
    for (unsigned char c : s) {
        if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
    }
    return false;
}

// The text with its control characters shown as escapes, for a message.
CString Visible(const CString& s) {
    CString out;
    for (unsigned char c : s) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", unsigned(c));
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
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

CString& LastError() {
    static CString error;
    return error;
}

// An advisory lock on a file of its own, held for the owner's scope.
class CLockFile {
public:
    explicit CLockFile(const CString& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_error = "cannot open " + path + ": " + std::strerror(errno);
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() >= deadline) {
                m_error = "cannot lock " + path + ": " +
                          (errno == EWOULDBLOCK ? CString("another registration holds it")
                                                : CString(std::strerror(errno)));
                ::close(m_fd);
                m_fd = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~CLockFile() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    CLockFile(const CLockFile&) = delete;
    CLockFile& operator=(const CLockFile&) = delete;
    bool Held() const { return m_fd >= 0; }
    const CString& Error() const { return m_error; }

private:
    int m_fd = -1;
    CString m_error;
};

}  // namespace

bool CRegistry::NoCaseLess::operator()(const CString& a, const CString& b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = Fold(a[i]);
        const unsigned char y = Fold(b[i]);
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

bool CRegistry::Refuse(const CString& key, const CString& name, const CString& text) {
    if (!HasControlCharacter(key) && !HasControlCharacter(name) && !HasControlCharacter(text)) {
        return false;
    }
    if (m_refused.empty()) {
        m_refused = "a control character in \"" + Visible(text) + "\" (" + Visible(key) +
                    (name.empty() ? CString() : ", " + Visible(name)) + ")";
    }
    return true;
}

void CRegistry::CreateKey(const CString& key) {
    if (Refuse(key, CString(), CString())) return;
    CString path = NormalizeKey(key);
    // A key that began with '-' could not be written back: its section would delete.
    if (path.empty() || path[0] == '-') return;
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
    if (Refuse(key, name, value.text)) return;
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
    Clear();
    std::vector<CString> lines;
    {
        const size_t bom = text.rfind(kByteOrderMark, 0) == 0 ? 3 : 0;
        std::istringstream in(text.substr(bom));
        CString line;
        CString pending;  // a value continued from earlier lines, joined so far
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            // A trailing backslash continues a hex value on the next line. Once a value
            // continues, only each new line's own end decides, so joining stays linear.
            const bool continues = pending.empty()
                                       ? ContinuesOnNextLine(line)
                                       : !Trim(line).empty() && Trim(line).back() == '\\';
            if (continues) {
                const CString part = Trim(line);
                pending += Trim(part.substr(0, part.size() - 1));
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
            if (HasControlCharacter(path)) {
                ++skipped;
                current.clear();
                continue;
            }
            if (path[0] == '-') {
                DeleteKey(path.substr(1));
                current.clear();
            } else {
                current = NormalizeKey(path);
                // Written back, a key that begins with '-' would read as a deletion.
                if (current.empty() || current[0] == '-') {
                    ++skipped;
                    current.clear();
                    continue;
                }
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
        if (HasControlCharacter(name) || HasControlCharacter(rest)) {
            ++skipped;
            continue;
        }
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
        } else if (!rest.empty() && rest.back() != '\\') {
            // A raw value written back with a final backslash would join the next line.
            SetValue(current, name, CRegValue{CRegValue::Kind::Raw, rest, 0});
        } else {
            ++skipped;
        }
    }
    return skipped;
}

BOOL CRegistry::SaveToFile(const CString& path, CString* error) const {
    // A first registration makes the file's folder, as on a fresh account.
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    // Written whole before it replaces the file, so that a reader in another process never
    // sees half a registry and a failed write loses nothing.
    if (const std::error_code ec = WriteWholeFile(path, ToText())) {
        if (error) *error = "cannot write " + path + ": " + ec.message();
        return FALSE;
    }
    return TRUE;
}

RegistryLoad CRegistry::Load(const CString& path, CString* error) {
    Clear();
    CString text;
    std::error_code reason;
    const FileReadError read = ReadWholeFile(path, kMaxFileBytes, &text, &reason);
    if (read != FileReadError::None && error) {
        *error = "cannot read " + path + ": " + DescribeReadError(read, reason, kMaxFileBytes);
    }
    switch (read) {
        case FileReadError::None:
            break;
        case FileReadError::NotFound:
            return RegistryLoad::Missing;
        case FileReadError::TooLarge:
            return RegistryLoad::TooLarge;
        case FileReadError::Io:
            return RegistryLoad::Unreadable;
    }
    if (FromText(text) < 0) {
        if (error) *error = path + " is not a registry file (no " + kHeader + " header)";
        return RegistryLoad::NotARegistry;
    }
    return RegistryLoad::Loaded;
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
    // One writer at a time within the process, and, through the lock file, across processes,
    // so two registrations do not lose each other's rows.
    std::lock_guard<std::mutex> lock(FileMutex());
    CString& error = LastError();
    error.clear();
    const CString& path = FilePath();
    if (path.empty()) {
        error = "no registry file is set";
        return FALSE;
    }
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    const CLockFile held(path + ".lock");
    if (!held.Held()) {
        error = held.Error();
        return FALSE;
    }
    CRegistry registry;
    const RegistryLoad loaded = registry.Load(path, &error);
    if (loaded != RegistryLoad::Loaded && loaded != RegistryLoad::Missing) return FALSE;
    error.clear();
    if (!update(registry)) {
        error = "the update was refused";
        return FALSE;
    }
    if (!registry.Refused().empty()) {
        error = "not registered: " + registry.Refused();
        return FALSE;
    }
    return registry.SaveToFile(path, &error);
}

CString LastRegistryError() {
    std::lock_guard<std::mutex> lock(FileMutex());
    return LastError();
}
