// A control made the way a container makes one: by ProgID, through a registry file and the
// module it names, with the frame position of its last paint opened for status lines and
// scripts. The movitrel program makes its controls this way; so can any other program.
#pragma once

#include <memory>
#include <string>

#include "control/FramePosition.h"
#include "framework/ComClient.h"
#include "framework/OleControl.h"

constexpr const char* kControlProgId = "MOVITREL.MovitrelCtrl.1";

class CHostedControl {
public:
    // Makes the control named by progId from registryFile. modulePath is the module the
    // caller stands for: when the file does not name the class, names a module that is
    // gone, or names another module (another installation's), modulePath is registered
    // there first, so a fresh machine needs no set-up and each installation uses its own
    // module. Null with a message on failure.
    static std::unique_ptr<CHostedControl> Create(const std::string& registryFile,
                                                  const std::string& modulePath, std::string* error,
                                                  const std::string& progId = kControlProgId);

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
