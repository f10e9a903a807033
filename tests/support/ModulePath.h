// The built module as the registry names it once registered: its canonical path. For the
// test programs built with MOVITREL_MODULE_FILE.
#pragma once

#include <filesystem>
#include <string>

inline std::string CanonicalModulePath() {
    return std::filesystem::canonical(MOVITREL_MODULE_FILE).string();
}
