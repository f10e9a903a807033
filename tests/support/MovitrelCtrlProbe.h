// Test-only access to what the control shares with its worker: the player and the two
// settings blocks.
#pragma once

#include "control/MovitrelCtrl.h"

struct CMovitrelCtrlProbe {
    static CFramePlayer& Player(CMovitrelCtrl& ctrl) { return *ctrl.m_pPlayer; }
    static CSourceSettings* SourceSettings(CMovitrelCtrl& ctrl) { return ctrl.m_pSource.get(); }
    static CPlaybackSettings* PlaybackSettings(CMovitrelCtrl& ctrl) {
        return ctrl.m_pPlayback.get();
    }
};
