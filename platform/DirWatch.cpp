#include "platform/DirWatch.h"

bool CDirectoryWatch::TakeChange() {
    if (m_dir.empty()) return false;
    const Clock::time_point now = Clock::now();
    bool changed = false;
    if (IsWatching()) {
        changed = ReadChanges();
        if (IsWatching() && now - m_checked >= kRecheck) {
            m_checked = now;
            if (!ArmedOnPath()) Disarm();
        }
    }
    if (!IsWatching()) {
        // While no folder is at the path nothing is reported, so the list keeps what it has:
        // a folder that goes away is most often being replaced, and an emptied list would end
        // a playing command for the moment the new one takes to appear. Once it is there, what
        // it holds is one change, settled from now.
        if (!Arm()) return false;
        m_checked = now;
        m_pending = false;
        changed = true;
    }
    if (changed) {
        if (!m_pending) m_first = now;
        m_pending = true;
        m_last = now;
    }
    if (!m_pending || (now - m_last < kSettle && now - m_first < kMaxWait)) return false;
    m_pending = false;
    return true;
}
