// The playback worker object: the frame list, the cursor and the scan that builds the list.
#pragma once

#include <atomic>

#include "platform/FileFind.h"
#include "platform/Sync.h"
#include "playback/FrameList.h"
#include "playback/Settings.h"

// The number in a frame's file title after the prefix: every digit counts, other characters
// are skipped, and the arithmetic wraps at 32 bits.
int32_t FrameNumberKey(const CString& title, size_t prefixLength);

// True when the last four characters of path are ".jpg" in any case.
bool HasJpgExtension(const CString& path);

class CFramePlayer {
public:
    CSourceSettings* m_pSource = nullptr;
    CPlaybackSettings* m_pPlayback = nullptr;
    // Written by the scan on the worker thread and read by the control: atomic.
    std::atomic<int32_t> m_nCount{0};
    // -2: nothing found (or no scan yet); -1: list built, nothing shown yet.
    std::atomic<int32_t> m_nCurrent{-2};
    int32_t m_nShown = -1;
    POSITION m_posCurrent = nullptr;
    CCriticalSection m_lock;
    CFrameList m_frames;

    // Rebuilds the list from m_pSource. The overload takes the directory search to use.
    void ScanDirectory();
    void ScanDirectory(CFileFind& finder);
};
