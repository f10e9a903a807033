// The registry substitute: keys with named values, kept in a text file in the REGEDIT4 format
// that a Windows registry editor imports and exports.
//
//     REGEDIT4
//
//     [HKEY_CLASSES_ROOT\CLSID\{...}]
//     @="Sample Control"
//     "ThreadingModel"="Apartment"
//     "Count"=dword:0000000a
//
// A section names a key by its full path; "@" is the key's default value. In strings a
// backslash escapes a backslash or a double quote. "[-KEY]" deletes a key and everything
// under it, "name"=- deletes a value; lines starting with ';' are comments. Values of any
// other kind (hex:...) are kept as written, joined across continuation lines.
//
// Key paths compare without regard to case and keep the spelling they were first given;
// "HKCR", "HKLM" and "HKCU" stand for their long root names. Making a key makes its parents.
// A file may start with a UTF-8 byte-order mark, as editors save it. A key, name or value with
// a control character (a line break would split its row) is refused: it is not stored, and
// the registry remembers the first one refused, so the file is not saved with rows missing.
//
// Like an operating system's registry there is one per process: the file named by
// SetRegistryFile. Containers set it before creating objects through it, the registration
// command before calling a module's DllRegisterServer; a module reads it through
// GetRegistryFile when it registers. Both are safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "framework/Registration.h"
#include "platform/Types.h"

struct CRegValue {
    enum class Kind { String, Dword, Raw };
    Kind kind = Kind::String;
    CString text;  // String: the value; Raw: the text after '=' as written
    uint32_t dword = 0;

    static CRegValue String(CString s) { return {Kind::String, std::move(s), 0}; }
    static CRegValue Dword(uint32_t v) { return {Kind::Dword, CString(), v}; }
    friend bool operator==(const CRegValue&, const CRegValue&) = default;
};

// How a registry file loaded.
enum class RegistryLoad { Loaded, Missing, Unreadable, TooLarge, NotARegistry };

class CRegistry : public IRegistryKeys {
public:
    // Far above any registry a few modules write.
    static constexpr size_t kMaxFileBytes = 16u << 20;

    // The default value of a key has the empty name.
    void SetValue(const CString& key, const CString& name, const CRegValue& value);
    void SetString(const CString& key, const CString& name, const CString& value) override {
        SetValue(key, name, CRegValue::String(value));
    }
    std::optional<CRegValue> GetValue(const CString& key, const CString& name) const;
    // The value when it is a string; nothing for a missing value or another kind.
    std::optional<CString> GetString(const CString& key, const CString& name) const;
    bool DeleteValue(const CString& key, const CString& name);

    void CreateKey(const CString& key);
    bool KeyExists(const CString& key) const;
    // Deletes the key, its values and every key below it; false when there was no such key.
    bool DeleteKey(const CString& key) override;
    // Every key in tree order: each key followed by the keys below it.
    std::vector<CString> Keys() const;
    // The values of a key, names in order (the default value first); empty for a missing key.
    std::vector<std::pair<CString, CRegValue>> Values(const CString& key) const;
    void Clear() {
        m_keys.clear();
        m_refused.clear();
    }
    // The first row refused for a control character, as a sentence; empty when none was.
    const CString& Refused() const { return m_refused; }

    CString ToText() const;
    // Replaces the contents with the text's; the number of lines that were skipped as
    // malformed, or -1 when the text does not start with the REGEDIT4 header (then the
    // registry is left empty).
    int32_t FromText(const CString& text);

    // FALSE when the file cannot be written (a missing folder is made first); the file is
    // written beside its place and renamed in, so a failed save leaves it as it was.
    BOOL SaveToFile(const CString& path, CString* error = nullptr) const;
    // Anything but Loaded leaves the registry empty, with a sentence in *error.
    RegistryLoad Load(const CString& path, CString* error = nullptr);
    BOOL LoadFromFile(const CString& path) { return Load(path) == RegistryLoad::Loaded; }

    // "HKCR\A" as "HKEY_CLASSES_ROOT\A", separators collapsed, no trailing separator.
    static CString NormalizeKey(const CString& key);

private:
    struct NoCaseLess {
        bool operator()(const CString& a, const CString& b) const;
    };
    struct Key {
        CString path;  // as first spelled
        std::map<CString, CRegValue, NoCaseLess> values;
    };
    // Notes a text with a control character; true when it has one.
    bool Refuse(const CString& key, const CString& name, const CString& text);

    std::map<CString, Key, NoCaseLess> m_keys;
    CString m_refused;
};

// The process's registry file; empty until set.
void SetRegistryFile(const CString& path);
CString GetRegistryFile();

// Loads the process's registry file, lets update change it and writes it back. FALSE when
// no file is set, when the file cannot be read (a missing one is an empty registry; one
// that is not a registry, or that gave a read error, is never saved over), when update
// returns false or a row was refused, or when the file cannot be written. Other processes
// registering into the same file wait: an advisory lock on "<file>.lock" beside it is held
// across the read, the update and the save (the save renames a new file in, so a lock on the
// file itself would not hold).
BOOL UpdateRegistryFile(const std::function<bool(CRegistry& registry)>& update);
// Why the process's last UpdateRegistryFile failed; empty after one that succeeded.
CString LastRegistryError();
