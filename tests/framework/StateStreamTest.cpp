#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/ComGuard.h"
#include "framework/StateStream.h"

namespace {

CString Header(uint32_t tag, uint32_t count) {
    CString bytes;
    for (uint32_t word : {tag, count}) {
        for (int i = 0; i < 4; ++i) bytes += char(uint8_t(word >> (8 * i)));
    }
    return bytes;
}

StateError Parse(const CString& bytes, CPropertyBag* bag) {
    return ParseState(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), bag);
}

CString DistinctNames(size_t count) {
    CString text;
    for (size_t i = 0; i < count; ++i) text += "n" + std::to_string(i) + "=\n";
    return text;
}

TEST(ComGuard, PassesTheBodysResultAndTurnsExceptionsIntoFailures) {
    EXPECT_EQ(Guard([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(Guard([] { return E_POINTER; }), E_POINTER);
    EXPECT_EQ(Guard([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    // What a too large array size throws is still running out of memory.
    EXPECT_EQ(Guard([]() -> HRESULT { throw std::bad_array_new_length(); }), E_OUTOFMEMORY);
    EXPECT_EQ(Guard([]() -> HRESULT { throw std::length_error("too long"); }), E_UNEXPECTED);
    EXPECT_EQ(Guard([]() -> HRESULT { throw 42; }), E_UNEXPECTED);
}

TEST(ComGuard, StopsAnExceptionThatWouldEndTheProgram) {
    // Past a noexcept boundary an escaping exception calls std::terminate.
    auto boundary = [](bool fail) noexcept {
        return Guard([fail] {
            if (fail) throw std::runtime_error("inside");
            return S_OK;
        });
    };
    EXPECT_EQ(boundary(false), S_OK);
    EXPECT_EQ(boundary(true), E_UNEXPECTED);
}

TEST(StateStream, RoundTripsThroughTheDocumentedBytes) {
    CPropertyBag bag;
    bag.Write("Dir", "C:\\frames");
    bag.Write("Delay", "100");
    CString bytes;
    ASSERT_EQ(FormatState(bag, &bytes), StateError::None);
    const CString text = bag.ToText();
    EXPECT_EQ(bytes, Header(0x5254564D, uint32_t(text.size())) + text);
    EXPECT_EQ(bytes.substr(0, 4), "MVTR");

    CPropertyBag back;
    ASSERT_EQ(Parse(bytes, &back), StateError::None);
    EXPECT_EQ(back.Entries(), bag.Entries());
    // What follows the announced text belongs to someone else.
    ASSERT_EQ(Parse(bytes + "Extra=1\n", &back), StateError::None);
    EXPECT_EQ(back.Entries(), bag.Entries());
}

TEST(StateStream, RefusedStatesLeaveTheBagAsItWas) {
    const CString good = "A=1\n";
    const CString tooMany = DistinctNames(CPropertyBag::kMaxNames + 1);
    const struct {
        const char* what;
        CString bytes;
        StateError error;
    } cases[] = {
        {"empty", "", StateError::Truncated},
        {"half a header", Header(kStateTag, 4).substr(0, 6), StateError::Truncated},
        {"another tag", Header(0x52545648, 4) + good, StateError::BadTag},
        {"text cut short", Header(kStateTag, 10) + good, StateError::Truncated},
        // Refused on the header alone: a reader allocates nothing for it.
        {"count over the limit", Header(kStateTag, kMaxStateTextBytes + 1), StateError::TooLong},
        {"count of all ones", Header(kStateTag, 0xFFFFFFFFu), StateError::TooLong},
        {"too many names", Header(kStateTag, uint32_t(tooMany.size())) + tooMany,
         StateError::TooManyNames},
    };
    for (const auto& c : cases) {
        CPropertyBag bag;
        bag.Write("Kept", "yes");
        EXPECT_EQ(Parse(c.bytes, &bag), c.error) << c.what;
        ASSERT_EQ(bag.Count(), 1u) << c.what;
        EXPECT_EQ(bag.Read("Kept"), CString("yes")) << c.what;
    }
}

TEST(StateStream, LimitsAreInclusive) {
    uint8_t header[kStateHeaderBytes];
    FormatStateHeader(kMaxStateTextBytes, header);
    uint32_t count = 0;
    EXPECT_EQ(ParseStateHeader(header, &count), StateError::None);
    EXPECT_EQ(count, kMaxStateTextBytes);

    CPropertyBag bag;
    ASSERT_EQ(ParseStateText(DistinctNames(CPropertyBag::kMaxNames), &bag), StateError::None);
    EXPECT_EQ(bag.Count(), CPropertyBag::kMaxNames);
}

TEST(StateStream, ABagTooLargeToSaveWritesNothing) {
    CPropertyBag bag;
    bag.Write("Big", CString(kMaxStateTextBytes, 'x'));
    CString bytes = "stale";
    EXPECT_EQ(FormatState(bag, &bytes), StateError::TooLong);
    EXPECT_TRUE(bytes.empty());
}

}  // namespace
