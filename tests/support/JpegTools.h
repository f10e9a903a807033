// libjpeg's own command-line tools (cjpeg, djpeg, jpegtran), the JPEG tests' oracle. On Linux
// they are the system's; on Windows, those built with the cross-built libjpeg-turbo (the source
// of the installed Linux package), run through the command shell.
#pragma once

#include <cstdlib>
#include <string>

// Runs "tool arguments" with its diagnostics discarded; 0 when the tool succeeded.
inline int RunJpegTool(const std::string& commandLine) {
#ifdef _WIN32
    std::string tools = MOVITREL_JPEG_TOOLS;
    for (char& c : tools) {
        if (c == '/') c = '\\';  // the shell reads a slash in a program's path as a switch
    }
    return std::system((tools + "\\" + commandLine + " 2>NUL").c_str());
#else
    return std::system((commandLine + " 2>/dev/null").c_str());
#endif
}
