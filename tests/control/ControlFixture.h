// Shared set-up for the control tests: a control initialised as a new one, hosted by the
// headless container, frame directories with one solid colour per frame, property access by
// name through dispatch, and the fired events as readable text.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/MovitrelCtrl.h"
#include "framework/PropertyBag.h"
#include "host/headless/HeadlessSite.h"
#include "image/Image.h"
#include "tests/support/ControlProperties.h"
#include "tests/support/TestFrames.h"

namespace control_test {

// Deadline for anything that waits on the worker: generous, the check polls.
constexpr uint32_t kGenerousMs = 20000;
constexpr int32_t kWidth = 400;
constexpr int32_t kHeight = 300;
constexpr int32_t kStripHeight = 40;  // both rows shown
// An event as "ChangeCommand(5)", "ChangePause(true)", "ClickInPic(1,1)".
inline std::string EventText(const CString& name, const std::vector<CVariant>& args) {
    std::string text = name + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) text += ",";
        if (args[i].vt() == VT_BOOL) {
            text += args[i].boolVal() ? "true" : "false";
        } else if (args[i].vt() == VT_I2) {
            text += std::to_string(args[i].iVal());
        } else {
            text += "?";
        }
    }
    return text + ")";
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { HostNew(); }
    // A new control of class T (a test's probe) in place of the fixture's, every property at
    // its default, hosted by a new site.
    template <class T = CMovitrelCtrl>
    T& HostNew() {
        site.reset();
        auto made = std::make_unique<T>();
        T& control = *made;
        ctrl = std::move(made);
        ctrl->OnResetState();
        site = std::make_unique<CHeadlessSite>(*ctrl, kWidth, kHeight);
        return control;
    }
    // A failed test leaves its last paint as <suite>.<test>.png in the scratch folder (on
    // Linux, whose device writes PNG files).
    void TearDown() override {
#ifndef _WIN32
        if (HasFailure() && site) {
            site->SavePng(TempPath(TestName() + ".png"));
        }
#endif
        site.reset();
        ctrl.reset();
    }

    // ---- Properties through dispatch -----------------------------------------------------
    void Set(const char* name, const CVariant& value) {
        SetByName(*ctrl, name, value);
    }
    void SetShort(const char* name, int16_t v) {
        Set(name, CVariant::I2(v));
    }
    void SetLong(const char* name, int32_t v) {
        Set(name, CVariant::I4(v));
    }
    void SetBool(const char* name, bool v) {
        Set(name, CVariant::Bool(v ? TRUE : FALSE));
    }
    void SetString(const char* name, const CString& v) {
        Set(name, CVariant::Str(v));
    }
    void SetColour(const char* name, OLE_COLOR v) {
        Set(name, CVariant::Color(v));
    }

    CVariant Get(const char* name) {
        return GetByName(*ctrl, name);
    }
    int32_t GetLong(const char* name) {
        CVariant v;
        EXPECT_EQ(ctrl->GetProperty(CString(name), &v, VT_I4), S_OK) << name;
        return v.vt() == VT_I4 ? v.lVal() : INT32_MIN;
    }
    VARIANT_BOOL GetBool(const char* name) {
        CVariant v = Get(name);
        EXPECT_EQ(v.vt(), VT_BOOL) << name;
        return v.vt() == VT_BOOL ? v.boolVal() : VARIANT_BOOL(99);
    }
    CString GetString(const char* name) {
        CVariant v = Get(name);
        EXPECT_EQ(v.vt(), VT_BSTR) << name;
        return v.vt() == VT_BSTR ? v.bstrVal() : CString("<not a string>");
    }

    // Every persisted property at the value a new control's exchange gives it.
    void ExpectPersistedDefaults() {
        EXPECT_EQ(GetString("Dir"), "");
        EXPECT_EQ(GetString("BaseFile"), "");
        EXPECT_EQ(GetLong("Sort"), 0);
        EXPECT_EQ(GetLong("Delay"), 500);
        EXPECT_EQ(GetBool("Loop"), VARIANT_FALSE);
        EXPECT_EQ(GetBool("Buttons"), VARIANT_TRUE);
        EXPECT_EQ(GetBool("Slider"), VARIANT_TRUE);
        EXPECT_EQ(GetBool("Maximize"), VARIANT_FALSE);
        EXPECT_EQ(GetLong("Command"), kCommandNone);
        EXPECT_EQ(GetBool("Pause"), VARIANT_FALSE);
        EXPECT_EQ(GetLong("CacheSize"), 256);
        EXPECT_EQ(GetBool("Watch"), VARIANT_FALSE);
        EXPECT_EQ(GetBool("Bounce"), VARIANT_FALSE);
        EXPECT_EQ(GetLong("LastDelay"), 0);
        EXPECT_EQ(GetBool("DecodeToFit"), VARIANT_FALSE);
    }

    // ---- What the container heard --------------------------------------------------------
    // The fired events as "ChangeCommand(5)", "ChangePause(true)", "ClickInPic(1,1)".
    std::vector<std::string> EventLog() const {
        std::vector<std::string> log;
        for (const auto& e : site->Events()) log.push_back(EventText(e.name, e.args));
        return log;
    }
    // Forgets events, bound-property changes and modified reports heard so far. The site keeps
    // events and property changes apart; EventRecorder below keeps them in one sequence.
    void ClearHeard() {
        site->ClearEvents();
        site->ClearPropertyChanges();
        site->ClearModified();
    }

    // ---- Worker and frames ---------------------------------------------------------------
    bool WaitFor(const std::function<bool()>& done, uint32_t ms = kGenerousMs) {
        return site->PumpUntil(done, ms);
    }
    // The frame drawn at the centre of the picture area, by its colour; -1 for none.
    int32_t ShownFrame(int32_t frames = 16) {
        COLORREF c = site->GetPixel(kWidth / 2, (kHeight - StripHeight()) / 2);
        for (int32_t i = 0; i < frames && i < 16; ++i) {
            if (ColourDistance(c, FrameColour(i)) < 60) return i;
        }
        return -1;
    }
    int32_t StripHeight() {
        return (GetBool("Buttons") ? 20 : 0) + (GetBool("Slider") ? 20 : 0);
    }
    // Writes n frames, points the control at them, ordered by the number in their names,
    // and creates the window; true once the first frame is on the surface and the worker has
    // done the passes that the signals of set-up asked for.
    bool StartWithFrames(int32_t n, const std::string& prefix = "f") {
        frameDir = FreshDir();
        WriteFrames(frameDir, prefix, n);
        SetString("Dir", frameDir);
        SetString("BaseFile", prefix);
        SetShort("Sort", 1);
        if (!site->CreateControlWindow()) return false;
        if (!WaitFor([&] { return ShownFrame(n) == 0; })) return false;
        Quiesce();
        return true;
    }
    // Pumps until no paint has happened for a while. Setters before and during creation leave
    // wake and rescan signals that the worker may still be working off after the first frame
    // appears; a test about what one more signal does starts after them.
    void Quiesce() {
        int32_t before = -1;
        while (before != site->PaintCount()) {
            before = site->PaintCount();
            Settle(300);
        }
    }
    // Pumps for a short while with nothing expected to happen, so that a wrong extra step or
    // event has its chance to show. Not a timing assertion: the check is about what happened.
    void Settle(uint32_t ms = 300) {
        site->PumpUntil([] { return false; }, ms);
    }

    std::unique_ptr<CMovitrelCtrl> ctrl;
    std::unique_ptr<CHeadlessSite> site;
    std::string frameDir;
};

// Records events and bound-property changes in one sequence, for orders across the two.
class EventRecorder : private IControlEventSink {
public:
    explicit EventRecorder(COleControl& control) : m_control(control) {
        m_eventCookie = control.AdviseEvents(this);
        m_notifyCookie = control.AdvisePropertyNotify(&m_notify);
    }
    ~EventRecorder() override {
        m_control.UnadviseEvents(m_eventCookie);
        m_control.UnadvisePropertyNotify(m_notifyCookie);
    }
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    std::vector<std::string> log;

private:
    void OnEvent(DISPID, const CString& name, const std::vector<CVariant>& args) override {
        log.push_back(EventText(name, args));
    }

    COleControl& m_control;
    CPropertyNotifyRelay m_notify{
        [this](DISPID dispid) { log.push_back("Bound(" + std::to_string(dispid) + ")"); }};
    uint32_t m_eventCookie = 0;
    uint32_t m_notifyCookie = 0;
};

}  // namespace control_test
