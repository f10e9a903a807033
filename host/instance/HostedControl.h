// The control as the programs host it: made the way a container makes one, through the
// registry file and the module it names, with the frame position of its last paint opened
// for status lines and scripts.
#pragma once

#include <memory>
#include <string>

#include "control/FramePosition.h"
#include "framework/ComClient.h"
#include "framework/OleControl.h"

constexpr const char* kControlProgId = "MOVITREL.MovitrelCtrl.1";

// The registry file of this program: $XDG_CONFIG_HOME/movitrel/registry.reg, or under
// ~/.config, or a temporary folder.
std::string ProgramRegistryFile();
// The module built with this program.
std::string DefaultModulePath();

class CHostedControl {
public:
    // Makes the control from the program's registry file; when the file does not name the
    // class or its module is gone, registers the program's own module there first (so a
    // fresh machine needs no set-up). Null with a message on failure.
    static std::unique_ptr<CHostedControl> Create(std::string* error);

    COleControl& Control() const { return *m_control; }
    int32_t ShownFrameIndex() const { return m_position ? m_position->ShownFrameIndex() : -1; }
    int32_t ShownFrameCount() const { return m_position ? m_position->ShownFrameCount() : 0; }
    int32_t CachedFrameCount() const { return m_position ? m_position->CachedFrameCount() : 0; }
    // Whether the last paint showed frame index of the list of the source now set: not a
    // frame of a list a new Dir replaces, nor frame 0 of an empty list.
    bool ShowsFrame(int32_t index) const;
    // "frame i of n" for the status lines, or "no frames" until a frame of the current
    // source's list is shown.
    std::string FramePosition() const;
    int16_t CurrentCommand() const;
    int32_t CurrentDelay() const;

private:
    CHostedControl(CComInstance instance);
    CComInstance m_instance;
    COleControl* m_control;
    const IMovitrelFramePosition* m_position;
};
