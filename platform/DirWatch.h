// Following a directory's changes, for a frame list that tracks its directory.
#pragma once

#include <chrono>
#include <set>

#include "platform/Types.h"

// Polled, never blocking: the owner asks TakeChange between its own waits, so following a
// directory adds no thread and no wake of its own. Changes are gathered until they settle
// (none new for kSettle) or have waited kMaxWait, so a burst of files leads to a few
// rebuilds, not one per file.
class CDirectoryWatch {
public:
    static constexpr std::chrono::milliseconds kSettle{40};
    static constexpr std::chrono::milliseconds kMaxWait{400};

    CDirectoryWatch() = default;
    ~CDirectoryWatch() { Stop(); }
    CDirectoryWatch(const CDirectoryWatch&) = delete;
    CDirectoryWatch& operator=(const CDirectoryWatch&) = delete;

    // Follows dir, dropping the directory followed before. FALSE, following nothing, when the
    // system refuses (no such directory, no notification left).
    BOOL Start(const CString& dir);
    void Stop();
    bool IsWatching() const;
    const CString& Dir() const { return m_dir; }
    // True once for each settled group of changes to the directory's entries.
    bool TakeChange();
    // A file (name without the directory) created or opened for writing and not yet closed.
    // Only Linux says which; elsewhere a file under way is read again once its size or time
    // changes.
    bool IsBeingWritten(const CString& name) const { return m_writing.count(name) != 0; }

private:
    using Clock = std::chrono::steady_clock;
    // Reads what the system has queued without blocking; true when an entry changed.
    bool ReadChanges();

    CString m_dir;
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    int m_fd = -1;
#endif
    std::set<CString> m_writing;
    bool m_pending = false;
    Clock::time_point m_first, m_last;
};
