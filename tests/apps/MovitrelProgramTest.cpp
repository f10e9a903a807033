// The movitrel program from outside: the automate protocol through pipes, and what the
// command line answers to bad input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "codecs/JpegImpl.h"
#include "image/ImageFormats.h"
#include "tests/support/ModulePath.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr int32_t kGenerousMs = 20000;
constexpr int32_t kFrames = 10;

// A child process with its standard streams on pipes.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        int in[2], out[2], err[2];
        if (pipe(in) || pipe(out) || pipe(err)) return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            // Fallback renders and the program's registry land in the test's folder, not
            // the user's.
            setenv("XDG_CACHE_HOME", (TestTmp() + "/cache").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (TestTmp() + "/config").c_str(), 1);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(MOVITREL_PROGRAM));
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(MOVITREL_PROGRAM, argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        m_in = in[1];
        m_out = out[0];
        m_err = err[0];
    }
    ~Child() {
        CloseInput();
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        close(m_err);
    }

    void Send(const std::string& line) {
        std::string l = line + "\n";
        ASSERT_EQ(write(m_in, l.data(), l.size()), ssize_t(l.size()));
    }
    void SendJson(const json& request) { Send(request.dump()); }
    void CloseInput() {
        if (m_in >= 0) close(m_in);
        m_in = -1;
    }

    // The next line of standard output; empty on end of stream or after the deadline.
    std::string ReadLine() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
        for (;;) {
            if (auto nl = m_buffer.find('\n'); nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) return {};
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, int(left)) <= 0) continue;
            char chunk[4096];
            const ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0) return {};
            m_buffer.append(chunk, size_t(n));
        }
    }
    json ReadJson() {
        const std::string line = ReadLine();
        EXPECT_FALSE(line.empty()) << "no reply";
        return line.empty() ? json() : json::parse(line);
    }
    // Events until the reply, which is returned; events are appended to *events.
    json Reply(std::vector<json>* events = nullptr) {
        for (;;) {
            json j = ReadJson();
            if (j.is_null() || !j.contains("event")) return j;
            if (events) events->push_back(j);
        }
    }
    // Closes input (unless told to keep it open) and returns the exit status (-1 if it did
    // not end in time).
    int Wait(std::string* errText = nullptr, bool closeInput = true) {
        if (closeInput) CloseInput();
        std::string all = m_buffer;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            pollfd p[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            poll(p, 2, 20);
            char chunk[4096];
            if (p[0].revents & POLLIN) (void)!read(m_out, chunk, sizeof chunk);
            if (p[1].revents & POLLIN) {
                ssize_t n = read(m_err, chunk, sizeof chunk);
                if (n > 0) m_errText.append(chunk, size_t(n));
            }
        }
        m_reaped = true;
        char chunk[4096];
        ssize_t n;
        fcntl(m_err, F_SETFL, O_NONBLOCK);
        while ((n = read(m_err, chunk, sizeof chunk)) > 0) m_errText.append(chunk, size_t(n));
        if (errText) *errText = m_errText;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    bool m_reaped = false;
    std::string m_buffer;
    std::string m_errText;
};

class MovitrelProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::path(TestTmp()) / "frames";
        s_three = fs::path(TestTmp()) / "three";
        s_empty = fs::path(TestTmp()) / "empty";
        fs::create_directories(s_empty);
        WriteFrames(s_dir, kFrames);
        WriteFrames(s_three, 3);
    }
    static void WriteFrames(const fs::path& dir, int32_t count) {
        fs::create_directories(dir);
        for (int32_t i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%03d.jpg", int(i));
            const std::string path = (dir / name).string();
            CJpegImpl jpeg(path);
            ASSERT_NE(jpeg.Create(32, 24, 24, kColorTypeColor), 0);
            for (int32_t y = 0; y < 24; ++y)
                for (int32_t x = 0; x < 32 * 3; ++x) jpeg.PictureRow(y)[x] = BYTE(20 * i + x);
            ASSERT_TRUE(jpeg.Write(path));
        }
    }
    // Sends request every 50 ms until check holds for its reply or the generous deadline
    // passes; the last reply. Events read on the way are appended to *events.
    static json PollUntil(Child& c, const json& request,
                          const std::function<bool(const json&)>& check,
                          std::vector<json>* events) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
        for (;;) {
            c.SendJson(request);
            json r = c.Reply(events);
            if (r.is_null() || check(r) || std::chrono::steady_clock::now() > deadline) return r;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    static inline fs::path s_dir, s_three, s_empty;
};

