#include "apps/ProgramControl.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string ProgramRegistryFile() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return (fs::path(xdg) / "movitrel" / "registry.reg").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".config" / "movitrel" / "registry.reg").string();
    std::error_code ec;
    return (fs::temp_directory_path(ec) / "movitrel" / "registry.reg").string();
}

std::string DefaultModulePath() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    const fs::path prefix = exe.parent_path().parent_path();
    const fs::path installed = prefix / "lib" / "movitrel" / "MOVITREL.OCX";
    if (fs::exists(installed, ec)) return installed.string();
    return (prefix / "module" / "MOVITREL.OCX").string();  // bin is apps/ in the build tree
}

std::unique_ptr<CHostedControl> CreateProgramControl(std::string* error) {
    return CHostedControl::Create(ProgramRegistryFile(), DefaultModulePath(), error);
}
