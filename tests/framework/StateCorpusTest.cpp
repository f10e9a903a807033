// The saved-state corpus (tests/data/states): every file parsed as the state stream's fuzz target
// parses it, with the outcome the end of its name gives: "refused", the bag left as it was, or
// "accepted", the state saving and parsing again to the same rows.
#include <gtest/gtest.h>

#include <vector>

#include "framework/StateStream.h"
#include "tests/support/Corpus.h"
#include "tests/support/TestFiles.h"

namespace {

class StateCorpus : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(StateCorpus, ParsesAsItsNameSays) {
    const CorpusFile& file = GetParam();
    const bool refused = file.outcome == "refused";
    ASSERT_TRUE(refused || file.outcome == "accepted")
        << "the name ends in no outcome (.refused or .accepted): " << file.path;
    const std::vector<uint8_t> bytes = ReadAll(file.path);

    CPropertyBag bag;
    bag.Write("Before", "kept");
    const StateError error = ParseState(bytes.data(), bytes.size(), &bag);
    if (refused) {
        EXPECT_NE(error, StateError::None);
        ASSERT_EQ(bag.Count(), 1u);
        EXPECT_EQ(bag.Read("Before"), CString("kept"));
        return;
    }
    ASSERT_EQ(error, StateError::None);
    CString saved;
    ASSERT_EQ(FormatState(bag, &saved), StateError::None);
    CPropertyBag again;
    ASSERT_EQ(ParseState(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &again),
              StateError::None);
    EXPECT_EQ(again.Entries(), bag.Entries());
}

INSTANTIATE_TEST_SUITE_P(Files, StateCorpus, ::testing::ValuesIn(CorpusFiles("states")),
                         CorpusRowName);

TEST(StateCorpusFolder, HoldsFiles) {
    EXPECT_FALSE(CorpusFiles("states").empty()) << CorpusFolder("states");
}

}  // namespace