// Button row of a 400 by 300 control: y 280 to 299, strip from x 110, 20 pixels a button.
constexpr int32_t kButtonY = 290;
constexpr int32_t kPlayX = 140;

}  // namespace

TEST_F(MovitrelProgram, AutomateAnswersEveryRequestInOrder) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "get"}, {"name", "Dir"}, {"id", 1}});
    json r = c.Reply();
    EXPECT_EQ(r["ok"], false);
    EXPECT_EQ(r["id"], 1);
    EXPECT_NE(r["error"].get<std::string>().find("create"), std::string::npos);

    c.SendJson(json{{"op", "create"}, {"width", 400}, {"height", 300}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Delay"}, {"value", 250}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "get"}, {"name", "Delay"}});
    EXPECT_EQ(c.Reply()["value"], 250);
    c.SendJson(json{{"op", "get"}, {"name", 4}});  // Delay by DISPID
    EXPECT_EQ(c.Reply()["value"], 250);
    c.SendJson(json{{"op", "get"}, {"name", "Loop"}});
    EXPECT_EQ(c.Reply()["value"], false);

    c.Send("this is not JSON");
    r = c.Reply();
    EXPECT_EQ(r["ok"], false);
    EXPECT_NE(r["error"].get<std::string>().find("bad JSON"), std::string::npos);
    c.SendJson(json{{"op", "set"}, {"name", "Nothing"}, {"value", 1}});
    EXPECT_EQ(c.Reply()["error"], "Nothing: unknown name");
    c.SendJson(json{{"op", "set"}, {"name", "Delay"}, {"value", "later"}});
    EXPECT_EQ(c.Reply()["ok"], false);
    c.SendJson(json{{"op", "fly"}});
    EXPECT_EQ(c.Reply()["ok"], false);
    c.SendJson(json{{"op", "mouse"}, {"kind", "ldown"}});
    EXPECT_EQ(c.Reply()["error"], "missing \"x\"");

    c.SendJson(json{{"op", "call"}, {"name", "AboutBox"}});
    r = c.Reply();
    EXPECT_EQ(r["ok"], true);
    EXPECT_EQ(r["dialogs"][0]["caption"], "About Movitrel Control");
    c.SendJson(json{{"op", "destroy"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    EXPECT_EQ(c.Wait(), 0);
}

TEST_F(MovitrelProgram, AutomatePlaysAndReportsEventsBeforeTheReply) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}, {"width", 400}, {"height", 300}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", s_dir.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Delay"}, {"value", 20}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "wait"}, {"until", "frame"}, {"index", 0}, {"timeout_ms", kGenerousMs}});
    json r = c.Reply();
    EXPECT_EQ(r["ok"], true);
    EXPECT_EQ(r["count"], kFrames);

    std::vector<json> events;
    c.SendJson(json{{"op", "mouse"}, {"kind", "ldown"}, {"x", kPlayX}, {"y", kButtonY}});
    EXPECT_EQ(c.Reply(&events)["ok"], true);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], (json{{"event", "ChangeCommand"}, {"args", {1}}}));

    c.SendJson(json{{"op", "wait"}, {"until", "frame"}, {"index", 3}, {"timeout_ms", kGenerousMs}});
    EXPECT_EQ(c.Reply()["frame"], 3);
    // Without Loop the sequence ends and the command returns to 0 by itself.
    events.clear();
    c.SendJson(json{{"op", "wait"},
                    {"until", "event"},
                    {"name", "ChangeCommand"},
                    {"args", {0}},
                    {"timeout_ms", kGenerousMs}});
    EXPECT_EQ(c.Reply(&events)["ok"], true);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back()["args"][0], 0);

    const fs::path png = fs::path(TestTmp()) / "snap.png";
    c.SendJson(json{{"op", "snapshot"}, {"path", png.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    EXPECT_EQ(ReadText(png.string()).substr(0, 4), "\x89PNG");
    EXPECT_EQ(c.Wait(), 0);
}

// A script that only sets and polls, as scripts do: the program runs the control's loop
// between requests, so the list is scanned, frames are painted and the end of playback is
// noticed without any wait request.
TEST_F(MovitrelProgram, AutomatePlaysBetweenRequestsForAScriptThatOnlyPolls) {
    Child c({"automate", "--headless"});
    std::vector<json> events;
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply(&events)["ok"], true);
    for (const json& set :
         {json{{"name", "Sort"}, {"value", 1}}, json{{"name", "BaseFile"}, {"value", "f"}},
          json{{"name", "Dir"}, {"value", s_three.string()}}}) {
        json request = set;
        request["op"] = "set";
        c.SendJson(request);
        EXPECT_EQ(c.Reply(&events)["ok"], true);
    }
    // The count is known when the scan ends; the first paint follows it.
    json info = PollUntil(
        c, json{{"op", "info"}}, [](const json& r) { return r["count"] == 3 && r["frame"] == 0; },
        &events);
    EXPECT_EQ(info["count"], 3);
    EXPECT_EQ(info["frame"], 0);

    c.SendJson(json{{"op", "set"}, {"name", "Delay"}, {"value", 50}});
    EXPECT_EQ(c.Reply(&events)["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Command"}, {"value", 1}});
    EXPECT_EQ(c.Reply(&events)["ok"], true);
    json command = PollUntil(
        c, json{{"op", "get"}, {"name", "Command"}}, [](const json& r) { return r["value"] == 0; },
        &events);
    EXPECT_EQ(command["value"], 0);
    EXPECT_EQ(events, (std::vector<json>{{{"event", "ChangeCommand"}, {"args", {1}}},
                                         {{"event", "ChangeCommand"}, {"args", {0}}}}));
    c.SendJson(json{{"op", "info"}});
    EXPECT_EQ(c.Reply()["frame"], 2);
    EXPECT_EQ(c.Wait(), 0);
}

