#include "framework/Registration.h"

#include <cstdio>

namespace {

constexpr const char* kClsidRoot = "HKEY_CLASSES_ROOT\\CLSID\\";
constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT\\";

CString Decimal(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", unsigned(v));
    return text;
}

}  // namespace

BOOL AfxOleRegisterControlClass(IRegistryKeys& registry, const CLSID& clsid, const CString& progId,
                                const CString& typeName, const CString& modulePath,
                                uint32_t bitmapId, uint32_t regFlags, uint32_t miscStatus,
                                const GUID& libId, uint16_t verMajor, uint16_t verMinor) {
    if (modulePath.empty() || progId.empty()) return FALSE;
    CString key = kClsidRoot + StringFromGUID(clsid);
    registry.SetString(key, "", typeName);
    registry.SetString(key + "\\ProgID", "", progId);
    registry.SetString(key + "\\InprocServer32", "", modulePath);
    if (regFlags & afxRegApartmentThreading) {
        registry.SetString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    }
    registry.SetString(key + "\\Control", "", "");
    if (regFlags & afxRegInsertable) registry.SetString(key + "\\Insertable", "", "");
    registry.SetString(key + "\\MiscStatus\\1", "", Decimal(miscStatus));
    registry.SetString(key + "\\ToolboxBitmap32", "", modulePath + ", " + Decimal(bitmapId));
    registry.SetString(key + "\\TypeLib", "", StringFromGUID(libId));
    registry.SetString(key + "\\Version", "", Decimal(verMajor) + "." + Decimal(verMinor));
    registry.SetString(kClassesRoot + progId, "", typeName);
    registry.SetString(kClassesRoot + progId + "\\CLSID", "", StringFromGUID(clsid));
    return TRUE;
}

BOOL AfxOleRegisterPropertyPageClass(IRegistryKeys& registry, const CLSID& clsid,
                                     const CString& typeName, const CString& modulePath,
                                     const CString& progId) {
    if (modulePath.empty()) return FALSE;
    CString key = kClsidRoot + StringFromGUID(clsid);
    registry.SetString(key, "", typeName);
    registry.SetString(key + "\\InprocServer32", "", modulePath);
    if (!progId.empty()) registry.SetString(key + "\\ProgID", "", progId);
    return TRUE;
}

BOOL AfxOleUnregisterClass(IRegistryKeys& registry, const CLSID& clsid, const CString& progId) {
    bool removed = registry.DeleteKey(kClsidRoot + StringFromGUID(clsid));
    if (!progId.empty() && registry.DeleteKey(kClassesRoot + progId)) removed = true;
    return removed ? TRUE : FALSE;
}
