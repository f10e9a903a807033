// Long randomised runs of the control against its worker thread, and the faults they found.
//
// The stress run drives one hosted control with property sets, button clicks, slider drags,
// clicks in the picture, resizes, paints, pumps and window (and control) re-creation, chosen
// by a seeded generator. Every operation's events are compared with what the control's state
// before it calls for; only an end of playback noticed by a paint may follow them. Waits on the
// worker have deadlines, and a watchdog ends the process with the seed and the last operation
// when a blocking call (destroying the window waits for the worker) never returns.
//
//   MOVITREL_STRESS_SEED=<n>  replays one sequence of operations (the threads still interleave
//                             as they will); the seed in use is printed.
//   MOVITREL_STRESS_OPS=<n>   operations per run (default 2500).
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "playback/Commands.h"
#include "tests/control/ControlFixture.h"
#include "tests/support/MovitrelCtrlProbe.h"

namespace control_test {
namespace {

using Log = std::vector<std::string>;

// The control's inner state, which decides what an operation must fire.
class CStressProbe {
public:
    explicit CStressProbe(const CMovitrelCtrl& ctrl) : m_ctrl(ctrl) {}
    int16_t CommandNow() const { return CMovitrelCtrlProbe::Command(m_ctrl); }
    int32_t PauseState() const { return int32_t(CMovitrelCtrlProbe::Pause(m_ctrl)); }
    BOOL LoopRaw() const { return CMovitrelCtrlProbe::Loop(m_ctrl); }
    BOOL Dragging() const { return CMovitrelCtrlProbe::Dragging(m_ctrl); }
    int32_t PaintedIndex() const { return CMovitrelCtrlProbe::PaintedIndex(m_ctrl); }
    int32_t PaintedCount() const { return CMovitrelCtrlProbe::PaintedCount(m_ctrl); }

private:
    const CMovitrelCtrl& m_ctrl;
};

// A container that can hold back the paints Refresh asks for until its next pump, so that a
// test decides when the control looks at what the worker did.
class CDeferringSite : public CHeadlessSite {
public:
    using CHeadlessSite::CHeadlessSite;
    void RedrawControlNow() override {
        if (deferPaints) {
            InvalidateControl(nullptr);
        } else {
            CHeadlessSite::RedrawControlNow();
        }
    }
    bool deferPaints = false;
};

// ---- The events an operation must fire ----------------------------------------------------

struct Before {
    int16_t command;
    int32_t pause;  // 0 running, 1 paused, 2 single step, 3 slider drag
    BOOL loop;      // raw: a click stores 1, automation -1
    BOOL dragging;
};

std::string CommandEvent(int32_t c) {
    return "ChangeCommand(" + std::to_string(c) + ")";
}
std::string PauseEvent(bool on) {
    return on ? "ChangePause(true)" : "ChangePause(false)";
}
std::string LoopEvent(bool on) {
    return on ? "ChangeLoop(true)" : "ChangeLoop(false)";
}
const char* const kBoundCommand = "Bound(3)";
const char* const kBoundSort = "Bound(11)";

bool IsStep(int32_t c) {
    return c == 5 || c == 6;
}

Log AfterCommand(const Before& s, int16_t c) {
    if (c == s.command && !IsStep(c)) return {};
    Log log;
    if (c == 7 && s.loop) log.push_back(LoopEvent(false));
    if (IsStep(c)) {
        if (s.pause != 2) log.push_back(PauseEvent(true));
    } else if (s.pause != 0) {
        log.push_back(PauseEvent(false));
    }
    log.push_back(CommandEvent(c));
    return log;
}

Log AfterPause(const Before& s, BOOL v) {
    if ((s.pause != 0) == (v != 0) || s.command == 0) return {};
    Log log;
    if (s.pause == 2 && v == 0) log.push_back(CommandEvent(s.command == 5 ? 1 : 2));
    log.push_back(PauseEvent(v != 0));
    return log;
}

Log AfterLoop(const Before& s, BOOL v) {
    if (v == s.loop) return {};
    return {LoopEvent(v != 0)};
}

// Dir, BaseFile or Sort changed: playback stops and starts over.
Log AfterSourceChange(const Before& s) {
    Log log;
    if (s.command != 0) {
        log.push_back(CommandEvent(0));
        log.push_back(kBoundCommand);
    }
    if (s.pause != 0) log.push_back(PauseEvent(false));
    return log;
}

Log AfterSliderPress(const Before& s) {
    Log log{PauseEvent(true)};
    if (s.command == 0) log.push_back(CommandEvent(1));
    return log;
}

Log AfterLButtonUp(const Before& s) {
    return s.dragging ? AfterPause(s, FALSE) : Log{};
}

// What a click on button k (0 to 8, left to right) does.
Log AfterButton(const Before& s, int32_t k) {
    static constexpr int16_t kCommands[] = {2, 1, 7, 6, -1, 5, 4, 3, -1};
    if (k == 4) return AfterPause(s, s.pause != 0 ? FALSE : TRUE);
    if (k == 8) return AfterLoop(s, s.loop == 0 ? TRUE : FALSE);
    return AfterCommand(s, kCommands[k]);
}

std::string Join(const Log& log) {
    std::string text = "[";
    for (size_t i = 0; i < log.size(); ++i) text += (i ? ", " : "") + log[i];
    return text + "]";
}

// ---- Watchdog -----------------------------------------------------------------------------

// Ends the process, naming the seed and the operation, when one operation does not return
// within the deadline: a deadlock in a call that cannot time out by itself.
class Watchdog {
public:
    Watchdog(uint64_t seed, std::chrono::seconds deadline)
        : m_seed(seed), m_deadline(deadline), m_thread([this] { Watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Beat(const std::string& operation) {
        {
            std::lock_guard lock(m_mutex);
            m_operation = operation;
            ++m_beats;
        }
        m_cv.notify_all();
    }

private:
    void Watch() {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            const uint64_t beats = m_beats;
            if (!m_cv.wait_for(lock, m_deadline, [&] { return m_stop || m_beats != beats; })) {
                std::fprintf(stderr,
                             "stress: no progress for %lld s (deadlock?) with seed %llu during "
                             "operation: %s\n",
                             static_cast<long long>(m_deadline.count()),
                             static_cast<unsigned long long>(m_seed), m_operation.c_str());
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    const uint64_t m_seed;
    const std::chrono::seconds m_deadline;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_operation = "(start)";
    uint64_t m_beats = 0;
    bool m_stop = false;
    std::thread m_thread;  // last: starts once the members above exist
};

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 0);
}

// ---- An end of playback that a stop overtook ---------------------------------------------

// The worker reaches the end of the list while the control does not paint; a stop then comes
// before the paint that would notice the end.
class UnseenEndTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        site.reset();
        site = std::make_unique<CDeferringSite>(*ctrl, kWidth, kHeight);
    }
    CDeferringSite& Deferring() { return static_cast<CDeferringSite&>(*site); }