// An event that fires while no request runs is written at once, and a wait for it that comes
// after still finds it.
TEST_F(MovitrelProgram, AutomateWritesEventsWhenTheyFireAndWaitsFindThemAfterwards) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Delay"}, {"value", 10}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", s_three.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    std::vector<json> events;
    c.SendJson(json{{"op", "set"}, {"name", "Command"}, {"value", 1}});
    EXPECT_EQ(c.Reply(&events)["ok"], true);
    EXPECT_EQ(events, (std::vector<json>{{{"event", "ChangeCommand"}, {"args", {1}}}}));
    // No request now: the end of playback must come out on its own.
    EXPECT_EQ(c.ReadJson(), (json{{"event", "ChangeCommand"}, {"args", {0}}}));
    c.SendJson(json{{"op", "wait"},
                    {"until", "event"},
                    {"name", "ChangeCommand"},
                    {"args", {0}},
                    {"timeout_ms", 100}});
    EXPECT_EQ(c.Reply()["ok"], true);
    // Only until the next reply: the same event is not found twice.
    c.SendJson(json{{"op", "wait"},
                    {"until", "event"},
                    {"name", "ChangeCommand"},
                    {"args", {0}},
                    {"timeout_ms", 100}});
    EXPECT_EQ(c.Reply()["ok"], false);
    EXPECT_EQ(c.Wait(), 0);
}

// "quit" ends the session although standard input stays open: the reader does not keep the
// program alive.
TEST_F(MovitrelProgram, AutomateQuitEndsTheSessionWithInputStillOpen) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "quit"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    EXPECT_EQ(c.Wait(nullptr, /*closeInput=*/false), 0);
}

