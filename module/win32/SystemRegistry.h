// IRegistryKeys over the system's registry, for the registration rows of the module's classes.
#pragma once

#include "framework/Registration.h"

class CSystemRegistry : public IRegistryKeys {
public:
    // Keys under roots other than HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER
    // are refused.
    void SetString(const CString& key, const CString& name, const CString& value) override;
    bool DeleteKey(const CString& key) override;
    // Whether any SetString failed.
    bool Failed() const { return m_failed; }

private:
    bool m_failed = false;
};
