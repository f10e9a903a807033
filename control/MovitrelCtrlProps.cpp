// Getters and setters of the automation properties, and ApplySettings. Each setter compares,
// returns when nothing changed, stores, hands the value to the worker, notifies and repaints,
// in the order the container relies on for its events.
#include "control/Bitmaps.h"
#include "control/MovitrelCtrl.h"
#include "playback/Commands.h"

int32_t CMovitrelCtrl::EffectiveDelayFor(int32_t command) const {
    // Signed division truncates toward zero: -15 gives -1.
    return IsFast(command) ? m_lDelay / 10 : m_lDelay;
}

void CMovitrelCtrl::WritePlaybackSettings() {
    m_pPlayback->SetAll(m_nCommand, m_bLoop, m_nPauseState, m_nEffectiveDelay);
}

void CMovitrelCtrl::ApplySettings() {
    if (m_nCommand != kCommandNone) {
        m_nCommand = kCommandNone;
        FireChangeCommand(kCommandNone);
        BoundPropertyChanged(dispidCommand);
    }
    if (m_nPauseState != PauseState::Running) {
        m_nPauseState = PauseState::Running;
        FireChangePause(FALSE);
    }
    WritePlaybackSettings();
    // The options as loaded or reset, which the exchange set without their setters.
    m_pPlayback->SetCacheSize(m_lCacheSize);
    m_pPlayback->SetBounce(m_bBounce);
    m_pPlayback->SetLastDelay(m_lLastDelay);
    PushFit();
    m_pSource->SetWatch(m_bWatch);
    m_pSource->SetSource(m_strDir, m_strBaseFile, int32_t(m_nSort));
    m_eventRescan.SetEvent();
    m_eventWake.SetEvent();
}

// ---- Source selection ---------------------------------------------------------------------

CString CMovitrelCtrl::GetBaseFile() {
    return m_strBaseFile;
}

void CMovitrelCtrl::SetBaseFile(const CString& value) {
    if (value == m_strBaseFile) return;
    m_strBaseFile = value;
    ApplySettings();
    SetModifiedFlag(TRUE);
}

CString CMovitrelCtrl::GetDir() {
    return m_strDir;
}

void CMovitrelCtrl::SetDir(const CString& value) {
    if (value == m_strDir) return;
    m_strDir = value;
    ApplySettings();
    SetModifiedFlag(TRUE);
}

int16_t CMovitrelCtrl::GetSort() {
    return m_nSort;
}

void CMovitrelCtrl::SetSort(int16_t value) {
    if (value == m_nSort) return;
    m_nSort = value;
    ApplySettings();
    SetModifiedFlag(TRUE);
    BoundPropertyChanged(dispidSort);
}

// ---- Playback -----------------------------------------------------------------------------

int32_t CMovitrelCtrl::GetDelay() {
    return m_lDelay;
}

void CMovitrelCtrl::SetDelay(int32_t value) {
    if (value == m_lDelay) return;
    m_lDelay = value;
    m_nEffectiveDelay = EffectiveDelayFor(m_nCommand);
    m_pPlayback->SetDelay(m_nEffectiveDelay);
    SetModifiedFlag(TRUE);
}

BOOL CMovitrelCtrl::GetLoop() {
    return m_bLoop;
}

void CMovitrelCtrl::SetLoop(BOOL value) {
    // Raw comparison: a stored 1 and an automation -1 differ, and both read as true.
    if (value == m_bLoop) return;
    m_bLoop = value;
    WritePlaybackSettings();
    FireChangeLoop(m_bLoop);
    SetModifiedFlag(TRUE);
    Refresh();
}

BOOL CMovitrelCtrl::GetPause() {
    return m_nPauseState != PauseState::Running ? TRUE : FALSE;
}

void CMovitrelCtrl::SetPause(BOOL value) {
    if ((m_nPauseState != PauseState::Running) == (value != 0)) return;
    // Without a command there is nothing to pause or resume.
    if (m_nCommand == kCommandNone) return;

    if (m_nPauseState == PauseState::SingleStep && value == 0) {
        // Leaving single-step mode plays on in the direction of the step.
        m_nCommand = m_nCommand == kCommandStepFor ? kCommandPlay : kCommandRplay;
        FireChangeCommand(m_nCommand);
    }
    m_nPauseState = value != 0 ? PauseState::User : PauseState::Running;
    WritePlaybackSettings();
    if (m_nPauseState == PauseState::Running && m_nCommand != kCommandNone) m_eventWake.SetEvent();
    FireChangePause(m_nPauseState != PauseState::Running ? TRUE : FALSE);
    SetModifiedFlag(TRUE);
    Refresh();
}

int16_t CMovitrelCtrl::GetCommand() {
    return m_nCommand;
}

