// The automation session: request lines to property calls, mouse messages, waits and
// snapshots on a host.
#include <chrono>
#include <cstdio>
#include <deque>
#include <limits>
#include <optional>
#include <stdexcept>

#include "apps/Automation.h"
#include "apps/AutomationJson.h"
#include "framework/PropertyBag.h"
#include "playback/Commands.h"

using json = nlohmann::json;

namespace {

constexpr uint32_t kDefaultTimeoutMs = 10000;
constexpr uint32_t kDefaultQuietMs = 300;
constexpr int32_t kMaxSide = 8192;
// A parse error quotes what it read; a quote of a whole long line helps nobody.
constexpr size_t kMaxQuotedError = 200;
// Events kept for "until":"event" while no request comes; the oldest go first.
constexpr size_t kMaxRecentEvents = 4096;

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kUInt32Max = std::numeric_limits<uint32_t>::max();

// A request that cannot be carried out; its text becomes the error reply.
struct RequestError {
    std::string message;
};

std::string Quoted(const char* key) {
    return std::string("\"") + key + "\"";
}

const json& Need(const json& req, const char* key) {
    auto it = req.find(key);
    if (it == req.end()) throw RequestError{"missing " + Quoted(key)};
    return *it;
}

// An integer member within [lo, hi]; "what" names the kind of value in the error.
int64_t NeedRange(const json& v, const char* key, int64_t lo, int64_t hi, const char* what) {
    if (!v.is_number_integer()) throw RequestError{Quoted(key) + " must be an integer"};
    const std::optional<int64_t> n = IntegerOf(v);
    if (!n || *n < lo || *n > hi) {
        throw RequestError{Quoted(key) + ": " + what + " is " + std::to_string(lo) + " to " +
                           std::to_string(hi)};
    }
    return *n;
}

int32_t NeedInt(const json& req, const char* key) {
    return int32_t(NeedRange(Need(req, key), key, kInt32Min, kInt32Max, "an integer"));
}

std::string NeedString(const json& req, const char* key) {
    const json& v = Need(req, key);
    if (!v.is_string()) throw RequestError{Quoted(key) + " must be a string"};
    return v.get<std::string>();
}

// A string, or any bytes in the {"hex":"..."} form; label names the value in errors.
std::string TextOf(const json& v, const std::string& label) {
    try {
        if (std::optional<std::string> text = TextFromJson(v)) return *text;
    } catch (const std::invalid_argument& e) {
        throw RequestError{label + ": " + e.what()};
    }
    throw RequestError{label + " must be a string or {\"hex\":...}"};
}

std::string NeedText(const json& req, const char* key) {
    return TextOf(Need(req, key), Quoted(key));
}

uint32_t OptTimeout(const json& req, const char* key, uint32_t def) {
    auto it = req.find(key);
    if (it == req.end()) return def;
    return uint32_t(NeedRange(*it, key, 0, kInt32Max, "a time in ms"));
}

json ToJson(const CVariant& v) {
    switch (v.vt()) {
        case VT_I2:
            return v.iVal();
        case VT_I4:
            return v.lVal();
        case VT_UI4:
            return v.ulVal();
        case VT_BOOL:
            return v.boolVal() != 0;
        case VT_BSTR:
            return TextToJson(v.bstrVal());
        default:
            return nullptr;
    }
}

CVariant FromJson(const json& v) {
    if (v.is_boolean()) return CVariant::Bool(v.get<bool>() ? TRUE : FALSE);
    if (v.is_number_integer()) {
        // Above int32 the value keeps its bits as an unsigned one, as a colour does.
        const int64_t n = NeedRange(v, "value", kInt32Min, kUInt32Max, "an integer");
        if (n <= kInt32Max) return CVariant::I4(int32_t(n));
        return CVariant::UI4(uint32_t(n));
    }
    if (v.is_string() || v.is_object()) return CVariant::Str(TextOf(v, Quoted("value")));
    throw RequestError{"\"value\" must be a string, {\"hex\":...}, a boolean or an integer"};
}

std::string HresultText(HRESULT hr) {
    switch (hr) {
        case DISP_E_UNKNOWNNAME:
            return "unknown name";
        case DISP_E_MEMBERNOTFOUND:
            return "no such property or method";
        case DISP_E_TYPEMISMATCH:
            return "value of the wrong type";
        case DISP_E_OVERFLOW:
            return "value out of range";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "failed (0x%08x)", uint32_t(hr));
            return text;
        }
    }
}

// The frame the last paint showed, or -1 while it was none of the current source's list.
int32_t CurrentFrame(const CHostedControl& c) {
    return c.ShowsFrame(c.ShownFrameIndex()) ? c.ShownFrameIndex() : -1;
}

