// An automation host without a container, for driving CAutomationSession in-process: waits
// answer at once with the condition as it stands, paints are a number the caller sets,
// snapshots write nothing and mouse messages are only recorded. It makes a control only
// when given a maker; without one, "create" is refused.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apps/Automation.h"

class CFakeAutomationHost : public IAutomationHost {
public:
    using Maker = std::function<std::unique_ptr<CHostedControl>(std::string* error)>;
    struct MouseMessage {
        uint32_t msg;
        int32_t x, y;
        uint32_t flags;
    };

    explicit CFakeAutomationHost(Maker make = {}) : m_make(std::move(make)) {}

    bool Create(int32_t cx, int32_t cy, std::string* error) override {
        if (!m_make) {
            *error = "this host makes no control";
            return false;
        }
        m_control = m_make(error);
        if (!m_control) return false;
        m_control->Control().OnResetState();
        m_cx = cx;
        m_cy = cy;
        return true;
    }
    void Destroy() override { m_control.reset(); }
    CHostedControl* Control() override { return m_control.get(); }
    void Mouse(uint32_t msg, int32_t x, int32_t y, uint32_t flags) override {
        mice.push_back({msg, x, y, flags});
    }
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) override {
        lastTimeoutMs = timeoutMs;
        return done();
    }
    bool SavePng(const std::string& path) override {
        snapshots.push_back(path);
        return false;
    }
    int32_t PaintCount() const override { return paints; }
    int32_t Width() const override { return m_control ? m_cx : 0; }
    int32_t Height() const override { return m_control ? m_cy : 0; }
    void Resize(int32_t cx, int32_t cy) override {
        m_cx = cx;
        m_cy = cy;
    }
    void WithWindowRecreated(const std::function<void()>& change) override { change(); }

    int32_t paints = 0;
    uint32_t lastTimeoutMs = 0;
    std::vector<MouseMessage> mice;
    std::vector<std::string> snapshots;

private:
    Maker m_make;
    std::unique_ptr<CHostedControl> m_control;
    int32_t m_cx = 0, m_cy = 0;
};
