// Scratch files of a test process: paths in its own folder (TestTmp.h) and whole-file reads
// and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestTmp.h"

// A path for name in the process's scratch folder, which exists.
inline std::string TempPath(const std::string& name) {
    std::filesystem::create_directories(TestTmp());
    return TestTmp() + "/" + name;
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
