// The automation session and the headless host.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "apps/Automation.h"
#include "apps/MovitrelApp.h"
#include "framework/PropertyBag.h"
#include "host/headless/HeadlessSite.h"
#include "playback/Commands.h"

using json = nlohmann::json;

namespace {

constexpr uint32_t kDefaultTimeoutMs = 10000;
constexpr uint32_t kDefaultQuietMs = 300;
constexpr int32_t kMaxSide = 8192;

// A request that cannot be carried out; its text becomes the error reply.
struct RequestError {
    std::string message;
};

const json& Need(const json& req, const char* key) {
    auto it = req.find(key);
    if (it == req.end()) throw RequestError{std::string("missing \"") + key + "\""};
    return *it;
}

int32_t NeedInt(const json& req, const char* key) {
    const json& v = Need(req, key);
    if (!v.is_number_integer())
        throw RequestError{std::string("\"") + key + "\" must be an integer"};
    const int64_t n = v.get<int64_t>();
    if (n < INT32_MIN || n > INT32_MAX)
        throw RequestError{std::string("\"") + key + "\" out of range"};
    return int32_t(n);
}

std::string NeedString(const json& req, const char* key) {
    const json& v = Need(req, key);
    if (!v.is_string()) throw RequestError{std::string("\"") + key + "\" must be a string"};
    return v.get<std::string>();
}

uint32_t OptTimeout(const json& req, const char* key, uint32_t def) {
    auto it = req.find(key);
    if (it == req.end()) return def;
    if (!it->is_number_integer() || it->get<int64_t>() < 0 || it->get<int64_t>() > INT32_MAX)
        throw RequestError{std::string("\"") + key + "\" must be a non-negative integer"};
    return uint32_t(it->get<int64_t>());
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
            return v.bstrVal();
        default:
            return nullptr;
    }
}

CVariant FromJson(const json& v) {
    if (v.is_boolean()) return CVariant::Bool(v.get<bool>() ? TRUE : FALSE);
    if (v.is_string()) return CVariant::Str(v.get<std::string>());
    if (v.is_number_integer()) {
        const int64_t n = v.get<int64_t>();
        if (n >= INT32_MIN && n <= INT32_MAX) return CVariant::I4(int32_t(n));
        if (n > INT32_MAX && n <= int64_t(UINT32_MAX)) return CVariant::UI4(uint32_t(n));
        throw RequestError{"value out of range"};
    }
    throw RequestError{"value must be a string, a boolean or an integer"};
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

}  // namespace

struct CAutomationSession::Impl {
    IAutomationHost& host;
    Writer write;
    CAutomationSession* owner;
    uint32_t eventCookie = 0;
    // Events since the previous reply, for "until":"event": one that fires between two
    // requests is not lost to the wait that follows.
    std::vector<std::pair<std::string, json>> recent;

    CHostedControl& Hosted() {
        CHostedControl* c = host.Control();
        if (!c) throw RequestError{"no control: send {\"op\":\"create\"} first"};
        return *c;
    }
    COleControl& Ctrl() { return Hosted().Control(); }

    DISPID Resolve(const json& req) {
        const json& name = Need(req, "name");
        if (name.is_number_integer()) return DISPID(name.get<int64_t>());
        if (!name.is_string()) throw RequestError{"\"name\" must be a name or a DISPID"};
        DISPID id;
        HRESULT hr = Ctrl().GetIDOfName(name.get<std::string>(), &id);
        if (FAILED(hr)) throw RequestError{name.get<std::string>() + ": " + HresultText(hr)};
        return id;
    }

    void Check(HRESULT hr, const json& req) {
        if (SUCCEEDED(hr)) return;
        const json& name = req["name"];
        throw RequestError{(name.is_string() ? name.get<std::string>() : name.dump()) + ": " +
                           HresultText(hr)};
    }

    json Handle(const json& req);
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
    json list = json::array();
    for (const CVariant& a : args) list.push_back(ToJson(a));
    m_impl->recent.emplace_back(name, list);
    m_impl->write(json{{"event", name}, {"args", list}}.dump());
}

bool CAutomationSession::HandleLine(const std::string& line) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) return true;
    json reply;
    json req;
    bool go_on = true;
    try {
        req = json::parse(line);
    } catch (const json::parse_error& e) {
        m_impl->write(json{{"ok", false}, {"error", std::string("bad JSON: ") + e.what()}}.dump());
        return true;
    }
    try {
        if (!req.is_object()) throw RequestError{"a request is a JSON object"};
        const std::string op = NeedString(req, "op");
        if (op == "quit") {
            go_on = false;
            reply = {{"ok", true}};
        } else {
            reply = m_impl->Handle(req);
        }
    } catch (const RequestError& e) {
        reply = {{"ok", false}, {"error", e.message}};
    } catch (const json::exception& e) {
        reply = {{"ok", false}, {"error", std::string("bad request: ") + e.what()}};
    }
    if (req.is_object() && req.contains("id")) reply["id"] = req["id"];
    if (req.is_object() && req.contains("op")) reply["op"] = req["op"];
    m_impl->write(reply.dump());
    m_impl->recent.clear();
    return go_on;
}

