// CMovitrelCtrl: the animation control. It plays the ".jpg" files of one directory whose names
// begin with a prefix, one file per frame, with a slider and a button strip at the bottom.
//
// Everything here runs on the container's thread. The control shares with its worker thread
// only the two settings blocks, the worker object (under its lock), the four events and the
// stop flag; the worker reaches the window only by posting WM_PLAYER_REFRESH.
//
// Where the members are defined:
//   MovitrelCtrl.cpp       ids, maps, construction, destruction, AboutBox, verbs, exchange
//   MovitrelCtrlProps.cpp  getters, setters, ApplySettings
//   MovitrelCtrlLife.cpp   OnCreate, OnDestroy, starting the worker, OnPlayerRefresh,
//                          OnNcLButtonDown
//   MovitrelCtrlDraw.cpp   OnDraw, DrawBar, OnBackColorChanged
//   MovitrelCtrlMouse.cpp  OnLButtonDown, OnLButtonUp, OnMouseMove, OnRButtonDown,
//                          HitTestButtons, HitTestSlider, SliderIndexFromX, CheckClickInPic
//   (the strip's bitmaps)  CreateImageListFromBitmap
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "control/FramePosition.h"
#include "framework/OleControl.h"
#include "framework/RectTracker.h"
#include "platform/Gdi.h"
#include "platform/Sync.h"
#include "platform/Thread.h"
#include "playback/Commands.h"
#include "playback/FramePlayer.h"
#include "playback/Settings.h"

class CImage;

// Fixed ids of the control's automation interfaces and of its property pages; the registry
// rows and the type library use the same values.
extern const IID IID_DMovitrel;
extern const IID IID_DMovitrelEvents;
extern const CLSID CLSID_MovitrelCtrl;
extern const CLSID CLSID_MovitrelPropPage;
extern const CLSID CLSID_ControlPropPage;
extern const CLSID CLSID_PlaybackPropPage;

// Bitmap resources of the strip: 18 button images of 20x20, 16 slider columns of 1x20.
constexpr uint32_t kBitmapButtons = 214;
constexpr uint32_t kBitmapSlider = 209;

// Fills list with the images of width cx cut from bitmap resource bitmapId; pixels of the mask
// colour are transparent. FALSE (and an empty list) for an unknown id.
BOOL CreateImageListFromBitmap(CImageList& list, uint32_t bitmapId, int32_t cx, int32_t grow,
                               COLORREF mask);

class CMovitrelCtrl : public COleControl, public CPlayerClient, public IMovitrelFramePosition {
public:
    // DISPIDs: positions in the dispatch map and in the event map.
    enum {
        dispidBaseFile = 1,
        dispidButtons = 2,
        dispidCommand = 3,
        dispidDelay = 4,
        dispidDir = 5,
        dispidLoop = 6,
        dispidMaximize = 7,
        dispidPause = 8,
        dispidPictureBackColor = 9,
        dispidSlider = 10,
        dispidSort = 11,
        // After the first eleven, so their DISPIDs and every saved state stay valid.
        dispidCacheSize = 12,
        dispidWatch = 13,
        dispidBounce = 14,
        dispidLastDelay = 15,
        dispidDecodeToFit = 16,
    };
    enum {
        eventidClickInPic = 1,
        eventidChangeCommand = 2,
        eventidChangeLoop = 3,
        eventidChangePause = 4,
    };

    CMovitrelCtrl();
    ~CMovitrelCtrl() override;

    const CDispatchMap& GetDispatchMap() const override;
    const CEventMap& GetEventMap() const override;
    std::vector<CLSID> GetPropPageIDs() const override;
    void* GetInterface(const IID& iid) override;
    int32_t ShownFrameIndex() const override { return m_nFrameIndex; }
    int32_t ShownFrameCount() const override { return m_nFrameCount; }
    bool ShownFrameIsCurrent() const override {
        return m_nFrameGeneration == m_pSource->GetGeneration();
    }
    int32_t CachedFrameCount() const override { return m_pPlayer->CachedFrames(); }
    void AboutBox() override;
    void OnResetState() override;

    // ---- CPlayerClient: what the worker sees of the control -------------------------------
    bool StopRequested() const override { return m_bStop.load() != FALSE; }
    CEvent& RescanEvent() override { return m_eventRescan; }
    CEvent& WakeEvent() override { return m_eventWake; }
    CEvent& EndEvent() override { return m_eventEnd; }
    CEvent& ExitEvent() override { return m_eventExit; }
    HWND PlayerWindow() const override { return GetSafeHwnd(); }

    // The worker object and the blocks it reads, for tests that look at them.

protected:
    void DoPropExchange(CPropExchange* px) override;

    // ---- Drawing (MovitrelCtrlDraw.cpp) ---------------------------------------------------
    void OnDraw(CDC* dc, const CRect& bounds, const CRect& invalid) override;
    void DrawBar(CDC* dc, int32_t cx, int32_t y);
    void OnBackColorChanged() override;

    // ---- Mouse (MovitrelCtrlMouse.cpp) ----------------------------------------------------
    void OnLButtonDown(uint32_t flags, CPoint point) override;
    void OnLButtonUp(uint32_t flags, CPoint point) override;
    void OnMouseMove(uint32_t flags, CPoint point) override;
    void OnRButtonDown(uint32_t flags, CPoint point) override;
    int32_t HitTestButtons(int32_t x, int32_t y);
    BOOL HitTestSlider(int32_t x, int32_t y);
    int32_t SliderIndexFromX(int32_t x);
    void CheckClickInPic(int32_t x, int32_t y);

