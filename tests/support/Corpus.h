// The regression corpus in tests/data: one file a row, its expected outcome the last part of
// its name ("truncated.jpg.fail", "small.gif.4x3", "old.state.refused"), so that a new finding
// is a file dropped into its folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

struct CorpusFile {
    std::string path;
    std::string subject;  // the name without its outcome: what the file stands for
    std::string outcome;  // empty when the name gives none
};

inline std::string CorpusFolder(const std::string& leaf) {
    return std::string(MOVITREL_TEST_DATA_DIR) + "/" + leaf;
}

// The files of a corpus folder, by name; none when it is missing or empty.
inline std::vector<CorpusFile> CorpusFiles(const std::string& leaf) {
    std::vector<CorpusFile> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder(leaf), error)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const size_t dot = name.rfind('.');
        CorpusFile file{entry.path().generic_string(), name, ""};
        if (dot != std::string::npos && dot > 0) {
            file.subject = name.substr(0, dot);
            file.outcome = name.substr(dot + 1);
        }
        files.push_back(file);
    }
    std::sort(files.begin(), files.end(),
              [](const CorpusFile& a, const CorpusFile& b) { return a.path < b.path; });
    return files;
}

// A row's name in the test list: the file's name with what GoogleTest refuses as '_'.
inline std::string CorpusRowName(const ::testing::TestParamInfo<CorpusFile>& row) {
    std::string name = std::filesystem::path(row.param.path).filename().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

inline void PrintTo(const CorpusFile& file, std::ostream* out) {
    *out << file.path;
}
