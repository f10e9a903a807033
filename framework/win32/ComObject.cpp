#include "framework/win32/ComObject.h"

#include <atomic>
#include <cwchar>

namespace {

std::atomic<long> g_locks{0};

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const wchar_t*>(&ThisModule), &module);
    return module;
}

// One control and the COM interfaces a container or a script reaches it through.
class CControlObject final : public IDispatch, public IProvideClassInfo2 {
public:
    CControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info)
        : m_control(std::move(control)), m_info(info) {
        ModuleLock();
        // Script engines call neither InitNew nor Load: the control starts reset.
        m_control->OnResetState();
    }
    ~CControlObject() {
        if (m_typeLib) m_typeLib->Release();
        m_control.reset();
        ModuleUnlock();
    }
    CControlObject(const CControlObject&) = delete;
    CControlObject& operator=(const CControlObject&) = delete;

    // ---- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_control->GetDispatchIID()) {
            *out = static_cast<IDispatch*>(this);
        } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
            *out = static_cast<IProvideClassInfo2*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    // ---- IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return TypeInfoOf(m_control->GetDispatchIID(), lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        if (count == 0) return S_OK;
        HRESULT hr = m_control->GetIDOfName(StringFromBstr(names[0]), &ids[0]);
        if (FAILED(hr)) ids[0] = DISPID_UNKNOWN;
        // No member takes named arguments.
        for (UINT i = 1; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) override;

    // ---- IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        return TypeInfoOf(m_info.clsid, LOCALE_USER_DEFAULT, info);
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = m_control->GetEventIID();
        return S_OK;
    }

private:
    // From the registered library (by id, version and the caller's locale), else from the
    // module's own resource, so an unregistered copy still describes itself.
    HRESULT TypeInfoOf(const GUID& guid, LCID lcid, ITypeInfo** info) {
        if (!m_typeLib) {
            HRESULT hr = LoadRegTypeLib(m_info.libId, m_info.majorVersion, m_info.minorVersion,
                                        lcid, &m_typeLib);
            if (FAILED(hr)) {
                wchar_t path[MAX_PATH];
                if (!GetModuleFileNameW(ThisModule(), path, MAX_PATH)) return hr;
                hr = LoadTypeLibEx(path, REGKIND_NONE, &m_typeLib);
                if (FAILED(hr)) return hr;
            }
        }
        return m_typeLib->GetTypeInfoOfGuid(guid, info);
    }

    std::atomic<ULONG> m_refs{1};
    std::unique_ptr<COleControl> m_control;
    CComClassInfo m_info;
    ITypeLib* m_typeLib = nullptr;
};

HRESULT CControlObject::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* argError) {
    if (!params) return E_INVALIDARG;
    const CDispEntry* entry = FindDispEntry(m_control->GetDispatchMap(), dispid);
    if (!entry) return DISP_E_MEMBERNOTFOUND;
    if (entry->kind == DispKind::Method) {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (result) VariantInit(result);
        return m_control->InvokeMethod(dispid);
    }
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!entry->set) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTOPTIONAL;
        }
        CVariant value;
        HRESULT hr = FromVariant(params->rgvarg[0], entry->vt, &value);
        if (SUCCEEDED(hr)) hr = m_control->SetProperty(dispid, value);
        if (FAILED(hr) && argError) *argError = 0;
        return hr;
    }
    if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
        if (!entry->get) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        CVariant value;
        const HRESULT hr = m_control->GetProperty(dispid, &value);
        if (FAILED(hr)) return hr;
        if (result) ToVariant(value, result);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace

IDispatch* CreateControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info) {
    return new (std::nothrow) CControlObject(std::move(control), info);
}

void ModuleLock() {
    ++g_locks;
}

void ModuleUnlock() {
    --g_locks;
}

long ModuleLockCount() {
    return g_locks.load();
}

BSTR BstrFromString(const CString& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, UINT(n));
    if (out && n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out, n);
    return out;
}

CString StringFromBstr(const wchar_t* text) {
    if (!text) return CString();
    const int length = int(std::wcslen(text));
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    CString out(size_t(n), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

void ToVariant(const CVariant& value, VARIANT* out) {
    VariantInit(out);
    switch (value.vt()) {
        case VT_I2:
            out->vt = VT_I2;
            out->iVal = value.iVal();
            break;
        case VT_I4:
            out->vt = VT_I4;
            out->lVal = value.lVal();
            break;
        case VT_UI4:
            out->vt = VT_I4;
            out->lVal = LONG(value.ulVal());
            break;
        case VT_BOOL:
            out->vt = VT_BOOL;
            out->boolVal = value.boolVal();
            break;
        case VT_BSTR:
            out->vt = VT_BSTR;
            out->bstrVal = BstrFromString(value.bstrVal());
            break;
        default:
            break;
    }
}

HRESULT FromVariant(const VARIANT& value, VARTYPE vt, CVariant* out) {
    VARIANT v;
    VariantInit(&v);
    if (vt == VT_COLOR) {
        // VBScript's &H80000005 arrives as a negative Long, JScript's 0x80000005 as a Double.
        HRESULT hr = VariantChangeType(&v, const_cast<VARIANT*>(&value), 0, VT_I4);
        if (SUCCEEDED(hr)) {
            *out = CVariant::Color(OLE_COLOR(uint32_t(v.lVal)));
            return S_OK;
        }
        hr = VariantChangeType(&v, const_cast<VARIANT*>(&value), 0, VT_UI4);
        if (FAILED(hr)) return hr;
        *out = CVariant::Color(v.ulVal);
        return S_OK;
    }
    const HRESULT hr = VariantChangeType(&v, const_cast<VARIANT*>(&value), 0, vt);
    if (FAILED(hr)) return hr;
    switch (vt) {
        case VT_I2:
            *out = CVariant::I2(v.iVal);
            break;
        case VT_I4:
            *out = CVariant::I4(v.lVal);
            break;
        case VT_BOOL:
            *out = CVariant::Bool(v.boolVal);
            break;
        case VT_BSTR:
            *out = CVariant::Str(StringFromBstr(v.bstrVal));
            break;
        default:
            VariantClear(&v);
            return DISP_E_TYPEMISMATCH;
    }
    VariantClear(&v);
    return S_OK;
}
