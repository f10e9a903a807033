// The parts of the directory search both platforms share: the wildcard match and the walk
// over the names a search snapshots.
#include "platform/FileFind.h"

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

CString CFileFind::SplitPattern(const CString& pattern) {
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

    return namePattern;
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

void CFileFind::Close() {
    m_dir.clear();
    m_names.clear();
    m_next = 0;
}
