// The directory scan that builds the frame list.
#include <algorithm>
#include <unordered_set>
#include <vector>

#include "image/Image.h"
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

namespace {

// The matching ".jpg" files in the order sort wants; false when the search finds nothing.
bool ListFrames(CFileFind& finder, const CString& dir, const CString& baseFile, int32_t sort,
                std::vector<CFrameEntry>* found) {
    // A trailing separator in Dir is kept: the search accepts two in a row.
    if (!finder.FindFile(dir + "\\" + baseFile + "*.*")) return false;

    // By number and by time are stable ascending sorts by key of the enumeration order; a
    // stable sort gives the same list as inserting one by one, without the quadratic walk.
    BOOL more = TRUE;
    while (more) {
        more = finder.FindNextFile();
        CString path = finder.GetFilePath();
        if (!HasJpgExtension(path)) continue;
        CFrameEntry entry{std::move(path), 0};
        if (sort == kSortByNumber)
            entry.nKey = FrameNumberKey(finder.GetFileTitle(), baseFile.size());
        if (sort == kSortByTime) entry.nKey = static_cast<int32_t>(finder.GetCreationTime());
        found->push_back(std::move(entry));
    }
    if (sort != kSortNone) {
        std::stable_sort(
            found->begin(), found->end(),
            [](const CFrameEntry& a, const CFrameEntry& b) { return a.nKey < b.nKey; });
    }
    return true;
}

CString FileNameOf(const CString& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == CString::npos ? path : path.substr(slash + 1);
}

}  // namespace

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
    m_strListDir = dir;
    std::vector<CString> paths;
    if (!dir.empty() && IsFrameSort(sort)) {
        // Followed from before the listing, so no file that lands meanwhile is missed.
        if (m_source.GetWatch() && m_watch.Dir() != dir) m_watch.Start(dir);
        std::vector<CFrameEntry> found;
        if (!ListFrames(finder, dir, baseFile, sort, &found)) m_nCurrent = -2;
        for (CFrameEntry& entry : found) {
            paths.push_back(entry.strPath);
            m_frames.AddTail(std::move(entry));
            ++m_nCount;
        }
    }
    m_cache.SetList(paths);
}

bool CFramePlayer::FollowDirectory() {
    const bool wanted = m_source.GetWatch() && !m_strListDir.empty();
    if (!wanted) {
        m_watch.Stop();
        return false;
    }
    if (m_watch.Dir() != m_strListDir) {
        // Watch turned on after the list was built: what changed meanwhile counts too.
        if (!m_watch.Start(m_strListDir)) return false;
        return Rebuild();
    }
    return m_watch.TakeChange() && Rebuild();
}

void CFramePlayer::WaitForWake() {
    for (;;) {
        // Slices, so a Watch turned on is noticed while the worker waits; they consume
        // nothing but their own time. A folder followed but gone is looked for as often as
        // changes are.
        const uint32_t slice = m_watch.Dir().empty() && !m_playback.GetFit().on ? 100 : 25;
        if (m_client.WakeEvent().Wait(slice) == WAIT_OBJECT_0) return;
        if (m_client.StopRequested()) return;
        if (FollowDirectory()) return;
        RefitShown();
    }
}

bool CFramePlayer::Rebuild() {
    CString dir, baseFile;
    int32_t sort = 0;
    uint32_t generation = 0;
    m_source.GetSource(&dir, &baseFile, &sort, &generation);
    // A new source is on its way; its own scan replaces the list.
    if (generation != m_nListGeneration || dir != m_strListDir || !IsFrameSort(sort)) {
        return false;
    }
    std::vector<CFrameEntry> found;
    CFileFind finder;
    ListFrames(finder, dir, baseFile, sort, &found);
    // A file still being written joins once it is closed.
    found.erase(std::remove_if(found.begin(), found.end(),
                               [this](const CFrameEntry& e) {
                                   return m_watch.IsBeingWritten(FileNameOf(e.strPath));
                               }),
                found.end());
    std::unordered_set<CString> present;
    std::vector<CString> paths;
    for (const CFrameEntry& entry : found) {
        present.insert(entry.strPath);
        paths.push_back(entry.strPath);
    }

    CSingleLock lock(m_lock);
    const bool wasEmpty = m_nCount == 0;
    // The frame on show, by path, and the one a Seek asked for; the successor of the frame on
    // show takes its place when it is gone.
    CString shownPath, seekPath, nextPath;
    int32_t k = 0;
    for (POSITION pos = m_frames.GetHeadPosition(); pos != nullptr; pos = CFrameList::Next(pos)) {
        const CString& path = CFrameList::GetAt(pos).strPath;
        if (k == m_nShown) shownPath = path;
        if (k == m_nCurrent) seekPath = path;
        if (k > m_nShown && m_nShown >= 0 && nextPath.empty() && present.count(path)) {
            nextPath = path;
        }
        ++k;
    }
    const bool shownGone = m_nShown >= 0 && !shownPath.empty() && present.count(shownPath) == 0;
    if (shownGone && nextPath.empty() && !paths.empty()) nextPath = paths.front();
    const CString& anchor = shownGone ? nextPath : shownPath;

    m_frames.RemoveAll();
    m_posCurrent = nullptr;
    int32_t anchorIndex = -1, seekIndex = -1, index = 0;
    POSITION anchorPos = nullptr;
    for (CFrameEntry& entry : found) {
        const bool isAnchor = !anchor.empty() && entry.strPath == anchor;
        const bool isSeek = !seekPath.empty() && entry.strPath == seekPath;
        POSITION pos = m_frames.AddTail(std::move(entry));
        if (isAnchor) {
            anchorIndex = index;
            anchorPos = pos;
        }
        if (isSeek) seekIndex = index;
        ++index;
    }
    m_nCount = index;
    if (m_nCurrent <= -2 || m_nCurrent == -1 || anchorIndex < 0) {
        // Nothing shown yet, or nothing left to show: the next step starts from the top.
        m_nCurrent = index > 0 ? -1 : (m_nCurrent <= -2 ? -2 : -1);
        m_nShown = -1;
    } else {
        m_posCurrent = anchorPos;
        m_nShown = anchorIndex;
        m_nCurrent =
            !shownGone && seekIndex >= 0 && seekPath != shownPath ? seekIndex : anchorIndex;
    }
    const bool showAgain = shownGone && anchorIndex >= 0;
    lock.Unlock();
    m_cache.SetList(paths);

    if (showAgain) {
        // The frame on show is gone: the one after it is shown in its place, where it stands.
        CPlayCourse course;
        course.cursor = anchorIndex;
        course.count = int32_t(paths.size());
        const CFrameFit fit = m_playback.GetFit();
        const bool loaded = LoadFrame(anchor, course, fit);
        WaitForPaint();
        if (loaded) {
            SwapInLoaded();
            m_shownFit = fit;
        }
        m_shownCourse = course;
    } else {
        WaitForPaint();
    }
    PostRefresh();  // the count, the slider and perhaps the picture changed
    return wasEmpty && index > 0;
}