    // Plays three frames to their end with paints held back; true once the worker has
    // signalled the end, which stays pending for the control's next paint.
    bool PlayToAnUnseenEnd() {
        if (!StartWithFrames(3)) return false;
        SetLong("Delay", 0);
        Deferring().deferPaints = true;
        SetShort("Command", kCommandPlay);
        CMovitrelCtrl& worker = *ctrl;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (worker.EndEvent().Wait(50) == WAIT_OBJECT_0) {
                worker.EndEvent().SetEvent();  // only looked at: left for the control
                return true;
            }
        }
        return false;
    }
    // Lets the held-back paint happen.
    void PaintNow() {
        Deferring().deferPaints = false;
        Settle();
    }
};

TEST_F(UnseenEndTest, TheNextPaintEndsPlaybackOnce) {
    ASSERT_TRUE(PlayToAnUnseenEnd());
    EventRecorder heard(*ctrl);
    PaintNow();
    EXPECT_EQ(heard.log, (Log{CommandEvent(0), kBoundCommand}));
    EXPECT_EQ(GetLong("Command"), kCommandNone);
}

TEST_F(UnseenEndTest, AStopBeforeThePaintIsTheOnlyChangeOfCommand) {
    ASSERT_TRUE(PlayToAnUnseenEnd());
    EventRecorder heard(*ctrl);
    SetShort("Command", kCommandNone);
    PaintNow();
    // The end belongs to playback the stop already ended: nothing changes at the paint.
    EXPECT_EQ(heard.log, (Log{CommandEvent(0)}));
    EXPECT_EQ(GetLong("Command"), kCommandNone);
}

TEST_F(UnseenEndTest, ANewSourceBeforeThePaintIsTheOnlyChangeOfCommand) {
    ASSERT_TRUE(PlayToAnUnseenEnd());
    EventRecorder heard(*ctrl);
    SetString("BaseFile", "g");
    PaintNow();
    EXPECT_EQ(heard.log, (Log{CommandEvent(0), kBoundCommand}));
    EXPECT_EQ(GetLong("Command"), kCommandNone);
}

// ---- A control destroyed right after its window --------------------------------------------

// A container may destroy the control as soon as the window is gone; the worker's last signal
// must be over by then. The sanitizer builds see a signal that outlives the control.
class ControlDestructionTest : public ControlTest {};

TEST_F(ControlDestructionTest, RightAfterTheWindowLeavesTheWorkerNothingToTouch) {
    frameDir = FreshDir();
    WriteFrames(frameDir, "f", 3);
    for (int32_t round = 0; round < 20; ++round) {
        HostNew();
        SetString("Dir", frameDir);
        SetString("BaseFile", "f");
        SetShort("Sort", 1);
        ASSERT_TRUE(site->CreateControlWindow());
        ASSERT_TRUE(WaitFor([&] { return ShownFrame(3) == 0; })) << "round " << round;
        site->DestroyControlWindow();
        site.reset();  // detaches at once: nothing waits between the window and the control
        ctrl.reset();
    }
}

// ---- The stress run -----------------------------------------------------------------------

class StressTest : public ControlTest {
protected:
    static constexpr int32_t kFrames = 200;
    static constexpr int32_t kSmallFrames = 3;

