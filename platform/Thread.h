// Worker threads and sleep.
#pragma once

#include "platform/Types.h"

using AFX_THREADPROC = uint32_t (*)(void* param);

// A started thread. It runs detached and deletes this object when its entry returns, so the
// starter may keep the pointer only as a marker that a thread was started.
class CWinThread {
public:
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    void* m_pParam = nullptr;
};

// Runs entry(param) on a new thread; null when the thread cannot be started.
CWinThread* AfxBeginThread(AFX_THREADPROC entry, void* param);
// Threads AfxBeginThread started whose entry has not yet returned. On Windows each such
// thread also holds a reference on the module that runs it, so the code it runs stays loaded
// until it has left it.
int32_t RunningThreadCount();

// Processors the process may run on; at least 1.
int32_t ProcessorCount();
// Tests and benchmarks: ProcessorCount answers count from now on; 0 gives the system's again.
void OverrideProcessorCount(int32_t count);
// Internal: what the system says, for ProcessorCount.
int32_t SystemProcessorCount();

#ifndef _WIN32
// Blocks the calling thread; nothing wakes it early. INFINITE is refused (returns at once)
// because a thread that never wakes can never be stopped.
void Sleep(uint32_t ms);
#endif
