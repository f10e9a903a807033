// The automate session in-process, over a host without a container: every line gets one
// reply whatever it holds, integers outside their type are refused by name and range, texts
// that are not UTF-8 travel as {"hex":...} both ways, and a refused state leaves the control
// as it was.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "apps/AutomationJson.h"
#include "framework/PropertyBag.h"
#include "tests/support/FakeAutomationHost.h"
#include "tests/support/TestFiles.h"

using json = nlohmann::json;

namespace {

// A session and what it wrote. With a control, the real one from the built module (no
// window: nothing plays).
class AutomationSessionTest : public ::testing::Test {
protected:
    explicit AutomationSessionTest(bool withControl = false)
        : m_host(withControl ? CFakeAutomationHost::Maker(MakeControl) : nullptr),
          m_session(m_host, [this](const std::string& line) { m_out.push_back(line); }) {}

    static std::unique_ptr<CHostedControl> MakeControl(std::string* error) {
        return CHostedControl::Create(TempPath("registry.reg"), MOVITREL_MODULE_FILE, error);
    }

    // Every line the session wrote for this one, parsed; a line that is not JSON fails.
    std::vector<json> Lines(const std::string& line) {
        m_out.clear();
        m_session.HandleLine(line);
        std::vector<json> parsed;
        for (const std::string& out : m_out) {
            EXPECT_EQ(out.find('\n'), std::string::npos) << out;
            parsed.push_back(json::parse(out, nullptr, false));
            EXPECT_FALSE(parsed.back().is_discarded()) << out;
        }
        return parsed;
    }
    // The reply to a line that causes no event: the only line written.
    json ReplyToLine(const std::string& line) {
        std::vector<json> lines = Lines(line);
        EXPECT_EQ(lines.size(), 1u) << line.substr(0, 200);
        return lines.empty() ? json() : lines.back();
    }
    json Reply(const json& request) { return ReplyToLine(request.dump()); }
    std::string Error(const json& request) {
        const json r = Reply(request);
        EXPECT_EQ(r["ok"], false) << r;
        return r.value("error", "");
    }

    CFakeAutomationHost m_host;
    std::vector<std::string> m_out;
    CAutomationSession m_session;
};

class AutomationSessionWithControl : public AutomationSessionTest {
protected:
    AutomationSessionWithControl() : AutomationSessionTest(true) {}
    void SetUp() override {
        const json r = Reply(json{{"op", "create"}});
        ASSERT_EQ(r["ok"], true) << r;
    }
    json Get(const char* name) { return Reply(json{{"op", "get"}, {"name", name}})["value"]; }
};

std::string Nested(int32_t depth) {
    return std::string(size_t(depth), '[') + std::string(size_t(depth), ']');
}

}  // namespace

TEST_F(AutomationSessionTest, NumbersBeyondADoubleAreBadJsonAndTheSessionGoesOn) {
    for (const char* line : {R"({"op":"info","id":1e400})", R"({"op":"info","id":-1e999})"}) {
        const json r = ReplyToLine(line);
        EXPECT_EQ(r["ok"], false);
        EXPECT_EQ(r["error"].get<std::string>().rfind("bad JSON", 0), 0u) << r;
    }
    EXPECT_EQ(Reply(json{{"op", "info"}, {"id", 7}})["id"], 7);
}

TEST_F(AutomationSessionTest, NestingIsRefusedPastSixtyFourLevelsAndEchoedUpToThem) {
    // The request's object is the first level.
    const std::string deepest = Nested(63);
    json r = ReplyToLine(R"({"op":"info","id":)" + deepest + "}");
    EXPECT_EQ(r["id"], json::parse(deepest));
    EXPECT_NE(r["error"].get<std::string>().find("no control"), std::string::npos);

    for (int32_t depth : {64, 100000}) {
        r = ReplyToLine(R"({"op":"info","id":)" + Nested(depth) + "}");
        EXPECT_EQ(r["ok"], false);
        EXPECT_NE(r["error"].get<std::string>().find("deeper than 64"), std::string::npos) << r;
        EXPECT_FALSE(r.contains("id"));
    }
    // Brackets inside strings are text, not nesting.
    r = ReplyToLine(R"({"op":"info","id":")" + std::string(1000, '[') + "\"}");
    EXPECT_EQ(r["id"], std::string(1000, '['));
}

