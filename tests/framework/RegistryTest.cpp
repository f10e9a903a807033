// The registry file: REGEDIT4 text in and out, keys as a tree, the process's file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "framework/Registry.h"
#include "platform/FileIO.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTmp.h"

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
    EXPECT_EQ(ReadText(foreign), "not a registry\n");
    SetRegistryFile("");
}

TEST(RegistryText, AcceptsAByteOrderMarkAndJoinsLongContinuedValues) {
    CRegistry reg;
    ASSERT_EQ(reg.FromText("\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKCR\\A]\r\n@=\"x\"\r\n"), 0);
    EXPECT_EQ(reg.GetString("HKCR\\A", ""), "x");

    // Each continuation line is looked at once: a value of many lines joins in order.
    std::string text = "REGEDIT4\n[HKCR\\B]\n\"bin\"=hex:";
    std::string joined = "hex:";
    for (int i = 0; i < 20000; ++i) {
        text += "0" + std::to_string(i % 10) + ",\\\n  ";
        joined += "0" + std::to_string(i % 10) + ",";
    }
    text += "ff\n";
    joined += "ff";
    ASSERT_EQ(reg.FromText(text), 0);
    ASSERT_TRUE(reg.GetValue("HKCR\\B", "bin"));
    EXPECT_EQ(reg.GetValue("HKCR\\B", "bin")->text, joined);
}

TEST(RegistryText, ARawValueEndingInABackslashIsSkippedNotJoinedOnRereading) {
    CRegistry reg;
    // Two backslashes: one continues the line, the other would end the value.
    EXPECT_EQ(reg.FromText("REGEDIT4\n[HKCR\\A]\n\"bin\"=hex:01\\\\\n\n[HKCR\\B]\n@=\"b\"\n"), 1);
    EXPECT_FALSE(reg.GetValue("HKCR\\A", "bin"));
    CRegistry back;
    EXPECT_EQ(back.FromText(reg.ToText()), 0);
    EXPECT_EQ(back.GetString("HKCR\\B", ""), "b");
}

// Found by fuzzing: "[\\-\\]" names the key "-", whose section written back would delete.
TEST(RegistryText, AKeyThatWouldReadBackAsADeletionIsSkipped) {
    CRegistry reg;
    EXPECT_EQ(reg.FromText("REGEDIT4\n[\\-\\]\n@=\"x\"\n[HKCR\\A]\n@=\"a\"\n"), 2);
    reg.CreateKey("-HKCR\\B");
    EXPECT_EQ(reg.Keys(), (std::vector<CString>{"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT\\A"}));
    CRegistry back;
    EXPECT_EQ(back.FromText(reg.ToText()), 0);
    EXPECT_EQ(back.ToText(), reg.ToText());
}

// Found by fuzzing: a key name with a byte above 127 sorted before the separator, so deleting
// its parent left the parent's subkeys behind.
TEST(RegistryKeys, DeletingAKeyTakesItsSubtreeWhateverBytesItsNeighboursHave) {
    CRegistry reg;
    reg.CreateKey("HKCR\\A\\B");
    reg.CreateKey("HKCR\\A\xff");
    reg.CreateKey("HKCR\\A\xe9t\\C");
    EXPECT_TRUE(reg.DeleteKey("HKCR\\A"));
    EXPECT_FALSE(reg.KeyExists("HKCR\\A\\B"));
    EXPECT_TRUE(reg.KeyExists("HKCR\\A\xff"));
    EXPECT_TRUE(reg.KeyExists("HKCR\\A\xe9t\\C"));
}

TEST(RegistryText, RefusesControlCharactersThatWouldSplitARow) {
    CRegistry reg;
    reg.SetString("HKCR\\CLSID\\{A}\\InprocServer32", "", "/opt/a\nb/MOVITREL.OCX");
    reg.SetString("HKCR\\C", "", "fine\tso far");
    EXPECT_FALSE(reg.GetString("HKCR\\CLSID\\{A}\\InprocServer32", ""));
    EXPECT_EQ(reg.GetString("HKCR\\C", ""), "fine\tso far");
    EXPECT_NE(reg.Refused().find("/opt/a\\nb/MOVITREL.OCX"), std::string::npos) << reg.Refused();
    EXPECT_NE(reg.Refused().find("InprocServer32"), std::string::npos) << reg.Refused();
    EXPECT_EQ(reg.ToText().find("/opt/a"), std::string::npos);

    // Read from a file, such a row is one more malformed line.
    CRegistry back;
    EXPECT_EQ(back.FromText("REGEDIT4\n[HKCR\\D]\n@=\"a\x01z\"\n\"ok\"=\"1\"\n"), 1);
    EXPECT_EQ(back.GetString("HKCR\\D", "ok"), "1");
    EXPECT_TRUE(back.Refused().empty());
}

