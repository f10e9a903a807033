// Stand-ins for the drawing and mouse members until their own files define them: the frame
// is collected, drawn unscaled in the middle, and the end of playback is noticed; the strip
// is not drawn and the mouse does nothing. This file goes away when those files land.
#include "control/MovitrelCtrl.h"
#include "image/Image.h"

void CMovitrelCtrl::OnDraw(CDC* dc, const CRect& bounds, const CRect&) {
    m_cxBounds = bounds.Width();
    m_cyBounds = bounds.Height();
    m_pPlayer->GetFrame(&m_pFrameImage, &m_nFrameCount, &m_nFrameIndex);
    if (m_eventEnd.Wait(0) == WAIT_OBJECT_0) {
        m_nCommand = 0;
        FireChangeCommand(0);
        if (m_nPauseState != 0) {
            m_nPauseState = 0;
            FireChangePause(FALSE);
        }
        WritePlaybackSettings();
        BoundPropertyChanged(dispidCommand);
    }
    const int32_t strip = (m_bShowButtons ? 20 : 0) + (m_bShowSlider ? 20 : 0);
    const int32_t pictureHeight = m_cyBounds - strip;
    dc->FillSolidRect(CRect(bounds.left, bounds.top, bounds.right, bounds.top + pictureHeight),
                      m_clrPictureBack);
    CSingleLock lock(m_pPlayer->m_lock);
    if (m_pFrameImage->IsValid()) {
        const int32_t w = m_pFrameImage->GetWidth();
        const int32_t h = m_pFrameImage->GetHeight();
        m_pFrameImage->StretchDraw(dc, bounds.left + (m_cxBounds - w) / 2,
                                   bounds.top + (pictureHeight - h) / 2, w, h, 0, 0, -1, -1);
    }
    DrawBar(dc, m_cxBounds, pictureHeight);
}

void CMovitrelCtrl::DrawBar(CDC*, int32_t cx, int32_t) {
    m_xBar = cx > 180 ? (cx - 180) / 2 : 0;
    m_dSliderScale = m_nFrameCount > 1 ? 159.0 / (m_nFrameCount - 1) : 1.0;
}

void CMovitrelCtrl::OnBackColorChanged() {
    COleControl::OnBackColorChanged();
    const COLORREF back = TranslateColor(GetBackColor());
    m_imageListButtons.SetBkColor(back);
    m_imageListSlider.SetBkColor(back);
}

void CMovitrelCtrl::OnLButtonDown(uint32_t flags, CPoint point) {
    COleControl::OnLButtonDown(flags, point);
}
void CMovitrelCtrl::OnLButtonUp(uint32_t flags, CPoint point) {
    COleControl::OnLButtonUp(flags, point);
}
void CMovitrelCtrl::OnMouseMove(uint32_t flags, CPoint point) {
    COleControl::OnMouseMove(flags, point);
}
void CMovitrelCtrl::OnRButtonDown(uint32_t flags, CPoint point) {
    COleControl::OnRButtonDown(flags, point);
}
int32_t CMovitrelCtrl::HitTestButtons(int32_t, int32_t) { return 0; }
BOOL CMovitrelCtrl::HitTestSlider(int32_t, int32_t) { return FALSE; }
int32_t CMovitrelCtrl::SliderIndexFromX(int32_t) { return 0; }
void CMovitrelCtrl::CheckClickInPic(int32_t, int32_t) {}
