#include "platform/Sync.h"

CCriticalSection::CCriticalSection() {
    InitializeCriticalSection(&m_section);
}

CCriticalSection::~CCriticalSection() {
    DeleteCriticalSection(&m_section);
}

BOOL CCriticalSection::Lock(uint32_t) {
    EnterCriticalSection(&m_section);
    return TRUE;
}

BOOL CCriticalSection::Unlock() {
    LeaveCriticalSection(&m_section);
    return TRUE;
}

// Auto-reset, not signalled: the contract the worker's wake and exit events rely on.
CEvent::CEvent() : m_event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CEvent::~CEvent() {
    if (m_event) CloseHandle(m_event);
}

BOOL CEvent::SetEvent() {
    return ::SetEvent(m_event);
}

BOOL CEvent::ResetEvent() {
    return ::ResetEvent(m_event);
}

uint32_t CEvent::Wait(uint32_t timeoutMs) {
    const DWORD r = ::WaitForSingleObject(m_event, timeoutMs);
    return r == WAIT_OBJECT_0 ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