// A wait for a frame holds only for a frame of the list of the Dir now set: not for the frame
// the old list showed, nor for frame 0 of a folder without frames.
TEST_F(MovitrelProgram, AutomateFrameWaitsIgnoreTheListANewDirReplaces) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", s_dir.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "wait"}, {"until", "frame"}, {"index", 0}, {"timeout_ms", kGenerousMs}});
    EXPECT_EQ(c.Reply()["count"], kFrames);

    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", s_three.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "wait"}, {"until", "frame"}, {"index", 0}, {"timeout_ms", kGenerousMs}});
    json r = c.Reply();
    EXPECT_EQ(r["ok"], true);
    EXPECT_EQ(r["count"], 3);

    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", s_empty.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "wait"}, {"until", "frame"}, {"index", 0}, {"timeout_ms", 300}});
    r = c.Reply();
    EXPECT_EQ(r["ok"], false);
    EXPECT_EQ(r["frame"], -1);
    EXPECT_EQ(r["count"], 0);
    EXPECT_EQ(c.Wait(), 0);
}

TEST_F(MovitrelProgram, AutomateWaitTimesOutWithAnError) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "wait"}, {"until", "frame"}, {"index", 5}, {"timeout_ms", 100}});
    json r = c.Reply();
    EXPECT_EQ(r["ok"], false);
    EXPECT_NE(r["error"].get<std::string>().find("timeout"), std::string::npos);
    c.SendJson(json{{"op", "wait"}, {"until", "tea"}});
    EXPECT_EQ(c.Reply()["ok"], false);
    EXPECT_EQ(c.Wait(), 0);
}

TEST_F(MovitrelProgram, AutomateSavesLoadsAndResets) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "BaseFile"}, {"value", "f00"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    const fs::path state = fs::path(TestTmp()) / "state.txt";
    c.SendJson(json{{"op", "save"}, {"path", state.string()}});
    json r = c.Reply();
    EXPECT_EQ(r["properties"]["BaseFile"], "f00");
    EXPECT_TRUE(fs::exists(state));
    c.SendJson(json{{"op", "reset"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "get"}, {"name", "BaseFile"}});
    EXPECT_EQ(c.Reply()["value"], "");
    c.SendJson(json{{"op", "load"}, {"path", state.string()}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "get"}, {"name", "BaseFile"}});
    EXPECT_EQ(c.Reply()["value"], "f00");
    c.SendJson(json{{"op", "load"}, {"properties", {{"Delay", "77"}}}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "get"}, {"name", "Delay"}});
    EXPECT_EQ(c.Reply()["value"], 77);
    c.SendJson(json{{"op", "load"}, {"path", "/no/such/file"}});
    EXPECT_EQ(c.Reply()["ok"], false);
    EXPECT_EQ(c.Wait(), 0);
}

// Lines the session cannot read (numbers past a double, nesting past its limit, bytes that
// are not UTF-8, a line past the length limit) each get an error reply, and the program goes
// on and ends as usual.
TEST_F(MovitrelProgram, AutomateAnswersLinesItCannotReadAndGoesOn) {
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    for (const std::string& line :
         {std::string(R"({"op":"info","id":1e400})"), std::string(R"({"op":"info","id":-1e999})"),
          R"({"op":"info","id":)" + deep + "}", std::string("{\"op\":\"caf\xe9\"}"),
          R"({"op":"info","pad":")" + std::string(2 << 20, 'x') + "\"}"}) {
        c.Send(line);
        const json r = c.Reply();
        EXPECT_EQ(r["ok"], false) << line.substr(0, 40);
        EXPECT_TRUE(r["error"].is_string()) << line.substr(0, 40);
    }
    c.SendJson(json{{"op", "info"}, {"id", 5}});
    json r = c.Reply();
    EXPECT_EQ(r["ok"], true);
    EXPECT_EQ(r["id"], 5);
    EXPECT_EQ(c.Wait(), 0);
}