json DialogJson(const CDialogTemplate& d) {
    json items = json::array();
    for (const CDialogItem& item : d.items) items.push_back({{"id", item.id}, {"text", item.text}});
    return {{"id", d.id}, {"caption", d.caption}, {"items", items}};
}

json ErrorReply(std::string message) {
    return {{"ok", false}, {"error", std::move(message)}};
}

}  // namespace

struct CAutomationSession::Impl {
    IAutomationHost& host;
    Writer write;
    CAutomationSession* owner;
    uint32_t eventCookie = 0;
    // Events since the previous reply, for "until":"event": one that fires between two
    // requests is not lost to the wait that follows.
    std::deque<std::pair<std::string, json>> recent;

    CHostedControl& Hosted() {
        CHostedControl* c = host.Control();
        if (!c) throw RequestError{"no control: send {\"op\":\"create\"} first"};
        return *c;
    }
    COleControl& Ctrl() { return Hosted().Control(); }

    DISPID Resolve(const json& req) {
        const json& name = Need(req, "name");
        if (name.is_number_integer())
            return DISPID(NeedRange(name, "name", kInt32Min, kInt32Max, "a DISPID"));
        if (!name.is_string()) throw RequestError{"\"name\" must be a name or a DISPID"};
        DISPID id;
        HRESULT hr = Ctrl().GetIDOfName(name.get<std::string>(), &id);
        if (FAILED(hr)) throw RequestError{name.get<std::string>() + ": " + HresultText(hr)};
        return id;
    }

    void Check(HRESULT hr, const json& req) {
        if (SUCCEEDED(hr)) return;
        const json& name = Need(req, "name");
        throw RequestError{(name.is_string() ? name.get<std::string>() : DumpLine(name)) + ": " +
                           HresultText(hr)};
    }

    json Handle(const json& req, const std::string& op);
    json Create(const json& req);
    json Mouse(const json& req);
    json Wait(const json& req);
    json Save(const json& req);
    json Load(const json& req);
    json Info();
};

CAutomationSession::CAutomationSession(IAutomationHost& host, Writer write)
    : m_impl(std::make_unique<Impl>(Impl{host, std::move(write), this, 0, {}})) {}

CAutomationSession::~CAutomationSession() {
    if (CHostedControl* c = m_impl->host.Control())
        c->Control().UnadviseEvents(m_impl->eventCookie);
}

void CAutomationSession::OnEvent(DISPID, const CString& name, const std::vector<CVariant>& args) {
    // The control fires from inside its own code: nothing may be thrown back into it.
    try {
        json list = json::array();
        for (const CVariant& a : args) list.push_back(ToJson(a));
        if (m_impl->recent.size() >= kMaxRecentEvents) m_impl->recent.pop_front();
        m_impl->recent.emplace_back(name, list);
        m_impl->write(DumpLine(json{{"event", name}, {"args", list}}));
    } catch (...) {
    }
}

void CAutomationSession::RefuseOverlongLine() {
    m_impl->write(DumpLine(ErrorReply(
        "a line longer than " + std::to_string(kAutomationMaxLineBytes) + " bytes: refused")));
    m_impl->recent.clear();
}

bool CAutomationSession::HandleLine(const std::string& line) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) return true;
    if (line.size() > kAutomationMaxLineBytes) {
        RefuseOverlongLine();
        return true;
    }
    json reply;
    json req;
    bool go_on = true;
    if (NestingDepth(line) > kAutomationMaxDepth) {
        reply = ErrorReply("arrays and objects nested deeper than " +
                           std::to_string(kAutomationMaxDepth) + " levels: refused");
    } else {
        try {
            req = json::parse(line);
        } catch (const std::exception& e) {
            // Out-of-range numbers throw too, not only syntax errors.
            std::string what = e.what();
            if (what.size() > kMaxQuotedError) what = what.substr(0, kMaxQuotedError) + "...";
            reply = ErrorReply("bad JSON: " + what);
        }
    }
    if (reply.is_null()) {
        try {
            if (!req.is_object()) throw RequestError{"a request is a JSON object"};
            const std::string op = NeedString(req, "op");
            if (op == "quit") {
                go_on = false;
                reply = {{"ok", true}};
            } else {
                reply = m_impl->Handle(req, op);
            }
        } catch (const RequestError& e) {
            reply = ErrorReply(e.message);
        } catch (const json::exception& e) {
            reply = ErrorReply(std::string("bad request: ") + e.what());
        } catch (const std::exception& e) {
            reply = ErrorReply(std::string("failed: ") + e.what());
        }
    }
    try {
        if (req.is_object() && req.contains("id")) reply["id"] = req["id"];
        if (req.is_object() && req.contains("op")) reply["op"] = req["op"];
    } catch (...) {
        reply = ErrorReply("the request's id could not be copied");
    }
    m_impl->write(DumpLine(reply));
    m_impl->recent.clear();
    return go_on;
}