    // ---- Lifecycle (MovitrelCtrlLife.cpp) -------------------------------------------------
    int32_t OnCreate(LPCREATESTRUCT createStruct) override;
    void OnDestroy() override;
    void OnNcLButtonDown(uint32_t hitTest, CPoint point) override;
    void OnSize(uint32_t type, int32_t cx, int32_t cy) override;
    LRESULT OnPlayerRefresh(WPARAM wParam, LPARAM lParam);
    // Starts the worker thread; null when it cannot be started.
    virtual CWinThread* BeginPlayerThread();

    // ---- Properties (MovitrelCtrlProps.cpp) -----------------------------------------------
    CString GetBaseFile();
    void SetBaseFile(const CString& value);
    BOOL GetButtons();
    void SetButtons(BOOL value);
    int16_t GetCommand();
    void SetCommand(int16_t value);
    int32_t GetDelay();
    void SetDelay(int32_t value);
    CString GetDir();
    void SetDir(const CString& value);
    BOOL GetLoop();
    void SetLoop(BOOL value);
    BOOL GetMaximize();
    void SetMaximize(BOOL value);
    BOOL GetPause();
    void SetPause(BOOL value);
    OLE_COLOR GetPictureBackColor();
    void SetPictureBackColor(OLE_COLOR value);
    BOOL GetSlider();
    void SetSlider(BOOL value);
    int16_t GetSort();
    void SetSort(int16_t value);
    int32_t GetCacheSize();
    void SetCacheSize(int32_t megabytes);
    BOOL GetWatch();
    void SetWatch(BOOL value);
    BOOL GetBounce();
    void SetBounce(BOOL value);
    int32_t GetLastDelay();
    void SetLastDelay(int32_t ms);
    BOOL GetDecodeToFit();
    void SetDecodeToFit(BOOL value);
    // Tells the worker the picture area frames are laid out in (the client area less the
    // strip) and whether they are decoded to fit it.
    void PushFit();

    // Hands source and playback state to the worker and makes it start over (stopped).
    void ApplySettings();
    // SetAll of the playback block with the current command, loop, pause state and delay.
    void WritePlaybackSettings();
    // The delay the worker waits for command: a tenth of m_lDelay for the fast commands.
    int32_t EffectiveDelayFor(int32_t command) const;

    // Event firing, with the event map's parameter types.
    void FireClickInPic(int16_t x, int16_t y);
    void FireChangeCommand(int16_t newCommand);
    void FireChangeLoop(BOOL newLoop);
    void FireChangePause(BOOL newPause);

    // ---- Property state -------------------------------------------------------------------
    // Every initialisation runs the exchange, which sets these; the initialisers only keep a
    // control that was never initialised from holding indeterminate values.
    CString m_strBaseFile;
    BOOL m_bShowButtons = TRUE;
    int16_t m_nCommand = kCommandNone;
    int32_t m_lDelay = 500;
    CString m_strDir;
    BOOL m_bLoop = FALSE;
    BOOL m_bMaximize = TRUE;
    PauseState m_nPauseState = PauseState::Running;
    OLE_COLOR m_clrPictureBack = 0;
    BOOL m_bShowSlider = TRUE;
    int16_t m_nSort = 0;
    int32_t m_lCacheSize = 256;  // megabytes
    BOOL m_bWatch = FALSE;
    BOOL m_bBounce = FALSE;
    int32_t m_lLastDelay = 0;
    BOOL m_bDecodeToFit = FALSE;
    int32_t m_nEffectiveDelay = 500;

    // ---- Drawing state: the geometry of the last paint, which the mouse handling uses -----
    std::shared_ptr<CImage> m_pFrameImage;  // after the first paint, the worker's image
    int32_t m_nFrameCount = 0;
    int32_t m_nFrameIndex = -1;
    uint32_t m_nFrameGeneration = 0;  // the source generation m_nFrameIndex belongs to
    int32_t m_cxBounds = 0;
    int32_t m_cyBounds = 0;
    int32_t m_xBar = 0;
    double m_dSliderScale = 1.0;
    CImageList m_imageListButtons;
    CImageList m_imageListSlider;

    // ---- Mouse state ----------------------------------------------------------------------
    BOOL m_bDragging = FALSE;  // a press on the slider seen, its release not yet

    // ---- Lifecycle state ------------------------------------------------------------------
    CEvent m_eventRescan;
    CEvent m_eventWake;
    CEvent m_eventExit;
    CEvent m_eventEnd;
    CWinThread* m_pThread = nullptr;   // not owned: a marker that a thread runs
    std::atomic<BOOL> m_bStop{FALSE};  // written here, read by the worker without a lock
    bool m_bThreadStarted = false;
    // Made in this order by the constructor (the worker works on the blocks) and destroyed
    // in the reverse one by the destructor, once the worker has stopped.
    friend struct CMovitrelCtrlProbe;  // tests: the worker and the blocks it reads
    std::unique_ptr<CSourceSettings> m_pSource;
    std::unique_ptr<CPlaybackSettings> m_pPlayback;
    std::unique_ptr<CFramePlayer> m_pPlayer;

private:
    // Sets the stop flag, wakes the worker and waits for it to leave its loop.
    void StopPlayerThread();
    // The map with the exchange of the pause state put on its Pause entry.
    static CDispatchMap WithPauseExchange(CDispatchMap map);
};
