// The playback worker object: the frame list, the cursor, the image frames are loaded into,
// and the loop the worker thread runs.
#pragma once

#include <atomic>
#include <memory>

#include "platform/FileFind.h"
#include "platform/Sync.h"
#include "platform/Window.h"
#include "playback/FrameList.h"
#include "playback/Settings.h"

class CImage;
class CFramePlayer;

// The worker repaint request, posted with wParam 0 and lParam 0 after every step.
constexpr uint32_t WM_PLAYER_REFRESH = WM_USER + 100;

// What the worker needs of the control that owns it; the control implements it, so this
// layer never sees the control itself.
class CPlayerClient {
public:
    virtual ~CPlayerClient() = default;
    virtual CFramePlayer& Player() = 0;
    virtual bool StopRequested() const = 0;  // the stop flag, read between blocking calls
    virtual CEvent& RescanEvent() = 0;
    virtual CEvent& WakeEvent() = 0;
    virtual CEvent& EndEvent() = 0;
    virtual CEvent& ExitEvent() = 0;
    virtual HWND PlayerWindow() const = 0;
    virtual CSourceSettings* SourceSettings() = 0;
    virtual CPlaybackSettings* PlaybackSettings() = 0;
};

// Thread entry: runs the client's player, then signals the client's exit event.
uint32_t PlayerThreadProc(void* client);

// The number in a frame's file title after the prefix: every digit counts, other characters
// are skipped, and the arithmetic wraps at 32 bits.
int32_t FrameNumberKey(const CString& title, size_t prefixLength);

// True when the last four characters of path are ".jpg" in any case.
bool HasJpgExtension(const CString& path);

class CFramePlayer {
public:
    CFramePlayer();
    ~CFramePlayer();
    CFramePlayer(const CFramePlayer&) = delete;
    CFramePlayer& operator=(const CFramePlayer&) = delete;

    CSourceSettings* m_pSource = nullptr;
    CPlaybackSettings* m_pPlayback = nullptr;
    // The scan writes these without m_lock while the control reads them under it: atomic.
    std::atomic<int32_t> m_nCount{0};
    // -2: nothing found (or no scan yet); -1: list built, nothing shown yet.
    std::atomic<int32_t> m_nCurrent{-2};
    int32_t m_nShown = -1;
    // The source generation of the list being built or played (written by the worker only),
    // and that of the list m_nShown indexes (under m_lock).
    std::atomic<uint32_t> m_nListGeneration{0};
    uint32_t m_nShownGeneration = 0;
    CImage* m_pImage = nullptr;
    POSITION m_posCurrent = nullptr;
    // Held while a step moves the cursor and while it swaps a decoded frame into m_pImage,
    // never during the decode itself; the control holds it while it draws m_pImage. So a
    // paint waits at most for a swap, and a draw never sees a half-loaded frame.
    CCriticalSection m_lock;
    CFrameList m_frames;

    // The worker loop; returns once the client asks to stop.
    void Run(CPlayerClient& client);
    // One move of the cursor, the load of the frame and the repaint request; true asks the
    // loop to wait for the wake event before the next step.
    bool Step(int32_t command, BOOL loop, CPlayerClient& client);

    // Rebuilds the list from m_pSource. The overload takes the directory search to use.
    void ScanDirectory();
    void ScanDirectory(CFileFind& finder);

    // Control side. GetFrame hands over the worker's image: from the first call on the
    // control owns it and draws it; the image *ppImage held before is destroyed. *pGeneration,
    // when asked for, is the source generation of the list the shown index belongs to.
    void GetFrame(CImage** ppImage, int32_t* pCount, int32_t* pShown,
                  uint32_t* pGeneration = nullptr);
    void Seek(int32_t index);

private:
    bool m_bImageHandedOver = false;
    // Frames decode here, outside m_lock, and are swapped into m_pImage once complete.
    std::unique_ptr<CImage> m_pLoading;
};