TEST(RegistryFile, ARowWithALineBreakIsNotRegisteredAndTheFileIsKept) {
    const std::string path = FreshPath("newline.reg");
    SetRegistryFile(path);
    ASSERT_TRUE(UpdateRegistryFile([](CRegistry& r) {
        r.SetString("HKCR\\Kept", "", "1");
        return true;
    }));
    const std::string before = ReadText(path);
    EXPECT_FALSE(UpdateRegistryFile([](CRegistry& r) {
        r.SetString("HKCR\\CLSID\\{A}\\InprocServer32", "", "/opt/x\n[HKCR\\Injected]");
        return true;
    }));
    EXPECT_NE(LastRegistryError().find("/opt/x\\n[HKCR\\Injected]"), std::string::npos)
        << LastRegistryError();
    EXPECT_EQ(ReadText(path), before);
    SetRegistryFile("");
}

TEST(RegistryFile, AReadErrorIsAnErrorAndTheUpdateSavesNothing) {
    const std::string path = FreshPath("readerror.reg");
    SetRegistryFile(path);
    ASSERT_TRUE(UpdateRegistryFile([](CRegistry& r) {
        for (int i = 0; i < 100; ++i) r.SetString("HKCR\\K" + std::to_string(i), "", "v");
        return true;
    }));
    const std::string before = ReadText(path);
    CRegistry probe;
    InjectFileFault(FileFault::ReadIo);
    CString error;
    EXPECT_EQ(probe.Load(path, &error), RegistryLoad::Unreadable);
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_TRUE(probe.Keys().empty());

    bool updated = false;
    InjectFileFault(FileFault::ReadIo);
    EXPECT_FALSE(UpdateRegistryFile([&](CRegistry& r) {
        updated = true;
        r.SetString("HKCR\\New", "", "1");
        return true;
    }));
    EXPECT_FALSE(updated);
    EXPECT_EQ(ReadText(path), before);

    CRegistry missing;
    EXPECT_EQ(missing.Load(FreshPath("absent.reg")), RegistryLoad::Missing);
    std::ofstream(FreshPath("plain.txt")) << "hello\n";
    EXPECT_EQ(missing.Load(TempPath("plain.txt")), RegistryLoad::NotARegistry);
    SetRegistryFile("");
}

TEST(RegistryFile, ASaveThatRunsOutOfDiskLeavesThePreviousFileWhole) {
    const std::string path = FreshPath("full.reg");
    CRegistry reg;
    reg.SetString("HKCR\\Old", "", std::string(10000, 'o'));
    ASSERT_TRUE(reg.SaveToFile(path));
    const std::string before = ReadText(path);
    reg.SetString("HKCR\\New", "", std::string(10000, 'n'));
    for (FileFault fault : {FileFault::WriteNoSpace, FileFault::WriteIo}) {
        InjectFileFault(fault);
        CString error;
        EXPECT_FALSE(reg.SaveToFile(path, &error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(ReadText(path), before);
    }
    for (const auto& entry : std::filesystem::directory_iterator(TestTmp())) {
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos)
            << entry.path();
    }
}

// Processes that register into one file at once each keep their rows: the lock file
// serialises the read, update and save of each.
TEST(RegistryFile, ConcurrentProcessesDoNotLoseEachOthersRows) {
    const std::string path = FreshPath("shared.reg");
    constexpr int kProcesses = 4;
    constexpr int kRowsEach = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            SetRegistryFile(path);
            bool ok = true;
            for (int i = 0; i < kRowsEach; ++i) {
                ok = UpdateRegistryFile([&](CRegistry& r) {
                         r.SetString("HKCR\\P" + std::to_string(p) + "\\R" + std::to_string(i), "",
                                     "x");
                         return true;
                     }) != FALSE &&
                     ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CRegistry reg;
    ASSERT_TRUE(reg.LoadFromFile(path));
    int rows = 0;
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kRowsEach; ++i) {
            rows += reg.KeyExists("HKCR\\P" + std::to_string(p) + "\\R" + std::to_string(i));
        }
    }
    EXPECT_EQ(rows, kProcesses * kRowsEach);
}

}  // namespace
