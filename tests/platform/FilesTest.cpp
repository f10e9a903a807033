// Directory search, file I/O by path, the message sink and the case-insensitive compare.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "TestTmp.h"
#include "platform/FileFind.h"
#include "platform/FileIO.h"
#include "platform/Memory.h"
#include "platform/MessageSink.h"
#include "platform/StringUtil.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        path_ =
            fs::path(TestTmp()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string str() const { return path_.string(); }
    void Touch(const std::string& name) const { std::ofstream(path_ / name) << "x"; }

private:
    fs::path path_;
};

// Every name a search returns, in order, following the find-next contract.
std::vector<std::string> Names(CFileFind& finder) {
    std::vector<std::string> names;
    BOOL more = TRUE;
    while (more) {
        more = finder.FindNextFile();
        names.push_back(finder.GetFileName());
    }
    return names;
}

TEST(WildcardTest, MatchesWithoutRegardToCase) {
    EXPECT_TRUE(MatchesWildcard("img*.*", "IMG0001.JPG"));
    EXPECT_TRUE(MatchesWildcard("a?c", "AbC"));
    EXPECT_FALSE(MatchesWildcard("a?c", "ac"));
    EXPECT_FALSE(MatchesWildcard("img*.*", "photo.jpg"));
}

TEST(WildcardTest, StarDotStarMatchesNamesWithAndWithoutDots) {
    EXPECT_TRUE(MatchesWildcard("*.*", "README"));
    EXPECT_TRUE(MatchesWildcard("*.*", "a.b.c"));
    EXPECT_TRUE(MatchesWildcard("img*.*", "img"));
    EXPECT_TRUE(MatchesWildcard("*.*", "."));
    EXPECT_TRUE(MatchesWildcard("*.*", ".."));
}

TEST(FileFindTest, ReturnsDotsDirectoriesAndFilesWithFullPaths) {
    TempDir dir;
    dir.Touch("img1.jpg");
    fs::create_directory(dir.str() + "/sub.jpg");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(dir.str() + "\\*.*"));
    const auto names = Names(finder);
    const std::set<std::string> got(names.begin(), names.end());
    EXPECT_EQ(got, (std::set<std::string>{".", "..", "img1.jpg", "sub.jpg"}));
    EXPECT_EQ(names.size(), 4u);
}

TEST(FileFindTest, PathTitleAndCreationTimeOfTheCurrentName) {
    TempDir dir;
    dir.Touch("img.0007.jpg");
    const int64_t before = std::time(nullptr);
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(dir.str() + "\\img*.*"));
    EXPECT_FALSE(finder.FindNextFile());  // the only name is also the last
    EXPECT_EQ(finder.GetFilePath(), dir.str() + "/img.0007.jpg");
    EXPECT_EQ(finder.GetFileTitle(), "img.0007");
    EXPECT_NEAR(double(finder.GetCreationTime()), double(before), 5.0);
    FILE* f = OpenFileForRead(finder.GetFilePath());
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

TEST(FileFindTest, TwoSeparatorsInARowStillFind) {
    TempDir dir;
    dir.Touch("img1.jpg");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(dir.str() + "\\\\img*.*"));
    Names(finder);
    FILE* f = OpenFileForRead(finder.GetFilePath());
    EXPECT_NE(f, nullptr);
    if (f) std::fclose(f);
}

TEST(FileFindTest, FailsForAMissingDirectoryOrNoMatch) {
    TempDir dir;
    dir.Touch("notes.txt");
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile(dir.str() + "/missing\\*.*"));
    EXPECT_FALSE(finder.FindFile(dir.str() + "\\img*.*"));
}

TEST(FileIOTest, HandleCallsWriteReadSeekAndReportSize) {
    TempDir dir;
    const std::string path = dir.str() + "/data.bin";
    HFILE out = FileCreate(path);
    ASSERT_NE(out, HFILE_ERROR);
    EXPECT_EQ(FileWrite(out, "hello world", 11), 11);
    FileClose(out);
    HFILE in = FileOpenRead(path);
    ASSERT_NE(in, HFILE_ERROR);
    EXPECT_EQ(FileSize(in), 11);
    EXPECT_EQ(FileSeek(in, 6, SEEK_SET), 6);
    char buf[16] = {};
    EXPECT_EQ(FileRead(in, buf, sizeof buf), 5);  // short at end of file
    EXPECT_STREQ(buf, "world");
    FileClose(in);
    EXPECT_EQ(FileOpenRead(dir.str() + "/missing"), HFILE_ERROR);
    EXPECT_EQ(OpenFileForRead(dir.str() + "/missing"), nullptr);
}