// A Dir that is not UTF-8, as a state file may hold it: get and save give its bytes in the
// hex form, set takes that form back, and a saved file holds the bytes themselves.
TEST_F(MovitrelProgram, AutomateCarriesBytesThatAreNotUtf8) {
    const std::string state = TempPath("latin1.txt");
    const std::string saved = TempPath("latin1-saved.txt");
    ASSERT_TRUE(
        WriteAll(state, {'D', 'i', 'r', '=', '/', 't', 'm', 'p', '/', 'c', 'a', 'f', 0xe9, '\n'}));
    const json cafe = {{"hex", "2f746d702f636166e9"}};
    Child c({"automate", "--headless"});
    c.SendJson(json{{"op", "create"}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "load"}, {"path", state}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "get"}, {"name", "Dir"}});
    EXPECT_EQ(c.Reply()["value"], cafe);
    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", ""}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "set"}, {"name", "Dir"}, {"value", cafe}});
    EXPECT_EQ(c.Reply()["ok"], true);
    c.SendJson(json{{"op", "save"}, {"path", saved}});
    EXPECT_EQ(c.Reply()["properties"]["Dir"], cafe);
    EXPECT_NE(ReadText(saved).find("Dir=/tmp/caf\xe9\n"), std::string::npos);
    EXPECT_EQ(c.Wait(), 0);
}

TEST_F(MovitrelProgram, BadCommandLinesExitWithStatusTwo) {
    {
        Child c({"play", "/no/such/folder"});
        std::string err;
        EXPECT_EQ(c.Wait(&err), 2);
        EXPECT_NE(err.find("/no/such/folder"), std::string::npos);
    }
    {
        Child c({"play", s_dir.string(), "--sort", "bogus"});
        std::string err;
        EXPECT_EQ(c.Wait(&err), 2);
        EXPECT_NE(err.find("--sort"), std::string::npos);
    }
    {
        Child c({"render", s_dir.string(), "--frames", "2"});  // no --out
        EXPECT_EQ(c.Wait(), 2);
    }
    for (const char* sub : {"play", "demo", "render", "automate", "regsvr"}) {
        Child c({sub, "--help"});
        EXPECT_EQ(c.Wait(), 0) << sub;
    }
}

TEST_F(MovitrelProgram, VersionIsTheProjectsOwn) {
    Child c({"--version"});
    EXPECT_EQ(c.ReadLine(), std::string("movitrel ") + MOVITREL_VERSION);
    EXPECT_EQ(c.Wait(), 0);
}

TEST_F(MovitrelProgram, RenderWritesOnePngPerPaint) {
    const fs::path out = fs::path(TestTmp()) / "render";
    Child c({"render", s_dir.string(), "--sort", "number", "--delay", "10", "--frames", "5",
             "--out", out.string()});
    EXPECT_EQ(c.Wait(), 0);
    int32_t pngs = 0;
    for (const auto& e : fs::directory_iterator(out)) pngs += e.path().extension() == ".png";
    EXPECT_EQ(pngs, 5);
}

TEST_F(MovitrelProgram, EmptyFolderWarnsAndStillRenders) {
    const fs::path out = fs::path(TestTmp()) / "render-empty";
    Child c({"render", s_empty.string(), "--frames", "2", "--out", out.string()});
    std::string err;
    EXPECT_EQ(c.Wait(&err), 0);
    EXPECT_NE(err.find("warning"), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "paint0002.png"));
}

TEST_F(MovitrelProgram, PlayWithoutADisplayFallsBackToPngFiles) {
    Child c({"play", s_dir.string(), "--delay", "10", "--loop"});
    std::string err;
    EXPECT_EQ(c.Wait(&err), 0);
    // Why it falls back depends on the build: no display, or no Qt container at all.
    EXPECT_TRUE(err.find("no display") != std::string::npos ||
                err.find("without the Qt container") != std::string::npos)
        << err;
    EXPECT_NE(err.find("play-snapshots"), std::string::npos);
    EXPECT_TRUE(fs::exists(fs::path(TestTmp()) / "cache/movitrel/play-snapshots/paint0030.png"));
}

// ---- The module and the program's registry --------------------------------------------------

namespace {

constexpr const char* kControlKey =
    "[HKEY_CLASSES_ROOT\\CLSID\\{FA502BD9-A409-47D6-B9B2-38AD1896D1DE}]";

}  // namespace

