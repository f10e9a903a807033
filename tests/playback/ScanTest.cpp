// The directory scan: which names become frames, in which order, and the index it leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "apps/ScanOnlyClient.h"
#include "playback/FramePlayer.h"
#include "tests/support/FramePlayerProbe.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

// A directory search whose names, creation times and enumeration order the test sets.
class FakeFind : public CFileFind {
public:
    struct Name {
        std::string name;
        int64_t created = 0;
    };
    explicit FakeFind(std::vector<Name> names) : names_(std::move(names)) {}

    BOOL FindFile(const CString& pattern) override {
        patterns.push_back(pattern);
        next_ = 0;
        return names_.empty() ? FALSE : TRUE;
    }
    BOOL FindNextFile() override {
        ++next_;
        return next_ < names_.size() ? TRUE : FALSE;
    }
    CString GetFileName() const override { return names_[next_ - 1].name; }
    CString GetFilePath() const override { return "D:/frames/" + GetFileName(); }
    CString GetFileTitle() const override {
        const std::string n = GetFileName();
        const size_t dot = n.rfind('.');
        return dot == std::string::npos ? n : n.substr(0, dot);
    }
    int64_t GetCreationTime() const override { return names_[next_ - 1].created; }

    std::vector<std::string> patterns;

private:
    std::vector<Name> names_;
    size_t next_ = 0;
};

class ScanTest : public ::testing::Test {
protected:
    std::vector<std::string> Scan(FakeFind& find, const std::string& dir, const std::string& base,
                                  int32_t sort) {
        source_.SetSource(dir, base, sort);
        player_.ScanDirectory(find);
        return Names();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (POSITION p = player_.Frames().GetHeadPosition(); p; p = CFrameList::Next(p)) {
            const std::string& path = CFrameList::GetAt(p).strPath;
            out.push_back(path.substr(path.rfind('/') + 1));
        }
        EXPECT_EQ(player_.Count(), int32_t(out.size()));
        return out;
    }
    CScanOnlyClient client_;
    CSourceSettings source_;
    CPlaybackSettings playback_;
    CFramePlayer player_{client_, source_, playback_};
};

using V = std::vector<std::string>;

TEST_F(ScanTest, SortByNumberIsStableAscending) {
    FakeFind find({{"img10.jpg"}, {"img9.jpg"}, {"img010.jpg"}});
    EXPECT_EQ(Scan(find, "D:\\frames", "img", 1), (V{"img9.jpg", "img10.jpg", "img010.jpg"}));
    EXPECT_EQ(player_.Current(), -1);
    EXPECT_EQ(CFramePlayerProbe::Cursor(player_), nullptr);
}

TEST_F(ScanTest, SortZeroKeepsEnumerationOrder) {
    FakeFind find({{"img3.jpg"}, {"img1.jpg"}, {"img2.jpg"}});
    EXPECT_EQ(Scan(find, "D:\\frames", "img", 0), (V{"img3.jpg", "img1.jpg", "img2.jpg"}));
}

TEST_F(ScanTest, SortByCreationTimeKeepsEqualTimesInEnumerationOrder) {
    FakeFind find({{"c.jpg", 300}, {"a.jpg", 100}, {"d.jpg", 300}, {"b.jpg", 200}, {"e.jpg", 100}});
    EXPECT_EQ(Scan(find, "D:\\frames", "", 2), (V{"a.jpg", "e.jpg", "b.jpg", "c.jpg", "d.jpg"}));
}

TEST_F(ScanTest, OnlyNamesEndingInDotJpgInAnyCaseQualify) {
    FakeFind find({{"."}, {".."}, {"photo.JPG"}, {"img0001.jpeg"}, {"notes.txt"}, {"x.jpg"}});
    EXPECT_EQ(Scan(find, "D:\\frames", "", 0), (V{"photo.JPG", "x.jpg"}));
}

TEST_F(ScanTest, PatternIsDirBackslashPrefixStarDotStar) {
    FakeFind find({{"img1.jpg"}});
    Scan(find, "D:\\frames\\", "img", 0);
    ASSERT_EQ(find.patterns.size(), 1u);
    EXPECT_EQ(find.patterns[0], "D:\\frames\\\\img*.*");  // a trailing separator is kept
}

TEST_F(ScanTest, EmptyDirOrUnknownSortMakesNoSearch) {
    FakeFind find({{"img1.jpg"}});
    Scan(find, "", "img", 1);
    EXPECT_EQ(player_.Current(), -1);
    for (int32_t sort : {-1, 3, 32767}) {
        Scan(find, "D:\\frames", "img", sort);
        EXPECT_EQ(player_.Current(), -1) << sort;
    }
    EXPECT_TRUE(find.patterns.empty());
    EXPECT_EQ(player_.Count(), 0);
}

TEST_F(ScanTest, NothingFoundGivesMinusTwoAndFoundButNoJpgMinusOne) {
    FakeFind none({});
    Scan(none, "D:\\frames", "img", 1);
    EXPECT_EQ(player_.Current(), -2);
    FakeFind noJpg({{"img1.png"}, {"img2.txt"}});
    Scan(noJpg, "D:\\frames", "img", 1);
    EXPECT_EQ(player_.Current(), -1);
    EXPECT_EQ(player_.Count(), 0);
}

