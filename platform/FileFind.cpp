#include "platform/FileFind.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cctype>

namespace {

bool MatchFrom(const char* p, const char* s) {
    // Iterative glob with one backtrack point for the last "*": linear in practice.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*s) {
        if (*p == '*') {
            star = p++;
            resume = s;
        } else if (*p == '?' || (*p && std::tolower(uint8_t(*p)) == std::tolower(uint8_t(*s)))) {
            ++p;
            ++s;
        } else if (star) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == '\0';
}

}  // namespace

bool MatchesWildcard(const CString& pattern, const CString& name) {
    if (MatchFrom(pattern.c_str(), name.c_str())) return true;
    // "*.*" and "x*.*" match names without a dot too.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0) {
        return MatchFrom(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
    }
    return false;
}

BOOL CFileFind::FindFile(const CString& pattern) {
    Close();
    CString path = pattern;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    const size_t slash = path.rfind('/');
    CString namePattern;
    if (slash == CString::npos) {
        m_dir = ".";
        namePattern = path;
    } else {
        m_dir = path.substr(0, slash);
        namePattern = path.substr(slash + 1);
        if (m_dir.empty()) m_dir = "/";
    }
    if (namePattern.empty()) namePattern = "*.*";

    DIR* dir = opendir(m_dir.c_str());
    if (dir == nullptr) return FALSE;
    while (const dirent* entry = readdir(dir)) {
        if (MatchesWildcard(namePattern, entry->d_name)) m_names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return m_names.empty() ? FALSE : TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (m_next < m_names.size()) ++m_next;
    return m_next < m_names.size() ? TRUE : FALSE;
}

CString CFileFind::GetFileName() const {
    if (m_next == 0 || m_next > m_names.size()) return CString();
    return m_names[m_next - 1];
}

CString CFileFind::GetFilePath() const {
    if (m_next == 0 || m_next > m_names.size()) return CString();
    return m_dir == "/" ? "/" + GetFileName() : m_dir + "/" + GetFileName();
}

CString CFileFind::GetFileTitle() const {
    CString name = GetFileName();
    const size_t dot = name.rfind('.');
    return dot == CString::npos ? name : name.substr(0, dot);
}

int64_t CFileFind::GetCreationTime() const {
    const CString path = GetFilePath();
    if (path.empty()) return 0;
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return 0;
    if (sx.stx_mask & STATX_BTIME) return sx.stx_btime.tv_sec;
    return sx.stx_mtime.tv_sec;
}

void CFileFind::Close() {
    m_dir.clear();
    m_names.clear();
    m_next = 0;
}
