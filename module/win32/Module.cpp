// MOVITREL.OCX for Windows: the four exports, the class factories and registration into the
// system's registry. The rows are those of module/ModuleClasses, as on every platform; the
// type library's own rows are the ones RegisterTypeLib writes from resource "TYPELIB" 1.
#include <functional>
#include <string>

#include "control/MovitrelCtrl.h"
#include "framework/ComGuard.h"
#include "framework/win32/ComObject.h"
#include "module/ModuleClasses.h"
#include "module/win32/SystemRegistry.h"
#include "platform/Thread.h"
#include "proppages/ControlPropPage.h"
#include "proppages/MovitrelPropPage.h"
#include "proppages/PlaybackPropPage.h"

namespace {

CComClassInfo ControlClass() {
    return {CLSID_MovitrelCtrl, LIBID_MOVITRELLib,  kTypeLibMajor,
            kTypeLibMinor,      kControlMiscStatus, ModuleString(IDS_MOVITREL)};
}

// The factories live as long as the module; their references only count server locks.
class CFactory final : public CComStatic<IClassFactory> {
public:
    explicit CFactory(std::function<IUnknown*()> make) : m_make(std::move(make)) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            // Gone after the question unless the caller got it.
            const auto object = CComPtr<IUnknown>::Adopt(m_make());
            return object->QueryInterface(iid, out);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        return Guard([&] {
            if (lock) {
                ModuleLock();
            } else {
                ModuleUnlock();
            }
            return S_OK;
        });
    }

private:
    void OnReference(bool added) override {
        if (added) {
            ModuleLock();
        } else {
            ModuleUnlock();
        }
    }

    // A new object with one reference; throws when it cannot be made.
    std::function<IUnknown*()> m_make;
};

CFactory g_controlFactory([] {
    return CreateControlObject(std::make_unique<CMovitrelCtrl>(), ControlClass());
});
CFactory g_movitrelPageFactory([] {
    return CreatePropertyPageObject(std::make_unique<CMovitrelPropPage>());
});
CFactory g_controlPageFactory([] {
    return CreatePropertyPageObject(std::make_unique<CControlPropPage>());
});
CFactory g_playbackPageFactory([] {
    return CreatePropertyPageObject(std::make_unique<CPlaybackPropPage>());
});

SYSKIND ThisSysKind() {
    return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

HRESULT RegisterServer() {
    std::wstring pathW = FrameworkModulePath();
    const CString path = StringFromBstr(pathW.c_str());
    CComPtr<ITypeLib> lib;
    if (pathW.empty() || FAILED(LoadTypeLibEx(pathW.c_str(), REGKIND_NONE, lib.Out())) ||
        FAILED(RegisterTypeLib(lib.Get(), pathW.data(), nullptr))) {
        return SELFREG_E_TYPELIB;
    }
    CSystemRegistry registry;
    bool ok = UpdateControlRegistry(TRUE, registry, path) != FALSE;
    ok = UpdateMovitrelPageRegistry(TRUE, registry, path) != FALSE && ok;
    ok = UpdateControlPageRegistry(TRUE, registry, path) != FALSE && ok;
    ok = UpdatePlaybackPageRegistry(TRUE, registry, path) != FALSE && ok;
    return ok && !registry.Failed() ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterServer() {
    // The library is removed under the locale it was registered with, which it names itself.
    CComPtr<ITypeLib> lib;
    if (FAILED(LoadRegTypeLib(LIBID_MOVITRELLib, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL,
                              lib.Out()))) {
        return SELFREG_E_TYPELIB;
    }
    TLIBATTR* attr = nullptr;
    LCID lcid = LOCALE_NEUTRAL;
    if (SUCCEEDED(lib->GetLibAttr(&attr))) {
        lcid = attr->lcid;
        lib->ReleaseTLibAttr(attr);
    }
    lib.Reset();
    if (FAILED(UnRegisterTypeLib(LIBID_MOVITRELLib, kTypeLibMajor, kTypeLibMinor, lcid,
                                 ThisSysKind()))) {
        return SELFREG_E_TYPELIB;
    }
    const CString path = StringFromBstr(FrameworkModulePath().c_str());
    CSystemRegistry registry;
    bool ok = UpdateControlRegistry(FALSE, registry, path) != FALSE;
    ok = UpdateMovitrelPageRegistry(FALSE, registry, path) != FALSE && ok;
    ok = UpdateControlPageRegistry(FALSE, registry, path) != FALSE && ok;
    ok = UpdatePlaybackPageRegistry(FALSE, registry, path) != FALSE && ok;
    return ok ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return Guard([&] {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (clsid == CLSID_MovitrelCtrl) return g_controlFactory.QueryInterface(iid, out);
        if (clsid == CLSID_MovitrelPropPage) return g_movitrelPageFactory.QueryInterface(iid, out);
        if (clsid == CLSID_ControlPropPage) return g_controlPageFactory.QueryInterface(iid, out);
        if (clsid == CLSID_PlaybackPropPage) return g_playbackPageFactory.QueryInterface(iid, out);
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

STDAPI DllCanUnloadNow() {
    return Guard([] {
        // A worker that has left its loop may still be returning through this module's code.
        return ModuleLockCount() == 0 && RunningThreadCount() == 0 ? S_OK : S_FALSE;
    });
}

STDAPI DllRegisterServer() {
    return Guard([] { return RegisterServer(); });
}

STDAPI DllUnregisterServer() {
    return Guard([] { return UnregisterServer(); });
}
