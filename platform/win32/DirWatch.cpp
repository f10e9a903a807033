#include "platform/DirWatch.h"

namespace {

struct FolderId {
    DWORD volume = 0, high = 0, low = 0;
};

// The folder now at path; false when there is none, or its removal waits for a handle to
// close (a removed folder keeps its name until then).
bool IdentifyFolder(const CString& path, FolderId* id) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    const HANDLE folder = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = GetFileInformationByHandle(folder, &info);
    CloseHandle(folder);
    if (!known) return false;
    id->volume = info.dwVolumeSerialNumber;
    id->high = info.nFileIndexHigh;
    id->low = info.nFileIndexLow;
    return true;
}

}  // namespace

BOOL CDirectoryWatch::Start(const CString& dir) {
    Stop();
    m_dir = dir;
    if (!Arm()) {
        Stop();
        return FALSE;
    }
    m_checked = Clock::now();
    return TRUE;
}

void CDirectoryWatch::Stop() {
    Disarm();
    m_dir.clear();
    m_pending = false;
}

bool CDirectoryWatch::IsWatching() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

bool CDirectoryWatch::Arm() {
    FolderId id;
    if (!IdentifyFolder(m_dir, &id)) return false;
    m_handle = FindFirstChangeNotificationA(
        m_dir.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    m_volume = id.volume;
    m_indexHigh = id.high;
    m_indexLow = id.low;
    return m_handle != INVALID_HANDLE_VALUE;
}

void CDirectoryWatch::Disarm() {
    // Closing lets a removed folder's name go, so a new one can be made there.
    if (m_handle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_writing.clear();
}

bool CDirectoryWatch::ArmedOnPath() {
    FolderId id;
    return IdentifyFolder(m_dir, &id) && id.volume == m_volume && id.high == m_indexHigh &&
           id.low == m_indexLow;
}

bool CDirectoryWatch::ReadChanges() {
    if (WaitForSingleObject(m_handle, 0) != WAIT_OBJECT_0) return false;
    // Re-arms; changes meanwhile are kept for it. A folder removed or renamed signals too,
    // and is let go at once rather than at the next look at the path.
    if (!FindNextChangeNotification(m_handle) || !ArmedOnPath()) Disarm();
    return true;
}
