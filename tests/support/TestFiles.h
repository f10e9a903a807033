// Scratch files of a test process: paths in its own folder (TestTmp.h), folders of the running
// test, and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/TestTmp.h"

// A path for name in the process's scratch folder, which exists.
inline std::string TempPath(const std::string& name) {
    std::filesystem::create_directories(TestTmp());
    return TestTmp() + "/" + name;
}

// "<suite>.<test>" of the running test, for scratch names no other test shares.
inline std::string TestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// An empty folder of the running test in the scratch folder.
inline std::string FreshDir(const std::string& leaf = "frames") {
    std::string dir = TestTmp() + "/" + TestName() + "/" + leaf;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The whole file as bytes (std::vector<uint8_t>, the default) or as text (std::string); empty
// when it cannot be read.
template <class Bytes = std::vector<uint8_t>>
inline Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::string& path) {
    return ReadAll<std::string>(path);
}

// The process's open descriptors; -1 where the system offers no count (Windows, Wine).
inline long OpenFileCount() {
#ifdef _WIN32
    return -1;
#else
    return long(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                              std::filesystem::directory_iterator()));
#endif
}

// Creates or replaces the file; whether it was written whole.
inline bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    // data() of an empty vector may be null, which write must not be handed.
    if (!bytes.empty()) {
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    out.close();
    return !out.fail();
}
