// The module object: the three class factories and what the four exports ask of them.
#pragma once

#include "framework/ClassFactory.h"
#include "module/ModuleClasses.h"

// The one module object of the loaded module; its factories are made with it and go with it.
COleControlModule& MovitrelModule();
// The module file's full path, as InprocServer32 names it.
CString MovitrelModulePath();
