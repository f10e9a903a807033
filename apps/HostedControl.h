// The control as the programs host it, with the frame position of its last paint opened
// for status lines and scripts.
#pragma once

#include "control/MovitrelCtrl.h"

class CHostedMovitrelCtrl : public CMovitrelCtrl {
public:
    // The index of the frame shown at the last paint (-1 or -2 while there is none) and the
    // number of frames the worker had then.
    int32_t ShownFrameIndex() const { return m_nFrameIndex; }
    int32_t ShownFrameCount() const { return m_nFrameCount; }
    int16_t CurrentCommand() const { return m_nCommand; }
    int32_t CurrentDelay() const { return m_lDelay; }
};