json CAutomationSession::Impl::Handle(const json& req) {
    const std::string op = req["op"].get<std::string>();
    if (op == "create") return Create(req);
    if (op == "destroy") {
        if (CHostedControl* c = host.Control()) c->Control().UnadviseEvents(eventCookie);
        host.Destroy();
        return {{"ok", true}};
    }
    if (op == "set") {
        const DISPID id = Resolve(req);
        Check(Ctrl().SetProperty(id, FromJson(Need(req, "value"))), req);
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
        const std::string path = NeedString(req, "path");
        if (!host.SavePng(path)) throw RequestError{"cannot write " + path};
        return {{"ok", true}, {"path", path}};
    }
    if (op == "save") return Save(req);
    if (op == "load") return Load(req);
    if (op == "reset") {
        COleControl& c = Ctrl();
        host.WithWindowRecreated([&] { c.OnResetState(); });
        return {{"ok", true}};
    }
    if (op == "resize") {
        Ctrl();
        const int32_t cx = NeedInt(req, "width"), cy = NeedInt(req, "height");
        if (cx < 1 || cy < 1 || cx > kMaxSide || cy > kMaxSide)
            throw RequestError{"width and height must be 1 to " + std::to_string(kMaxSide)};
        host.Resize(cx, cy);
        return {{"ok", true}};
    }
    if (op == "info") return Info();
    throw RequestError{"unknown op \"" + op + "\""};
}

json CAutomationSession::Impl::Create(const json& req) {
    if (host.Control()) throw RequestError{"a control exists already: destroy it first"};
    const int32_t cx = req.contains("width") ? NeedInt(req, "width") : 400;
    const int32_t cy = req.contains("height") ? NeedInt(req, "height") : 300;
    if (cx < 1 || cy < 1 || cx > kMaxSide || cy > kMaxSide)
        throw RequestError{"width and height must be 1 to " + std::to_string(kMaxSide)};
    std::string error;
    if (!host.Create(cx, cy, &error)) throw RequestError{error};
    eventCookie = host.Control()->Control().AdviseEvents(owner);
    return {{"ok", true}, {"width", cx}, {"height", cy}};
}

json CAutomationSession::Impl::Mouse(const json& req) {
    Ctrl();
    const std::string kind = NeedString(req, "kind");
    const int32_t x = NeedInt(req, "x"), y = NeedInt(req, "y");
    if (kind == "ldown")
        host.Mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    else if (kind == "lup")
        host.Mouse(WM_LBUTTONUP, x, y, 0);
    else if (kind == "move")
        host.Mouse(WM_MOUSEMOVE, x, y, req.value("buttons", 0u));
    else if (kind == "rdown")
        host.Mouse(WM_RBUTTONDOWN, x, y, MK_RBUTTON);
    else if (kind == "click") {
        host.Mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        host.Mouse(WM_LBUTTONUP, x, y, 0);
    } else {
        throw RequestError{"unknown mouse kind \"" + kind + "\" (ldown, lup, move, rdown, click)"};
    }
    return {{"ok", true}};
}