TEST_F(ScanTest, ARescanReplacesTheList) {
    FakeFind first({{"img1.jpg"}, {"img2.jpg"}});
    Scan(first, "D:\\frames", "img", 1);
    FakeFind second({{"img7.jpg"}});
    EXPECT_EQ(Scan(second, "D:\\frames", "img", 1), (V{"img7.jpg"}));
}

TEST(FrameNumberKeyTest, DigitsAfterThePrefixAcrossOtherCharacters) {
    EXPECT_EQ(FrameNumberKey("img0012", 3), 12);
    EXPECT_EQ(FrameNumberKey("img_1_b2", 3), 12);
    EXPECT_EQ(FrameNumberKey("img.0007", 3), 7);
    EXPECT_EQ(FrameNumberKey("imgabc", 3), 0);
    EXPECT_EQ(FrameNumberKey("img", 3), 0);
    EXPECT_EQ(FrameNumberKey("im", 3), 0);        // shorter than the prefix
    EXPECT_EQ(FrameNumberKey("a1b2c3", 0), 123);  // empty prefix: every digit counts
    EXPECT_EQ(FrameNumberKey("9img5", 3), 5);     // prefix characters are dropped, digits or not
}

TEST(FrameNumberKeyTest, TenOrMoreDigitsWrapAsSigned32Bit) {
    EXPECT_EQ(FrameNumberKey("img4294967297", 3), 1);          // 2^32 + 1
    EXPECT_EQ(FrameNumberKey("img2147483648", 3), INT32_MIN);  // 2^31
    EXPECT_EQ(FrameNumberKey("img12345678901", 3), int32_t(3755744309u));
}

// The real file system, through the platform's search.
class RealScanTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = FreshDir("scan"); }
    void TearDown() override { fs::remove_all(dir_); }
    void Touch(const std::string& name) { std::ofstream(dir_ + "/" + name) << "x"; }
    std::vector<std::string> Scan(const std::string& dir, const std::string& base, int32_t sort) {
        source_.SetSource(dir, base, sort);
        player_.ScanDirectory();
        std::vector<std::string> out;
        for (POSITION p = player_.Frames().GetHeadPosition(); p; p = CFrameList::Next(p)) {
            const std::string& path = CFrameList::GetAt(p).strPath;
            // A folder is no stream on Windows: the path is only asked to name the entry.
            EXPECT_TRUE(fs::exists(path)) << "no such entry: " << path;
            out.push_back(path.substr(path.rfind('/') + 1));
        }
        return out;
    }
    std::string dir_;
    CScanOnlyClient client_;
    CSourceSettings source_;
    CPlaybackSettings playback_;
    CFramePlayer player_{client_, source_, playback_};
};

TEST_F(RealScanTest, PrefixMatchesWithoutRegardToCase) {
    Touch("IMG0002.JPG");
    Touch("img0001.jpg");
    Touch("other3.jpg");
    EXPECT_EQ(Scan(dir_, "img", 1), (V{"img0001.jpg", "IMG0002.JPG"}));
}

TEST_F(RealScanTest, DirEndingInASeparatorStillFindsTheFrames) {
    Touch("img1.jpg");
    EXPECT_EQ(Scan(dir_ + "/", "img", 1), (V{"img1.jpg"}));
    EXPECT_EQ(Scan(dir_ + "\\", "img", 1), (V{"img1.jpg"}));
}

TEST_F(RealScanTest, EmptyBaseFileTakesEveryJpgAndDirectoriesNamedLikeOne) {
    Touch("b2.jpg");
    Touch("a1.jpg");
    Touch("notes.txt");
    fs::create_directory(dir_ + "/x3.jpg");
    EXPECT_EQ(Scan(dir_, "", 1), (V{"a1.jpg", "b2.jpg", "x3.jpg"}));
}

TEST_F(RealScanTest, MissingDirectoryAndNoMatch) {
    Scan(dir_ + "/missing", "img", 1);
    EXPECT_EQ(player_.Current(), -2);
    Touch("other.jpg");
    Scan(dir_, "img", 1);
    EXPECT_EQ(player_.Current(), -2);  // the search itself found nothing
    Touch("img.txt");
    Scan(dir_, "img", 1);
    EXPECT_EQ(player_.Current(), -1);  // found names, none a frame
}

TEST_F(RealScanTest, SortByCreationTimeOrdersFilesMadeASecondApart) {
    // Names whose number and enumeration orders disagree with their creation order.
    const char* names[] = {"img9.jpg", "img1.jpg", "img5.jpg"};
    for (const char* name : names) {
        const std::time_t start = std::time(nullptr);
        Touch(name);
        // Creation times have whole seconds: let the clock move on before the next file.
        while (std::time(nullptr) == start)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Scan(dir_, "img", 2), (V{"img9.jpg", "img1.jpg", "img5.jpg"}));
    EXPECT_EQ(Scan(dir_, "img", 1), (V{"img1.jpg", "img5.jpg", "img9.jpg"}));
}

}  // namespace