    void SetUp() override {
        ControlTest::SetUp();
        seed = EnvNumber("MOVITREL_STRESS_SEED", std::random_device{}());
        operations = int32_t(EnvNumber("MOVITREL_STRESS_OPS", 2500));
        std::printf("[ stress   ] seed %llu, %d operations (MOVITREL_STRESS_SEED replays)\n",
                    static_cast<unsigned long long>(seed), operations);
        std::fflush(stdout);
        RecordProperty("seed", std::to_string(seed));
        random.seed(seed);

        frameDir = FreshDir("frames");
        WriteFrames(frameDir, "f", kFrames);
        smallDir = FreshDir("small");
        WriteFrames(smallDir, "g", kSmallFrames);
        std::FILE* notes = std::fopen((smallDir + "/notes.txt").c_str(), "w");
        ASSERT_NE(notes, nullptr);
        std::fclose(notes);
        emptyDir = FreshDir("empty");
        NewControl();
    }
    void TearDown() override {
        recorder.reset();
        ControlTest::TearDown();
    }

    CStressProbe Probe() const { return CStressProbe(*ctrl); }

    // A fresh control at the current size, hosted, its events recorded from the start.
    void NewControl() {
        if (recorder) totalEvents += recorder->log.size();
        if (site) totalPaints += site->PaintCount();
        recorder.reset();
        site.reset();
        ctrl = std::make_unique<CMovitrelCtrl>();
        ctrl->OnResetState();
        site = std::make_unique<CHeadlessSite>(*ctrl, width, height);
        recorder = std::make_unique<EventRecorder>(*ctrl);
        mark = 0;
        dir = "";
        baseFile = "";
        sort = 0;
        SetLong("Delay", 100);
        fastBurst = 0;
        shadowCommand = int16_t(GetLong("Command"));
        shadowLoop = GetBool("Loop") != 0;
        shadowPause = GetBool("Pause") != 0;
    }

    Before Read() {
        return Before{Probe().CommandNow(), Probe().PauseState(), Probe().LoopRaw(),
                      Probe().Dragging()};
    }

