// The playback worker object and what it needs of its control.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "platform/DirWatch.h"
#include "platform/FileFind.h"
#include "platform/Sync.h"
#include "platform/Window.h"
#include "playback/Commands.h"
#include "playback/FrameCache.h"
#include "playback/FrameList.h"
#include "playback/Settings.h"

class CImage;

// The worker repaint request, posted with wParam 0 and lParam 0 after every step.
constexpr uint32_t WM_PLAYER_REFRESH = WM_USER + 100;

// What the worker needs of the control that owns it; the control implements it, so this
// layer never sees the control itself.
class CPlayerClient {
public:
    virtual ~CPlayerClient() = default;
    virtual bool StopRequested() const = 0;  // the stop flag, read between blocking calls
    virtual CEvent& RescanEvent() = 0;
    virtual CEvent& WakeEvent() = 0;
    virtual CEvent& EndEvent() = 0;
    virtual CEvent& ExitEvent() = 0;
    virtual HWND PlayerWindow() const = 0;
};

// The number in a frame's file title after the prefix: every digit counts, other characters
// are skipped, and the arithmetic wraps at 32 bits.
int32_t FrameNumberKey(const CString& title, size_t prefixLength);

// True when the last four characters of path are ".jpg" in any case.
bool HasJpgExtension(const CString& path);

// The frame list, the cursor, the image frames are shown in, and the loop the worker thread
// runs. The worker thread calls Run (and through it ScanDirectory and Step); the control's
// thread calls GetFrame, DrawShown and Seek. Everything the two share is under one lock,
// held while a step moves the cursor and while a decoded frame is swapped in, never during a
// decode or a draw: a paint waits at most for a swap, a swap waits for a draw under way, and
// a draw never sees a half-loaded frame.
class CFramePlayer {
public:
    // The client and the settings blocks outlive the player.
    CFramePlayer(CPlayerClient& client, CSourceSettings& source, CPlaybackSettings& playback);
    ~CFramePlayer();
    CFramePlayer(const CFramePlayer&) = delete;
    CFramePlayer& operator=(const CFramePlayer&) = delete;

    // Thread entry; param is the player. Runs Run, then signals the client's exit event.
    static uint32_t ThreadProc(void* param);

    // ---- Worker side -----------------------------------------------------------------------
    // The loop; returns once the client asks to stop.
    void Run();
    // One move of the cursor, the load of the frame and the repaint request; true asks the
    // loop to wait for the wake event before the next step.
    bool Step(int32_t command, BOOL loop);
    // Rebuilds the list from the source settings. The overload takes the search to use.
    void ScanDirectory();
    void ScanDirectory(CFileFind& finder);

    // ---- Control side ----------------------------------------------------------------------
    // Hands over the worker's image: *image becomes the image frames are shown in, and the
    // one it held before is released (destroyed unless someone else holds it). *pGeneration,
    // when asked for, is the source generation of the list the shown index belongs to.
    void GetFrame(std::shared_ptr<CImage>* image, int32_t* pCount, int32_t* pShown,
                  uint32_t* pGeneration = nullptr);
    // Calls draw with the image on show. No swap lands while it draws, but the lock is not
    // held: the worker moves on and decodes meanwhile, and waits only to swap, so a slow
    // draw (GDI under Wine takes milliseconds) does not add to every step.
    void DrawShown(const std::function<void(CImage&)>& draw);
    // Asks the next step to start from index.
    void Seek(int32_t index);
    // A bounce the worker made and the control has not yet followed: the control's command
    // *from was turned into *to. The worker plays on with *to until the control's command
    // changes; the control follows at a paint, as it does at an end of playback.
    bool PendingTurn(int32_t* from, int32_t* to);

    // ---- State, for tools, status and tests ------------------------------------------------
    int32_t Count() const { return m_nCount; }
    // The cursor: -2 nothing found (or no scan yet), -1 list built and nothing shown yet.
    int32_t Current() const { return m_nCurrent; }
    int32_t Shown();
    CString ShownPath();  // the file of the picture on show; empty before the first
    // The list; read it only on the worker's thread or while no worker runs.
    const CFrameList& Frames() const { return m_frames; }
    // Decoded frames the cache holds now.
    int32_t CachedFrames() { return m_cache.FrameCount(); }

private:
    friend struct CFramePlayerProbe;  // tests: states no list can reach, probe images

