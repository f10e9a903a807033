#include "platform/Sync.h"

#include <chrono>

BOOL CCriticalSection::Lock(uint32_t) {
    m_mutex.lock();
    return TRUE;
}

BOOL CCriticalSection::Unlock() {
    m_mutex.unlock();
    return TRUE;
}

BOOL CEvent::SetEvent() {
    // Notified under the lock: a waiter cannot return, and free the event, while this call
    // still uses it.
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_cv.notify_one();
    return TRUE;
}

BOOL CEvent::ResetEvent() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
    return TRUE;
}

uint32_t CEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (timeoutMs == INFINITE) {
        m_cv.wait(lock, [this] { return m_signalled; });
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_signalled; })) {
        return WAIT_TIMEOUT;
    }
    m_signalled = false;
    return WAIT_OBJECT_0;
}
