// Running programs from the tests: a child to its end with its output kept, and PIL (through
// tests/apps/pil_pixels.py) as an independent decoder of the pictures and animations made.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

extern char** environ;

constexpr auto kProgramDeadline = std::chrono::seconds(120);
inline const char* const kPython = "/usr/bin/python3";  // the interpreter python3-pil belongs to

struct Outcome {
    int status = -1;  // exit status; -1 when killed or not started
    std::string out;
    std::string err;
};

// Runs a program to its end with its output in files, polling for the end until a generous
// deadline. Each of setEnv ("NAME=value") replaces or adds one variable of the environment.
inline Outcome RunProgram(const std::vector<std::string>& args,
                          const std::vector<std::string>& setEnv = {}) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& set : setEnv) {
            replaced =
                replaced || entry.compare(0, set.find('=') + 1, set, 0, set.find('=') + 1) == 0;
        }
        if (!replaced) environment.push_back(entry);
    }
    environment.insert(environment.end(), setEnv.begin(), setEnv.end());
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    static int serial = 0;
    const std::string base = TestTmp() + "/run" + std::to_string(++serial);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, (base + ".out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, (base + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    Outcome outcome;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << args[0];
        return outcome;
    }
    const auto deadline = std::chrono::steady_clock::now() + kProgramDeadline;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << args[0] << " did not end in time";
            return outcome;
        }
        poll(nullptr, 0, 10);
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadText(base + ".out");
    outcome.err = ReadText(base + ".err");
    return outcome;
}

inline std::string PilHelper() {
    return (std::filesystem::path(MOVITREL_SOURCE_DIR) / "tests" / "apps" / "pil_pixels.py")
        .string();
}

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first
};

// "WIDTH HEIGHT" and then a row of hex a line, as pil_pixels.py prints a picture.
inline Pixels ReadPilPixels(std::istream& in) {
    Pixels p;
    in >> p.width >> p.height;
    for (int y = 0; y < p.height; ++y) {
        std::string row;
        in >> row;
        for (size_t i = 0; i + 1 < row.size(); i += 2) {
            p.rgb.push_back(uint8_t(std::stoi(row.substr(i, 2), nullptr, 16)));
        }
    }
    EXPECT_EQ(p.rgb.size(), size_t(p.width) * size_t(p.height) * 3);
    return p;
}

// The same size and every pixel the same; the first that differs, when one does.
inline ::testing::AssertionResult SamePixels(const Pixels& expected, const Pixels& actual) {
    if (expected.width != actual.width || expected.height != actual.height) {
        return ::testing::AssertionFailure()
               << "size " << actual.width << " x " << actual.height << ", expected "
               << expected.width << " x " << expected.height;
    }
    for (size_t i = 0; i < expected.rgb.size() && i < actual.rgb.size(); ++i) {
        if (expected.rgb[i] == actual.rgb[i]) continue;
        const size_t pixel = i / 3;
        return ::testing::AssertionFailure()
               << "pixel (" << pixel % size_t(expected.width) << ", "
               << pixel / size_t(expected.width) << ") channel " << i % 3 << " is "
               << int(actual.rgb[i]) << ", expected " << int(expected.rgb[i]);
    }
    return ::testing::AssertionSuccess();
}

// One interpreter for several files: starting it is the slow part.
inline std::vector<Pixels> DecodedByPil(const std::vector<std::string>& paths) {
    std::vector<std::string> args{kPython, PilHelper(), "pixels"};
    args.insert(args.end(), paths.begin(), paths.end());
    const Outcome run = RunProgram(args);
    EXPECT_EQ(run.status, 0) << "PIL cannot decode " << paths.front() << "...: " << run.err;
    std::vector<Pixels> decoded;
    std::istringstream in(run.out);
    for (size_t f = 0; f < paths.size(); ++f) decoded.push_back(ReadPilPixels(in));
    return decoded;
}

inline Pixels DecodedByPil(const std::string& path) {
    return DecodedByPil(std::vector<std::string>{path}).front();
}

// An animated GIF as PIL shows it: every frame composed, with its duration.
struct PilAnimation {
    int loop = -1;               // the loop extension's count; -1 without one
    std::vector<int> durations;  // milliseconds
    std::vector<Pixels> frames;
};

inline PilAnimation AnimationByPil(const std::string& path) {
    const Outcome run = RunProgram({kPython, PilHelper(), "frames", path});
    EXPECT_EQ(run.status, 0) << "PIL cannot decode " << path << ": " << run.err;
    PilAnimation animation;
    std::istringstream in(run.out);
    size_t count = 0;
    in >> count >> animation.loop;
    for (size_t f = 0; f < count && in; ++f) {
        int duration = 0;
        in >> duration;
        animation.durations.push_back(duration);
        animation.frames.push_back(ReadPilPixels(in));
    }
    return animation;
}
