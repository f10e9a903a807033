// A client for a player that is only asked to scan (the tools, the scan benchmark): it never
// stops, has no window, and its events are its own.
#pragma once

#include "playback/FramePlayer.h"

class CScanOnlyClient : public CPlayerClient {
public:
    bool StopRequested() const override { return false; }
    CEvent& RescanEvent() override { return m_events[0]; }
    CEvent& WakeEvent() override { return m_events[1]; }
    CEvent& EndEvent() override { return m_events[2]; }
    CEvent& ExitEvent() override { return m_events[3]; }
    HWND PlayerWindow() const override { return nullptr; }

private:
    CEvent m_events[4];
};
