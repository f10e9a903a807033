// Directory search, file I/O by path, the message sink and the case-insensitive compare.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/FileFind.h"
#include "platform/FileIO.h"
#include "platform/Memory.h"
#include "platform/MessageSink.h"
#include "platform/StringUtil.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() : path_(FreshDir("files")) {}
    ~TempDir() { fs::remove_all(path_); }
    std::string str() const { return path_.generic_string(); }
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
    EXPECT_EQ(ReadText(target), "new");
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

#ifndef _WIN32
// FIFOs, symbolic links, POSIX permission bits and fork are Linux's: Windows has no FIFO in
// its file system, and a folder's permissions there are no mode bits.

// Whether open returns while nobody writes into the FIFO. An open that blocks is released by
// a writer that comes late, so a fault shows as a failure, never as a hung test.
template <class Open>
bool ReturnsWithoutAWriter(const std::string& fifo, Open open) {
    std::atomic<bool> done{false};
    std::thread opener([&] {
        open();
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool returned = done;
    if (!returned) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    opener.join();
    return returned;
}

TEST(FileIOTest, OpensForReadingRefuseWhatIsNotARegularFileWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.str() + "/img9999.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    HFILE handle = 0;
    int error = 0;
    EXPECT_TRUE(ReturnsWithoutAWriter(fifo, [&] {
        handle = FileOpenRead(fifo);
        error = errno;
    }));
    EXPECT_EQ(handle, HFILE_ERROR);
    EXPECT_EQ(error, EINVAL);
    FILE* stream = reinterpret_cast<FILE*>(1);
    EXPECT_TRUE(ReturnsWithoutAWriter(fifo, [&] { stream = OpenFileForRead(fifo); }));
    EXPECT_EQ(stream, nullptr);
    CString text = "x";
    std::error_code reason;
    EXPECT_TRUE(ReturnsWithoutAWriter(
        fifo, [&] { EXPECT_EQ(ReadWholeFile(fifo, 100, &text, &reason), FileReadError::Io); }));
    EXPECT_EQ(DescribeReadError(FileReadError::Io, reason, 100), "not a regular file");
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(OpenFileForRead(dir.str()), nullptr) << "a folder is no file either";

    // A regular file reads as before: blocking reads, to the end.
    const std::string plain = dir.str() + "/plain.jpg";
    std::ofstream(plain) << std::string(100000, 'p');
    FILE* f = OpenFileForRead(plain);
    ASSERT_NE(f, nullptr);
    std::string back(200000, '\0');
    EXPECT_EQ(std::fread(back.data(), 1, back.size(), f), 100000u);
    std::fclose(f);
}
#endif

TEST(FileIOTest, WholeFileReadsTellMissingFromTooLargeFromBroken) {
    TempDir dir;
    const std::string path = dir.str() + "/state.txt";
    CString text;
    std::error_code reason;
    EXPECT_EQ(ReadWholeFile(path, 10, &text, &reason), FileReadError::NotFound);
    EXPECT_EQ(DescribeReadError(FileReadError::NotFound, reason, 10), "no such file");
    std::ofstream(path) << "0123456789";
    EXPECT_EQ(ReadWholeFile(path, 10, &text), FileReadError::None);
    EXPECT_EQ(text, "0123456789");
    EXPECT_EQ(ReadWholeFile(path, 9, &text), FileReadError::TooLarge);
    EXPECT_TRUE(text.empty());
    InjectFileFault(FileFault::ReadIo);
    EXPECT_EQ(ReadWholeFile(path, 10, &text, &reason), FileReadError::Io);
    EXPECT_EQ(reason, std::errc::io_error);
    EXPECT_EQ(ReadWholeFile(path, 10, &text), FileReadError::None) << "the fault is taken once";
}

TEST(FileIOTest, WholeFileWritesReplaceTheTargetOrLeaveItAsItWas) {
    TempDir dir;
    const std::string path = dir.str() + "/state.txt";
    ASSERT_FALSE(WriteWholeFile(path, "first"));
    EXPECT_EQ(ReadText(path), "first");
    InjectFileFault(FileFault::WriteNoSpace);
    EXPECT_EQ(WriteWholeFile(path, std::string(1 << 16, 's')), std::errc::no_space_on_device);
    EXPECT_EQ(ReadText(path), "first");
    ASSERT_FALSE(WriteWholeFile(path, "second"));
    EXPECT_EQ(ReadText(path), "second");
    for (const auto& entry : fs::directory_iterator(dir.str())) {
        EXPECT_EQ(entry.path().filename(), "state.txt") << "nothing else is left behind";
    }
}

#ifndef _WIN32  // symbolic links, mode bits and fork, as above
TEST(FileIOTest, SavesWriteThroughLinksKeepPermissionsAndFitLongNames) {
    TempDir dir;
    // A link stays a link, and the file it leads to gets the new contents.
    fs::create_directories(dir.str() + "/real");
    const std::string real = dir.str() + "/real/registry.reg";
    std::ofstream(real) << "old";
    const std::string link = dir.str() + "/registry.reg";
    fs::create_symlink("real/registry.reg", link);
    ASSERT_FALSE(WriteWholeFile(link, "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(real), "new");

    // An existing file's permission bits are kept.
    const std::string secret = dir.str() + "/secret.txt";
    std::ofstream(secret) << "old";
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_FALSE(WriteWholeFile(secret, "new"));
    EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // Wherever the target's name fits, so does the partial name.
    const std::string longName = dir.str() + "/" + std::string(244, 'n') + ".png";
    EXPECT_LE(fs::path(PartialPathFor(longName)).filename().string().size(), 255u);
    EXPECT_NE(PartialPathFor(longName),
              PartialPathFor(dir.str() + "/" + std::string(244, 'n') + "-other.png"));
    ASSERT_FALSE(WriteWholeFile(longName, "long"));
    EXPECT_EQ(ReadText(longName), "long");
}

TEST(FileIOTest, ATargetInAFolderThatCannotTakeANewFileIsRefusedNotWrittenInPlace) {
    TempDir dir;
    const std::string folder = dir.str() + "/locked";
    fs::create_directories(folder);
    const std::string target = folder + "/state.txt";
    std::ofstream(target) << "old";
    // Root may write anywhere: the check runs as a user who may write the file but not the
    // folder.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0) {
            if (::chown(target.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 ||
                setuid(65534) != 0) {
                _exit(3);
            }
        } else if (::chmod(folder.c_str(), 0555) != 0) {
            _exit(3);
        }
        const std::error_code ec = WriteWholeFile(target, "new");
        _exit(ec == std::errc::permission_denied ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadText(target), "old");
}
#endif

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

TEST(MemoryTest, TheLimitIsNeverMoreThanTheMachineHas) {
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const int64_t physical = int64_t(status.ullTotalPhys);
    const int64_t page = int64_t(system.dwPageSize);
#else
    const int64_t physical = int64_t(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    const int64_t page = int64_t(sysconf(_SC_PAGESIZE));
#endif
    EXPECT_GE(MemoryLimitBytes(), page);
    EXPECT_LE(MemoryLimitBytes(), physical);
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
