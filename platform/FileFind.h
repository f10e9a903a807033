// Directory search with the find-first/find-next contract.
//
// FindFile(pattern) takes a directory and a name pattern ("dir\\img*.*"; "\" and "/" both
// separate) and snapshots the matching names: "*" and "?" match without regard to case,
// "*.*" also matches names without a dot, and ".", ".." and directories come back like any
// other name, in the file system's order. Methods are virtual so tests can stand in a fake.
#pragma once

#include <vector>

#include "platform/Types.h"

class CFileFind {
public:
    virtual ~CFileFind() = default;

    // FALSE when the directory cannot be read or no name matches.
    virtual BOOL FindFile(const CString& pattern);
    // Moves to the next name; FALSE when the name just moved to is the last one.
    virtual BOOL FindNextFile();
    // Directory of the pattern (every "\" turned into "/"), "/", the name.
    virtual CString GetFilePath() const;
    virtual CString GetFileName() const;
    // The name without the part from its last "." on.
    virtual CString GetFileTitle() const;
    // Seconds since 1970 UTC: the birth time where the file system keeps one, else the
    // modification time; 0 if the name can no longer be found.
    virtual int64_t GetCreationTime() const;
    virtual void Close();

private:
    // Sets m_dir from the pattern and returns the name part ("*.*" when it has none).
    CString SplitPattern(const CString& pattern);

    CString m_dir;
    std::vector<CString> m_names;
    size_t m_next = 0;  // index of the name FindNextFile moves to next
};

// Case-insensitive wildcard match of one name ("*", "?"; a trailing ".*" is optional).
bool MatchesWildcard(const CString& pattern, const CString& name);
