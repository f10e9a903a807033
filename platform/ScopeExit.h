// Runs a cleanup when its scope ends, however it ends, unless dismissed first: for state that
// an early return or an exception must not leave behind.
#pragma once

#include <utility>

template <class F>
class CScopeExit {
public:
    explicit CScopeExit(F cleanup) : m_cleanup(std::move(cleanup)) {}
    ~CScopeExit() {
        if (m_bArmed) m_cleanup();
    }
    CScopeExit(const CScopeExit&) = delete;
    CScopeExit& operator=(const CScopeExit&) = delete;

    void Dismiss() { m_bArmed = false; }

private:
    F m_cleanup;
    bool m_bArmed = true;
};
