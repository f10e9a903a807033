// Following a directory's changes, for a frame list that tracks its directory.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>

#include "platform/Types.h"

// Polled, never blocking: the owner asks TakeChange between its own waits, so following a
// directory adds no thread and no wake of its own. Changes are gathered until they settle
// (none new for kSettle) or have waited kMaxWait, so a burst of files leads to a few
// rebuilds, not one per file.
//
// The watch follows a path, not a folder: when the folder there goes away (removed, renamed,
// its parent moved) the system's watch is dropped and armed again on whatever folder is next
// found at the path, which counts as one change.
class CDirectoryWatch {
public:
    static constexpr std::chrono::milliseconds kSettle{40};
    static constexpr std::chrono::milliseconds kMaxWait{400};
    // How often the path is looked up again, for moves the folder itself is not told of.
    static constexpr std::chrono::milliseconds kRecheck{100};
    // Names held back as being written, at most; see IsBeingWritten.
    static constexpr size_t kMaxUnderway = 4096;

    CDirectoryWatch() = default;
    ~CDirectoryWatch() { Stop(); }
    CDirectoryWatch(const CDirectoryWatch&) = delete;
    CDirectoryWatch& operator=(const CDirectoryWatch&) = delete;

    // Follows dir, dropping the directory followed before. FALSE, following nothing, when the
    // system refuses (no such directory, no notification left).
    BOOL Start(const CString& dir);
    void Stop();
    // Whether the system watches the folder now at Dir(); false while it is gone.
    bool IsWatching() const;
    // The path followed since Start, also while no folder is there; empty after Stop.
    const CString& Dir() const { return m_dir; }
    // True once for each settled group of changes to the directory's entries. While the
    // folder is gone, each call looks for it again.
    bool TakeChange();
    // A file (name without the directory) created or opened for writing and not yet closed.
    // Only Linux says which; elsewhere, and past kMaxUnderway names, a file under way joins at
    // once and is read again once its size or time changes.
    bool IsBeingWritten(const CString& name) const { return m_writing.count(name) != 0; }

private:
    using Clock = std::chrono::steady_clock;
    struct Underway {
        Clock::time_point since;
        bool opened = false;
        bool modified = false;
    };

    // The system's watch on the folder now at m_dir; false when there is none.
    bool Arm();
    void Disarm();
    // Whether m_dir still names the folder armed.
    bool ArmedOnPath();
    // Reads what the system has queued without blocking; true when an entry changed.
    bool ReadChanges();

    CString m_dir;
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_volume = 0, m_indexHigh = 0, m_indexLow = 0;
#else
    int m_fd = -1;  // from Start to Stop
    int m_wd = -1;  // while armed
#endif
    std::map<CString, Underway> m_writing;
    bool m_pending = false;
    Clock::time_point m_first, m_last, m_checked;
};
