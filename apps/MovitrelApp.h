// The movitrel program's subcommands and what they share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class COleControl;

// What play, demo and render take from the command line. Unset options leave the control's
// value (its default, or what --state loaded).
struct PlayOptions {
    std::string dir;
    std::optional<std::string> base;
    std::optional<int16_t> sort;
    std::optional<int32_t> delay;
    bool loop = false;
    bool maximize = false;
    bool bounce = false;
    std::optional<int32_t> dwell;
    std::optional<int32_t> cacheMb;
    bool watch = false;
    bool decodeToFit = false;
    std::string stateFile;
    int32_t width = 640;
    int32_t height = 520;    // a 640x480 frame and the two rows of the strip
    std::string screenshot;  // play only: save the window there after a few frames and quit
};

// What export takes from the command line; the defaults are the control's.
struct ExportOptions {
    std::string dir;
    std::string out;
    std::optional<std::string> base;
    std::optional<int16_t> sort;
    int32_t delay = 500;
    int32_t dwell = 0;
    int32_t repeat = 0;
    bool bounce = false;
    int32_t width = 0;  // 0: the first frame's size
    int32_t height = 0;
    bool maximize = false;
    std::string backgroundText;  // RRGGBB as given
    uint32_t background = 0;     // a COLORREF: the control's PictureBackColor, black
    bool decodeToFit = false;
    int32_t first = 0;
    std::optional<int32_t> count;
    int32_t threads = 0;  // 0: one per processor
    bool noOptimize = false;
};

// Loads --state (when the file exists) and then sets the options given; FALSE with a message
// when the state file cannot be read.
bool InitControl(COleControl& control, const PlayOptions& options, std::string* error);
// Frames the control would find: names starting with base (any case) ending in ".jpg".
int32_t CountFrames(const std::string& dir, const std::string& base);
// Warns on standard error when the directory holds no frames for the prefix.
void WarnIfNoFrames(const PlayOptions& options);
bool HaveDisplay();
// $XDG_CACHE_HOME/movitrel/<leaf>, or ~/.cache/movitrel/<leaf>, or a temporary folder.
std::string CacheFolder(const std::string& leaf);
const char* CommandName(int32_t command);

// Subcommands; each returns the process's exit status.
int32_t RunRender(const PlayOptions& options, int32_t frames, const std::string& outDir);
// Falls back to RunRender into a named folder when there is no display or no Qt.
int32_t RunPlay(const PlayOptions& options, const char* what, int argc, char** argv);
int32_t RunAutomate(bool headless, int argc, char** argv);
// Writes the animated GIF; 1 with a message when there are no frames or OUT cannot be written.
int32_t RunExport(ExportOptions& options);
// Registers (or, with unregister, removes) the module's classes in registry, or in the
// program's own registry file when registry is empty.
int32_t RunRegsvr(const std::string& module, bool unregister, std::string registry);
// Qt versions, only present when the program is built with the Qt container.
int32_t RunPlayWindow(const PlayOptions& options, int argc, char** argv);
int32_t RunAutomateWindow(int argc, char** argv);

// The demo animation: makes it under the cache folder when it is missing or incomplete;
// returns the folder, or nothing with a message.
std::optional<std::string> EnsureDemoFrames(std::string* error);
// Writes the demo's frames into dir (which must exist); FALSE with a message on failure.
bool WriteDemoFrames(const std::string& dir, int32_t count, int32_t width, int32_t height,
                     std::string* error);
constexpr const char* kDemoPrefix = "demo";
constexpr int32_t kDemoFrameCount = 72;
constexpr int32_t kDemoWidth = 640;
constexpr int32_t kDemoHeight = 480;

namespace CLI {
class App;
}
// "image info FILE" and "image convert IN OUT": the options are bound to the fields, so the
// object stays in place until the command has run.
struct ImageCommands {
    CLI::App* info = nullptr;
    CLI::App* convert = nullptr;
    std::string in;
    std::string out;
    int32_t jpegQuality = 0;  // 0: the JPEG writer's own
};
void AddImageCommands(CLI::App& app, ImageCommands& commands);
// "export DIR OUT.gif": the options are bound to the fields of options.
void AddExportCommand(CLI::App& app, ExportOptions& options, CLI::App** command);
// The exit status of the image command given on the command line; nothing when none was.
std::optional<int32_t> RunImageCommand(const ImageCommands& commands);
