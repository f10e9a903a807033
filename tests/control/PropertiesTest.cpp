// The property setters through dispatch, without a window: what each hands to the worker's
// blocks and events, which events it fires in which order, and when it counts as unchanged.
// The worker's side is read from the settings blocks the control hands its worker.
#include "playback/Commands.h"
#include "tests/control/ControlFixture.h"
#include "tests/support/MovitrelCtrlProbe.h"

namespace control_test {
namespace {

class PropertiesTest : public ControlTest {
protected:
    CMovitrelCtrl& Worker() { return *ctrl; }
    int32_t WorkerCommand() { return CMovitrelCtrlProbe::PlaybackSettings(Worker())->GetCommand(); }
    int32_t WorkerDelay() { return CMovitrelCtrlProbe::PlaybackSettings(Worker())->GetDelay(); }
    int32_t WorkerPause() {
        return int32_t(CMovitrelCtrlProbe::PlaybackSettings(Worker())->GetPauseState());
    }
    BOOL WorkerLoop() { return CMovitrelCtrlProbe::PlaybackSettings(Worker())->GetLoop(); }
    // Whether a wake is pending for the worker; consumes it, as the worker's wait would.
    bool WakePending() { return Worker().WakeEvent().Wait(0) == WAIT_OBJECT_0; }
    bool RescanPending() { return Worker().RescanEvent().Wait(0) == WAIT_OBJECT_0; }
    void DrainSignals() {
        WakePending();
        RescanPending();
    }
};

using Log = std::vector<std::string>;

// ---- Defaults and the table -------------------------------------------------------------

TEST_F(PropertiesTest, NewControlHoldsTheExchangeDefaults) {
    ExpectPersistedDefaults();
    EXPECT_EQ(GetLong("PictureBackColor"), 0);  // not persisted, but a new control's is 0
}

TEST_F(PropertiesTest, DispidsFollowTheTableAndTypesArriveConverted) {
    const char* names[] = {"BaseFile", "Buttons", "Command",          "Delay",  "Dir", "Loop",
                           "Maximize", "Pause",   "PictureBackColor", "Slider", "Sort"};
    for (DISPID i = 0; i < 11; ++i) {
        DISPID id = 0;
        ASSERT_EQ(ctrl->GetIDOfName(names[i], &id), S_OK) << names[i];
        EXPECT_EQ(id, i + 1) << names[i];
    }
    DISPID id = 0;
    ASSERT_EQ(ctrl->GetIDOfName("BackColor", &id), S_OK);
    EXPECT_EQ(id, DISPID_BACKCOLOR);
    ASSERT_EQ(ctrl->GetIDOfName("AboutBox", &id), S_OK);
    EXPECT_EQ(id, DISPID_ABOUTBOX);
    EXPECT_EQ(Get("Command").vt(), VT_I2);
    EXPECT_EQ(Get("Delay").vt(), VT_I4);
    EXPECT_EQ(Get("Sort").vt(), VT_I2);
    EXPECT_EQ(Get("Loop").vt(), VT_BOOL);
    EXPECT_EQ(Get("PictureBackColor").vt(), VT_COLOR);
    // A 32-bit value that does not fit Command is refused before the setter runs.
    EXPECT_NE(ctrl->SetProperty("Command", CVariant::I4(70000)), S_OK);
    EXPECT_EQ(GetLong("Command"), kCommandNone);
}

// ---- Delay --------------------------------------------------------------------------------

TEST_F(PropertiesTest, DelayHandsATenthToTheWorkerWhileAFastCommandRuns) {
    SetShort("Command", kCommandFf);
    EXPECT_EQ(WorkerDelay(), 50);
    SetLong("Delay", 1000);
    EXPECT_EQ(WorkerDelay(), 100);
    SetShort("Command", kCommandPlay);
    EXPECT_EQ(WorkerDelay(), 1000);
    SetShort("Command", kCommandRew);
    EXPECT_EQ(WorkerDelay(), 100);
}

TEST_F(PropertiesTest, TheTenthTruncatesTowardZero) {
    SetShort("Command", kCommandRew);
    SetLong("Delay", 505);
    EXPECT_EQ(WorkerDelay(), 50);
    SetLong("Delay", -15);
    EXPECT_EQ(WorkerDelay(), -1);
    EXPECT_EQ(GetLong("Delay"), -15);
}

TEST_F(PropertiesTest, DelayMarksModifiedButFiresWakesAndPaintsNothing) {
    DrainSignals();
    ClearHeard();
    const int32_t paints = site->PaintCount();
    SetLong("Delay", 500);  // unchanged
    EXPECT_EQ(site->ModifiedReports(), 0);
    SetLong("Delay", 750);
    EXPECT_TRUE(site->Modified());
    EXPECT_TRUE(site->Events().empty());
    EXPECT_TRUE(site->PropertyChanges().empty());
    EXPECT_EQ(site->PaintCount(), paints);
    EXPECT_FALSE(WakePending());
    EXPECT_EQ(WorkerDelay(), 750);
}

// ---- Command ------------------------------------------------------------------------------

TEST_F(PropertiesTest, CommandStoresWakesFiresAndRepaintsWithoutBoundNotification) {
    DrainSignals();
    ClearHeard();
    const int32_t paints = site->PaintCount();
    SetShort("Command", kCommandPlay);
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
    EXPECT_EQ(WorkerCommand(), 1);
    EXPECT_TRUE(WakePending());
    EXPECT_EQ(EventLog(), (Log{"ChangeCommand(1)"}));
    EXPECT_TRUE(site->PropertyChanges().empty());
    EXPECT_TRUE(site->Modified());
    EXPECT_EQ(site->PaintCount(), paints + 1);
}

TEST_F(PropertiesTest, SameCommandAgainIsIgnoredExceptForSteps) {
    SetShort("Command", kCommandPlay);
    DrainSignals();
    ClearHeard();
    SetShort("Command", kCommandPlay);
    EXPECT_TRUE(site->Events().empty());
    EXPECT_EQ(site->ModifiedReports(), 0);
    EXPECT_FALSE(WakePending());
}

TEST_F(PropertiesTest, FirstStepFromRestEntersSingleStepWithoutWakeEachFurtherStepWakes) {
    DrainSignals();
    SetShort("Command", kCommandStepFor);
    EXPECT_EQ(EventLog(), (Log{"ChangePause(true)", "ChangeCommand(5)"}));
    EXPECT_EQ(GetBool("Pause"), VARIANT_TRUE);
    EXPECT_EQ(WorkerPause(), 2);
    EXPECT_FALSE(WakePending());  // the worker was waiting: nothing moves yet
    for (int i = 0; i < 2; ++i) {
        ClearHeard();
        SetShort("Command", kCommandStepFor);
        EXPECT_EQ(EventLog(), (Log{"ChangeCommand(5)"}));
        EXPECT_TRUE(WakePending());
        EXPECT_TRUE(site->Modified());
    }
}

TEST_F(PropertiesTest, StepWhilePausedByTheUserWakesAtOnce) {
    SetShort("Command", kCommandPlay);
    SetBool("Pause", true);
    DrainSignals();
    ClearHeard();
    SetShort("Command", kCommandStepBack);
    EXPECT_EQ(EventLog(), (Log{"ChangePause(true)", "ChangeCommand(6)"}));
    EXPECT_EQ(WorkerPause(), 2);
    EXPECT_TRUE(WakePending());
}

TEST_F(PropertiesTest, StopWithLoopOnClearsLoopFirst) {
    SetBool("Loop", true);
    SetShort("Command", kCommandPlay);
    ClearHeard();
    SetShort("Command", kCommandStop);
    EXPECT_EQ(EventLog(), (Log{"ChangeLoop(false)", "ChangeCommand(7)"}));
    EXPECT_EQ(GetBool("Loop"), VARIANT_FALSE);
    EXPECT_EQ(WorkerLoop(), FALSE);
    EXPECT_EQ(WorkerCommand(), 7);
}

TEST_F(PropertiesTest, AnyOtherCommandEndsAPauseBeforeItIsAnnounced) {
    SetShort("Command", kCommandPlay);
    SetBool("Pause", true);
    ClearHeard();
    SetShort("Command", kCommandRplay);
    EXPECT_EQ(EventLog(), (Log{"ChangePause(false)", "ChangeCommand(2)"}));
    EXPECT_EQ(WorkerPause(), 0);
    EXPECT_EQ(GetBool("Pause"), VARIANT_FALSE);
}

TEST_F(PropertiesTest, NegativeAndOutOfRangeValuesReachTheBlocksUnchanged) {
    SetShort("Command", -3);
    EXPECT_EQ(WorkerCommand(), -3);
    EXPECT_EQ(GetLong("Command"), -3);
    SetShort("Command", 32767);
    EXPECT_EQ(WorkerCommand(), 32767);
    SetShort("Sort", -2);
    EXPECT_EQ(CMovitrelCtrlProbe::SourceSettings(Worker())->GetSort(), -2);
    EXPECT_EQ(GetLong("Sort"), -2);
    SetLong("Delay", -40);
    EXPECT_EQ(GetLong("Delay"), -40);
}

// ---- Pause --------------------------------------------------------------------------------

TEST_F(PropertiesTest, PauseWithoutACommandChangesNothing) {
    ClearHeard();
    SetBool("Pause", true);
    EXPECT_EQ(GetBool("Pause"), VARIANT_FALSE);
    EXPECT_TRUE(site->Events().empty());
    EXPECT_EQ(site->ModifiedReports(), 0);
    EXPECT_EQ(WorkerPause(), 0);
}

TEST_F(PropertiesTest, PauseAndResumeWhilePlaying) {
    SetShort("Command", kCommandPlay);
    DrainSignals();
    ClearHeard();
    const int32_t paints = site->PaintCount();
    SetBool("Pause", true);
    EXPECT_EQ(EventLog(), (Log{"ChangePause(true)"}));
    EXPECT_EQ(WorkerPause(), 1);  // automation's -1 is kept as 1
    EXPECT_FALSE(WakePending());
    EXPECT_TRUE(site->Modified());
    EXPECT_EQ(site->PaintCount(), paints + 1);

    ClearHeard();
    SetBool("Pause", true);  // both non-zero: unchanged
    EXPECT_TRUE(site->Events().empty());

    SetBool("Pause", false);
    EXPECT_EQ(EventLog(), (Log{"ChangePause(false)"}));
    EXPECT_EQ(WorkerPause(), 0);
    EXPECT_TRUE(WakePending());
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
}

TEST_F(PropertiesTest, LeavingSingleStepTurnsTheStepIntoPlayInItsDirection) {
    SetShort("Command", kCommandStepBack);
    ClearHeard();
    SetBool("Pause", false);
    EXPECT_EQ(EventLog(), (Log{"ChangeCommand(2)", "ChangePause(false)"}));
    EXPECT_EQ(GetLong("Command"), kCommandRplay);
    EXPECT_EQ(WorkerCommand(), 2);
    EXPECT_EQ(WorkerPause(), 0);

    SetShort("Command", kCommandStepFor);
    ClearHeard();
    SetBool("Pause", false);
    EXPECT_EQ(EventLog(), (Log{"ChangeCommand(1)", "ChangePause(false)"}));
    EXPECT_EQ(GetLong("Command"), kCommandPlay);
}

// ---- Loop and the appearance flags --------------------------------------------------------

TEST_F(PropertiesTest, LoopFiresItsNewValueAndReachesTheWorker) {
    ClearHeard();
    const int32_t paints = site->PaintCount();
    SetBool("Loop", true);
    EXPECT_EQ(EventLog(), (Log{"ChangeLoop(true)"}));
    EXPECT_NE(WorkerLoop(), FALSE);
    EXPECT_TRUE(site->Modified());
    EXPECT_EQ(site->PaintCount(), paints + 1);
    ClearHeard();
    SetBool("Loop", true);
    EXPECT_TRUE(site->Events().empty());
    SetBool("Loop", false);
    EXPECT_EQ(EventLog(), (Log{"ChangeLoop(false)"}));
    EXPECT_EQ(WorkerLoop(), FALSE);
}

TEST_F(PropertiesTest, LoopComparesRawValuesSoAStoredOneDiffersFromAutomationTrue) {
    // Loading stores TRUE (1), as the Loop button does; automation sends -1.
    CPropertyBag bag;
    bag.Write("Loop", "True");
    ctrl->LoadProperties(bag);
    ASSERT_EQ(GetBool("Loop"), VARIANT_TRUE);
    ClearHeard();
    SetBool("Loop", true);
    EXPECT_EQ(EventLog(), (Log{"ChangeLoop(true)"}));
    EXPECT_TRUE(site->Modified());
    ClearHeard();
    SetBool("Loop", true);  // now -1 against -1
    EXPECT_TRUE(site->Events().empty());
}

TEST_F(PropertiesTest, AppearanceFlagsRepaintAndMarkModifiedOnlyWhenChanged) {
    struct Case {
        const char* name;
        CVariant other;
    };
    const Case cases[] = {
        {"Buttons", CVariant::Bool(FALSE)},
        {"Slider", CVariant::Bool(FALSE)},
        {"Maximize", CVariant::Bool(TRUE)},
        {"PictureBackColor", CVariant::Color(RGB(1, 2, 3))},
    };
    for (const Case& c : cases) {
        ClearHeard();
        const int32_t paints = site->PaintCount();
        Set(c.name, c.other);
        EXPECT_TRUE(site->Modified()) << c.name;
        EXPECT_EQ(site->PaintCount(), paints + 1) << c.name;
        EXPECT_TRUE(site->Events().empty()) << c.name;
        EXPECT_EQ(Get(c.name), c.other) << c.name;
        ClearHeard();
        Set(c.name, c.other);
        EXPECT_EQ(site->ModifiedReports(), 0) << c.name;
        EXPECT_EQ(site->PaintCount(), paints + 1) << c.name;
    }
}

TEST_F(PropertiesTest, FlagsCompareRawValuesSoAutomationTrueDiffersFromTheDefaultOne) {
    // The exchange's default TRUE is 1; automation's true is -1.
    ClearHeard();
    SetBool("Buttons", true);
    EXPECT_TRUE(site->Modified());
    ClearHeard();
    SetBool("Buttons", true);
    EXPECT_EQ(site->ModifiedReports(), 0);
    EXPECT_EQ(GetBool("Buttons"), VARIANT_TRUE);
}

// ---- Source selection and ApplySettings ---------------------------------------------------

TEST_F(PropertiesTest, SameStringIsIgnoredADifferentOneIsHandedOverForARescan) {
    SetString("Dir", "/frames");
    SetString("BaseFile", "shot");
    DrainSignals();
    ClearHeard();
    SetString("Dir", "/frames");
    SetString("BaseFile", "shot");
    EXPECT_EQ(site->ModifiedReports(), 0);
    EXPECT_FALSE(RescanPending());

    SetString("BaseFile", "Shot");  // case counts
    EXPECT_TRUE(site->Modified());
    EXPECT_TRUE(RescanPending());
    EXPECT_TRUE(WakePending());
    EXPECT_EQ(CMovitrelCtrlProbe::SourceSettings(Worker())->GetBaseFile(), "Shot");
    EXPECT_EQ(CMovitrelCtrlProbe::SourceSettings(Worker())->GetDir(), "/frames");
    EXPECT_TRUE(site->Events().empty());  // nothing was playing
}

TEST_F(PropertiesTest, NewSourceWhilePlayingAndPausedStopsWithEventsInOrder) {
    SetShort("Command", kCommandPlay);
    SetBool("Pause", true);
    EventRecorder heard(*ctrl);
    const int32_t paints = site->PaintCount();
    SetString("Dir", "/elsewhere");
    EXPECT_EQ(heard.log, (Log{"ChangeCommand(0)", "Bound(3)", "ChangePause(false)"}));
    EXPECT_EQ(GetLong("Command"), kCommandNone);
    EXPECT_EQ(GetBool("Pause"), VARIANT_FALSE);
    EXPECT_EQ(WorkerCommand(), 0);
    EXPECT_EQ(WorkerPause(), 0);
    EXPECT_EQ(site->PaintCount(), paints);  // no repaint of its own
}

TEST_F(PropertiesTest, SortNotifiesItsBoundChangeAfterStoppingPlayback) {
    SetShort("Command", kCommandPlay);
    DrainSignals();
    EventRecorder heard(*ctrl);
    SetShort("Sort", 0);  // unchanged
    EXPECT_TRUE(heard.log.empty());
    SetShort("Sort", 2);
    EXPECT_EQ(heard.log, (Log{"ChangeCommand(0)", "Bound(3)", "Bound(11)"}));
    EXPECT_EQ(CMovitrelCtrlProbe::SourceSettings(Worker())->GetSort(), 2);
    EXPECT_TRUE(RescanPending());
    EXPECT_TRUE(site->Modified());
}

TEST_F(PropertiesTest, ApplyingASourceKeepsTheFastDelayOfTheLastCommand) {
    SetShort("Command", kCommandFf);
    SetString("Dir", "/x");
    EXPECT_EQ(WorkerCommand(), 0);
    EXPECT_EQ(WorkerDelay(), 50);
}

// ---- AboutBox ---------------------------------------------------------------------------

TEST_F(PropertiesTest, AboutBoxAsksTheContainerForItsDialog) {
    ASSERT_EQ(ctrl->InvokeMethod("AboutBox"), S_OK);
    ASSERT_EQ(site->Dialogs().size(), 1u);
    const CDialogTemplate& dlg = site->Dialogs()[0];
    EXPECT_EQ(dlg.id, 1u);
    EXPECT_EQ(dlg.caption, "About Movitrel Control");
    EXPECT_EQ((std::vector<int>{dlg.x, dlg.y, dlg.cx, dlg.cy}),
              (std::vector<int>{34, 22, 260, 55}));
    EXPECT_EQ(dlg.fontName, "MS Sans Serif");
    EXPECT_EQ(dlg.pointSize, 8);
    ASSERT_EQ(dlg.items.size(), 4u);
    EXPECT_EQ(dlg.items[0].kind, DialogItemKind::Icon);
    EXPECT_EQ(dlg.items[0].text, "1");
    EXPECT_EQ(dlg.items[1].text, "Movitrel Control, Version 1.02");
    EXPECT_EQ((std::vector<int>{dlg.items[1].x, dlg.items[1].y, dlg.items[1].cx, dlg.items[1].cy}),
              (std::vector<int>{40, 10, 170, 8}));
    EXPECT_EQ((std::vector<int>{dlg.items[2].x, dlg.items[2].y, dlg.items[2].cx, dlg.items[2].cy}),
              (std::vector<int>{40, 25, 146, 8}));
    const CDialogItem* ok = dlg.FindItem(IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->kind, DialogItemKind::DefPushButton);
    EXPECT_EQ(ok->text, "OK");
    EXPECT_EQ((std::vector<int>{ok->x, ok->y, ok->cx, ok->cy}), (std::vector<int>{221, 7, 32, 14}));
    EXPECT_EQ(site->ModifiedReports(), 0);
}

}  // namespace
}  // namespace control_test
