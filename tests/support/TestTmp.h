// A scratch folder for the test process. ctest runs every test in a process of its own and
// several at once, so files with fixed names must not be shared between processes.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline const std::string& TestTmp() {
    // Never destroyed: the exit handler below still needs it.
    static const std::string* const dir = [] {
        auto* path =
            new std::string(std::string(MOVITREL_TEST_TMP_ROOT) + "/" + std::to_string(getpid()));
        std::filesystem::remove_all(*path);  // left by an earlier process with this number
        std::filesystem::create_directories(*path);
        if (!std::getenv("MOVITREL_KEEP_TEST_TMP")) {
            std::atexit([] {
                std::error_code ignored;
                std::filesystem::remove_all(TestTmp(), ignored);
            });
        }
        return path;
    }();
    return *dir;
}