json CAutomationSession::Impl::Handle(const json& req, const std::string& op) {
    if (op == "create") return Create(req);
    if (op == "destroy") {
        if (CHostedControl* c = host.Control()) c->Control().UnadviseEvents(eventCookie);
        host.Destroy();
        return {{"ok", true}};
    }
    if (op == "set") {
        const DISPID id = Resolve(req);
        const CVariant value = FromJson(Need(req, "value"));
        Check(Ctrl().SetProperty(id, value), req);
        return {{"ok", true}};
    }
    if (op == "get") {
        const DISPID id = Resolve(req);
        CVariant v;
        Check(Ctrl().GetProperty(id, &v), req);
        return {{"ok", true}, {"value", ToJson(v)}};
    }
    if (op == "call") {
        const DISPID id = Resolve(req);
        Check(Ctrl().InvokeMethod(id), req);
        json reply = {{"ok", true}};
        json dialogs = json::array();
        for (const CDialogTemplate& d : host.TakeDialogs()) dialogs.push_back(DialogJson(d));
        if (!dialogs.empty()) reply["dialogs"] = dialogs;
        return reply;
    }
    if (op == "mouse") return Mouse(req);
    if (op == "wait") return Wait(req);
    if (op == "snapshot") {
        Ctrl();
        const std::string path = NeedText(req, "path");
        if (!host.SavePng(path)) throw RequestError{"cannot write " + path};
        return {{"ok", true}, {"path", TextToJson(path)}};
    }
    if (op == "save") return Save(req);
    if (op == "load") return Load(req);
    if (op == "reset") {
        COleControl& c = Ctrl();
        host.WithWindowRecreated([&] { c.OnResetState(); });
        return {{"ok", true}};
    }
    if (op == "resize") {
        const int32_t cx = int32_t(NeedRange(Need(req, "width"), "width", 1, kMaxSide, "a side"));
        const int32_t cy = int32_t(NeedRange(Need(req, "height"), "height", 1, kMaxSide, "a side"));
        Ctrl();
        host.Resize(cx, cy);
        return {{"ok", true}};
    }
    if (op == "info") return Info();
    throw RequestError{"unknown op \"" + op + "\""};
}

json CAutomationSession::Impl::Create(const json& req) {
    if (host.Control()) throw RequestError{"a control exists already: destroy it first"};
    auto side = [&](const char* key) {
        auto it = req.find(key);
        return it == req.end() ? std::nullopt
                               : std::optional<int32_t>(NeedRange(*it, key, 1, kMaxSide, "a side"));
    };
    const int32_t cx = side("width").value_or(400);
    const int32_t cy = side("height").value_or(300);
    std::string error;
    if (!host.Create(cx, cy, &error)) throw RequestError{error};
    eventCookie = host.Control()->Control().AdviseEvents(owner);
    return {{"ok", true}, {"width", cx}, {"height", cy}};
}

json CAutomationSession::Impl::Mouse(const json& req) {
    const std::string kind = NeedString(req, "kind");
    // Window messages carry 16-bit coordinates.
    const auto coordinate = [&](const char* key) {
        return int32_t(NeedRange(Need(req, key), key, INT16_MIN, INT16_MAX, "a coordinate"));
    };
    const int32_t x = coordinate("x"), y = coordinate("y");
    uint32_t buttons = 0;
    if (auto it = req.find("buttons"); it != req.end())
        buttons = uint32_t(NeedRange(*it, "buttons", 0, kUInt32Max, "a set of flags"));
    uint32_t msg = 0, flags = 0;
    bool click = false;
    if (kind == "ldown") {
        msg = WM_LBUTTONDOWN;
        flags = MK_LBUTTON;
    } else if (kind == "lup") {
        msg = WM_LBUTTONUP;
    } else if (kind == "move") {
        msg = WM_MOUSEMOVE;
        flags = buttons;
    } else if (kind == "rdown") {
        msg = WM_RBUTTONDOWN;
        flags = MK_RBUTTON;
    } else if (kind == "click") {
        click = true;
    } else {
        throw RequestError{"unknown mouse kind \"" + kind + "\" (ldown, lup, move, rdown, click)"};
    }
    Ctrl();
    if (click) {
        host.Mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        host.Mouse(WM_LBUTTONUP, x, y, 0);
    } else {
        host.Mouse(msg, x, y, flags);
    }
    return {{"ok", true}};
}

