#include "platform/FileFind.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

BOOL CFileFind::FindFile(const CString& pattern) {
    Close();
    const CString namePattern = SplitPattern(pattern);
    DIR* dir = opendir(m_dir.c_str());
    if (dir == nullptr) return FALSE;
    while (const dirent* entry = readdir(dir)) {
        if (MatchesWildcard(namePattern, entry->d_name)) m_names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return m_names.empty() ? FALSE : TRUE;
}

int64_t CFileFind::GetCreationTime() const {
    const CString path = GetFilePath();
    if (path.empty()) return 0;
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return 0;
    if (sx.stx_mask & STATX_BTIME) return sx.stx_btime.tv_sec;
    return sx.stx_mtime.tv_sec;
}
