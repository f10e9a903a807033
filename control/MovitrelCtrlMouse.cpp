// Mouse input: the nine buttons, seeking with the slider, clicks in the picture. Every action
// goes through the property setters, so a click does exactly what the assignment does.
#include <algorithm>
#include <climits>

#include "control/Bitmaps.h"
#include "control/MovitrelCtrl.h"
#include "playback/Commands.h"

namespace {

// The index to ask the worker for so that it shows `index`: once woken in the drag pause it
// first moves to the request and then makes one step of the command, so the request lies
// `behind` frames back in the direction of travel.
int32_t RequestFor(int32_t index, int32_t command, int32_t behind) {
    if (IsForward(command)) return index - behind;
    if (IsBackward(command)) return index + behind;
    return index;
}

}  // namespace

int32_t CMovitrelCtrl::HitTestButtons(int32_t x, int32_t y) {
    if (!m_bShowButtons) return 0;
    if (!(m_cyBounds - kButtonSize + kButtonInset < y && y < m_cyBounds - kButtonInset)) return 0;
    for (int32_t k = 0; k < kButtonCount; ++k) {
        const int32_t left = m_xBar + kButtonSize * k;
        if (left + kButtonInset < x && x < left + kButtonSize - kButtonInset) return ButtonAt(k);
    }
    return 0;
}

BOOL CMovitrelCtrl::HitTestSlider(int32_t x, int32_t y) {
    if (!m_bShowSlider) return FALSE;
    const int32_t bottom = m_bShowButtons ? m_cyBounds - kStripRowHeight : m_cyBounds;
    const bool onTrack = m_xBar + kGrooveInset < x && x < m_cxBounds - m_xBar - kGrooveInset &&
                         bottom - kTrackTop < y && y < bottom - kTrackBottom;
    if (!onTrack) return FALSE;
    // The drag pause: the worker makes one step per wake until the release.
    m_nPauseState = PauseState::SliderDrag;
    FireChangePause(TRUE);
    WritePlaybackSettings();
    return TRUE;
}

int32_t CMovitrelCtrl::SliderIndexFromX(int32_t x) {
    const double q = (double(x) - m_xBar - kGrooveInset) / m_dSliderScale;
    // Clamped before the conversion, which a point far off the track would overflow.
    int32_t i = 0;
    if (q >= double(INT32_MAX)) {
        i = INT32_MAX;
    } else if (q > 0.0) {
        i = int32_t(q);
    }
    if (i >= m_nFrameCount - 1) i = m_nFrameCount - 1;  // -1 for an empty list
    return i;
}

void CMovitrelCtrl::OnLButtonDown(uint32_t flags, CPoint point) {
    const int32_t button = HitTestButtons(point.x, point.y);
    if (button == kButtonPause) {
        SetPause(m_nPauseState != PauseState::Running ? FALSE : TRUE);
    } else if (button == kButtonLoop) {
        SetLoop(m_bLoop == 0 ? TRUE : FALSE);
    } else if (button != kButtonNone) {
        SetCommand(CommandOfButton(button));
    }

    if (HitTestSlider(point.x, point.y)) {
        m_bDragging = TRUE;
        int32_t i = SliderIndexFromX(point.x);
        if (m_nCommand == kCommandNone) {
            // The effective delay stays what it was, fast after a fast command ran out.
            m_nCommand = kCommandPlay;
            FireChangeCommand(kCommandPlay);
            WritePlaybackSettings();
            ++i;
        }
        // With an empty list (as of the last paint) there is no index to ask for: the press
        // only enters the drag pause and seeks nothing, so no request outside the list ever
        // reaches the worker, and the next paint after its scan brings the real count.
        if (m_nFrameCount > 0 && i != m_nFrameIndex) {
            // A playing worker makes two passes after a press (the one due and the one for the
            // wake), a waiting one makes one; ++i above covers the waiting case.
            // Near the ends the correction of 2 leaves the list. Below -1 the worker would read
            // "nothing found" and stop stepping until the next scan, and two past the end it
            // would end playback; one step outside is as far as a request goes.
            const int32_t request = std::clamp(RequestFor(i, m_nCommand, 2), -1, m_nFrameCount);
            m_pPlayer->Seek(request);
            m_eventWake.SetEvent();
        }
    }

    CheckClickInPic(point.x, point.y);
    COleControl::OnLButtonDown(flags, point);
}

void CMovitrelCtrl::OnMouseMove(uint32_t flags, CPoint point) {
    if (m_bDragging) {
        const int32_t i = SliderIndexFromX(point.x);
        if (m_nFrameCount > 0 && i != m_nFrameIndex) {
            m_pPlayer->Seek(RequestFor(i, m_nCommand, 1));
            m_eventWake.SetEvent();
        }
    }
    COleControl::OnMouseMove(flags, point);
}

void CMovitrelCtrl::OnLButtonUp(uint32_t flags, CPoint point) {
    if (m_bDragging) {
        m_bDragging = FALSE;
        const int32_t i = SliderIndexFromX(point.x);
        // No wake here: the Pause setter below wakes the worker as it leaves the drag pause.
        if (m_nFrameCount > 0 && i != m_nFrameIndex) m_pPlayer->Seek(RequestFor(i, m_nCommand, 1));
        SetPause(FALSE);
    }
    COleControl::OnLButtonUp(flags, point);
}

void CMovitrelCtrl::OnRButtonDown(uint32_t flags, CPoint point) {
    CheckClickInPic(point.x, point.y);
    COleControl::OnRButtonDown(flags, point);
}

void CMovitrelCtrl::CheckClickInPic(int32_t x, int32_t y) {
    const int32_t pictureHeight = m_cyBounds - StripHeight(m_bShowButtons, m_bShowSlider);
    if (0 < x && x < m_cxBounds && 0 < y && y < pictureHeight) {
        FireClickInPic(static_cast<int16_t>(x), static_cast<int16_t>(y));
    }
}