    // ---- Failure reports ----------------------------------------------------------------
    std::string Context() const {
        std::ostringstream text;
        text << "seed " << seed << " (MOVITREL_STRESS_SEED=" << seed << "), operation #" << index
             << ", recent operations:";
        for (const std::string& op : recent) text << "\n    " << op;
        return text.str();
    }
    void Note(const std::string& operation) {
        current = operation;
        recent.push_back("#" + std::to_string(index) + " " + operation);
        if (recent.size() > 16) recent.pop_front();
        if (watchdog) watchdog->Beat(recent.back());
    }

    // ---- Checks -------------------------------------------------------------------------
    // The events since the last check must be `expected`, then at most one end of playback
    // noticed by a paint. The properties must then read what the events last carried.
    void Check(const Log& expected) {
        const Log got(recorder->log.begin() + mark, recorder->log.end());
        mark = recorder->log.size();
        const bool prefixOk = got.size() >= expected.size() &&
                              std::equal(expected.begin(), expected.end(), got.begin());
        if (!prefixOk) {
            ADD_FAILURE() << current << ": fired " << Join(got) << ", expected " << Join(expected)
                          << " (then at most an end of playback)\n"
                          << Context();
            return;
        }
        for (const std::string& e : expected) Follow(e);
        const Log tail(got.begin() + expected.size(), got.end());
        if (!tail.empty()) {
            // The end the worker reached: Command returns to 0 from a command that ran.
            Log end;
            if (shadowCommand != 0) {
                end.push_back(CommandEvent(0));
                if (shadowPause) end.push_back(PauseEvent(false));
                end.push_back(kBoundCommand);
            }
            if (tail != end) {
                ADD_FAILURE() << current << ": fired " << Join(got) << "; after " << Join(expected)
                              << " only " << Join(end) << " may follow (Command " << shadowCommand
                              << ")\n"
                              << Context();
                return;
            }
            for (const std::string& e : tail) Follow(e);
            ++endsSeen;
        }
        CheckProperties();
    }
    void Follow(const std::string& e) {
        int value = 0;
        if (std::sscanf(e.c_str(), "ChangeCommand(%d)", &value) == 1)
            shadowCommand = int16_t(value);
        if (e == LoopEvent(true) || e == LoopEvent(false)) shadowLoop = e == LoopEvent(true);
        if (e == PauseEvent(true) || e == PauseEvent(false)) shadowPause = e == PauseEvent(true);
    }
    void CheckProperties() {
        const int32_t command = GetLong("Command");
        const bool loop = GetBool("Loop") != 0;
        const bool pause = GetBool("Pause") != 0;
        if (command != shadowCommand || loop != shadowLoop || pause != shadowPause) {
            ADD_FAILURE() << current << ": properties read Command " << command << ", Loop " << loop
                          << ", Pause " << pause << " but the last events carried " << shadowCommand
                          << ", " << shadowLoop << ", " << shadowPause << "\n"
                          << Context();
        } else if (command == 0 && pause) {
            ADD_FAILURE() << current << ": paused without a command\n" << Context();
        }
    }

    // ---- Random choices -----------------------------------------------------------------
    int32_t Uniform(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(random);
    }
    bool Chance(int32_t percent) { return Uniform(0, 99) < percent; }
    template <class T>
    const T& Pick(const std::vector<T>& from) {
        return from[size_t(Uniform(0, int32_t(from.size()) - 1))];
    }

    // Frames the worker finds for the current source, when they are certain to be found.
    int32_t SelectionCount() const {
        if (sort < 0 || sort > 2) return 0;
        const bool anyPrefix = baseFile.empty();
        if ((dir == frameDir || dir == frameDir + "/") &&
            (anyPrefix || baseFile == "f" || baseFile == "F")) {
            return kFrames;
        }
        if (dir == smallDir && (anyPrefix || baseFile == "g")) return kSmallFrames;
        return 0;
    }

    // ---- Layout of the last paint (the window is live, so it is the site's size) -------
    struct Layout {
        int32_t w, h, bar, strip;
        bool buttons, slider;
    };
    Layout Current() {
        Layout l{site->Width(),           site->Height(),        0, 0,
                 GetBool("Buttons") != 0, GetBool("Slider") != 0};
        l.bar = l.w > 180 ? (l.w - 180) / 2 : 0;
        l.strip = (l.buttons ? 20 : 0) + (l.slider ? 20 : 0);
        return l;
    }

