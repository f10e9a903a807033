// Painting: the frame centred in the picture area, the bands around it, and the strip of
// slider and buttons below. The same pass records the geometry the mouse handling works with.
#include <algorithm>

#include "control/Bitmaps.h"
#include "control/MovitrelCtrl.h"
#include "image/Image.h"
#include "playback/Commands.h"
#include "playback/FrameLayout.h"

void CMovitrelCtrl::OnDraw(CDC* dc, const CRect& bounds, const CRect& /*invalid*/) {
    const int32_t cx = bounds.Width();
    const int32_t cy = bounds.Height();
    m_cxBounds = cx;
    m_cyBounds = cy;

    // GetFrame takes the worker's lock itself; the lock is not recursive.
    m_pPlayer->GetFrame(&m_pFrameImage, &m_nFrameCount, &m_nFrameIndex, &m_nFrameGeneration);

    // The worker stopped at an end of the list and waits; only the control's state follows.
    // An end that a stop or a new source overtook before this paint changes nothing: Command
    // is 0 already and its event has been fired.
    if (m_eventEnd.Wait(0) == WAIT_OBJECT_0 && m_nCommand != kCommandNone) {
        m_nCommand = kCommandNone;
        FireChangeCommand(kCommandNone);
        if (m_nPauseState != PauseState::Running) {
            m_nPauseState = PauseState::Running;
            FireChangePause(FALSE);
        }
        WritePlaybackSettings();
        BoundPropertyChanged(dispidCommand);
    }
    // A bounce the worker made at an end of the list: the control's command follows it here,
    // as it follows an end. A turn from a command no longer in force is spent already.
    int32_t turnedFrom = kCommandNone, turnedTo = kCommandNone;
    if (m_pPlayer->PendingTurn(&turnedFrom, &turnedTo) && m_nCommand == turnedFrom) {
        m_nCommand = int16_t(turnedTo);
        FireChangeCommand(m_nCommand);
        WritePlaybackSettings();
        BoundPropertyChanged(dispidCommand);
    }

    CBoundsDC target(dc, bounds);
    CDC* device = target.Device();
    const int32_t pictureHeight = cy - StripHeight(m_bShowButtons, m_bShowSlider);
    // The worker swaps each decoded frame into the image on show; DrawShown keeps it out
    // while the picture is drawn.
    m_pPlayer->DrawShown([&](CImage& image) {
        DrawFramePicture(device, image, cx, pictureHeight, m_bMaximize, m_clrPictureBack);
    });
    DrawBar(device, cx, pictureHeight);
}

void CMovitrelCtrl::DrawBar(CDC* dc, int32_t cx, int32_t y) {
    m_xBar = cx > kStripWidth ? (cx - kStripWidth) / 2 : 0;
    m_dSliderScale = m_nFrameCount > 1 ? double(kSliderTravel) / (m_nFrameCount - 1) : 1.0;

    const int32_t strip = StripHeight(m_bShowButtons, m_bShowSlider);
    if (cx > kStripWidth && strip > 0) {
        const COLORREF back = TranslateColor(GetBackColor());
        dc->FillSolidRect(CRect(0, y, m_xBar, y + strip), back);
        dc->FillSolidRect(CRect(m_xBar + kStripWidth, y, cx, y + strip), back);
    }

    if (m_bShowSlider) {
        // Positions outside the strip draw no thumb; they are not converted, as a stale index
        // far past a short list would overflow the integer.
        const double position = m_nFrameIndex * m_dSliderScale + kGrooveInset;
        const int32_t thumb = position > -1.0 && position < kStripWidth ? int32_t(position) : -1;
        for (int32_t c = 0; c < kStripWidth;) {
            if (c == thumb) {
                // A stale index past the end of a shorter list can put the thumb near the
                // right end; it is cut at the strip's edge rather than drawn over the side.
                for (int32_t k = 0; k < kSliderThumbWidth && c + k < kStripWidth; ++k) {
                    m_imageListSlider.Draw(dc, kSliderThumbFirst + k, POINT{m_xBar + c + k, y},
                                           ILD_NORMAL);
                }
                c += kSliderThumbWidth;
                continue;
            }
            int32_t image = kSliderEmpty;
            if (c == kGrooveInset) {
                image = kSliderGrooveLeft;
            } else if (c == kStripWidth - kGrooveInset) {
                image = kSliderGrooveRight;
            } else if (c > kGrooveInset && c < kStripWidth - kGrooveInset) {
                image = kSliderGroove;
            }
            m_imageListSlider.Draw(dc, image, POINT{m_xBar + c, y}, ILD_NORMAL);
            ++c;
        }
        y += kStripRowHeight;
    }

    if (m_bShowButtons) {
        const auto pressed = [this](int32_t button) {
            if (button == kButtonPause) return m_nPauseState != PauseState::Running;
            if (button == kButtonLoop) return m_bLoop != 0;
            return m_nCommand == CommandOfButton(button);
        };
        static constexpr int32_t kOffImage[kButtonCount] = {
            kImageRplay,   kImagePlay, kImageStop, kImageStepBack, kImagePause,
            kImageStepFor, kImageRew,  kImageFf,   kImageLoopOff,
        };
        for (int32_t k = 0; k < kButtonCount; ++k) {
            // Each pressed picture follows its normal one; Loop on follows Loop off too.
            const int32_t image = kOffImage[k] + (pressed(ButtonAt(k)) ? 1 : 0);
            m_imageListButtons.Draw(dc, image, POINT{m_xBar + kButtonSize * k, y}, ILD_NORMAL);
        }
    }
}

void CMovitrelCtrl::OnBackColorChanged() {
    COleControl::OnBackColorChanged();
    const COLORREF back = TranslateColor(GetBackColor());
    m_imageListButtons.SetBkColor(back);
    m_imageListSlider.SetBkColor(back);
}
