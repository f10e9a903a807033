// movitrel regsvr: registers a module's classes in a registry file, or removes them, as the
// platform's registration tool does for a system registry.
#include <cstdio>
#include <filesystem>

#include "apps/MovitrelApp.h"
#include "apps/ProgramControl.h"
#include "framework/ClassFactory.h"
#include "framework/Registry.h"

namespace {

const char* ResultName(HRESULT hr) {
    switch (hr) {
        case S_OK:
            return "S_OK";
        case SELFREG_E_TYPELIB:
            return "SELFREG_E_TYPELIB: the type library was not registered";
        case SELFREG_E_CLASS:
            return "SELFREG_E_CLASS: a class was not registered";
        case HRESULT_MOD_NOT_FOUND:
            return "the module cannot be loaded";
        case HRESULT_PROC_NOT_FOUND:
            return "the module has no registration export";
        default:
            return "failed";
    }
}

}  // namespace

int32_t RunRegsvr(const std::string& module, bool unregister, std::string registry) {
    if (registry.empty()) registry = ProgramRegistryFile();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(module, ec);
    // The registry names the module by the path a container will load it from.
    const std::string path = ec ? module : absolute.lexically_normal().string();
    const HRESULT hr = RegisterModule(path, registry, unregister);
    const char* what = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    if (FAILED(hr)) {
        const CString why = LastRegistryError();
        std::fprintf(stderr, "movitrel: %s in %s failed (0x%08X, %s%s%s); registry %s\n", what,
                     path.c_str(), uint32_t(hr), ResultName(hr), why.empty() ? "" : ": ",
                     why.c_str(), registry.c_str());
        return 1;
    }
    std::printf("movitrel: %s in %s succeeded; registry %s\n", what, path.c_str(),
                registry.c_str());
    return 0;
}