    // ---- Operations ---------------------------------------------------------------------
    void SetCommandOp() {
        static const std::vector<int16_t> outOfRange = {-1, 8, 9, 100, 32767, -32768};
        const int16_t c = Chance(12) ? Pick(outOfRange) : int16_t(Uniform(0, 7));
        Note("Command = " + std::to_string(c));
        const Before s = Read();
        SetShort("Command", c);
        Check(AfterCommand(s, c));
    }
    void SetPauseOp() {
        const bool v = Chance(50);
        Note(std::string("Pause = ") + (v ? "true" : "false"));
        const Before s = Read();
        SetBool("Pause", v);
        Check(AfterPause(s, v ? -1 : 0));  // automation's true is -1
    }
    void SetLoopOp() {
        const bool v = Chance(50);
        Note(std::string("Loop = ") + (v ? "true" : "false"));
        const Before s = Read();
        SetBool("Loop", v);
        Check(AfterLoop(s, v ? -1 : 0));
    }
    // Zero and negative delays (negative ones are waited as 0) let the worker post repaints as
    // fast as it decodes, faster than a sanitizer build paints, and every posted repaint is
    // one paint: they run in bursts of a few operations so the queue drains in between.
    void SetDelayOp() {
        static const std::vector<int32_t> fast = {-100000, -1000, -1, 0, 0, 1, 2};
        static const std::vector<int32_t> calm = {60, 100, 150};
        if (Chance(50)) {
            SetDelayTo(Pick(fast));
            fastBurst = Uniform(1, 8);
        } else {
            SetDelayTo(Pick(calm));
            fastBurst = 0;
        }
    }
    void SetDelayTo(int32_t d) {
        Note("Delay = " + std::to_string(d));
        SetLong("Delay", d);
        Check({});
    }
    void EndFastBurst() {
        if (fastBurst > 0 && --fastBurst == 0) SetDelayTo(100);
    }

    // Dir or BaseFile; `known` is what the test last set it to.
    void SetSourceString(const char* name, std::string& known, const std::string& value) {
        Note(std::string(name) + " = " + value);
        const Before s = Read();
        const bool changed = value != known;
        known = value;
        SetString(name, value);
        Check(changed ? AfterSourceChange(s) : Log{});
    }
    void SetDirTo(const std::string& d) { SetSourceString("Dir", dir, d); }
    void SetBaseFileTo(const std::string& b) { SetSourceString("BaseFile", baseFile, b); }
    void SetSortTo(int16_t v) {
        Note("Sort = " + std::to_string(v));
        const Before s = Read();
        const bool changed = v != sort;
        sort = v;
        SetShort("Sort", v);
        Log expected = changed ? AfterSourceChange(s) : Log{};
        if (changed) expected.push_back(kBoundSort);
        Check(expected);
    }
    void SetSourceOp() {
        const int32_t which = Uniform(0, 2);
        if (which == 0) {
            SetDirTo(Pick(std::vector<std::string>{frameDir, frameDir + "/", frameDir, frameDir,
                                                   smallDir, smallDir, emptyDir,
                                                   TestTmp() + "/none", ""}));
        } else if (which == 1) {
            SetBaseFileTo(Pick(std::vector<std::string>{"f", "f", "F", "", "g", "zz"}));
        } else {
            SetSortTo(Pick(std::vector<int16_t>{0, 1, 1, 2, -1, 3, 300}));
        }
    }
    void SetLookOp() {
        static const char* const flags[] = {"Maximize", "Buttons", "Slider"};
        static const std::vector<OLE_COLOR> colours = {0x000000,   0xFFFFFF,   0x123456,
                                                       0x80000005, 0x8000000F, 0x800000FF,
                                                       0x01000003, 0x7F00FF00};
        const int32_t which = Uniform(0, 4);
        if (which < 3) {
            const bool v = Chance(which == 0 ? 50 : 75);
            Note(std::string(flags[which]) + " = " + (v ? "true" : "false"));
            SetBool(flags[which], v);
        } else if (which == 3) {
            const OLE_COLOR c = Pick(colours);
            Note("PictureBackColor = " + std::to_string(c));
            SetColour("PictureBackColor", c);
        } else {
            // The stock property tells the container of each change.
            const OLE_COLOR c = Pick(colours);
            Note("BackColor = " + std::to_string(c));
            const bool changed = c != ctrl->GetBackColor();
            SetColour("BackColor", c);
            Check(changed ? Log{"Bound(" + std::to_string(DISPID_BACKCOLOR) + ")"} : Log{});
            return;
        }
        Check({});
    }

