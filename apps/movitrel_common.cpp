// What the subcommands share: setting up the control from the options, frame counting, the
// display check and the cache folder.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "apps/MovitrelApp.h"
#include "framework/OleControl.h"
#include "framework/PropertyBag.h"
#include "playback/Commands.h"

namespace {

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
        return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b));
    });
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
    if (s.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), s.end() - suffix.size(), [](char a, char b) {
        return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b));
    });
}

bool Set(COleControl& control, const char* name, const CVariant& value, std::string* error) {
    if (SUCCEEDED(control.SetProperty(name, value))) return true;
    *error = std::string("cannot set ") + name;
    return false;
}

}  // namespace

bool InitControl(COleControl& control, const PlayOptions& o, std::string* error) {
    CPropertyBag bag;
    std::error_code ec;
    if (!o.stateFile.empty() && std::filesystem::exists(o.stateFile, ec)) {
        CString why;
        if (!bag.LoadFromFile(o.stateFile, &why)) {
            *error = "the state file: " + why;
            return false;
        }
        control.LoadProperties(bag);
    } else {
        control.OnResetState();
    }
    if (!o.dir.empty() && !Set(control, "Dir", CVariant::Str(o.dir), error)) return false;
    if (o.base && !Set(control, "BaseFile", CVariant::Str(*o.base), error)) return false;
    if (o.sort && !Set(control, "Sort", CVariant::I2(*o.sort), error)) return false;
    if (o.delay && !Set(control, "Delay", CVariant::I4(*o.delay), error)) return false;
    if (o.loop && !Set(control, "Loop", CVariant::Bool(TRUE), error)) return false;
    if (o.maximize && !Set(control, "Maximize", CVariant::Bool(TRUE), error)) return false;
    if (o.bounce && !Set(control, "Bounce", CVariant::Bool(TRUE), error)) return false;
    if (o.dwell && !Set(control, "LastDelay", CVariant::I4(*o.dwell), error)) return false;
    if (o.decodeToFit && !Set(control, "DecodeToFit", CVariant::Bool(TRUE), error)) return false;
    if (o.cacheMb && !Set(control, "CacheSize", CVariant::I4(*o.cacheMb), error)) return false;
    if (o.watch && !Set(control, "Watch", CVariant::Bool(TRUE), error)) return false;
    return true;
}

int32_t CountFrames(const std::string& dir, const std::string& base) {
    std::error_code ec;
    int32_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (StartsWithNoCase(name, base) && EndsWithNoCase(name, ".jpg")) ++n;
    }
    return n;
}

void WarnIfNoFrames(const PlayOptions& o) {
    const std::string base = o.base.value_or("");
    if (CountFrames(o.dir, base) > 0) return;
    std::fprintf(stderr,
                 "movitrel: warning: no frames (%s*.jpg) in %s; the control shows its "
                 "background\n",
                 base.c_str(), o.dir.c_str());
}

bool HaveDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

std::string CacheFolder(const std::string& leaf) {
    namespace fs = std::filesystem;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        return (fs::path(xdg) / "movitrel" / leaf).string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".cache" / "movitrel" / leaf).string();
    std::error_code ec;
    return (fs::temp_directory_path(ec) / "movitrel" / leaf).string();
}

const char* CommandName(int32_t command) {
    switch (command) {
        case kCommandNone:
            return "no action";
        case kCommandPlay:
            return "play";
        case kCommandRplay:
            return "reverse play";
        case kCommandFf:
            return "fast forward";
        case kCommandRew:
            return "rewind";
        case kCommandStepFor:
            return "step forward";
        case kCommandStepBack:
            return "step back";
        case kCommandStop:
            return "stop";
        default:
            return "unknown";
    }
}
