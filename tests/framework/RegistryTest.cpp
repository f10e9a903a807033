// The registry file: REGEDIT4 text in and out, keys as a tree, the process's file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestTmp.h"
#include "framework/Registry.h"
#include "tests/support/TestFiles.h"

namespace {

// A path of the scratch folder where no file is yet.
std::string FreshPath(const std::string& leaf) {
    const std::string path = TempPath(leaf);
    std::filesystem::remove(path);
    return path;
}

TEST(RegistryText, WritesSectionsInTreeOrderWithDefaultValueFirst) {
    CRegistry reg;
    reg.SetString("HKCR\\CLSID\\{A}\\InprocServer32", "ThreadingModel", "Apartment");
    reg.SetString("HKCR\\CLSID\\{A}\\InprocServer32", "", "/lib/x.OCX");
    reg.SetString("HKCR\\CLSID\\{A} B", "", "after the subtree");
    reg.SetValue("HKCR\\CLSID\\{A}", "Count", CRegValue::Dword(10));
    EXPECT_EQ(reg.ToText(),
              "REGEDIT4\n"
              "\n[HKEY_CLASSES_ROOT]\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID]\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID\\{A}]\n"
              "\"Count\"=dword:0000000a\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32]\n"
              "@=\"/lib/x.OCX\"\n"
              "\"ThreadingModel\"=\"Apartment\"\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID\\{A} B]\n"
              "@=\"after the subtree\"\n");
}

TEST(RegistryText, EscapesQuotesAndBackslashesBothWays) {
    CRegistry reg;
    reg.SetString("HKCR\\K", "a \"name\"", "C:\\dir\\\"q\"");
    std::string text = reg.ToText();
    EXPECT_NE(text.find("\"a \\\"name\\\"\"=\"C:\\\\dir\\\\\\\"q\\\"\""), std::string::npos);
    CRegistry back;
    ASSERT_EQ(back.FromText(text), 0);
    EXPECT_EQ(back.GetString("HKCR\\K", "a \"name\""), "C:\\dir\\\"q\"");
}

TEST(RegistryText, ReadsDeletionsCommentsCrLfAndKeepsRawValues) {
    CRegistry reg;
    int32_t skipped = reg.FromText(
        "REGEDIT4\r\n\r\n"
        "; a comment\r\n"
        "[HKEY_CLASSES_ROOT\\A\\B]\r\n"
        "@=\"x\"\r\n"
        "\"gone\"=\"soon\"\r\n"
        "\"gone\"=-\r\n"
        "\"bin\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "[HKEY_CLASSES_ROOT\\C]\r\n"
        "[-HKEY_CLASSES_ROOT\\C]\r\n");
    EXPECT_EQ(skipped, 0);
    EXPECT_EQ(reg.GetString("HKCR\\A\\B", ""), "x");
    EXPECT_FALSE(reg.GetValue("HKCR\\A\\B", "gone").has_value());
    auto bin = reg.GetValue("HKCR\\A\\B", "bin");
    ASSERT_TRUE(bin.has_value());
    EXPECT_EQ(bin->kind, CRegValue::Kind::Raw);
    EXPECT_EQ(bin->text, "hex:01,02,03");
    EXPECT_FALSE(reg.KeyExists("HKCR\\C"));
}

TEST(RegistryText, SkipsMalformedLinesAndRefusesAMissingHeader) {
    CRegistry reg;
    EXPECT_EQ(reg.FromText("REGEDIT4\n\"orphan\"=\"before any key\"\n[HKCR\\K]\n"
                           "\"unterminated=\"x\"\n"
                           "\"n\"=dword:123456789\n"
                           "\"ok\"=\"yes\"\n"),
              3);
    EXPECT_EQ(reg.GetString("HKCR\\K", "ok"), "yes");
    EXPECT_EQ(reg.FromText("[HKCR\\K]\n@=\"x\"\n"), -1);
    EXPECT_TRUE(reg.Keys().empty());
}

TEST(RegistryKeys, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    CRegistry reg;
    reg.SetString("HKCR\\CLSID\\{ab}", "", "one");
    reg.SetString("hkey_classes_root\\clsid\\{AB}", "", "two");
    EXPECT_EQ(reg.GetString("HKEY_CLASSES_ROOT\\CLSID\\{Ab}", ""), "two");
    EXPECT_EQ(reg.Keys().back(), "HKEY_CLASSES_ROOT\\CLSID\\{ab}");
    EXPECT_EQ(CRegistry::NormalizeKey("HKLM\\\\Software\\X\\"), "HKEY_LOCAL_MACHINE\\Software\\X");
}

TEST(RegistryKeys, DeletingAKeyTakesItsSubtreeButNotItsNeighbours) {
    CRegistry reg;
    reg.SetString("HKCR\\A\\B\\C", "", "1");
    reg.SetString("HKCR\\A\\B2", "", "2");
    reg.SetString("HKCR\\A\\B C", "", "3");
    EXPECT_TRUE(reg.DeleteKey("HKCR\\a\\b"));
    EXPECT_FALSE(reg.KeyExists("HKCR\\A\\B"));
    EXPECT_FALSE(reg.KeyExists("HKCR\\A\\B\\C"));
    EXPECT_EQ(reg.GetString("HKCR\\A\\B2", ""), "2");
    EXPECT_EQ(reg.GetString("HKCR\\A\\B C", ""), "3");
    EXPECT_FALSE(reg.DeleteKey("HKCR\\A\\B"));
}

TEST(RegistryFile, RoundTripsThroughAFile) {
    std::string path = FreshPath("roundtrip.reg");
    CRegistry reg;
    reg.SetString("HKCR\\X\\Y", "v", "w");
    reg.SetValue("HKCR\\X", "d", CRegValue::Dword(0xFFFFFFFFu));
    ASSERT_TRUE(reg.SaveToFile(path));
    CRegistry back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.ToText(), reg.ToText());
    EXPECT_EQ(back.GetValue("HKCR\\X", "d")->dword, 0xFFFFFFFFu);
}

