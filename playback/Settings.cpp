#include "playback/Settings.h"

#include <utility>

void CSourceSettings::SetSource(CString dir, CString baseFile, int32_t sort) {
    // Swap in, so the old strings are destroyed with the arguments, after the unlock.
    CSingleLock lock(m_lock);
    std::swap(m_strDir, dir);
    std::swap(m_strBaseFile, baseFile);
    m_nSort = sort;
    ++m_nGeneration;
}

void CSourceSettings::GetSource(CString* dir, CString* baseFile, int32_t* sort,
                                uint32_t* generation) {
    CSingleLock lock(m_lock);
    *dir = m_strDir;
    *baseFile = m_strBaseFile;
    *sort = m_nSort;
    *generation = m_nGeneration;
}

uint32_t CSourceSettings::GetGeneration() {
    CSingleLock lock(m_lock);
    return m_nGeneration;
}

CString CSourceSettings::GetDir() {
    CSingleLock lock(m_lock);
    return m_strDir;
}

CString CSourceSettings::GetBaseFile() {
    CSingleLock lock(m_lock);
    return m_strBaseFile;
}

int32_t CSourceSettings::GetSort() {
    CSingleLock lock(m_lock);
    return m_nSort;
}

void CPlaybackSettings::SetAll(int32_t command, BOOL loop, PauseState pauseState, int32_t delay) {
    CSingleLock lock(m_lock);
    m_nCommand = command;
    m_bLoop = loop;
    m_nPauseState = pauseState;
    m_nDelay = delay;
}

void CPlaybackSettings::SetDelay(int32_t delay) {
    CSingleLock lock(m_lock);
    m_nDelay = delay;
}

int32_t CPlaybackSettings::GetCommand() {
    CSingleLock lock(m_lock);
    return m_nCommand;
}

BOOL CPlaybackSettings::GetLoop() {
    CSingleLock lock(m_lock);
    return m_bLoop;
}

PauseState CPlaybackSettings::GetPauseState() {
    CSingleLock lock(m_lock);
    return m_nPauseState;
}

int32_t CPlaybackSettings::GetDelay() {
    CSingleLock lock(m_lock);
    return m_nDelay;
}

void CSourceSettings::SetWatch(BOOL watch) {
    CSingleLock lock(m_lock);
    m_bWatch = watch;
}

BOOL CSourceSettings::GetWatch() {
    CSingleLock lock(m_lock);
    return m_bWatch;
}

void CPlaybackSettings::SetBounce(BOOL bounce) {
    CSingleLock lock(m_lock);
    m_bBounce = bounce;
}

BOOL CPlaybackSettings::GetBounce() {
    CSingleLock lock(m_lock);
    return m_bBounce;
}

void CPlaybackSettings::SetLastDelay(int32_t ms) {
    CSingleLock lock(m_lock);
    m_nLastDelay = ms;
}

int32_t CPlaybackSettings::GetLastDelay() {
    CSingleLock lock(m_lock);
    return m_nLastDelay;
}

void CPlaybackSettings::SetCacheSize(int32_t megabytes) {
    CSingleLock lock(m_lock);
    m_nCacheMb = megabytes;
}

int32_t CPlaybackSettings::GetCacheSize() {
    CSingleLock lock(m_lock);
    return m_nCacheMb;
}

void CPlaybackSettings::SetFit(const CFrameFit& fit) {
    CSingleLock lock(m_lock);
    m_fit = fit;
}

CFrameFit CPlaybackSettings::GetFit() {
    CSingleLock lock(m_lock);
    return m_fit;
}