TEST_F(AutomationSessionTest, LinesLongerThanTheLimitAreRefusedUnparsed) {
    const std::string head = R"({"op":"info","id":1,"pad":")";
    const std::string tail = "\"}";
    const std::string fits =
        head + std::string(kAutomationMaxLineBytes - head.size() - tail.size(), 'x') + tail;
    ASSERT_EQ(fits.size(), kAutomationMaxLineBytes);
    EXPECT_EQ(ReplyToLine(fits)["id"], 1);

    const json r = ReplyToLine(head + std::string(kAutomationMaxLineBytes, 'x') + tail);
    EXPECT_EQ(r["ok"], false);
    EXPECT_NE(r["error"].get<std::string>().find("longer than 1048576 bytes"), std::string::npos);
    EXPECT_FALSE(r.contains("id"));
}

TEST_F(AutomationSessionTest, BytesThatAreNotUtf8InALineStillGetAJsonReply) {
    for (const std::string& line :
         {std::string("{\"op\":\"\xff\"}"), std::string("\xe9"), std::string("caf\xc3")}) {
        const json r = ReplyToLine(line);
        EXPECT_EQ(r["ok"], false);
        EXPECT_EQ(r["error"].get<std::string>().rfind("bad JSON", 0), 0u);
    }
}

TEST_F(AutomationSessionWithControl, DispidsAndValuesOutsideTheirTypeAreRefusedWithTheRange) {
    ASSERT_EQ(Reply(json{{"op", "set"}, {"name", "Delay"}, {"value", 250}})["ok"], true);
    // 4294967299 truncated to 32 bits is 3, Command's DISPID.
    const std::string dispid = "\"name\": a DISPID is -2147483648 to 2147483647";
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", 4294967299u}, {"value", 1}}), dispid);
    EXPECT_EQ(Error(json{{"op", "get"}, {"name", -2147483649LL}}), dispid);
    EXPECT_EQ(Error(json{{"op", "call"}, {"name", 18446744073709551615u}}), dispid);
    EXPECT_EQ(Get("Command"), 0);

    // Past int64 the parser keeps the number unsigned; it must not wrap to -1.
    const std::string value = "\"value\": an integer is -2147483648 to 4294967295";
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Delay"}, {"value", 18446744073709551615u}}),
              value);
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Delay"}, {"value", 4294967296LL}}), value);
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Delay"}, {"value", -2147483649LL}}), value);
    EXPECT_EQ(Get("Delay"), 250);
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Delay"}, {"value", nullptr}}),
              "\"value\" must be a string, {\"hex\":...}, a boolean or an integer");
    // A colour's top bit travels as an unsigned value (a system colour here).
    EXPECT_EQ(Reply(json{{"op", "set"}, {"name", "BackColor"}, {"value", 0x80000008u}})["ok"],
              true);
    EXPECT_EQ(Get("BackColor"), 0x80000008u);
}

