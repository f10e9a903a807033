#include "platform/Thread.h"

#include <sched.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {
std::atomic<int32_t> g_running{0};
}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC entry, void* param) {
    if (entry == nullptr) return nullptr;
    auto thread = std::make_unique<CWinThread>();
    thread->m_pfnThreadProc = entry;
    thread->m_pParam = param;
    CWinThread* raw = thread.get();
    ++g_running;
    try {
        std::thread([owned = std::move(thread)] {
            owned->m_pfnThreadProc(owned->m_pParam);
            --g_running;
        }).detach();
    } catch (const std::system_error&) {
        --g_running;
        return nullptr;
    }
    return raw;
}

void Sleep(uint32_t ms) {
    if (ms == INFINITE) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int32_t RunningThreadCount() {
    return g_running.load();
}

int32_t SystemProcessorCount() {
    // The processors this process may run on, which a container or taskset may narrow.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? int32_t(n) : 1;
}
