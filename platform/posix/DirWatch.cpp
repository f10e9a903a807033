#include "platform/DirWatch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

// A file created in place counts once it is closed; one renamed in counts at once. Opens are
// heard to tell a file created for writing (its open follows its create) from a link.
constexpr uint32_t kMask = IN_CREATE | IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE |
                           IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF |
                           IN_ONLYDIR;

// A symbolic link, a second name of a file, or a name already gone: no writer to wait for.
bool IsLinkOrGone(const CString& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return true;
    return S_ISLNK(info.st_mode) || info.st_nlink > 1;
}

}  // namespace

BOOL CDirectoryWatch::Start(const CString& dir) {
    Stop();
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) return FALSE;
    m_dir = dir;
    if (!Arm()) {
        Stop();
        return FALSE;
    }
    m_checked = Clock::now();
    return TRUE;
}

void CDirectoryWatch::Stop() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_wd = -1;
    m_dir.clear();
    m_writing.clear();
    m_pending = false;
}

bool CDirectoryWatch::IsWatching() const {
    return m_wd >= 0;
}

bool CDirectoryWatch::Arm() {
    m_wd = inotify_add_watch(m_fd, m_dir.c_str(), kMask);
    return m_wd >= 0;
}

void CDirectoryWatch::Disarm() {
    // The system may have dropped it already; what is still queued for it is passed over by
    // its number, which a new watch does not reuse.
    if (m_wd >= 0) inotify_rm_watch(m_fd, m_wd);
    m_wd = -1;
    m_writing.clear();  // the folder left behind's
}

bool CDirectoryWatch::ArmedOnPath() {
    // The folder watched gives back its own watch; any other folder there gets a new one.
    return inotify_add_watch(m_fd, m_dir.c_str(), kMask) == m_wd;
}

bool CDirectoryWatch::ReadChanges() {
    const Clock::time_point now = Clock::now();
    bool changed = false;
    alignas(inotify_event) char buffer[16 * 1024];
    // A bounded share per call: a directory that never rests cannot hold the caller here.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) break;  // EAGAIN: nothing more queued
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            at += ssize_t(sizeof(inotify_event) + event.len);
            const CString file = event.len > 0 ? CString(name, strnlen(name, event.len)) : "";
            const uint32_t mask = event.mask;
            if (mask & IN_Q_OVERFLOW) {
                // What was lost may be the folder's own end.
                m_writing.clear();
                changed = true;
                if (IsWatching() && !ArmedOnPath()) Disarm();
                continue;
            }
            if (event.wd != m_wd || !IsWatching()) continue;
            if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
                // A move can leave the path leading to the folder still (a link to it, a
                // rename there and back).
                if ((mask & IN_MOVE_SELF) && ArmedOnPath()) continue;
                Disarm();
                continue;
            }
            if (mask & IN_ISDIR) continue;
            const auto it = m_writing.find(file);
            const bool held = it != m_writing.end();
            if (mask & IN_CREATE) {
                if (IsLinkOrGone(m_dir + "/" + file) || m_writing.size() >= kMaxUnderway) {
                    // Past the cap a file joins at once, as where the system tells no
                    // writers; a frame taken unfinished is read again when its stamp changes.
                    if (held) m_writing.erase(it);
                    changed = true;
                } else {
                    m_writing[file] = Underway{now, false, false};
                }
            } else if (mask & IN_OPEN) {
                if (held) it->second.opened = true;
            } else if (mask & IN_MODIFY) {
                if (held) {
                    it->second.opened = it->second.modified = true;
                } else if (m_writing.size() < kMaxUnderway) {
                    m_writing.emplace(file, Underway{now, true, true});
                } else {
                    changed = true;
                }
            } else if (mask & IN_CLOSE_NOWRITE) {
                // A reader's close ends only a file nothing was written to (a link a reader
                // opened); one written to waits for its writer's close.
                if (held && !it->second.modified) {
                    m_writing.erase(it);
                    changed = true;
                }
            } else if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) {
                if (held) m_writing.erase(it);
                changed = true;
            }
        }
    }
    // A writer's open follows its create within the same system call; a name never opened by
    // now was linked in (its first name removed since) and has nothing to wait for.
    for (auto it = m_writing.begin(); it != m_writing.end();) {
        if (!it->second.opened && now - it->second.since >= kSettle) {
            it = m_writing.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    return changed;
}
