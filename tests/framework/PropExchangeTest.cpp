#include <gtest/gtest.h>

#include <filesystem>

#include "SampleControl.h"
#include "platform/FileIO.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

namespace {

TEST(PropertyBag, TextRoundTripKeepsNewlinesEqualsAndBackslashes) {
    CPropertyBag bag;
    bag.Write("Dir", "C:\\frames\\a=b");
    bag.Write("Multi", "line one\nline two\r\n\tend");
    bag.Write("Odd=Name", "x");
    bag.Write("Empty", "");
    CString text = bag.ToText();
    EXPECT_EQ(text.find("Dir=C:\\\\frames\\\\a=b\n"), 0u) << text;
    EXPECT_NE(text.find("Odd\\=Name=x\n"), CString::npos) << text;
    // One property a line: the value's own newlines are escaped.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);

    CPropertyBag back;
    EXPECT_EQ(back.FromText(text), 0);
    EXPECT_EQ(back.Entries(), bag.Entries());
}

TEST(PropertyBag, ANameStartingWithAHashSurvivesATextRoundTrip) {
    CPropertyBag bag;
    bag.Write("#Odd", "1");
    EXPECT_FALSE(bag.Write("", "no line could hold this"));
    EXPECT_EQ(bag.Count(), 1u);
    CPropertyBag back;
    EXPECT_EQ(back.FromText(bag.ToText()), 0);
    EXPECT_EQ(back.Read("#Odd"), CString("1"));
}

TEST(PropertyBag, MalformedLinesAreSkippedAndCounted) {
    CPropertyBag bag;
    int32_t skipped = bag.FromText(
        "# saved by hand\n"
        "\n"
        "Good=1\r\n"
        "no separator\n"
        "=no name\n"
        "Bad=dangling\\\n"
        "Worse=unknown \\q escape\n"
        "Last=ok");
    EXPECT_EQ(skipped, 4);
    ASSERT_EQ(bag.Count(), 2u);
    EXPECT_EQ(bag.Read("good"), CString("1"));
    EXPECT_EQ(bag.Read("Last"), CString("ok"));
    EXPECT_FALSE(bag.Read("Bad"));
}

TEST(PropertyBag, LaterDuplicatesWinAndNamesIgnoreCase) {
    CPropertyBag bag;
    bag.FromText("Delay=1\ndelay=2\n");
    EXPECT_EQ(bag.Count(), 1u);
    EXPECT_EQ(bag.Read("DELAY"), CString("2"));
}

TEST(PropertyBag, FilesRoundTripAndMissingFilesFail) {
    std::filesystem::create_directories(TestTmp());
    CString path = CString(TestTmp()) + "/bag.txt";
    CPropertyBag bag;
    bag.Write("Name", "a\nb=c");
    ASSERT_TRUE(bag.SaveToFile(path));
    CPropertyBag back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.Read("Name"), CString("a\nb=c"));
    EXPECT_FALSE(back.LoadFromFile(path + ".missing"));
    EXPECT_EQ(back.Count(), 0u);
    EXPECT_FALSE(bag.SaveToFile(CString(TestTmp()) + "/no/such/dir/bag.txt"));
}

TEST(PropertyBag, HoldsAtMostTheNameLimitAndRefusesATextWithMore) {
    CPropertyBag bag;
    for (size_t i = 0; i < CPropertyBag::kMaxNames; ++i) {
        ASSERT_TRUE(bag.Write("N" + std::to_string(i), "v"));
    }
    EXPECT_FALSE(bag.Write("OneMore", "v"));
    EXPECT_FALSE(bag.Read("OneMore"));
    EXPECT_TRUE(bag.Write("n0", "replaced")) << "an existing name is no new one";
    EXPECT_EQ(bag.Read("N0"), CString("replaced"));
    // After a removal the index still finds every later name.
    EXPECT_TRUE(bag.Remove("N10"));
    EXPECT_EQ(bag.Read("N11"), CString("v"));
    EXPECT_TRUE(bag.Write("OneMore", "now"));

    std::string text;
    for (size_t i = 0; i <= CPropertyBag::kMaxNames; ++i) text += "P" + std::to_string(i) + "=1\n";
    CPropertyBag loaded;
    loaded.Write("Before", "x");
    EXPECT_EQ(loaded.FromText(text), -1);
    EXPECT_EQ(loaded.Count(), 0u);
    // Duplicates are one name: a long text of few names loads.
    std::string repeats;
    for (int i = 0; i < 20000; ++i) repeats += "Delay=" + std::to_string(i) + "\n";
    EXPECT_EQ(loaded.FromText(repeats), 0);
    EXPECT_EQ(loaded.Read("delay"), CString("19999"));

    const std::string path = TempPath("many.txt");
    std::ofstream(path) << text;
    CString error;
    EXPECT_FALSE(loaded.LoadFromFile(path, &error));
    EXPECT_NE(error.find("more than 4096 names"), std::string::npos) << error;
}

