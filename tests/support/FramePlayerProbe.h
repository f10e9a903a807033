// White-box access to a CFramePlayer for tests: states no scanned list leads to (a count
// without a list, an index past its end) and images of a test's own in the player's place.
#pragma once

#include <memory>

#include "playback/FramePlayer.h"

struct CFramePlayerProbe {
    // What the next GetFrame reports, as if a list of count frames showed index shown.
    static void SetShownState(CFramePlayer& player, int32_t count, int32_t shown) {
        CSingleLock lock(player.m_lock);
        player.m_nCount = count;
        player.m_nShown = shown;
    }
    static void SetCount(CFramePlayer& player, int32_t count) { player.m_nCount = count; }
    // The image frames are shown in; replacing it puts a test's own image there.
    static std::shared_ptr<CImage>& Image(CFramePlayer& player) { return player.m_pImage; }
    static CCriticalSection& Lock(CFramePlayer& player) { return player.m_lock; }
    // A swap has waited for a draw under way.
    static bool SwapWaited(CFramePlayer& player) {
        CSingleLock lock(player.m_lock);
        return player.m_bSwapWaited;
    }
    static POSITION Cursor(const CFramePlayer& player) { return player.m_posCurrent; }
    // The budget the cache applies now (CacheSize, bounded by what the machine has).
    static int64_t CacheBudget(CFramePlayer& player) { return player.m_cache.Budget(); }
};
