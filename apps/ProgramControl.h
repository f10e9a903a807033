// Where the movitrel program keeps its registry and finds its module, and the control it
// makes from them.
#pragma once

#include <memory>
#include <string>

#include "host/instance/HostedControl.h"

// The registry file of this program: $XDG_CONFIG_HOME/movitrel/registry.reg, or under
// ~/.config, or a temporary folder.
std::string ProgramRegistryFile();
// The module that belongs with this executable, found from where the executable is: an
// installed one in <prefix>/lib/movitrel beside <prefix>/bin, or the build tree's. Never a
// path fixed at build time, so an installed program uses its installed module.
std::string DefaultModulePath();
// The control, from the program's registry file and its own module.
std::unique_ptr<CHostedControl> CreateProgramControl(std::string* error);
