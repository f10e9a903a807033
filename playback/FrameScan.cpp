// The directory scan that builds the frame list.
#include <algorithm>
#include <vector>

#include "platform/StringUtil.h"
#include "playback/FramePlayer.h"

int32_t FrameNumberKey(const CString& title, size_t prefixLength) {
    uint32_t value = 0;  // unsigned: wraps modulo 2^32 without undefined behaviour
    for (size_t i = prefixLength; i < title.size(); ++i) {
        const char c = title[i];
        if (c >= '0' && c <= '9') value = value * 10u + uint32_t(c - '0');
    }
    return static_cast<int32_t>(value);
}

bool HasJpgExtension(const CString& path) {
    const size_t n = path.size();
    const char* last4 = path.c_str() + (n > 4 ? n - 4 : 0);
    return StrICmp(last4, ".jpg") == 0;
}

void CFramePlayer::ScanDirectory() {
    CFileFind finder;
    ScanDirectory(finder);
}

void CFramePlayer::ScanDirectory(CFileFind& finder) {
    CString dir, baseFile;
    int32_t sort = 0;
    uint32_t generation = 0;
    m_source.GetSource(&dir, &baseFile, &sort, &generation);
    m_nListGeneration = generation;

    m_nCount = 0;
    m_nCurrent = -1;
    m_frames.RemoveAll();
    m_posCurrent = nullptr;
    if (dir.empty() || sort < 0 || sort > 2) return;

    // A trailing separator in Dir is kept: the search accepts two in a row.
    if (!finder.FindFile(dir + "\\" + baseFile + "*.*")) {
        m_nCurrent = -2;
        return;
    }

    // Sort modes 1 and 2 want a stable ascending sort by key of the enumeration order; a
    // stable sort gives the same list as inserting one by one, without the quadratic walk.
    std::vector<CFrameEntry> found;
    BOOL more = TRUE;
    while (more) {
        more = finder.FindNextFile();
        CString path = finder.GetFilePath();
        if (!HasJpgExtension(path)) continue;
        CFrameEntry entry{std::move(path), 0};
        if (sort == 1) entry.nKey = FrameNumberKey(finder.GetFileTitle(), baseFile.size());
        if (sort == 2) entry.nKey = static_cast<int32_t>(finder.GetCreationTime());
        found.push_back(std::move(entry));
    }
    if (sort != 0) {
        std::stable_sort(
            found.begin(), found.end(),
            [](const CFrameEntry& a, const CFrameEntry& b) { return a.nKey < b.nKey; });
    }
    for (CFrameEntry& entry : found) {
        m_frames.AddTail(std::move(entry));
        ++m_nCount;
    }
    m_posCurrent = nullptr;
}