TEST(FileIOTest, APartialFileReplacesItsTargetOrLeavesNothing) {
    TempDir dir;
    const std::string target = dir.str() + "/out.txt";
    std::ofstream(target) << "old";
    const std::string partial = PartialPathFor(target);
    EXPECT_EQ(fs::path(partial).parent_path(), fs::path(dir.str()));
    EXPECT_EQ(fs::path(partial).filename().string().front(), '.');
    std::ofstream(partial) << "new";
    EXPECT_FALSE(CommitPartial(partial, target));
    std::string text;
    std::ifstream(target) >> text;
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(fs::exists(partial));

    // A non-empty folder in the target's place cannot be replaced: the folder stays and the
    // partial file goes.
    const std::string blocked = dir.str() + "/blocked";
    fs::create_directories(blocked + "/inside");
    const std::string other = PartialPathFor(blocked);
    std::ofstream(other) << "new";
    EXPECT_TRUE(CommitPartial(other, blocked));
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_FALSE(fs::exists(other));
}

TEST(FileIOTest, AStampChangesWithTheSizeAndWithAWriteOfTheSameSize) {
    TempDir dir;
    const std::string path = dir.str() + "/frame.jpg";
    std::ofstream(path) << "abc";
    FileStamp first{};
    ASSERT_TRUE(GetFileStamp(path, &first));
    EXPECT_EQ(first.size, 3);
    FileStamp same{};
    ASSERT_TRUE(GetFileStamp(path, &same));
    EXPECT_EQ(same, first);

    // Rewritten in place with the same size: only the write time tells, so set it apart.
    std::ofstream(path) << "xyz";
    const auto later = fs::last_write_time(path) + std::chrono::seconds(2);
    fs::last_write_time(path, later);
    FileStamp rewritten{};
    ASSERT_TRUE(GetFileStamp(path, &rewritten));
    EXPECT_EQ(rewritten.size, 3);
    EXPECT_FALSE(rewritten == first);

    std::ofstream(path) << "longer";
    FileStamp grown{};
    ASSERT_TRUE(GetFileStamp(path, &grown));
    EXPECT_EQ(grown.size, 6);

    FileStamp untouched = grown;
    EXPECT_FALSE(GetFileStamp(path + ".gone", &untouched));
    EXPECT_EQ(untouched, grown);
}

TEST(MemoryTest, BlocksSmallAndLargeComeZeroedAndNoneForZeroBytes) {
    for (const size_t bytes : {size_t(1), size_t(4096), size_t(256 * 1024), size_t(3 << 20)}) {
        CBlockPtr block = AllocateBlock(bytes);
        ASSERT_NE(block, nullptr) << bytes;
        EXPECT_EQ(block.get_deleter().bytes, bytes);
        EXPECT_TRUE(
            std::all_of(block.get(), block.get() + bytes, [](uint8_t b) { return b == 0; }));
        block[bytes - 1] = 0xFF;  // the whole block is writable
    }
    EXPECT_EQ(AllocateBlock(0), nullptr);
}

TEST(MessageSinkTest, TextGoesToTheInstalledSink) {
    std::vector<std::string> seen;
    MessageSink previous = SetMessageSink([&](const CString& text) { seen.push_back(text); });
    EXPECT_EQ(AfxMessageBox("first"), IDOK);
    AfxMessageBox("second");
    SetMessageSink(previous);
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
}

TEST(StringUtilTest, ComparesIgnoringAsciiCaseOnly) {
    EXPECT_EQ(StrICmp(".JPG", ".jpg"), 0);
    EXPECT_LT(StrICmp("abc", "abd"), 0);
    EXPECT_GT(StrICmp("abc", "ab"), 0);
    EXPECT_NE(StrICmp("\xC9", "\xE9"), 0);  // not ASCII: no folding
}

}  // namespace