json CAutomationSession::Impl::Wait(const json& req) {
    CHostedControl& c = Hosted();
    const std::string until = NeedString(req, "until");
    const uint32_t timeout = OptTimeout(req, "timeout_ms", kDefaultTimeoutMs);
    std::function<bool()> done;
    std::string what;
    if (until == "frame") {
        const int32_t index = NeedInt(req, "index");
        done = [&c, index] { return c.ShowsFrame(index); };
        what = "frame " + std::to_string(index);
    } else if (until == "idle") {
        // At rest: nothing plays (no command, Stop, or paused) and no paint for a while.
        const auto quiet = std::chrono::milliseconds(OptTimeout(req, "quiet_ms", kDefaultQuietMs));
        auto lastPaint = std::chrono::steady_clock::now();
        int32_t paints = host.PaintCount();
        done = [&, quiet, lastPaint, paints]() mutable {
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
        if (req.contains("args")) args = req["args"];
        done = [this, name, args] {
            for (const auto& [n, a] : recent)
                if (n == name && (!args || *args == a)) return true;
            return false;
        };
        what = "event " + name + (args ? " " + args->dump() : "");
    } else if (until == "paints") {
        const int32_t target = host.PaintCount() + NeedInt(req, "count");
        done = [this, target] { return host.PaintCount() >= target; };
        what = "paint " + std::to_string(target);
    } else {
        throw RequestError{"unknown wait \"" + until + "\" (frame, idle, event, paints)"};
    }
    const bool held = host.PumpUntil(done, timeout);
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
    for (const auto& [name, value] : bag.Entries()) props[name] = value;
    json reply = {{"ok", true}, {"properties", props}};
    if (req.contains("path")) {
        const std::string path = NeedString(req, "path");
        if (!bag.SaveToFile(path)) throw RequestError{"cannot write " + path};
        reply["path"] = path;
    }
    return reply;
}

json CAutomationSession::Impl::Load(const json& req) {
    COleControl& c = Ctrl();
    CPropertyBag bag;
    if (req.contains("path")) {
        const std::string path = NeedString(req, "path");
        if (!bag.LoadFromFile(path)) throw RequestError{"cannot read " + path};
    } else {
        const json& props = Need(req, "properties");
        if (!props.is_object()) throw RequestError{"\"properties\" must be an object"};
        for (const auto& [name, value] : props.items())
            bag.Write(name, value.is_string() ? value.get<std::string>() : value.dump());
    }
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

// ---- The headless host --------------------------------------------------------------------

namespace {

class CHeadlessAutomationHost : public IAutomationHost {
public:
    ~CHeadlessAutomationHost() override { Destroy(); }

    bool Create(int32_t cx, int32_t cy, std::string* error) override {
        m_control = CreateProgramControl(error);
        if (!m_control) return false;
        m_control->Control().OnResetState();
        m_site = std::make_unique<CHeadlessSite>(m_control->Control(), cx, cy);
        if (!m_site->CreateControlWindow()) {
            *error = "the control refused its window";
            Destroy();
            return false;
        }
        return true;
    }
    void Destroy() override {
        m_site.reset();  // destroys the window first
        m_control.reset();
        m_dialogsSeen = 0;
    }
    CHostedControl* Control() override { return m_control.get(); }
    void Mouse(uint32_t msg, int32_t x, int32_t y, uint32_t flags) override {
        switch (msg) {
            case WM_LBUTTONDOWN:
                m_site->LButtonDown(x, y, flags);
                break;
            case WM_LBUTTONUP:
                m_site->LButtonUp(x, y, flags);
                break;
            case WM_RBUTTONDOWN:
                m_site->RButtonDown(x, y, flags);
                break;
            default:
                m_site->MouseMove(x, y, flags);
                break;
        }
    }
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) override {
        return m_site->PumpUntil(done, timeoutMs);
    }
    // Delivers what is queued for the control's window and paints when it asked to be.
    void Pump() {
        if (m_site) {
            m_site->Pump();
        } else {
            PumpMessages();
        }
    }
    bool SavePng(const std::string& path) override { return m_site->SavePng(path) != FALSE; }
    int32_t PaintCount() const override { return m_site ? m_site->PaintCount() : 0; }
    int32_t Width() const override { return m_site ? m_site->Width() : 0; }
    int32_t Height() const override { return m_site ? m_site->Height() : 0; }
    void Resize(int32_t cx, int32_t cy) override { m_site->Resize(cx, cy); }
    void WithWindowRecreated(const std::function<void()>& change) override {
        const bool live = m_site->IsWindowLive();
        m_site->DestroyControlWindow();
        change();
        if (live) m_site->CreateControlWindow();
    }
    std::vector<CDialogTemplate> TakeDialogs() override {
        const auto& all = m_site->Dialogs();
        std::vector<CDialogTemplate> fresh(all.begin() + m_dialogsSeen, all.end());
        m_dialogsSeen = all.size();
        return fresh;
    }

private:
    std::unique_ptr<CHostedControl> m_control;
    std::unique_ptr<CHeadlessSite> m_site;
    size_t m_dialogsSeen = 0;
};

// A window that takes posted messages and does nothing with them: posting to it wakes its
// thread's wait.
class CWakeWindow : private IWindowHandler {
public:
    CWakeWindow() : m_hwnd(CreatePlatformWindow(this)) {}
    ~CWakeWindow() override { DestroyPlatformWindow(m_hwnd); }
    CWakeWindow(const CWakeWindow&) = delete;
    CWakeWindow& operator=(const CWakeWindow&) = delete;
    void Post() { PostMessage(m_hwnd, WM_USER, 0, 0); }

private:
    LRESULT OnWindowMessage(HWND, uint32_t, WPARAM, LPARAM) override { return 0; }
    HWND m_hwnd;
};

}  // namespace

void WriteAutomationLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int32_t RunAutomate(bool headless, int argc, char** argv) {
    if (!headless) {
#ifdef MOVITREL_HAVE_QT
        if (HaveDisplay()) return RunAutomateWindow(argc, argv);
        std::fprintf(stderr,
                     "movitrel: no display (DISPLAY and WAYLAND_DISPLAY are unset); "
                     "automating the headless container\n");
#else
        std::fprintf(stderr, "movitrel: built without Qt; automating the headless container\n");
#endif
    }
    CHeadlessAutomationHost host;
    CAutomationSession session(host, WriteAutomationLine);
    // The container's loop runs all the time, as a form's does: between requests the control
    // plays, paints and fires its events. The reader wakes the loop through a window of the
    // session's own, which only serves to end the wait.
    CWakeWindow wake;
    CAutomationInput input(session, STDIN_FILENO, [&wake] { wake.Post(); });
    // Pump before Drain: a wake posted while Pump runs may be delivered by it, so only a
    // Drain after it is sure to see the line; one posted after Drain ends the wait.
    for (;;) {
        host.Pump();
        input.Drain();
        if (input.Ended()) break;
        WaitMessage(INFINITE);
    }
    return 0;
}
