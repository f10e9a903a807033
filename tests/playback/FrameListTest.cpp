#include <gtest/gtest.h>

#include <vector>

#include "playback/Commands.h"
#include "playback/FrameList.h"
#include "playback/Settings.h"

namespace {

std::vector<std::string> Paths(const CFrameList& list) {
    std::vector<std::string> out;
    for (POSITION p = list.GetHeadPosition(); p; p = CFrameList::Next(p)) {
        out.push_back(CFrameList::GetAt(p).strPath);
    }
    return out;
}

TEST(FrameListTest, InsertSortedKeepsArrivalOrderForEqualKeys) {
    CFrameList list;
    list.InsertSorted({"b10", 10});
    list.InsertSorted({"a9", 9});
    list.InsertSorted({"c10", 10});
    list.InsertSorted({"d-5", -5});
    list.InsertSorted({"e9", 9});
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"d-5", "a9", "e9", "b10", "c10"}));
    EXPECT_EQ(list.GetCount(), 5);
}

TEST(FrameListTest, PositionsWalkBothWaysAndStayStable) {
    CFrameList list;
    POSITION b = list.AddTail({"b", 0});
    list.AddHead({"a", 0});
    list.AddTail({"d", 0});
    POSITION c = list.InsertBefore(list.GetTailPosition(), {"c", 0});
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(CFrameList::Next(b), c);
    EXPECT_EQ(CFrameList::Prev(c), b);
    EXPECT_EQ(CFrameList::Prev(list.GetHeadPosition()), nullptr);
    EXPECT_EQ(CFrameList::Next(list.GetTailPosition()), nullptr);
    EXPECT_EQ(CFrameList::Next(nullptr), nullptr);  // no entry stays no entry
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(SettingsTest, SetDelayLeavesTheOtherPlaybackValues) {
    CPlaybackSettings s;
    s.SetAll(3, TRUE, PauseState::SingleStep, 100);
    s.SetDelay(-7);
    EXPECT_EQ(s.GetCommand(), 3);
    EXPECT_EQ(s.GetLoop(), TRUE);
    EXPECT_EQ(s.GetPauseState(), PauseState::SingleStep);
    EXPECT_EQ(s.GetDelay(), -7);
    s.SetAll(int16_t(-2), 0, PauseState::Running, 5);  // a negative 16-bit command stays negative
    EXPECT_EQ(s.GetCommand(), -2);
    EXPECT_EQ(s.GetLoop(), FALSE);
    EXPECT_EQ(s.GetDelay(), 5);
}

TEST(SettingsTest, SetSourceReplacesAllThree) {
    CSourceSettings s;
    s.SetSource("/frames", "img", int16_t(-1));
    EXPECT_EQ(s.GetDir(), "/frames");
    EXPECT_EQ(s.GetBaseFile(), "img");
    EXPECT_EQ(s.GetSort(), -1);
}

}  // namespace
