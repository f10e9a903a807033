// One automate request line to a session over a host that makes no control and waits for
// nothing: whatever the bytes, the line gets exactly one reply (a blank one none), the reply
// is one line of JSON with a boolean "ok", and a request's "id" comes back as it was sent.
// The same bytes as a text value must come back unchanged through a written line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "apps/AutomationJson.h"
#include "tests/support/FakeAutomationHost.h"

using json = nlohmann::json;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    const json text = json::parse(DumpLine(TextToJson(line)), nullptr, false);
    if (text.is_discarded() || TextFromJson(text) != line) std::abort();
    // The reader hands the session lines without their newline.
    if (size_t nl = line.find('\n'); nl != std::string::npos) line.resize(nl);

    CFakeAutomationHost host;
    std::vector<std::string> out;
    {
        CAutomationSession session(host, [&out](const std::string& l) { out.push_back(l); });
        session.HandleLine(line);
    }
    const bool blank = line.find_first_not_of(" \t\r") == std::string::npos;
    if (out.size() != (blank ? 0u : 1u)) std::abort();
    if (blank) return 0;

    const std::string& reply = out.front();
    if (reply.find('\n') != std::string::npos) std::abort();
    const json r = json::parse(reply, nullptr, /*allow_exceptions=*/false);
    if (!r.is_object() || !r.contains("ok") || !r["ok"].is_boolean()) std::abort();

    // The id is echoed whenever the session could read the request; parsing deeper lines
    // here would only test the library.
    if (line.size() > kAutomationMaxLineBytes || NestingDepth(line) > kAutomationMaxDepth) return 0;
    const json req = json::parse(line, nullptr, false);
    if (req.is_object() && req.contains("id") && (!r.contains("id") || r["id"] != req["id"]))
        std::abort();
    return 0;
}
