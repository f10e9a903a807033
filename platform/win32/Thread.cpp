#include "platform/Thread.h"

#include <process.h>

#include <atomic>
#include <memory>

namespace {

std::atomic<int32_t> g_running{0};

struct Start {
    CWinThread thread;
    HMODULE module = nullptr;
};

unsigned __stdcall Trampoline(void* param) {
    std::unique_ptr<Start> start(static_cast<Start*>(param));
    start->thread.m_pfnThreadProc(start->thread.m_pParam);
    const HMODULE module = start->module;
    start.reset();
    --g_running;
    // The reference taken at the start keeps this code loaded until the thread has left it.
    if (module) FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC entry, void* param) {
    if (entry == nullptr) return nullptr;
    auto start = std::make_unique<Start>();
    start->thread.m_pfnThreadProc = entry;
    start->thread.m_pParam = param;
    // A reference on the module whose code the thread runs (this one, when it is a DLL).
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<const char*>(&Trampoline), &start->module);
    CWinThread* marker = &start->thread;
    ++g_running;
    const uintptr_t handle = _beginthreadex(nullptr, 0, Trampoline, start.get(), 0, nullptr);
    if (handle == 0) {
        --g_running;
        if (start->module) FreeLibrary(start->module);
        return nullptr;
    }
    start.release();
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return marker;
}

int32_t RunningThreadCount() {
    return g_running.load();
}

int32_t SystemProcessorCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? int32_t(info.dwNumberOfProcessors) : 1;
}