    // Presses and releases the middle of button k, when the strip shows it.
    void ButtonOp() {
        const Layout l = Current();
        const int32_t k = Uniform(0, 8);
        const int32_t x = l.bar + 20 * k + 10;
        if (!site->IsWindowLive() || !l.buttons || x >= l.w) return PictureClickOp();
        Note("click button " + std::to_string(k) + " at " + std::to_string(x) + "," +
             std::to_string(l.h - 10));
        Before s = Read();
        site->LButtonDown(x, l.h - 10);
        Check(AfterButton(s, k));
        s = Read();
        site->LButtonUp(x, l.h - 10);
        Check(AfterLButtonUp(s));
    }

    // A press on the slider track, moves with pumps between them, and a release.
    void DragOp() {
        const Layout l = Current();
        const int32_t left = l.bar + 6;
        const int32_t right = l.w - l.bar - 6;
        if (!site->IsWindowLive() || !l.slider || right < left) return PictureClickOp();
        const int32_t y = (l.buttons ? l.h - 20 : l.h) - 10;
        int32_t x = Uniform(left, right);
        Note("slider press at " + std::to_string(x) + "," + std::to_string(y));
        Before s = Read();
        site->LButtonDown(x, y);
        Check(AfterSliderPress(s));
        const int32_t moves = Uniform(0, 4);
        for (int32_t m = 0; m < moves && !HasFailure(); ++m) {
            PumpOp();
            // Off the track too: the drag follows x wherever the pointer is.
            x = Uniform(left - 20, right + 20);
            Note("slider move to " + std::to_string(x));
            site->MouseMove(x, y + Uniform(-30, 5), MK_LBUTTON);
            Check({});
        }
        if (Chance(10)) return;  // released outside the control: the release is never seen
        x = Uniform(left, right);
        Note("slider release at " + std::to_string(x));
        s = Read();
        site->LButtonUp(x, y);
        Check(AfterLButtonUp(s));
    }

    // A left or right press inside the picture area, or a stray move or release anywhere.
    void PictureClickOp() {
        const Layout l = Current();
        const int32_t pictureHeight = l.h - l.strip;
        const bool live = site->IsWindowLive();
        if (!live || l.w < 3 || pictureHeight < 3 || Chance(20)) {
            const int32_t x = Uniform(-10, l.w + 10);
            const int32_t y = Uniform(-10, l.h + 10);
            Before s = Read();
            if (Chance(50)) {
                Note("move to " + std::to_string(x) + "," + std::to_string(y));
                site->MouseMove(x, y, 0);
                Check({});
            } else {
                Note("release at " + std::to_string(x) + "," + std::to_string(y));
                site->LButtonUp(x, y);
                Check(live ? AfterLButtonUp(s) : Log{});
            }
            return;
        }
        const int32_t x = Uniform(1, l.w - 1);
        const int32_t y = Uniform(1, pictureHeight - 1);
        const std::string where = std::to_string(x) + "," + std::to_string(y);
        const std::string click = "ClickInPic(" + where + ")";
        if (Chance(30)) {
            Note("right press at " + where);
            site->RButtonDown(x, y);
            Check({click});
            return;
        }
        Note("left click at " + where);
        Before s = Read();
        site->LButtonDown(x, y);
        Check({click});
        s = Read();
        site->LButtonUp(x, y);
        Check(AfterLButtonUp(s));
    }

