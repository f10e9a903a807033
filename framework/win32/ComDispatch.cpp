// Automation from the control's dispatch map, and the type information that describes it.
#include "framework/win32/ComControlObject.h"

HRESULT CControlObject::GetTypeInfoCount(UINT* count) {
    return Guard([&] {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    });
}

HRESULT CControlObject::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return Guard([&] {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return TypeInfoOf(m_control->GetDispatchIID(), lcid, info);
    });
}

HRESULT CControlObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return Guard([&] {
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
    });
}

HRESULT CControlObject::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* argError) {
    return Guard([&] {
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
    });
}

HRESULT CControlObject::GetClassInfo(ITypeInfo** info) {
    return Guard([&] {
        if (!info) return E_POINTER;
        *info = nullptr;
        return TypeInfoOf(m_info.clsid, LOCALE_USER_DEFAULT, info);
    });
}

HRESULT CControlObject::GetGUID(DWORD kind, GUID* guid) {
    return Guard([&] {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = m_control->GetEventIID();
        return S_OK;
    });
}

HRESULT CControlObject::TypeInfoOf(const GUID& guid, LCID lcid, ITypeInfo** info) {
    if (!m_typeLib) {
        HRESULT hr = LoadRegTypeLib(m_info.libId, m_info.majorVersion, m_info.minorVersion, lcid,
                                    m_typeLib.Out());
        if (FAILED(hr)) {
            const std::wstring path = FrameworkModulePath();
            if (path.empty()) return hr;
            hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, m_typeLib.Out());
            if (FAILED(hr)) return hr;
        }
    }
    return m_typeLib->GetTypeInfoOfGuid(guid, info);
}
