// Lock and auto-reset event, with the contract the playback code relies on.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/Types.h"

class CSyncObject {
public:
    virtual ~CSyncObject() = default;
    virtual BOOL Lock(uint32_t timeoutMs = INFINITE) = 0;
    virtual BOOL Unlock() = 0;
};

// Non-recursive: locking it twice on one thread deadlocks, as a misuse should.
class CCriticalSection : public CSyncObject {
public:
    BOOL Lock(uint32_t timeoutMs = INFINITE) override;
    BOOL Unlock() override;

#ifdef _WIN32
    CCriticalSection();
    ~CCriticalSection() override;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

private:
    CRITICAL_SECTION m_section;
#else
private:
    std::mutex m_mutex;
#endif
};

// Holds a lock for one scope: for code that takes a CSyncObject's lock and must release it
// on every path. It may be released early and taken again; the scope's end releases it only
// when held.
class CSingleLock {
public:
    explicit CSingleLock(CSyncObject& obj, bool initialLock = true) : m_obj(obj) {
        if (initialLock) Lock();
    }
    ~CSingleLock() {
        if (m_bLocked) m_obj.Unlock();
    }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    void Lock() {
        m_obj.Lock();
        m_bLocked = true;
    }
    void Unlock() {
        m_bLocked = false;
        m_obj.Unlock();
    }
    bool IsLocked() const { return m_bLocked; }

private:
    CSyncObject& m_obj;
    bool m_bLocked = false;
};

#ifndef _WIN32
constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 258;
#endif

// Auto-reset, unnamed, created not signalled. Several sets before a wait leave one pending
// signal; a successful wait consumes it.
class CEvent : public CSyncObject {
public:
    BOOL SetEvent();
    BOOL ResetEvent();
    // WAIT_OBJECT_0 when signalled (consumed), WAIT_TIMEOUT otherwise. 0 polls.
    uint32_t Wait(uint32_t timeoutMs = INFINITE);
    BOOL Lock(uint32_t timeoutMs = INFINITE) override { return Wait(timeoutMs) == WAIT_OBJECT_0; }
    BOOL Unlock() override { return TRUE; }

#ifdef _WIN32
    CEvent();
    ~CEvent() override;
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

private:
    HANDLE m_event;
#else
private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
#endif
};

inline uint32_t WaitForSingleObject(CEvent& event, uint32_t timeoutMs) {
    return event.Wait(timeoutMs);
}
