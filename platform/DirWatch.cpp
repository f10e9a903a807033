#include "platform/DirWatch.h"

bool CDirectoryWatch::TakeChange() {
    if (!IsWatching()) return false;
    const Clock::time_point now = Clock::now();
    if (ReadChanges()) {
        if (!m_pending) m_first = now;
        m_pending = true;
        m_last = now;
    }
    if (!m_pending || (now - m_last < kSettle && now - m_first < kMaxWait)) return false;
    m_pending = false;
    return true;
}
