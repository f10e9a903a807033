#include "platform/DirWatch.h"

BOOL CDirectoryWatch::Start(const CString& dir) {
    Stop();
    m_handle = FindFirstChangeNotificationA(
        dir.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    if (m_handle == INVALID_HANDLE_VALUE) return FALSE;
    m_dir = dir;
    return TRUE;
}

void CDirectoryWatch::Stop() {
    if (m_handle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_dir.clear();
    m_writing.clear();
    m_pending = false;
}

bool CDirectoryWatch::IsWatching() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

bool CDirectoryWatch::ReadChanges() {
    if (WaitForSingleObject(m_handle, 0) != WAIT_OBJECT_0) return false;
    FindNextChangeNotification(m_handle);  // re-arms; changes meanwhile are kept for it
    return true;
}
