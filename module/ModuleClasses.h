// The module's three classes as the registry and the type library name them: ids, ProgIDs,
// type names and their registry rows. Both platforms' modules register through these, so the
// rows are the same wherever the control is installed.
#pragma once

#include "framework/Registration.h"

// The type library's id and version; Movitrel.idl carries the same.
extern const GUID LIBID_MOVITRELLib;
constexpr uint16_t kTypeLibMajor = 1;
constexpr uint16_t kTypeLibMinor = 0;

constexpr const char* kProgIdControl = "MOVITREL.MovitrelCtrl.1";
constexpr const char* kProgIdMovitrelPage = "MOVITREL.MovitrelPropPage.1";
constexpr const char* kProgIdControlPage = "Movitrel.CControlPropPage";
constexpr const char* kProgIdPlaybackPage = "Movitrel.CPlaybackPropPage";

constexpr uint32_t IDS_MOVITREL = 1;  // "Movitrel Control": the control's type name
constexpr uint32_t IDB_MOVITREL = 1;  // the toolbox bitmap
constexpr uint32_t IDI_MOVITREL = 1;  // the icon the About box shows
constexpr uint32_t IDR_TYPELIB = 1;   // resource "TYPELIB" 1

// Flags and misc status of the control class.
constexpr uint32_t kControlRegFlags = afxRegInsertable | afxRegApartmentThreading;
constexpr uint32_t kControlMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                                        OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                                        OLEMISC_RECOMPOSEONRESIZE;

// The module's strings: the control's type name and the pages' strings; "" for another id.
CString ModuleString(uint32_t id);

// Writes (bRegister) or removes the class's rows; FALSE when that failed (removal: when the
// rows were not there).
BOOL UpdateControlRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath);
BOOL UpdateMovitrelPageRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath);
BOOL UpdateControlPageRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath);
BOOL UpdatePlaybackPageRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath);
