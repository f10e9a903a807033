// The container's side of in-process servers: make a control or a property page the way a
// container does (ProgID to CLSID through the registry file, load the module named by
// InprocServer32, DllGetClassObject, CreateInstance), and run a module's registration.
//
//   CComInstance ctrl;
//   if (SUCCEEDED(CreateObjectFromRegistry(registryFile, "SAMPLE.SampleCtrl.1", &ctrl)))
//       host(ctrl.Control());
//
// A module that was loaded stays mapped until the process ends: a worker thread the module
// started may still be leaving the module's code when its last object goes.
#pragma once

#include <memory>

#include "framework/ClassFactory.h"

class COleControl;
class COlePropertyPage;

constexpr HRESULT HRESULT_MOD_NOT_FOUND = HRESULT(0x8007007Eu);   // the module will not load
constexpr HRESULT HRESULT_PROC_NOT_FOUND = HRESULT(0x8007007Fu);  // an export is missing
constexpr HRESULT CO_E_CLASSSTRING = HRESULT(0x800401F3u);        // no such ProgID or CLSID

// The exports a module offers, with C linkage.
using DllRegisterServerFn = HRESULT (*)();
using DllGetClassObjectFn = HRESULT (*)(const CLSID* clsid, const IID* iid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();

// A loaded module, by path; loading twice gives the same module.
class CModuleHandle {
public:
    // Null (and *result set) when the module cannot be loaded.
    static std::shared_ptr<CModuleHandle> Load(const CString& path, HRESULT* result = nullptr);
    ~CModuleHandle();
    CModuleHandle(const CModuleHandle&) = delete;
    CModuleHandle& operator=(const CModuleHandle&) = delete;

    // The export, or null.
    void* GetProcAddress(const char* name) const;
    const CString& Path() const { return m_path; }
    // DllCanUnloadNow's answer; E_FAIL when the module has no such export.
    HRESULT CanUnloadNow() const;

private:
    CModuleHandle(void* handle, CString path) : m_handle(handle), m_path(std::move(path)) {}
    void* m_handle;
    CString m_path;
};

// One object made through a module: holds its reference and the module.
class CComInstance {
public:
    CComInstance() = default;
    ~CComInstance() { Reset(); }
    CComInstance(CComInstance&& other) noexcept = default;
    CComInstance& operator=(CComInstance&& other) noexcept;
    CComInstance(const CComInstance&) = delete;
    CComInstance& operator=(const CComInstance&) = delete;

    // Releases the object (the module stays loaded).
    void Reset();
    bool IsEmpty() const { return !m_object; }

    // Null when the object is not of that kind.
    COleControl* Control() const;
    COlePropertyPage* PropertyPage() const;
    // The resources of the module the object came from; null when empty.
    const CModuleResources* Resources() const;
    IFrameworkObject* Object() const { return m_object.Get(); }
    const std::shared_ptr<CModuleHandle>& Module() const { return m_module; }

private:
    friend HRESULT CreateObjectFromModule(const CString&, const CLSID&, CComInstance*);
    std::shared_ptr<CModuleHandle> m_module;
    CComPtr<IFrameworkObject> m_object;  // released before its module
};

// The CLSID a ProgID names (HKCR\<progId>\CLSID); CO_E_CLASSSTRING when it names none.
HRESULT CLSIDFromProgID(const CRegistry& registry, const CString& progId, CLSID* clsid);
// The module a class lives in (HKCR\CLSID\{clsid}\InprocServer32); REGDB_E_CLASSNOTREG.
HRESULT InprocServerOf(const CRegistry& registry, const CLSID& clsid, CString* modulePath);

// Makes an object of the class from the module at modulePath.
HRESULT CreateObjectFromModule(const CString& modulePath, const CLSID& clsid, CComInstance* out);
// Makes an object as a container does, reading the registry file: progIdOrClsid is a ProgID
// or a CLSID in braces. REGDB_E_CLASSNOTREG, CO_E_CLASSSTRING, HRESULT_MOD_NOT_FOUND,
// HRESULT_PROC_NOT_FOUND, or what the module's factory answered.
HRESULT CreateObjectFromRegistry(const CString& registryFile, const CString& progIdOrClsid,
                                 CComInstance* out);
// The same from a registry already read.
HRESULT CreateObjectFromRegistry(const CRegistry& registry, const CString& progIdOrClsid,
                                 CComInstance* out);

// Loads the module and calls DllRegisterServer (or DllUnregisterServer) with the process's
// registry file set to registryFile for the call (the previous one is restored after).
// The export's result, HRESULT_MOD_NOT_FOUND or HRESULT_PROC_NOT_FOUND.
HRESULT RegisterModule(const CString& modulePath, const CString& registryFile, bool unregister);