TEST(RegistryFile, SavingMakesItsFoldersAndAFailedSaveLeavesNoTemporaryFile) {
    const std::string path = FreshPath("new/sub/first.reg");
    CRegistry reg;
    reg.SetString("HKCR\\X", "v", "1");
    ASSERT_TRUE(reg.SaveToFile(path));
    // A folder where the file should be: nothing can be renamed over it.
    const std::string blocked = FreshPath("new/sub/blocked.reg");
    std::filesystem::create_directories(blocked);
    EXPECT_FALSE(reg.SaveToFile(blocked));
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    CRegistry back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.GetString("HKCR\\X", "v"), "1");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(TestTmp() + "/new/sub"), {}), 2)
        << "no temporary file left behind";
}

TEST(RegistryFile, UpdatesTheProcessFileAndLeavesAForeignFileAlone) {
    std::string path = FreshPath("process.reg");
    SetRegistryFile("");
    EXPECT_FALSE(UpdateRegistryFile([](CRegistry&) { return true; }));

    SetRegistryFile(path);
    EXPECT_EQ(GetRegistryFile(), path);
    ASSERT_TRUE(UpdateRegistryFile([](CRegistry& r) {
        r.SetString("HKCR\\P", "", "1");
        return true;
    }));
    ASSERT_TRUE(UpdateRegistryFile([](CRegistry& r) {
        r.SetString("HKCR\\Q", "", "2");
        return true;
    }));
    CRegistry reg;
    ASSERT_TRUE(reg.LoadFromFile(path));
    EXPECT_EQ(reg.GetString("HKCR\\P", ""), "1");
    EXPECT_EQ(reg.GetString("HKCR\\Q", ""), "2");
    // A refused update writes nothing.
    EXPECT_FALSE(UpdateRegistryFile([](CRegistry& r) {
        r.DeleteKey("HKCR\\P");
        return false;
    }));
    ASSERT_TRUE(reg.LoadFromFile(path));
    EXPECT_TRUE(reg.KeyExists("HKCR\\P"));

    std::string foreign = FreshPath("notes.txt");
    std::ofstream(foreign) << "not a registry\n";
    SetRegistryFile(foreign);
    EXPECT_FALSE(UpdateRegistryFile([](CRegistry&) { return true; }));
    std::ifstream in(foreign);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "not a registry");
    SetRegistryFile("");
}

}  // namespace
