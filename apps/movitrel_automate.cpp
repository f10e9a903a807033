// movitrel automate over the headless container.
#include <unistd.h>

#include <cstdio>

#include "apps/Automation.h"
#include "apps/MovitrelApp.h"
#include "apps/ProgramControl.h"
#include "host/headless/HeadlessSite.h"

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
