// The two locked blocks through which the control hands settings to the playback worker.
// Every accessor is one locked copy: no lock is held across anything else.
#pragma once

#include "platform/Sync.h"
#include "platform/Types.h"
#include "playback/Commands.h"
#include "playback/FrameLayout.h"

// Which files make up the frame list.
class CSourceSettings {
public:
    CCriticalSection m_lock;
    CString m_strDir;
    CString m_strBaseFile;
    int32_t m_nSort = 0;
    // Counts the SetSource calls: a frame list built from one source carries its number, so
    // a paint can tell whether it shows the list of the source now in force.
    uint32_t m_nGeneration = 0;
    BOOL m_bWatch = FALSE;

    // All three under one acquisition, so a reader never sees a new Dir with an old BaseFile
    // within one call.
    void SetSource(CString dir, CString baseFile, int32_t sort);
    // The three and the generation they belong to, in one locked copy.
    void GetSource(CString* dir, CString* baseFile, int32_t* sort, uint32_t* generation);
    uint32_t GetGeneration();
    // Whether the list follows the directory while the control runs.
    void SetWatch(BOOL watch);
    BOOL GetWatch();
    CString GetDir();
    CString GetBaseFile();
    int32_t GetSort();
};

// How the worker moves through the list.
class CPlaybackSettings {
public:
    CCriticalSection m_lock;
    int32_t m_nCommand = kCommandNone;
    BOOL m_bLoop = FALSE;
    PauseState m_nPauseState = PauseState::Running;
    int32_t m_nDelay = 0;      // effective delay in ms (a tenth of Delay for commands 3 and 4)
    BOOL m_bBounce = FALSE;    // with loop: turn round at either end instead of wrapping
    int32_t m_nLastDelay = 0;  // extra ms on the last frame of the direction, with loop
    int32_t m_nCacheMb = 256;  // memory for decoded frames; 0 keeps none
    CFrameFit m_fit;           // DecodeToFit and the picture area frames are laid out in

    void SetAll(int32_t command, BOOL loop, PauseState pauseState, int32_t delay);
    void SetDelay(int32_t delay);
    int32_t GetCommand();
    BOOL GetLoop();
    PauseState GetPauseState();
    int32_t GetDelay();
    void SetBounce(BOOL bounce);
    BOOL GetBounce();
    void SetLastDelay(int32_t ms);
    int32_t GetLastDelay();
    void SetCacheSize(int32_t megabytes);
    int32_t GetCacheSize();
    void SetFit(const CFrameFit& fit);
    CFrameFit GetFit();
};
