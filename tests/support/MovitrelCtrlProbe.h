// Test-only access to what the control shares with its worker (the player and the two
// settings blocks) and to the state that decides what it fires. A friend rather than a
// subclass: the control a test destroys is then the class the worker calls into.
#pragma once

#include "control/MovitrelCtrl.h"

struct CMovitrelCtrlProbe {
    static CFramePlayer& Player(CMovitrelCtrl& ctrl) { return *ctrl.m_pPlayer; }
    static CSourceSettings* SourceSettings(CMovitrelCtrl& ctrl) { return ctrl.m_pSource.get(); }
    static CPlaybackSettings* PlaybackSettings(CMovitrelCtrl& ctrl) {
        return ctrl.m_pPlayback.get();
    }
    static int16_t Command(const CMovitrelCtrl& ctrl) { return ctrl.m_nCommand; }
    static PauseState Pause(const CMovitrelCtrl& ctrl) { return ctrl.m_nPauseState; }
    static BOOL Loop(const CMovitrelCtrl& ctrl) { return ctrl.m_bLoop; }
    static BOOL Dragging(const CMovitrelCtrl& ctrl) { return ctrl.m_bDragging; }
    static int32_t PaintedIndex(const CMovitrelCtrl& ctrl) { return ctrl.m_nFrameIndex; }
    static int32_t PaintedCount(const CMovitrelCtrl& ctrl) { return ctrl.m_nFrameCount; }
};
