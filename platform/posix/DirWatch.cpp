#include "platform/DirWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

BOOL CDirectoryWatch::Start(const CString& dir) {
    Stop();
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) return FALSE;
    // A file created in place counts once it is closed; one renamed in counts at once.
    const uint32_t mask = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                          IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (inotify_add_watch(m_fd, dir.c_str(), mask) < 0) {
        Stop();
        return FALSE;
    }
    m_dir = dir;
    return TRUE;
}

void CDirectoryWatch::Stop() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_dir.clear();
    m_writing.clear();
    m_pending = false;
}

bool CDirectoryWatch::IsWatching() const {
    return m_fd >= 0;
}

bool CDirectoryWatch::ReadChanges() {
    bool changed = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) break;  // EAGAIN: nothing more queued
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            at += ssize_t(sizeof(inotify_event) + event.len);
            const CString file = event.len > 0 ? CString(name, strnlen(name, event.len)) : "";
            if (event.mask & IN_Q_OVERFLOW) {
                m_writing.clear();
                changed = true;
            } else if (event.mask & IN_ISDIR) {
                continue;
            } else if (event.mask & (IN_CREATE | IN_MODIFY)) {
                m_writing.insert(file);
            } else if (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) {
                m_writing.erase(file);
                changed = true;
            } else if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                changed = true;
            }
        }
    }
    return changed;
}