TEST_F(AutomationSessionWithControl, RequestIntegersAreCheckedAgainstWhatTheyMean) {
    EXPECT_EQ(Error(json{{"op", "wait"}, {"until", "frame"}, {"index", 18446744073709551615u}}),
              "\"index\": an integer is -2147483648 to 2147483647");
    EXPECT_EQ(Error(json{{"op", "wait"}, {"until", "idle"}, {"timeout_ms", -1}}),
              "\"timeout_ms\": a time in ms is 0 to 2147483647");
    // Window messages carry 16-bit coordinates: a larger one would arrive as another point.
    EXPECT_EQ(Error(json{{"op", "mouse"}, {"kind", "ldown"}, {"x", 65546}, {"y", 1}}),
              "\"x\": a coordinate is -32768 to 32767");
    EXPECT_TRUE(m_host.mice.empty());
    EXPECT_EQ(
        Reply(json{
            {"op", "mouse"}, {"kind", "move"}, {"x", -32768}, {"y", 32767}, {"buttons", 1}})["ok"],
        true);
    ASSERT_EQ(m_host.mice.size(), 1u);
    EXPECT_EQ(m_host.mice[0].x, -32768);
    EXPECT_EQ(m_host.mice[0].y, 32767);
    EXPECT_EQ(m_host.mice[0].flags, 1u);
}

TEST_F(AutomationSessionWithControl, PaintWaitsCountWithoutOverflow) {
    m_host.paints = 5;
    json r = Reply(json{{"op", "wait"}, {"until", "paints"}, {"count", 2147483647}});
    EXPECT_EQ(r["ok"], false) << r;
    EXPECT_NE(r["error"].get<std::string>().find("timeout"), std::string::npos);
    EXPECT_EQ(r["paints"], 5);
    EXPECT_EQ(Reply(json{{"op", "wait"}, {"until", "paints"}, {"count", 0}})["ok"], true);
    EXPECT_EQ(Reply(json{{"op", "wait"}, {"until", "paints"}, {"count", 1}})["ok"], false);
    for (const json& count : {json(2147483648LL), json(-1)}) {
        EXPECT_EQ(Error(json{{"op", "wait"}, {"until", "paints"}, {"count", count}}),
                  "\"count\": a count is 0 to 2147483647");
    }
    EXPECT_EQ(m_host.lastTimeoutMs, 10000u);
}

TEST_F(AutomationSessionWithControl, TextsThatAreNotUtf8TravelAsHexBothWays) {
    const json cafe = {{"hex", "2f746d702f636166e9"}};  // "/tmp/caf" and a Latin-1 e
    ASSERT_EQ(Reply(json{{"op", "set"}, {"name", "Dir"}, {"value", cafe}})["ok"], true);
    EXPECT_EQ(Get("Dir"), cafe);
    json r = Reply(json{{"op", "save"}});
    EXPECT_EQ(r["properties"]["Dir"], cafe);

    // The file holds the bytes themselves, and loading it gives them back.
    const std::string state = TempPath("cafe.txt");
    ASSERT_EQ(Reply(json{{"op", "save"}, {"path", state}})["ok"], true);
    EXPECT_NE(ReadText(state).find("Dir=/tmp/caf\xe9\n"), std::string::npos);
    ASSERT_EQ(Reply(json{{"op", "reset"}})["ok"], true);
    EXPECT_EQ(Get("Dir"), "");
    ASSERT_EQ(Reply(json{{"op", "load"}, {"path", state}})["ok"], true);
    EXPECT_EQ(Get("Dir"), cafe);

    // A path may take the same form; UTF-8 comes back as a plain string, in either case.
    const std::string hexPath = TempPath("h\xe9x.txt");
    r = Reply(json{{"op", "save"}, {"path", TextToJson(hexPath)}});
    EXPECT_EQ(r["path"], TextToJson(hexPath));
    EXPECT_EQ(ReadText(hexPath), ReadText(state));
    ASSERT_EQ(Reply(json{{"op", "load"}, {"properties", {{"Dir", {{"hex", "2F41"}}}}}})["ok"],
              true);
    EXPECT_EQ(Get("Dir"), "/A");
}

