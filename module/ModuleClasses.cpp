#include "module/ModuleClasses.h"

#include "control/MovitrelCtrl.h"
#include "proppages/ControlPropPage.h"
#include "proppages/MovitrelPropPage.h"
#include "proppages/PageResources.h"

const GUID LIBID_MOVITRELLib{
    0xD0F31B1E, 0x27AE, 0x4A36, {0x9C, 0xAE, 0x8A, 0x07, 0x11, 0xDC, 0xAA, 0xDC}};

BOOL UpdateControlRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath) {
    if (!bRegister) return AfxOleUnregisterClass(registry, CLSID_MovitrelCtrl, kProgIdControl);
    return AfxOleRegisterControlClass(registry, CLSID_MovitrelCtrl, kProgIdControl,
                                      ModuleString(IDS_MOVITREL), modulePath, IDB_MOVITREL,
                                      kControlRegFlags, kControlMiscStatus, LIBID_MOVITRELLib,
                                      kTypeLibMajor, kTypeLibMinor);
}

namespace {

BOOL UpdatePageRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath,
                        const CLSID& clsid, uint32_t typeNameId, const char* progId) {
    if (!bRegister) return AfxOleUnregisterClass(registry, clsid);
    return AfxOleRegisterPropertyPageClass(registry, clsid, ModuleString(typeNameId), modulePath,
                                           progId);
}

}  // namespace

BOOL UpdateMovitrelPageRegistry(BOOL bRegister, IRegistryKeys& registry,
                                const CString& modulePath) {
    return UpdatePageRegistry(bRegister, registry, modulePath, CLSID_MovitrelPropPage,
                              IDS_MOVITREL_PPG, kProgIdMovitrelPage);
}

BOOL UpdateControlPageRegistry(BOOL bRegister, IRegistryKeys& registry, const CString& modulePath) {
    return UpdatePageRegistry(bRegister, registry, modulePath, CLSID_ControlPropPage,
                              IDS_CONTROL_PPG, kProgIdControlPage);
}

BOOL UpdatePlaybackPageRegistry(BOOL bRegister, IRegistryKeys& registry,
                                const CString& modulePath) {
    return UpdatePageRegistry(bRegister, registry, modulePath, CLSID_PlaybackPropPage,
                              IDS_PLAYBACK_PPG, kProgIdPlaybackPage);
}
