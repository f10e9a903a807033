// The automation vocabulary the control framework speaks: result codes, DISPIDs, GUIDs and
// colours, with their Windows values; the Windows build takes them from the system's headers.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/Types.h"

#ifdef _WIN32
#include <ole2.h>
#include <olectl.h>
#else
using HRESULT = int32_t;
using DISPID = int32_t;
using OLE_COLOR = uint32_t;  // 0x00BBGGRR, 0x80000000|index or 0x01000000|palette index

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003u);
constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = HRESULT(0x80020006u);
constexpr HRESULT DISP_E_OVERFLOW = HRESULT(0x8002000Au);
constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000Eu);
constexpr HRESULT CONNECT_E_NOCONNECTION = HRESULT(0x80040200u);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// Stock members.
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_BACKCOLOR = -501;
constexpr DISPID DISPID_ABOUTBOX = -552;

// Ambient properties a site answers.
constexpr DISPID DISPID_AMBIENT_BACKCOLOR = -701;
constexpr DISPID DISPID_AMBIENT_DISPLAYNAME = -702;
constexpr DISPID DISPID_AMBIENT_FORECOLOR = -704;
constexpr DISPID DISPID_AMBIENT_LOCALEID = -705;
constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
constexpr DISPID DISPID_AMBIENT_UIDEAD = -710;
constexpr DISPID DISPID_AMBIENT_SHOWGRABHANDLES = -711;
constexpr DISPID DISPID_AMBIENT_SHOWHATCHING = -712;

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend bool operator==(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using IID = GUID;

constexpr GUID GUID_NULL{};

#endif  // _WIN32

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry writes it.
CString StringFromGUID(const GUID& guid);
// Accepts the form above with or without braces, in either case; nothing for anything else.
std::optional<GUID> GUIDFromString(const CString& text);

// The platform's stock colour page, which edits a control's OLE_COLOR properties.
constexpr CLSID CLSID_StockColorPage{
    0x7EBDAAE1, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};
