#include "module/win32/SystemRegistry.h"

namespace {

// The root's handle and the path below it; a null root for a key this module never writes.
HKEY SplitRoot(const CString& key, CString* below) {
    static const struct {
        const char* name;
        HKEY root;
    } kRoots[] = {{"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
                  {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
                  {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER}};
    for (const auto& r : kRoots) {
        const size_t n = std::char_traits<char>::length(r.name);
        if (key.size() > n && _strnicmp(key.c_str(), r.name, n) == 0) {
            *below = key.substr(n);
            return r.root;
        }
    }
    return nullptr;
}

}  // namespace

void CSystemRegistry::SetString(const CString& key, const CString& name, const CString& value) {
    CString below;
    const HKEY root = SplitRoot(key, &below);
    HKEY opened = nullptr;
    if (!root || RegCreateKeyExA(root, below.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                 &opened, nullptr) != ERROR_SUCCESS) {
        m_failed = true;
        return;
    }
    if (RegSetValueExA(opened, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD(value.size() + 1)) != ERROR_SUCCESS) {
        m_failed = true;
    }
    RegCloseKey(opened);
}

bool CSystemRegistry::DeleteKey(const CString& key) {
    CString below;
    const HKEY root = SplitRoot(key, &below);
    if (!root) return false;
    // Given a subkey, RegDeleteTree removes the key itself with everything below it.
    return RegDeleteTreeA(root, below.c_str()) == ERROR_SUCCESS;
}
