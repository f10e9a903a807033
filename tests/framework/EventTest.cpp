#include <gtest/gtest.h>

#include "SampleControl.h"

namespace {

struct Call {
    int32_t sink;
    DISPID dispid;
    CString name;
    std::vector<CVariant> args;
};

// Every sink writes into one shared log, so the order across sinks shows.
class RecordingSink : public IControlEventSink {
public:
    RecordingSink(int32_t id, std::vector<Call>& log) : m_id(id), m_log(log) {}
    void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) override {
        m_log.push_back({m_id, dispid, name, args});
    }

private:
    int32_t m_id;
    std::vector<Call>& m_log;
};

class NotifySink : public IPropertyNotifySink {
public:
    void OnChanged(DISPID dispid) override { changed.push_back(dispid); }
    std::vector<DISPID> changed;
};

TEST(Events, ReachEveryConnectedSinkInOrderBeforeFireReturns) {
    CSampleCtrl c;
    std::vector<Call> log;
    RecordingSink first(1, log), second(2, log);
    c.AdviseEvents(&first);
    c.AdviseEvents(&second);

    c.FireEvent(CSampleCtrl::kEventClicked, {CVariant::I2(3), CVariant::I2(4)});
    ASSERT_EQ(log.size(), 2u) << "both sinks are told before FireEvent returns";
    EXPECT_EQ(log[0].sink, 1);
    EXPECT_EQ(log[1].sink, 2);
    EXPECT_EQ(log[0].name, "Clicked");
    EXPECT_EQ(log[1].args, (std::vector<CVariant>{CVariant::I2(3), CVariant::I2(4)}));

    c.FireEvent(CSampleCtrl::kEventToggled, {CVariant::Bool(FALSE)});
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].dispid, CSampleCtrl::kEventToggled);
    EXPECT_EQ(log[2].sink, 1);
    EXPECT_EQ(log[3].sink, 2);
}

TEST(Events, ArgumentsTakeTheDeclaredTypes) {
    CSampleCtrl c;
    std::vector<Call> log;
    RecordingSink sink(1, log);
    c.AdviseEvents(&sink);
    // A BOOL is a 32-bit integer in C++; the event map says the parameter is boolean.
    c.FireEvent(CSampleCtrl::kEventToggled, {CVariant::I4(1)});
    c.FireEvent(CSampleCtrl::kEventClicked, {CVariant::I4(-2), CVariant::I4(7)});
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].args[0], CVariant::Bool(TRUE));
    EXPECT_EQ(log[0].args[0].boolVal(), VARIANT_TRUE);
    EXPECT_EQ(log[1].args, (std::vector<CVariant>{CVariant::I2(-2), CVariant::I2(7)}));
}

TEST(Events, UnadvisedSinksHearNothing) {
    CSampleCtrl c;
    std::vector<Call> log;
    RecordingSink first(1, log), second(2, log);
    uint32_t cookie = c.AdviseEvents(&first);
    c.AdviseEvents(&second);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(c.UnadviseEvents(cookie), S_OK);
    EXPECT_EQ(c.UnadviseEvents(cookie), CONNECT_E_NOCONNECTION);
    c.FireEvent(CSampleCtrl::kEventToggled, {CVariant::Bool(TRUE)});
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].sink, 2);
}

TEST(Events, ASinkMayDisconnectWhileBeingTold) {
    CSampleCtrl c;
    std::vector<Call> log;
    RecordingSink later(2, log);
    struct SelfRemoving : IControlEventSink {
        CSampleCtrl* ctrl = nullptr;
        uint32_t cookie = 0;
        int32_t calls = 0;
        void OnEvent(DISPID, const CString&, const std::vector<CVariant>&) override {
            ++calls;
            ctrl->UnadviseEvents(cookie);
        }
    } self;
    self.ctrl = &c;
    self.cookie = c.AdviseEvents(&self);
    c.AdviseEvents(&later);
    c.FireEvent(CSampleCtrl::kEventToggled, {CVariant::Bool(TRUE)});
    c.FireEvent(CSampleCtrl::kEventToggled, {CVariant::Bool(TRUE)});
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(log.size(), 2u) << "the sink after it is told both times";
}

TEST(BoundProperties, ChangesReachEveryNotifySink) {
    CSampleCtrl c;
    NotifySink a, b;
    c.AdvisePropertyNotify(&a);
    uint32_t cookieB = c.AdvisePropertyNotify(&b);
    c.BoundPropertyChanged(3);
    c.BoundPropertyChanged(11);
    EXPECT_EQ(a.changed, (std::vector<DISPID>{3, 11}));
    EXPECT_EQ(b.changed, (std::vector<DISPID>{3, 11}));
    c.UnadvisePropertyNotify(cookieB);
    c.BoundPropertyChanged(3);
    EXPECT_EQ(a.changed.size(), 3u);
    EXPECT_EQ(b.changed.size(), 2u);
}

TEST(BoundProperties, StockBackColorIsBound) {
    CSampleCtrl c;
    NotifySink a;
    c.AdvisePropertyNotify(&a);
    c.SetBackColor(RGB(9, 9, 9));
    EXPECT_EQ(a.changed, (std::vector<DISPID>{DISPID_BACKCOLOR}));
}

}  // namespace