    // The command to play: the control's, or what a bounce turned it into.
    int32_t CommandInForce();
    void RecordTurn(int32_t command);
    // After the last frame of the playing direction, with loop: the extra LastDelay, cut
    // short by a stop request or a wake.
    void Dwell(BOOL loop);
    // Waits for the wake event, following the directory meanwhile when Watch is on. Returns
    // without a wake when a rebuild found frames in a list that had none.
    void WaitForWake();
    // Starts or stops following the list's directory as Watch says, and rebuilds the list
    // after a settled change. True when the rebuild found frames in a list that had none.
    bool FollowDirectory();
    bool Rebuild();
    // Loads the frame of path into m_pLoading, through the cache when there is one.
    bool LoadFrame(const CString& path, const CPlayCourse& course, const CFrameFit& fit);
    bool LoadFrameThrough(const CString& path, const CPlayCourse& course, const CFrameFit& fit);
    // With a cache, steps outrun paints. Before a new frame is swapped in, the paint of the
    // previous refresh is waited for (briefly, and never past a stop request), so every step
    // is painted and the window's queue stays short.
    void WaitForPaint();
    // Posts WM_PLAYER_REFRESH, and notes it unpainted until GetFrame.
    void PostRefresh();
    // Takes m_lock into lock once no draw of the image on show is under way, for a swap. The
    // picture on show changes only between draws.
    void LockOutsideDraw(CSingleLock& lock);
    // Swaps the frame loaded into m_pLoading in for the one on show, between draws.
    void SwapInLoaded();
    // A step, in three parts: the cursor moved under m_lock (an end of playback signalled
    // there), the frame loaded outside it, and the picture and index committed together.
    struct CStepPlan {
        bool ended = false;
        int32_t index = -1;
        CString path;
        CPlayCourse course;
    };
    // The step of command, which the loop has mapped to its motion once (MotionOf); the
    // command itself is what a bounce records as turned.
    bool Step(int32_t command, CCommandMotion motion, BOOL loop);
    CStepPlan MoveCursor(int32_t command, CCommandMotion motion, BOOL loop);
    void Commit(const CStepPlan& plan, bool loaded, const CFrameFit& fit);
    // Budget and read-ahead threads as the settings and the motion in force want them.
    void ApplyCache(CCommandMotion motion, PauseState pauseState);
    // With DecodeToFit, the frame on show is decoded again at once when the fit changed so
    // that it would be enlarged from its smaller decode, or when DecodeToFit was turned on or
    // off: the cursor, the command and the pause state stay, and no event fires. A path of its
    // own, since a wake at an end would step to the first frame, and a pause takes no step.
    void RefitShown();

    CPlayerClient& m_client;
    CSourceSettings& m_source;
    CPlaybackSettings& m_playback;

    CCriticalSection m_lock;
    CFrameList m_frames;
    POSITION m_posCurrent = nullptr;
    // The scan writes these without m_lock while the control reads them under it: atomic.
    std::atomic<int32_t> m_nCount{0};
    std::atomic<int32_t> m_nCurrent{-2};
    int32_t m_nShown = -1;
    // The source generation of the list being built or played (written by the worker only),
    // and that of the list m_nShown indexes (under m_lock).
    std::atomic<uint32_t> m_nListGeneration{0};
    uint32_t m_nShownGeneration = 0;
    // The fit the frame on show was loaded under, the scale it was decoded at, and the course
    // of its step (worker only).
    CFrameFit m_shownFit;
    int32_t m_nShownEighths = 8;
    CPlayCourse m_shownCourse;
    // The bounce not yet followed by the control (under m_lock); from is 0 when there is none.
    int32_t m_nTurnFrom = kCommandNone;
    int32_t m_nTurnTo = kCommandNone;
    // The last step showed the last frame of its direction (worker only): the dwell applies.
    bool m_bAtDirectionEnd = false;
    // The image frames are shown in; the control shares it from its first paint on.
    std::shared_ptr<CImage> m_pImage;
    // Frames decode here, outside m_lock, and are swapped into m_pImage once complete.
    std::unique_ptr<CImage> m_pLoading;
    // Draws of the image on show under way (under m_lock), and the signal of one's end.
    int32_t m_nDrawing = 0;
    CEvent m_drawEnded;
    // A swap waited for a draw (under m_lock); for tests.
    bool m_bSwapWaited = false;

    CFrameCache m_cache;
    // The directory the list was built from, and its watch (worker only).
    CString m_strListDir;
    CDirectoryWatch m_watch;
    // A refresh was posted and GetFrame has not yet been called for it (under m_lock).
    bool m_bRefreshUnpainted = false;
    CEvent m_painted;
};
