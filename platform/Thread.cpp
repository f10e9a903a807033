#include "platform/Thread.h"

#include <chrono>
#include <memory>
#include <thread>

CWinThread* AfxBeginThread(AFX_THREADPROC entry, void* param) {
    if (entry == nullptr) return nullptr;
    auto thread = std::make_unique<CWinThread>();
    thread->m_pfnThreadProc = entry;
    thread->m_pParam = param;
    CWinThread* raw = thread.get();
    try {
        std::thread([owned = std::move(thread)] {
            owned->m_pfnThreadProc(owned->m_pParam);
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return raw;
}

void Sleep(uint32_t ms) {
    if (ms == INFINITE) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