    void ResizeOp() {
        if (Chance(15)) {
            width = Uniform(1, 60);
            height = Uniform(1, 60);
        } else {
            width = Uniform(120, 420);
            height = Uniform(60, 320);
        }
        Note("resize to " + std::to_string(width) + "x" + std::to_string(height));
        site->Resize(width, height);
        Check({});
    }

    void PaintOp() {
        Note("paint");
        site->Paint();
        Check({});
    }

    // Delivers what the worker posted. Without a window nothing may be painted or fired.
    void PumpOp(uint32_t ms = 0) {
        Note(ms ? "pump for " + std::to_string(ms) + " ms" : "pump");
        const bool live = site->IsWindowLive();
        const int32_t paints = site->PaintCount();
        const size_t events = recorder->log.size();
        if (ms) {
            Settle(ms);
        } else {
            site->Pump();
        }
        if (!live && (site->PaintCount() != paints || recorder->log.size() != events)) {
            ADD_FAILURE() << current << ": without a window " << site->PaintCount() - paints
                          << " paints and " << recorder->log.size() - events << " events happened\n"
                          << Context();
            return;
        }
        Check({});
    }

    void WindowOp() {
        if (site->IsWindowLive()) {
            Note("destroy window");
            site->DestroyControlWindow();
            Check({});
            PumpOp(Uniform(1, 10));  // the stopped worker posts nothing any more
            return;
        }
        Note("create window");
        ++windowsCreated;
        const Before s = Read();
        ASSERT_TRUE(site->CreateControlWindow()) << Context();
        Check(AfterSourceChange(s));
    }

    void ReplaceControlOp() {
        Note(site->IsWindowLive() ? "replace control (window live)" : "replace control");
        NewControl();
        CheckProperties();
        if (Chance(50)) WindowOp();
    }

    // Stops playback through the setter, which wakes the worker, and waits for the paint of
    // the first frame: the worker must always get there.
    void RendezvousOp() {
        if (Chance(40)) {
            // Often from a source with frames and a live window, where the wait is made.
            if (!site->IsWindowLive()) WindowOp();
            const bool small = Chance(30);
            if (!HasFailure()) SetDirTo(small ? smallDir : frameDir);
            if (!HasFailure()) SetBaseFileTo(small ? "g" : "f");
            if (!HasFailure()) SetSortTo(1);
            if (HasFailure()) return;
        }
        const Before s = Read();
        const int16_t c = s.command == 7 ? 0 : 7;
        Note("rendezvous: Command = " + std::to_string(c));
        SetShort("Command", c);
        Check(AfterCommand(s, c));
        const int32_t n = SelectionCount();
        if (HasFailure() || !site->IsWindowLive() || n == 0) return;
        // In number order the first frame is known by its colour, which also tells the list
        // of the current source from an older one.
        const Layout l = Current();
        const int32_t pictureHeight = l.h - l.strip;
        const bool byColour = sort == 1 && l.w >= 16 && pictureHeight >= 16;
        Note("rendezvous: wait for frame 0 of " + std::to_string(n) +
             (byColour ? " in its colour" : ""));
        if (!WaitFor([&] {
                return Probe().PaintedIndex() == 0 && Probe().PaintedCount() == n &&
                       (!byColour || ColourDistance(site->GetPixel(l.w / 2, pictureHeight / 2),
                                                    FrameColour(0)) < 60);
            })) {
            ADD_FAILURE() << current << ": frame " << Probe().PaintedIndex() << " of "
                          << Probe().PaintedCount() << " painted at the deadline\n"
                          << Context();
            return;
        }
        Check({});
        ++rendezvous;
    }

    // The container's thread is busy: the worker goes on (up to an end of playback) while
    // nothing it posts is delivered.
    void BusyOp() {
        const uint32_t ms = uint32_t(Uniform(1, 30));
        Note("busy for up to " + std::to_string(ms) + " ms");
        CMovitrelCtrl& worker = *ctrl;
        if (worker.EndEvent().Wait(ms) == WAIT_OBJECT_0) {
            worker.EndEvent().SetEvent();  // only looked at: left for the control's next paint
        }
        Check({});
    }