TEST_F(MovitrelProgram, RegsvrWritesAndRemovesTheModulesClasses) {
    const fs::path reg = fs::path(TestTmp()) / "regsvr" / "registry.reg";
    {
        Child c({"regsvr", MOVITREL_MODULE_FILE, "--registry", reg.string()});
        EXPECT_EQ(c.Wait(), 0);
    }
    const std::string written = ReadText(reg);
    EXPECT_NE(written.find(kControlKey), std::string::npos) << written;
    EXPECT_NE(written.find("[HKEY_CLASSES_ROOT\\MOVITREL.MovitrelCtrl.1\\CLSID]"),
              std::string::npos);
    EXPECT_NE(written.find(std::string("@=\"") + CanonicalModulePath()), std::string::npos)
        << written;
    {
        Child c({"regsvr", "/u", MOVITREL_MODULE_FILE, "--registry", reg.string()});
        EXPECT_EQ(c.Wait(), 0);
    }
    const std::string removed = ReadText(reg);
    EXPECT_EQ(removed.find(kControlKey), std::string::npos) << removed;
    EXPECT_EQ(removed.find("MOVITREL.MovitrelCtrl.1"), std::string::npos) << removed;
    EXPECT_EQ(removed.find("InprocServer32"), std::string::npos) << removed;
    {
        Child c(
            {"regsvr", (fs::path(TestTmp()) / "missing.OCX").string(), "--registry", reg.string()});
        std::string err;
        EXPECT_EQ(c.Wait(&err), 1);
        EXPECT_NE(err.find("cannot be loaded"), std::string::npos) << err;
    }
}

TEST_F(MovitrelProgram, ContainersRegisterTheModuleOnFirstUseAndMendAStaleRegistry) {
    const fs::path reg = fs::path(TestTmp()) / "config" / "movitrel" / "registry.reg";
    fs::remove(reg);
    const fs::path out = fs::path(TestTmp()) / "render-registry";
    {
        Child c({"render", s_dir.string(), "--frames", "1", "--out", out.string()});
        EXPECT_EQ(c.Wait(), 0);
    }
    const std::string first = ReadText(reg);
    EXPECT_NE(first.find("MOVITREL.MovitrelCtrl.1"), std::string::npos) << first;

    // The module moved: the registry names a file that is gone.
    const std::string module = CanonicalModulePath();
    std::string stale = first;
    for (size_t at = stale.find(module); at != std::string::npos; at = stale.find(module, at))
        stale.replace(at, module.size(), "/gone/MOVITREL.OCX");
    std::ofstream(reg) << stale;
    {
        Child c({"render", s_dir.string(), "--frames", "1", "--out", out.string()});
        EXPECT_EQ(c.Wait(), 0);
    }
    const std::string mended = ReadText(reg);
    EXPECT_EQ(mended.find("/gone/"), std::string::npos);
    EXPECT_NE(mended.find(module), std::string::npos);
}

// Another installation's module, present and loadable, named in the registry: the program
// registers its own again rather than run another version's control.
TEST_F(MovitrelProgram, ContainersRegisterTheirOwnModuleOverAnotherInstallations) {
    const fs::path reg = fs::path(TestTmp()) / "config" / "movitrel" / "registry.reg";
    const fs::path out = fs::path(TestTmp()) / "render-other";
    {
        Child c({"render", s_dir.string(), "--frames", "1", "--out", out.string()});
        ASSERT_EQ(c.Wait(), 0);
    }
    const std::string module = CanonicalModulePath();
    const fs::path other = fs::path(TestTmp()) / "other-install" / "lib" / "movitrel";
    fs::create_directories(other);
    fs::copy_file(module, other / "MOVITREL.OCX", fs::copy_options::overwrite_existing);
    std::string text = ReadText(reg);
    for (size_t at = text.find(module); at != std::string::npos; at = text.find(module, at))
        text.replace(at, module.size(), (other / "MOVITREL.OCX").string());
    std::ofstream(reg) << text;
    {
        Child c({"render", s_dir.string(), "--frames", "1", "--out", out.string()});
        EXPECT_EQ(c.Wait(), 0);
    }
    const std::string after = ReadText(reg);
    EXPECT_EQ(after.find("other-install"), std::string::npos) << after;
    EXPECT_NE(after.find(module), std::string::npos);
}
