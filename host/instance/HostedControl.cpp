#include "apps/HostedControl.h"

#include <cstdlib>
#include <filesystem>

#include "framework/ClassFactory.h"

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

}  // namespace

std::string ProgramRegistryFile() {
    namespace fs = std::filesystem;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return (fs::path(xdg) / "movitrel" / "registry.reg").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".config" / "movitrel" / "registry.reg").string();
    std::error_code ec;
    return (fs::temp_directory_path(ec) / "movitrel" / "registry.reg").string();
}

std::string DefaultModulePath() {
    return MOVITREL_MODULE_FILE;
}

std::unique_ptr<CHostedControl> CHostedControl::Create(std::string* error) {
    const std::string registry = ProgramRegistryFile();
    CComInstance instance;
    HRESULT hr = CreateObjectFromRegistry(registry, kControlProgId, &instance);
    if (RegistrationMissing(hr)) {
        const HRESULT registered = RegisterModule(DefaultModulePath(), registry, false);
        if (FAILED(registered)) {
            *error = "cannot register " + DefaultModulePath() + " in " + registry + " (" +
                     Hex(registered) + ")";
            return nullptr;
        }
        hr = CreateObjectFromRegistry(registry, kControlProgId, &instance);
    }
    if (FAILED(hr) || !instance.Control()) {
        *error = std::string("cannot create ") + kControlProgId + " from " + registry + " (" +
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
