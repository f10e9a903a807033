// The module object: the three class factories and what the four exports ask of them.
#pragma once

#include "framework/ClassFactory.h"

// The type library's id and version; Movitrel.idl carries the same.
extern const GUID LIBID_MOVITRELLib;
constexpr uint16_t kTypeLibMajor = 1;
constexpr uint16_t kTypeLibMinor = 0;

constexpr const char* kProgIdControl = "MOVITREL.MovitrelCtrl.1";
constexpr const char* kProgIdMovitrelPage = "MOVITREL.MovitrelPropPage.1";
constexpr const char* kProgIdControlPage = "Movitrel.CControlPropPage";

// Flags and misc status of the control class.
constexpr uint32_t kControlRegFlags = afxRegInsertable | afxRegApartmentThreading;
constexpr uint32_t kControlMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                                        OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                                        OLEMISC_RECOMPOSEONRESIZE;

// The one module object of the loaded module; its factories are made with it and go with it.
COleControlModule& MovitrelModule();
// The module file's full path, as InprocServer32 names it.
CString MovitrelModulePath();