json CAutomationSession::Impl::Wait(const json& req) {
    const std::string until = NeedString(req, "until");
    const uint32_t timeout = OptTimeout(req, "timeout_ms", kDefaultTimeoutMs);
    // The request is read whole before the control is looked at.
    std::function<bool(CHostedControl&)> done;
    std::string what;
    if (until == "frame") {
        const int32_t index = NeedInt(req, "index");
        done = [index](CHostedControl& c) { return c.ShowsFrame(index); };
        what = "frame " + std::to_string(index);
    } else if (until == "idle") {
        // At rest: nothing plays (no command, Stop, or paused) and no paint for a while.
        const auto quiet = std::chrono::milliseconds(OptTimeout(req, "quiet_ms", kDefaultQuietMs));
        auto lastPaint = std::chrono::steady_clock::now();
        int32_t paints = host.PaintCount();
        done = [this, quiet, lastPaint, paints](CHostedControl& c) mutable {
            const auto now = std::chrono::steady_clock::now();
            if (host.PaintCount() != paints) {
                paints = host.PaintCount();
                lastPaint = now;
            }
            CVariant pause;
            c.Control().GetProperty("Pause", &pause);
            const int16_t cmd = c.CurrentCommand();
            const bool resting = IsAtRest(cmd) || (pause.vt() == VT_BOOL && pause.boolVal());
            return resting && now - lastPaint >= quiet;
        };
        what = "idle";
    } else if (until == "event") {
        const std::string name = NeedString(req, "name");
        std::optional<json> args;
        if (auto it = req.find("args"); it != req.end()) args = *it;
        done = [this, name, args](CHostedControl&) {
            for (const auto& [n, a] : recent)
                if (n == name && (!args || *args == a)) return true;
            return false;
        };
        what = "event " + name + (args ? " " + DumpLine(*args) : "");
    } else if (until == "paints") {
        // In 64 bits: a count near the int32 limit must not wrap into the past.
        const int64_t count = NeedRange(Need(req, "count"), "count", 0, kInt32Max, "a count");
        const int64_t target = int64_t(host.PaintCount()) + count;
        done = [this, target](CHostedControl&) { return int64_t(host.PaintCount()) >= target; };
        what = "paint " + std::to_string(target);
    } else {
        throw RequestError{"unknown wait \"" + until + "\" (frame, idle, event, paints)"};
    }
    CHostedControl& c = Hosted();
    const bool held = host.PumpUntil([&] { return done(c); }, timeout);
    json reply = {{"ok", held},
                  {"frame", CurrentFrame(c)},
                  {"count", c.ShownFrameCount()},
                  {"paints", host.PaintCount()}};
    if (!held)
        reply["error"] = "timeout after " + std::to_string(timeout) + " ms waiting for " + what;
    return reply;
}

json CAutomationSession::Impl::Save(const json& req) {
    CPropertyBag bag;
    Ctrl().SaveProperties(bag);
    json props = json::object();
    for (const auto& [name, value] : bag.Entries()) props[name] = TextToJson(value);
    json reply = {{"ok", true}, {"properties", props}};
    if (req.contains("path")) {
        const std::string path = NeedText(req, "path");
        CString error;
        if (!bag.SaveToFile(path, &error)) throw RequestError{error};
        reply["path"] = TextToJson(path);
    }
    return reply;
}

json CAutomationSession::Impl::Load(const json& req) {
    CPropertyBag bag;
    const auto tooMany = [] {
        return RequestError{"\"properties\": a saved state holds at most " +
                            std::to_string(CPropertyBag::kMaxNames) + " names"};
    };
    if (req.contains("path")) {
        const std::string path = NeedText(req, "path");
        Ctrl();
        CString error;
        if (!bag.LoadFromFile(path, &error)) throw RequestError{error};
    } else {
        // The whole state is read before the control is touched, so a refused one leaves the
        // control as it was.
        const json& props = Need(req, "properties");
        if (!props.is_object()) throw RequestError{"\"properties\" must be an object"};
        for (const auto& [name, value] : props.items()) {
            const std::string label = "\"properties\": \"" + name + "\"";
            std::string text;
            if (value.is_string() || value.is_object())
                text = TextOf(value, label);
            else if (value.is_number() || value.is_boolean())
                text = DumpLine(value);
            else
                throw RequestError{label +
                                   " must be a string, {\"hex\":...}, a number or a boolean"};
            if (!bag.Write(name, text)) throw tooMany();
        }
    }
    COleControl& c = Ctrl();
    host.WithWindowRecreated([&] { c.LoadProperties(bag); });
    return {{"ok", true}};
}

json CAutomationSession::Impl::Info() {
    CHostedControl& c = Hosted();
    return {{"ok", true},
            {"frame", CurrentFrame(c)},
            {"count", c.ShownFrameCount()},
            {"command", c.CurrentCommand()},
            {"cached", c.CachedFrameCount()},
            {"paints", host.PaintCount()},
            {"modified", c.Control().IsModified() != FALSE},
            {"window", c.Control().GetSafeHwnd() != nullptr},
            {"width", host.Width()},
            {"height", host.Height()}};
}
