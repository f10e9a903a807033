// The pause state as the Pause property saves, loads and sets it.
#include <string>
#include <utility>
#include <vector>

#include "ControlFixture.h"
#include "playback/Commands.h"
#include "tests/support/MovitrelCtrlProbe.h"

namespace {

using namespace control_test;

class CPauseProbe : public CMovitrelCtrl {
public:
    using CMovitrelCtrl::SetPause;
    PauseState State() const { return m_nPauseState; }
    void Force(PauseState state) { m_nPauseState = state; }
};

class PauseStateTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        HostNew<CPauseProbe>();
    }
    CPauseProbe& Probe() { return static_cast<CPauseProbe&>(*ctrl); }
    std::string SavedPause() {
        CPropertyBag bag;
        ctrl->SaveProperties(bag);
        const auto text = bag.Read("Pause");
        return text ? std::string(*text) : std::string("<missing>");
    }
};

// A saved Pause is read as a boolean: any number but 0 is the user's pause, whatever state it
// once named, and text that is no boolean is running. Saving writes the boolean back.
TEST_F(PauseStateTest, AStoredPauseLoadsAsTheUsersPauseOrRunning) {
    const std::vector<std::pair<const char*, PauseState>> rows = {
        {"True", PauseState::User}, {"false", PauseState::Running}, {"0", PauseState::Running},
        {"1", PauseState::User},    {"2", PauseState::User},        {"3", PauseState::User},
        {"7", PauseState::User},    {"-1", PauseState::User},       {"paused", PauseState::Running},
        {"", PauseState::Running},
    };
    for (const auto& [text, state] : rows) {
        SCOPED_TRACE(text);
        Probe().Force(PauseState::SliderDrag);  // a load replaces whatever was there
        CPropertyBag bag;
        bag.Write("Pause", text);
        ctrl->LoadProperties(bag);
        EXPECT_EQ(Probe().State(), state);
        EXPECT_EQ(SavedPause(), state == PauseState::Running ? "False" : "True");
    }
    Probe().Force(PauseState::User);
    CPropertyBag empty;
    ctrl->LoadProperties(empty);
    EXPECT_EQ(Probe().State(), PauseState::Running);
}

TEST_F(PauseStateTest, EveryStateButRunningSavesAsTrue) {
    const std::vector<std::pair<PauseState, const char*>> rows = {
        {PauseState::Running, "False"},
        {PauseState::User, "True"},
        {PauseState::SingleStep, "True"},
        {PauseState::SliderDrag, "True"},
    };
    for (const auto& [state, text] : rows) {
        Probe().Force(state);
        EXPECT_EQ(SavedPause(), text);
        EXPECT_EQ(GetBool("Pause"), state == PauseState::Running ? VARIANT_FALSE : VARIANT_TRUE);
    }
}

TEST_F(PauseStateTest, ResetIsRunning) {
    Probe().Force(PauseState::SingleStep);
    ctrl->OnResetState();
    EXPECT_EQ(Probe().State(), PauseState::Running);
}

// Automation hands the setter -1, the control's own presses TRUE: both are the user's pause,
// and so is any other non-zero BOOL, which names no state of its own.
TEST_F(PauseStateTest, AnyTruePauseIsTheUsersPause) {
    SetShort("Command", kCommandPlay);
    for (const BOOL value : {BOOL(-1), BOOL(TRUE), BOOL(2), BOOL(3)}) {
        SCOPED_TRACE(value);
        Probe().SetPause(value);
        EXPECT_EQ(Probe().State(), PauseState::User);
        EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetPauseState(), PauseState::User);
        Probe().SetPause(FALSE);
        EXPECT_EQ(Probe().State(), PauseState::Running);
        EXPECT_EQ(CMovitrelCtrlProbe::PlaybackSettings(*ctrl)->GetPauseState(),
                  PauseState::Running);
    }
}

}  // namespace
