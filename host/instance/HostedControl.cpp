#include "host/instance/HostedControl.h"

#include <cstdio>
#include <filesystem>

#include "framework/ClassFactory.h"
#include "framework/Registry.h"

namespace {

// What the program can mend by registering its module: the class or its module missing.
bool RegistrationMissing(HRESULT hr) {
    return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG || hr == HRESULT_MOD_NOT_FOUND ||
           hr == HRESULT_PROC_NOT_FOUND;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", uint32_t(hr));
    return text;
}

// Whether the registry names a module for progId's class other than modulePath.
bool NamesAnotherModule(const CRegistry& registry, const std::string& progId,
                        const std::string& modulePath) {
    CLSID clsid{};
    CString registered;
    if (FAILED(CLSIDFromProgID(registry, progId, &clsid)) ||
        FAILED(InprocServerOf(registry, clsid, &registered))) {
        return false;
    }
    std::error_code ec;
    return !std::filesystem::equivalent(registered, modulePath, ec) &&
           std::filesystem::exists(modulePath, ec);
}

}  // namespace

std::unique_ptr<CHostedControl> CHostedControl::Create(const std::string& registryFile,
                                                       const std::string& modulePath,
                                                       std::string* error,
                                                       const std::string& progId) {
    auto registerOwn = [&]() {
        const HRESULT registered = RegisterModule(modulePath, registryFile, false);
        if (FAILED(registered)) {
            const CString why = LastRegistryError();
            *error = "cannot register " + modulePath + " in " + registryFile + " (" +
                     Hex(registered) + (why.empty() ? "" : ": " + why) + ")";
        }
        return SUCCEEDED(registered);
    };
    // Read once; only a registration, which rewrites the file, makes it read again.
    CRegistry registry;
    const bool read = registry.LoadFromFile(registryFile);
    CComInstance instance;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (read && NamesAnotherModule(registry, progId, modulePath)) {
        if (!registerOwn()) return nullptr;
        hr = CreateObjectFromRegistry(registryFile, progId, &instance);
    } else if (read) {
        hr = CreateObjectFromRegistry(registry, progId, &instance);
    }
    if (RegistrationMissing(hr)) {
        if (!registerOwn()) return nullptr;
        hr = CreateObjectFromRegistry(registryFile, progId, &instance);
    }
    if (FAILED(hr) || !instance.Control()) {
        *error = "cannot create " + progId + " from " + registryFile + " (" +
                 Hex(FAILED(hr) ? hr : E_NOINTERFACE) + ")";
        return nullptr;
    }
    return std::unique_ptr<CHostedControl>(new CHostedControl(std::move(instance)));
}

CHostedControl::CHostedControl(CComInstance instance)
    : m_instance(std::move(instance)),
      m_control(m_instance.Control()),
      m_position(static_cast<const IMovitrelFramePosition*>(
          m_control->GetInterface(IID_IMovitrelFramePosition))) {}

bool CHostedControl::ShowsFrame(int32_t index) const {
    return m_position && index >= 0 && index < m_position->ShownFrameCount() &&
           m_position->ShownFrameIndex() == index && m_position->ShownFrameIsCurrent();
}

std::string CHostedControl::FramePosition() const {
    const int32_t count = ShownFrameCount();
    const int32_t index = ShownFrameIndex();
    if (!ShowsFrame(index)) return "no frames";
    return "frame " + std::to_string(index + 1) + " of " + std::to_string(count);
}

int16_t CHostedControl::CurrentCommand() const {
    CVariant value;
    if (FAILED(m_control->GetProperty("Command", &value, VT_I2))) return 0;
    return value.iVal();
}

int32_t CHostedControl::CurrentDelay() const {
    CVariant value;
    if (FAILED(m_control->GetProperty("Delay", &value, VT_I4))) return 0;
    return value.lVal();
}