TEST(PropertyBag, AFailedSaveLeavesThePreviousFileWhole) {
    const std::string path = TempPath("state.txt");
    CPropertyBag old;
    old.Write("Dir", std::string(8192, 'd'));
    ASSERT_TRUE(old.SaveToFile(path));
    const std::string before = ReadText(path);
    CPropertyBag next;
    next.Write("Dir", "/somewhere/else");
    for (FileFault fault : {FileFault::WriteNoSpace, FileFault::WriteIo}) {
        InjectFileFault(fault);
        CString error;
        EXPECT_FALSE(next.SaveToFile(path, &error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(ReadText(path), before);
    }
    InjectFileFault(FileFault::ReadIo);
    CPropertyBag back;
    CString error;
    EXPECT_FALSE(back.LoadFromFile(path, &error));
    EXPECT_EQ(back.Count(), 0u);
    EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
    ASSERT_TRUE(next.SaveToFile(path));
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.Read("Dir"), CString("/somewhere/else"));
}

TEST(PropExchange, ResetGivesEveryDefault) {
    CSampleCtrl c;
    c.m_strName = "x";
    c.m_nState = 3;
    c.OnResetState();
    EXPECT_EQ(c.m_strName, "");
    EXPECT_EQ(c.m_bFlag, TRUE);
    EXPECT_EQ(c.m_nCount, 7);
    EXPECT_EQ(c.m_lDelay, 500);
    EXPECT_EQ(c.m_clrTint, 0xFFu);
    EXPECT_EQ(c.m_nState, FALSE);
    EXPECT_EQ(c.GetBackColor(), 0x80000000u | COLOR_WINDOW) << "no site: the window colour";
    EXPECT_EQ(c.m_pings, 0) << "no setter or method runs";
}

TEST(PropExchange, SaveWritesVersionStockAndMembersInOrder) {
    CSampleCtrl c;
    c.OnResetState();
    c.m_strName = "frames\nnext=1";
    c.m_nState = 2;  // a non-zero state saves as true
    c.m_nCount = -3;
    c.m_clrTint = 0x80000012u;
    c.SetBackColor(RGB(1, 2, 3));
    EXPECT_TRUE(c.IsModified());
    CPropertyBag bag;
    c.SaveProperties(bag);
    EXPECT_FALSE(c.IsModified()) << "saving clears the modified flag";

    std::vector<CString> names;
    for (const auto& e : bag.Entries()) names.push_back(e.first);
    EXPECT_EQ(names, (std::vector<CString>{"_Version", "_ExtentX", "_ExtentY", "BackColor", "Name",
                                           "Tint", "Flag", "Count", "Delay", "State"}));
    EXPECT_EQ(bag.Read("_Version"), CString("0x00010000"));
    EXPECT_EQ(bag.Read("BackColor"), CString("0x00030201"));
    EXPECT_EQ(bag.Read("State"), CString("True"));
    EXPECT_EQ(bag.Read("Count"), CString("-3"));
    EXPECT_EQ(bag.Read("Tint"), CString("0x80000012"));
}

TEST(PropExchange, LoadRestoresWhatWasSaved) {
    CSampleCtrl saved;
    saved.OnResetState();
    saved.m_strName = "a=b\\c\nd";
    saved.m_bFlag = FALSE;
    saved.m_nCount = 32767;
    saved.m_lDelay = -2000000000;
    saved.m_clrTint = 0x01000003u;
    saved.SetBackColor(0x80000008u);
    CPropertyBag bag;
    saved.SaveProperties(bag);
    CPropertyBag fromText;
    fromText.FromText(bag.ToText());

    CSampleCtrl loaded;
    loaded.LoadProperties(fromText);
    EXPECT_EQ(loaded.m_strName, saved.m_strName);
    EXPECT_EQ(loaded.m_bFlag, FALSE);
    EXPECT_EQ(loaded.m_nCount, 32767);
    EXPECT_EQ(loaded.m_lDelay, -2000000000);
    EXPECT_EQ(loaded.m_clrTint, 0x01000003u);
    EXPECT_EQ(loaded.GetBackColor(), 0x80000008u);
    EXPECT_EQ(loaded.GetVersion(), 0x00010000u);
    EXPECT_FALSE(loaded.IsModified());
}

TEST(PropExchange, MissingAndMalformedValuesGiveDefaults) {
    CPropertyBag bag;
    bag.FromText(
        "Name=kept\n"
        "Flag=maybe\n"
        "Count=40000\n"  // outside 16 bits
        "Delay=12ms\n"
        "Tint=\n"
        "BackColor=0x1FFFFFFFF\n"
        "_Version=banana\n"
        "_ExtentX=-5\n");
    CSampleCtrl c;
    c.LoadProperties(bag);
    EXPECT_EQ(c.m_strName, "kept");
    EXPECT_EQ(c.m_bFlag, TRUE);
    EXPECT_EQ(c.m_nCount, 7);
    EXPECT_EQ(c.m_lDelay, 500);
    EXPECT_EQ(c.m_clrTint, 0xFFu);
    EXPECT_EQ(c.m_nState, FALSE);
    EXPECT_EQ(c.GetBackColor(), 0x80000000u | COLOR_WINDOW);
    EXPECT_EQ(c.GetVersion(), 0x00010000u) << "an unreadable version reads as the default";
    EXPECT_GT(c.GetExtent().cx, 0) << "a negative extent is not taken";
}

TEST(PropExchange, BooleansLoadFromNumbersAndWords) {
    CPropertyBag bag;
    bag.FromText("Flag=-1\nState=false\n");
    CSampleCtrl c;
    c.LoadProperties(bag);
    EXPECT_EQ(c.m_bFlag, TRUE);
    EXPECT_EQ(c.m_nState, FALSE);
    bag.FromText("Flag=0\nState=TRUE\n");
    c.LoadProperties(bag);
    EXPECT_EQ(c.m_bFlag, FALSE);
    EXPECT_EQ(c.m_nState, TRUE);
}

TEST(PropExchange, VersionConversion) {
    CPropertyBag bag;
    bag.FromText("_Version=0x00020003\n");
    CPropExchange px(bag, CPropExchange::Mode::Load);
    DWORD version = 0;
    EXPECT_TRUE(px.ExchangeVersion(version, 0x00010000, TRUE));
    EXPECT_EQ(version, 0x00020003u);
    EXPECT_EQ(px.GetVersion(), 0x00020003u);
    EXPECT_FALSE(px.ExchangeVersion(version, 0x00010000, FALSE));
    EXPECT_EQ(version, 0x00010000u);
}

TEST(PropExchange, EachExchangeReportsWhetherTheBagHeldAValue) {
    CPropertyBag bag;
    bag.FromText("S=1\nL=x\n");
    CPropExchange px(bag, CPropExchange::Mode::Load);
    int16_t s = 0;
    int32_t l = 0;
    EXPECT_TRUE(PX_Short(&px, "S", s, 9));
    EXPECT_EQ(s, 1);
    EXPECT_FALSE(PX_Long(&px, "L", l, 9));
    EXPECT_EQ(l, 9);
    CString str = "old";
    EXPECT_FALSE(PX_String(&px, "Missing", str, "def"));
    EXPECT_EQ(str, "def");
}

}  // namespace