void CMovitrelCtrl::SetCommand(int16_t value) {
    // A repeated step still acts: each assignment is one more step.
    if (value == m_nCommand && !IsStep(value)) return;
    m_nCommand = value;
    m_nEffectiveDelay = EffectiveDelayFor(value);

    if (value == kCommandStop && m_bLoop) {
        m_bLoop = FALSE;
        FireChangeLoop(FALSE);
    }
    if (IsStep(value)) {
        // A worker that was running picks the step up at its next pass; one that was waiting
        // needs the wake.
        const bool wasPaused = m_nPauseState != PauseState::Running;
        if (m_nPauseState != PauseState::SingleStep) {
            m_nPauseState = PauseState::SingleStep;
            FireChangePause(TRUE);
        }
        WritePlaybackSettings();
        if (wasPaused) m_eventWake.SetEvent();
    } else {
        if (m_nPauseState != PauseState::Running) {
            m_nPauseState = PauseState::Running;
            FireChangePause(FALSE);
        }
        WritePlaybackSettings();
        m_eventWake.SetEvent();
    }
    FireChangeCommand(m_nCommand);
    SetModifiedFlag(TRUE);
    Refresh();
}

// ---- Appearance ---------------------------------------------------------------------------

BOOL CMovitrelCtrl::GetButtons() {
    return m_bShowButtons;
}

void CMovitrelCtrl::SetButtons(BOOL value) {
    if (value == m_bShowButtons) return;
    m_bShowButtons = value;
    PushFit();
    SetModifiedFlag(TRUE);
    Refresh();
}

BOOL CMovitrelCtrl::GetSlider() {
    return m_bShowSlider;
}

void CMovitrelCtrl::SetSlider(BOOL value) {
    if (value == m_bShowSlider) return;
    m_bShowSlider = value;
    PushFit();
    SetModifiedFlag(TRUE);
    Refresh();
}

BOOL CMovitrelCtrl::GetMaximize() {
    return m_bMaximize;
}

void CMovitrelCtrl::SetMaximize(BOOL value) {
    if (value == m_bMaximize) return;
    m_bMaximize = value;
    PushFit();
    SetModifiedFlag(TRUE);
    Refresh();
}

OLE_COLOR CMovitrelCtrl::GetPictureBackColor() {
    return m_clrPictureBack;
}

void CMovitrelCtrl::SetPictureBackColor(OLE_COLOR value) {
    if (value == m_clrPictureBack) return;
    m_clrPictureBack = value;
    SetModifiedFlag(TRUE);
    Refresh();
}

// The playback options go straight to the worker's blocks: none of them stops, wakes or
// repaints, and none fires an event.
int32_t CMovitrelCtrl::GetCacheSize() {
    return m_lCacheSize;
}

void CMovitrelCtrl::SetCacheSize(int32_t megabytes) {
    if (megabytes == m_lCacheSize) return;
    m_lCacheSize = megabytes;
    m_pPlayback->SetCacheSize(m_lCacheSize);
    SetModifiedFlag(TRUE);
}

BOOL CMovitrelCtrl::GetWatch() {
    return m_bWatch;
}

void CMovitrelCtrl::SetWatch(BOOL value) {
    if (value == m_bWatch) return;
    m_bWatch = value;
    m_pSource->SetWatch(m_bWatch);
    SetModifiedFlag(TRUE);
}

BOOL CMovitrelCtrl::GetBounce() {
    return m_bBounce;
}

void CMovitrelCtrl::SetBounce(BOOL value) {
    if (value == m_bBounce) return;
    m_bBounce = value;
    m_pPlayback->SetBounce(m_bBounce);
    SetModifiedFlag(TRUE);
}

int32_t CMovitrelCtrl::GetLastDelay() {
    return m_lLastDelay;
}

void CMovitrelCtrl::SetLastDelay(int32_t ms) {
    if (ms == m_lLastDelay) return;
    m_lLastDelay = ms;
    m_pPlayback->SetLastDelay(m_lLastDelay);
    SetModifiedFlag(TRUE);
}

BOOL CMovitrelCtrl::GetDecodeToFit() {
    return m_bDecodeToFit;
}

void CMovitrelCtrl::SetDecodeToFit(BOOL value) {
    if (value == m_bDecodeToFit) return;
    m_bDecodeToFit = value;
    PushFit();
    SetModifiedFlag(TRUE);
}

void CMovitrelCtrl::PushFit() {
    const CRect client = GetClientRect();
    const int32_t pictureHeight = client.Height() - StripHeight(m_bShowButtons, m_bShowSlider);
    m_pPlayback->SetFit(
        CFrameFit{m_bDecodeToFit != FALSE, client.Width(), pictureHeight, m_bMaximize});
}
