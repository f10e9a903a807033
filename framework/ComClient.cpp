#include "framework/ComClient.h"

#include <dlfcn.h>

#include "framework/OleControl.h"
#include "framework/PropertyPage.h"

// ---- Modules ------------------------------------------------------------------------------

std::shared_ptr<CModuleHandle> CModuleHandle::Load(const CString& path, HRESULT* result) {
    // Never unmapped (see the header); RTLD_LOCAL keeps two modules' symbols apart.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (result) *result = handle ? S_OK : HRESULT_MOD_NOT_FOUND;
    if (!handle) return nullptr;
    return std::shared_ptr<CModuleHandle>(new CModuleHandle(handle, path));
}

CModuleHandle::~CModuleHandle() {
    dlclose(m_handle);
}

void* CModuleHandle::GetProcAddress(const char* name) const {
    return dlsym(m_handle, name);
}

HRESULT CModuleHandle::CanUnloadNow() const {
    auto fn = reinterpret_cast<DllCanUnloadNowFn>(GetProcAddress("DllCanUnloadNow"));
    return fn ? fn() : E_FAIL;
}

// ---- Instances ----------------------------------------------------------------------------

CComInstance& CComInstance::operator=(CComInstance&& other) noexcept {
    if (this != &other) {
        Reset();
        m_module = std::move(other.m_module);
        m_object = std::move(other.m_object);
    }
    return *this;
}

void CComInstance::Reset() {
    m_object.Reset();
    m_module.reset();
}

COleControl* CComInstance::Control() const {
    return m_object ? m_object->GetControl() : nullptr;
}

COlePropertyPage* CComInstance::PropertyPage() const {
    return m_object ? m_object->GetPropertyPage() : nullptr;
}

const CModuleResources* CComInstance::Resources() const {
    return m_object ? &m_object->GetResources() : nullptr;
}

// ---- Creation -----------------------------------------------------------------------------

HRESULT CLSIDFromProgID(const CRegistry& registry, const CString& progId, CLSID* clsid) {
    auto text = registry.GetString("HKEY_CLASSES_ROOT\\" + progId + "\\CLSID", "");
    auto id = text ? GUIDFromString(*text) : std::nullopt;
    if (progId.empty() || !id) return CO_E_CLASSSTRING;
    *clsid = *id;
    return S_OK;
}

HRESULT InprocServerOf(const CRegistry& registry, const CLSID& clsid, CString* modulePath) {
    auto path = registry.GetString(
        "HKEY_CLASSES_ROOT\\CLSID\\" + StringFromGUID(clsid) + "\\InprocServer32", "");
    if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
    *modulePath = *path;
    return S_OK;
}

HRESULT CreateObjectFromModule(const CString& modulePath, const CLSID& clsid, CComInstance* out) {
    if (!out) return E_POINTER;
    out->Reset();
    HRESULT hr;
    std::shared_ptr<CModuleHandle> module = CModuleHandle::Load(modulePath, &hr);
    if (!module) return hr;
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFn>(module->GetProcAddress("DllGetClassObject"));
    if (!getClassObject) return HRESULT_PROC_NOT_FOUND;
    CComPtr<IClassFactory> factory;
    hr = getClassObject(&clsid, &IID_IClassFactory, factory.OutVoid());
    if (FAILED(hr)) return hr;
    CComPtr<IFrameworkObject> object;
    hr = factory->CreateInstance(nullptr, IID_IFrameworkObject, object.OutVoid());
    if (FAILED(hr)) return hr;
    out->m_module = std::move(module);
    out->m_object = std::move(object);
    return S_OK;
}

HRESULT CreateObjectFromRegistry(const CString& registryFile, const CString& progIdOrClsid,
                                 CComInstance* out) {
    if (!out) return E_POINTER;
    out->Reset();
    CRegistry registry;
    if (!registry.LoadFromFile(registryFile)) return REGDB_E_CLASSNOTREG;
    return CreateObjectFromRegistry(registry, progIdOrClsid, out);
}

HRESULT CreateObjectFromRegistry(const CRegistry& registry, const CString& progIdOrClsid,
                                 CComInstance* out) {
    if (!out) return E_POINTER;
    out->Reset();
    CLSID clsid;
    if (!progIdOrClsid.empty() && progIdOrClsid.front() == '{') {
        auto id = GUIDFromString(progIdOrClsid);
        if (!id) return CO_E_CLASSSTRING;
        clsid = *id;
    } else {
        HRESULT hr = CLSIDFromProgID(registry, progIdOrClsid, &clsid);
        if (FAILED(hr)) return hr;
    }
    CString modulePath;
    HRESULT hr = InprocServerOf(registry, clsid, &modulePath);
    if (FAILED(hr)) return hr;
    return CreateObjectFromModule(modulePath, clsid, out);
}

HRESULT RegisterModule(const CString& modulePath, const CString& registryFile, bool unregister) {
    HRESULT hr;
    std::shared_ptr<CModuleHandle> module = CModuleHandle::Load(modulePath, &hr);
    if (!module) return hr;
    auto fn = reinterpret_cast<DllRegisterServerFn>(
        module->GetProcAddress(unregister ? "DllUnregisterServer" : "DllRegisterServer"));
    if (!fn) return HRESULT_PROC_NOT_FOUND;
    CString previous = GetRegistryFile();
    SetRegistryFile(registryFile);
    hr = fn();
    SetRegistryFile(previous);
    return hr;
}
