#include "platform/FileFind.h"

// The directory is listed whole and filtered by our own match, so short 8.3 aliases never
// match a pattern the long name does not.
BOOL CFileFind::FindFile(const CString& pattern) {
    Close();
    const CString namePattern = SplitPattern(pattern);
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((m_dir + "/*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return FALSE;
    do {
        if (MatchesWildcard(namePattern, data.cFileName)) m_names.emplace_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    FindClose(find);
    return m_names.empty() ? FALSE : TRUE;
}

int64_t CFileFind::GetCreationTime() const {
    const CString path = GetFilePath();
    if (path.empty()) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    // 100-ns intervals since 1601 to seconds since 1970.
    const uint64_t ticks =
        (uint64_t(data.ftCreationTime.dwHighDateTime) << 32) | data.ftCreationTime.dwLowDateTime;
    return int64_t(ticks / 10000000u) - 11644473600LL;
}
