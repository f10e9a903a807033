// movitrel: plays a directory of JPEG frames in the control, makes and plays a demo, renders
// paints to PNG files, exports the frames as an animated GIF, lets a script drive the control
// over JSON lines, or describes and converts image files.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <map>

#include "apps/MovitrelApp.h"
#include "apps/ProgramControl.h"
#include "framework/Registry.h"

namespace {

constexpr int32_t kUsageError = 2;
constexpr int32_t kFallbackPaints = 30;

void AddControlOptions(CLI::App* cmd, PlayOptions& o) {
    static const std::map<std::string, int16_t> kSorts{{"none", 0}, {"number", 1}, {"time", 2}};
    cmd->add_option("--base", o.base, "file-name prefix of the frames (default: every .jpg)");
    cmd->add_option("--sort", o.sort, "frame order: none, number (in the name) or time (created)")
        ->transform(CLI::CheckedTransformer(kSorts, CLI::ignore_case));
    cmd->add_option("--delay", o.delay, "milliseconds between frames (default 500)")
        ->check(CLI::Range(0, 3600000));
    cmd->add_flag("--loop", o.loop, "start over after the last frame");
    cmd->add_flag("--maximize", o.maximize, "enlarge small frames to fill the picture");
    cmd->add_flag("--bounce", o.bounce,
                  "with --loop, turn round at either end instead of wrapping");
    cmd->add_option("--dwell", o.dwell, "with --loop, extra milliseconds on the last frame")
        ->check(CLI::Range(0, 3600000));
    cmd->add_option("--cache", o.cacheMb, "megabytes for decoded frames (0: none)")
        ->check(CLI::Range(0, 65536));
    cmd->add_flag("--watch", o.watch, "follow the directory as frames arrive");
    cmd->add_flag("--decode-to-fit", o.decodeToFit,
                  "decode frames that are shown smaller at a smaller size (faster, less memory)");
    cmd->add_option("--state", o.stateFile,
                    "load the control's saved properties from FILE before the options apply "
                    "(play and demo save them there on quit)");
    cmd->add_option("--width", o.width, "width of the control in pixels")
        ->check(CLI::Range(16, 8192));
    cmd->add_option("--height", o.height, "height of the control in pixels")
        ->check(CLI::Range(16, 8192));
}

}  // namespace

int32_t RunPlay(const PlayOptions& options, const char* what, int argc, char** argv) {
#ifdef MOVITREL_HAVE_QT
    if (HaveDisplay()) return RunPlayWindow(options, argc, argv);
    const char* why = "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
#else
    const char* why = "this movitrel was built without the Qt container";
#endif
    const std::string out = CacheFolder(std::string(what) + "-snapshots");
    std::fprintf(stderr, "movitrel: %s; rendering the first %d paints as PNG files into %s\n", why,
                 int(kFallbackPaints), out.c_str());
    return RunRender(options, kFallbackPaints, out);
}

int main(int argc, char** argv) {
    CLI::App app{"movitrel: plays the JPEG frames of a directory as an animation"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "help for every subcommand");
    app.set_version_flag("--version", std::string("movitrel ") + MOVITREL_VERSION);

    PlayOptions play;
    CLI::App* playCmd = app.add_subcommand("play", "play the frames of DIR in a window");
    playCmd->add_option("DIR", play.dir, "folder of .jpg frames")
        ->required()
        ->check(CLI::ExistingDirectory);
    AddControlOptions(playCmd, play);
    playCmd->add_option("--screenshot", play.screenshot,
                        "save the window as a PNG file after a few frames, then quit");

    PlayOptions demo;
    CLI::App* demoCmd = app.add_subcommand(
        "demo", "make a sample animation (once, in the cache folder) and play it");
    demo.delay = 60;
    demo.loop = true;
    AddControlOptions(demoCmd, demo);
    demoCmd->add_option("--screenshot", demo.screenshot,
                        "save the window as a PNG file after a few frames, then quit");

    PlayOptions render;
    int32_t frames = 0;
    std::string outDir;
    CLI::App* renderCmd = app.add_subcommand(
        "render", "play DIR without a window and write each paint as a PNG file");
    renderCmd->add_option("DIR", render.dir, "folder of .jpg frames")
        ->required()
        ->check(CLI::ExistingDirectory);
    AddControlOptions(renderCmd, render);
    renderCmd->add_option("--frames", frames, "number of paints to write")
        ->required()
        ->check(CLI::Range(1, 1000000));
    renderCmd->add_option("--out", outDir, "folder for the PNG files (made when missing)")
        ->required();

    bool headless = false;
    CLI::App* automateCmd = app.add_subcommand(
        "automate", "drive one control with JSON lines on standard input and output");
    automateCmd->add_flag("--headless", headless, "use the container without a window");

    ExportOptions exportOptions;
    CLI::App* exportCmd = nullptr;
    AddExportCommand(app, exportOptions, &exportCmd);

    ImageCommands image;
    AddImageCommands(app, image);

    std::string module;
    bool unregister = false;
    std::string registry;
    CLI::App* regsvrCmd = app.add_subcommand(
        "regsvr", "register a module's classes in a registry file (or remove them with /u)");
    regsvrCmd->add_flag("-u,--unregister", unregister, "remove the classes instead (also /u)");
    regsvrCmd->add_option("MODULE", module, "the module, e.g. MOVITREL.OCX")->required();
    regsvrCmd->add_option("--registry", registry,
                          "the registry file (default: the program's own, which play, demo, "
                          "render and automate read)");

    // regsvr takes the registration tool's "/u"; other words starting with a slash are paths.
    static char unregisterFlag[] = "--unregister";
    for (int i = 2; i < argc && std::string(argv[1]) == "regsvr"; ++i) {
        if (std::string(argv[i]) == "/u" || std::string(argv[i]) == "/U") argv[i] = unregisterFlag;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int32_t status = app.exit(e);
        return status == 0 ? 0 : kUsageError;
    }

    if (auto status = RunImageCommand(image)) return *status;
    if (*exportCmd) return RunExport(exportOptions);
    // The program's registry file is the process's: pages and controls are found there.
    SetRegistryFile(ProgramRegistryFile());

    if (*playCmd) {
        WarnIfNoFrames(play);
        return RunPlay(play, "play", argc, argv);
    }
    if (*demoCmd) {
        std::string error;
        auto dir = EnsureDemoFrames(&error);
        if (!dir) {
            std::fprintf(stderr, "movitrel: cannot make the demo: %s\n", error.c_str());
            return 1;
        }
        demo.dir = *dir;
        if (!demo.base) demo.base = kDemoPrefix;
        if (!demo.sort) demo.sort = 1;
        return RunPlay(demo, "demo", argc, argv);
    }
    if (*renderCmd) return RunRender(render, frames, outDir);
    if (*automateCmd) return RunAutomate(headless, argc, argv);
    if (*regsvrCmd) return RunRegsvr(module, unregister, registry);
    return kUsageError;
}
