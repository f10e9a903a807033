// The window's lifecycle: starting and stopping the worker thread, its repaint requests, and
// resizing by the border while active in place.
#include "control/MovitrelCtrl.h"

CWinThread* CMovitrelCtrl::BeginPlayerThread() {
    return AfxBeginThread(&CFramePlayer::ThreadProc, m_pPlayer.get());
}

int32_t CMovitrelCtrl::OnCreate(LPCREATESTRUCT createStruct) {
    if (COleControl::OnCreate(createStruct) == -1) return -1;

    if (m_pThread == nullptr) {
        // An end of playback a previous thread signalled belongs to the playback that
        // ApplySettings below abandons; left pending it would stop the next one.
        m_eventEnd.Wait(0);
        m_bStop = FALSE;
        m_pThread = BeginPlayerThread();
        m_bThreadStarted = true;
    } else {
        m_eventWake.SetEvent();
    }
    m_nEffectiveDelay = m_lDelay;
    ApplySettings();
    OnBackColorChanged();
    SetModifiedFlag(TRUE);
    return 0;
}

void CMovitrelCtrl::StopPlayerThread() {
    if (m_pThread == nullptr || !m_bThreadStarted) return;
    // The flag before the wake, so that a worker woken from its wait sees it.
    m_bStop = TRUE;
    m_eventWake.SetEvent();
    m_eventExit.Wait(INFINITE);
    m_pThread = nullptr;
}

void CMovitrelCtrl::OnDestroy() {
    StopPlayerThread();
    COleControl::OnDestroy();
}

void CMovitrelCtrl::OnSize(uint32_t type, int32_t cx, int32_t cy) {
    COleControl::OnSize(type, cx, cy);
    PushFit();  // the picture area frames are decoded to fit changed with the window
}

LRESULT CMovitrelCtrl::OnPlayerRefresh(WPARAM, LPARAM) {
    Refresh();
    return 0;
}

void CMovitrelCtrl::OnNcLButtonDown(uint32_t hitTest, CPoint point) {
    auto* trackerSite = dynamic_cast<IRectTrackerSite*>(GetClientSite());
    CRectTracker* tracker = trackerSite ? trackerSite->GetRectTracker() : nullptr;
    const uint32_t resizeStyles = CRectTracker::resizeInside | CRectTracker::resizeOutside;
    if (!IsInPlaceActive() || tracker == nullptr || (tracker->m_nStyle & resizeStyles) == 0 ||
        hitTest == HTHSCROLL || hitTest == HTVSCROLL) {
        DefWindowProc(WM_NCLBUTTONDOWN, hitTest, MAKELPARAM(point.x, point.y));
        return;
    }

    const CPoint clientPoint = ScreenToClient(point);
    const CRect before = tracker->m_rect;
    if (!tracker->Track(this, clientPoint, FALSE, nullptr)) return;
    const CRect after = tracker->m_rect;
    if (after.left == before.left && after.top == before.top && after.right == before.right &&
        after.bottom == before.bottom) {
        return;
    }

    CRect r = after;
    tracker->m_rect = CRect(0, 0, r.Width(), r.Height());
    // Into the container's client coordinates: the control's window sits at its position
    // rectangle there, and the container's client area is where screen points are measured.
    const CRect outer = GetRectInContainer();
    const CPoint parentOrigin(0, 0);
    const int32_t n = tracker->m_nHandleSize - 1;
    const int32_t dx = n + outer.left - parentOrigin.x;
    const int32_t dy = n + outer.top - parentOrigin.y;
    r = CRect(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);

    const SIZE extent{PixelsToHimetric(r.Width()), PixelsToHimetric(r.Height())};
    const SIZE stored = GetExtent();
    if (extent.cx != stored.cx || extent.cy != stored.cy) {
        SetExtent(extent);
        SetModifiedFlag(TRUE);
    }
    if (IControlSite* site = GetClientSite()) site->OnPosRectChange(r);
}