    void RunOne() {
        const int32_t roll = Uniform(0, 999);
        if (roll < 150) {
            SetCommandOp();
        } else if (roll < 200) {
            SetPauseOp();
        } else if (roll < 240) {
            SetLoopOp();
        } else if (roll < 280) {
            SetDelayOp();
        } else if (roll < 350) {
            SetSourceOp();
        } else if (roll < 400) {
            SetLookOp();
        } else if (roll < 560) {
            ButtonOp();
        } else if (roll < 630) {
            DragOp();
        } else if (roll < 690) {
            PictureClickOp();
        } else if (roll < 720) {
            ResizeOp();
        } else if (roll < 750) {
            PaintOp();
        } else if (roll < 850) {
            PumpOp(uint32_t(Uniform(1, 15)));
        } else if (roll < 875) {
            WindowOp();
        } else if (roll < 930) {
            RendezvousOp();
        } else if (roll < 975) {
            BusyOp();
        } else if (roll < 980) {
            ReplaceControlOp();
        } else {
            PumpOp();
        }
        // Not always: operations also come while what the worker posted waits in the queue.
        if (!HasFailure() && Chance(50)) PumpOp();
        if (!HasFailure()) EndFastBurst();
    }

    uint64_t seed = 0;
    int32_t operations = 0;
    std::mt19937_64 random;
    std::unique_ptr<Watchdog> watchdog;
    std::unique_ptr<EventRecorder> recorder;
    size_t mark = 0;
    int32_t index = 0;
    std::string current;
    std::deque<std::string> recent;

    std::string smallDir;
    std::string emptyDir;
    std::string dir;
    std::string baseFile;
    int16_t sort = 0;
    int32_t width = kWidth;
    int32_t height = kHeight;

    size_t totalEvents = 0;
    int32_t totalPaints = 0;
    int32_t fastBurst = 0;
    int32_t endsSeen = 0;
    int32_t rendezvous = 0;
    int32_t windowsCreated = 0;
    int16_t shadowCommand = 0;
    bool shadowLoop = false;
    bool shadowPause = false;
};

TEST_F(StressTest, RandomOperationsKeepEventsAndPropertiesInStepWithoutHangs) {
    watchdog = std::make_unique<Watchdog>(seed, std::chrono::seconds(60));
    Note("set-up");
    SetDirTo(frameDir);
    SetBaseFileTo("f");
    SetSortTo(1);
    ASSERT_TRUE(site->CreateControlWindow());
    Check({});

    for (index = 0; index < operations && !HasFailure(); ++index) RunOne();

    // Whatever state the run left, the control still steps on request, and its destroyed
    // window leaves nothing running that paints or fires.
    if (!HasFailure() && !site->IsWindowLive()) WindowOp();
    if (!HasFailure()) SetDirTo(frameDir);
    if (!HasFailure()) SetBaseFileTo("f");
    if (!HasFailure()) SetSortTo(1);
    if (!HasFailure()) RendezvousOp();
    // Each step forward after the first (which only enters single-step mode) wakes the worker
    // once. A wake may go to a rescan still pending from the source set above, which shows the
    // first frame again; the next one moves. Steps given faster than the worker wakes count as
    // one wake, so each waits for its frame before the next.
    bool moved = false;
    for (int32_t k = 0; k < 4 && !moved && !HasFailure(); ++k) {
        Note("final step forward");
        const Before s = Read();
        SetShort("Command", kCommandStepFor);
        Check(AfterCommand(s, 5));
        if (k > 0) moved = WaitFor([&] { return Probe().PaintedIndex() >= 1; }, kGenerousMs / 4);
    }
    if (!HasFailure()) {
        EXPECT_TRUE(moved) << "no step past frame 0\n" << Context();
    }
    if (!HasFailure()) WindowOp();
    std::printf(
        "[ stress   ] %d operations, %d ends of playback, %d rendezvous with the worker, "
        "%d windows created, %zu events, %d paints\n",
        index, endsSeen, rendezvous, windowsCreated, totalEvents + recorder->log.size(),
        totalPaints + site->PaintCount());
    watchdog.reset();
}

}  // namespace
}  // namespace control_test
