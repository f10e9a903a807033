// The module's four exports, with C linkage and nothing else visible (exports.map). They run
// on the caller's thread against the one module object.
//
// The registry file that registration writes to is the process's (SetRegistryFile in
// framework/Registry.h): the caller sets it before calling DllRegisterServer or
// DllUnregisterServer, as RegisterModule in framework/ComClient.h does.
#include "framework/ClassFactory.h"
#include "module/MovitrelModule.h"

extern "C" {

HRESULT DllRegisterServer() {
    return MovitrelModule().RegisterServer(MovitrelModulePath());
}

HRESULT DllUnregisterServer() {
    return MovitrelModule().UnregisterServer(MovitrelModulePath());
}

HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object) {
    if (!clsid || !iid || !object) return E_POINTER;
    return MovitrelModule().GetClassObject(*clsid, *iid, object);
}

HRESULT DllCanUnloadNow() {
    return MovitrelModule().CanUnloadNow();
}

}  // extern "C"