// Whatever the bytes, the JSON library writes the encoded text strictly and reading it back
// gives the same bytes; UTF-8 at the edges of its ranges stays a string.
TEST(AutomationTexts, AnyBytesSurviveAWriteAndARead) {
    const std::vector<std::string> utf8 = {"plain",        "caf\xc3\xa9",  "\xf4\x8f\xbf\xbf",
                                           "\xef\xbf\xbf", "\xed\x9f\xbf", std::string("a\0b", 3)};
    // A lone Latin-1 byte, overlong forms, a surrogate, past U+10FFFF, cut short, stray.
    const std::vector<std::string> other = {
        "\xe9",     "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80",
        "\xf5\x80", "\xe2\x82", "\x80",         "\xfe\xff"};
    for (const auto* list : {&utf8, &other}) {
        for (const std::string& bytes : *list) {
            const json encoded = TextToJson(bytes);
            EXPECT_EQ(encoded.is_string(), list == &utf8) << encoded;
            std::string line;
            ASSERT_NO_THROW(line = encoded.dump());
            EXPECT_EQ(TextFromJson(json::parse(line)), bytes);
        }
    }
    EXPECT_EQ(TextToJson("\x2f\xe9"), (json{{"hex", "2fe9"}}));
}

TEST_F(AutomationSessionWithControl, MalformedHexFormsAreRefused) {
    const std::string two = "\"value\": {\"hex\":...} takes two hex digits a byte";
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Dir"}, {"value", {{"hex", "2f7"}}}}), two);
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Dir"}, {"value", {{"hex", "zz"}}}}), two);
    EXPECT_EQ(Error(json{{"op", "set"}, {"name", "Dir"}, {"value", {{"hex", "41"}, {"x", 1}}}}),
              "\"value\" must be a string or {\"hex\":...}");
    EXPECT_EQ(Error(json{{"op", "load"}, {"properties", {{"Dir", {1, 2}}}}}),
              "\"properties\": \"Dir\" must be a string, {\"hex\":...}, a number or a boolean");
    EXPECT_EQ(Get("Dir"), "");
}

TEST_F(AutomationSessionWithControl, StatesWithTooManyNamesAreRefusedAndChangeNothing) {
    ASSERT_EQ(Reply(json{{"op", "set"}, {"name", "Delay"}, {"value", 250}})["ok"], true);
    json props = {{"Delay", "77"}};
    for (size_t i = 1; i < CPropertyBag::kMaxNames; ++i) props["N" + std::to_string(i)] = "1";
    json over = props;
    over["OneTooMany"] = "1";
    EXPECT_EQ(Error(json{{"op", "load"}, {"properties", over}}),
              "\"properties\": a saved state holds at most 4096 names");
    EXPECT_EQ(Get("Delay"), 250);

    std::string text;
    for (const auto& [name, value] : over.items())
        text += name + "=" + value.get<std::string>() + "\n";
    const std::string file = TempPath("many.txt");
    ASSERT_TRUE(WriteAll(file, std::vector<uint8_t>(text.begin(), text.end())));
    const std::string error = Error(json{{"op", "load"}, {"path", file}});
    EXPECT_EQ(error.rfind("cannot read " + file, 0), 0u) << error;
    EXPECT_NE(error.find("4096"), std::string::npos) << error;
    EXPECT_EQ(Get("Delay"), 250);

    // At the limit it loads. Names are compared without regard to case, as the bag does.
    props["delay"] = "78";
    ASSERT_EQ(Reply(json{{"op", "load"}, {"properties", props}})["ok"], true);
    EXPECT_EQ(Get("Delay"), 78);
}

TEST_F(AutomationSessionWithControl, SaveAndLoadErrorsCarryTheReason) {
    const std::string missing = TempPath("no-such-folder/state.txt");
    std::string error = Error(json{{"op", "save"}, {"path", missing}});
    EXPECT_EQ(error.rfind("cannot write " + missing + ": ", 0), 0u) << error;
    error = Error(json{{"op", "load"}, {"path", missing}});
    EXPECT_EQ(error.rfind("cannot read " + missing + ": ", 0), 0u) << error;
    EXPECT_GT(error.size(), ("cannot read " + missing + ": ").size());
}
