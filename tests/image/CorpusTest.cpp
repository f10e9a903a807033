// The image corpus (tests/data/images): every file loaded as the readers' fuzz target loads it,
// through CImage::Load with the type its name's extension gives, and the outcome the end of its
// name gives: "fail", refused, or "WxH", a picture of that size.
#include <gtest/gtest.h>

#include <string>

#include "image/Image.h"
#include "tests/support/Corpus.h"

namespace {

// "12x10" as 12 and 10; false for anything else.
bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find('x');
    if (x == 0 || x == std::string::npos || x + 1 == text.size() || x > 5 || text.size() - x > 6)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i != x && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    *width = std::stoi(text.substr(0, x));
    *height = std::stoi(text.substr(x + 1));
    return true;
}

class ImageCorpus : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(ImageCorpus, LoadsAsItsNameSays) {
    const CorpusFile& file = GetParam();
    const int32_t type = ImageTypeFromPath(file.subject);
    ASSERT_GE(type, 0) << "no image type for " << file.subject;
    const bool refused = file.outcome == "fail";
    int32_t width = 0, height = 0;
    ASSERT_TRUE(refused || ParseSize(file.outcome, &width, &height))
        << "the name ends in no outcome (.fail or .WxH): " << file.path;

    CImage image;
    const BOOL loaded = image.Load(file.path, type);
    if (refused) {
        // Only the answer: a read that fails part way may leave the block it made.
        EXPECT_FALSE(loaded);
        return;
    }
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), width);
    EXPECT_EQ(image.GetHeight(), height);
    // Every pixel the image claims to have, for the sanitizer builds to catch a wrong geometry.
    volatile int32_t sum = 0;
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) sum = sum + image.GetPixelIndex(x, y);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ImageCorpus, ::testing::ValuesIn(CorpusFiles("images")),
                         CorpusRowName);

// No rows would pass unseen.
TEST(ImageCorpusFolder, HoldsFiles) {
    EXPECT_FALSE(CorpusFiles("images").empty()) << CorpusFolder("images");
}

}  // namespace
