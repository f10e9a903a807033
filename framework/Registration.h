// The registry rows of a control class and of a property-page class, written through
// IRegistryKeys: the registry file's model (framework/Registry.h), or the system's registry on
// Windows. Key paths start with their root's long name, "HKEY_CLASSES_ROOT\\...".
#pragma once

#include "framework/Com.h"

class IRegistryKeys {
public:
    virtual ~IRegistryKeys() = default;
    // Makes the key (and its parents) as needed; the default value has the empty name.
    virtual void SetString(const CString& key, const CString& name, const CString& value) = 0;
    // Deletes the key and everything below it; false when there was no such key.
    virtual bool DeleteKey(const CString& key) = 0;
};

// Flags of a control class.
constexpr uint32_t afxRegInsertable = 0x0001;
constexpr uint32_t afxRegApartmentThreading = 0x0002;

#ifndef _WIN32
// OLEMISC status bits a control registers.
constexpr uint32_t OLEMISC_RECOMPOSEONRESIZE = 0x1;
constexpr uint32_t OLEMISC_CANTLINKINSIDE = 0x10;
constexpr uint32_t OLEMISC_INSIDEOUT = 0x80;
constexpr uint32_t OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
constexpr uint32_t OLEMISC_SETCLIENTSITEFIRST = 0x20000;
#endif

// The rows of a control class, as a Windows control registers them:
//   HKCR\<progId> = typeName, \CLSID = {clsid}
//   HKCR\CLSID\{clsid} = typeName, with the subkeys ProgID, InprocServer32 (the module path,
//   ThreadingModel "Apartment" with that flag), Control, Insertable (with that flag),
//   MiscStatus\1 (decimal), ToolboxBitmap32 ("<module path>, <bitmap id>"), TypeLib ({libId})
//   and Version ("<major>.<minor>").
BOOL AfxOleRegisterControlClass(IRegistryKeys& registry, const CLSID& clsid, const CString& progId,
                                const CString& typeName, const CString& modulePath,
                                uint32_t bitmapId, uint32_t regFlags, uint32_t miscStatus,
                                const GUID& libId, uint16_t verMajor, uint16_t verMinor);
// HKCR\CLSID\{clsid} = typeName, with InprocServer32 (the module path) and, when given,
// ProgID.
BOOL AfxOleRegisterPropertyPageClass(IRegistryKeys& registry, const CLSID& clsid,
                                     const CString& typeName, const CString& modulePath,
                                     const CString& progId = CString());
// Removes HKCR\CLSID\{clsid} and, when given, HKCR\<progId>. FALSE when neither was there.
BOOL AfxOleUnregisterClass(IRegistryKeys& registry, const CLSID& clsid,
                           const CString& progId = CString());
