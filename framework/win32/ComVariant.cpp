// The module's handle and locks, and strings and values between COM's types and the framework's.
#include <atomic>
#include <cwchar>

#include "framework/win32/ComObject.h"

namespace {

std::atomic<long> g_locks{0};

}  // namespace

const IID IID_IFrameworkControl{
    0x6C1E3F0A, 0x52B4, 0x4D7E, {0x9A, 0x31, 0x7B, 0x0D, 0x44, 0x1E, 0x2F, 0x95}};

HMODULE FrameworkModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const wchar_t*>(&FrameworkModule), &module);
    return module;
}

std::wstring FrameworkModulePath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(FrameworkModule(), path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
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

LPOLESTR BstrToTaskMem(const CString& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(wchar_t) * size_t(n > 0 ? n : 1)));
    if (!out) return nullptr;
    out[0] = L'\0';
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out, n);
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

CVariant AsCVariant(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    switch (v->vt) {
        case VT_I2:
            return CVariant::I2(v->iVal);
        case VT_I4:
            return CVariant::I4(v->lVal);
        case VT_UI4:
            return CVariant::UI4(v->ulVal);
        case VT_BOOL:
            return CVariant::Bool(v->boolVal);
        case VT_BSTR:
            return CVariant::Str(StringFromBstr(v->bstrVal));
        default:
            return CVariant();
    }
}
