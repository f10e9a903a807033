// The COM face of a COleControl on Windows: one object per control, made by the module's
// class factory, which answers automation from the control's dispatch map and describes
// itself from the module's type library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/ComBase.h"
#include "framework/OleControl.h"

// What a control object needs to know of its class beyond the control itself.
struct CComClassInfo {
    CLSID clsid;
    GUID libId;
    WORD majorVersion;
    WORD minorVersion;
    DWORD miscStatus;  // OLEMISC_* bits, as the class registers them
    CString typeName;  // what the user is shown the control as (a property frame's caption)
};

class COlePropertyPage;

// A new object holding the control, with one reference; the control is in its reset state.
// Throws what its construction throws (std::bad_alloc when out of memory), for the caller's
// guard to answer.
IDispatch* CreateControlObject(std::unique_ptr<COleControl> control, const CComClassInfo& info);
// A new property page object (IPropertyPage) over the page, with one reference; throws as
// CreateControlObject does.
IUnknown* CreatePropertyPageObject(std::unique_ptr<COlePropertyPage> page);

// How a page of this module reaches the control behind an object a frame hands it. Private
// to the module: the id is not registered anywhere.
extern const IID IID_IFrameworkControl;
class IFrameworkControl : public IUnknown {
public:
    // Valid while the object lives.
    virtual COleControl* Control() = 0;
};

template <>
struct CInterfaceId<IFrameworkControl> {
    static const IID& Get() { return IID_IFrameworkControl; }
};

// The module (OCX) this code is linked into, and its file; empty when the path does not fit.
HMODULE FrameworkModule();
std::wstring FrameworkModulePath();

// Objects and server locks alive in this module; the module may unload at zero.
void ModuleLock();
void ModuleUnlock();
long ModuleLockCount();

// One lock on the module for as long as it lives.
class CModuleLock {
public:
    CModuleLock() { ModuleLock(); }
    ~CModuleLock() { ModuleUnlock(); }
    CModuleLock(const CModuleLock&) = delete;
    CModuleLock& operator=(const CModuleLock&) = delete;
};

// BSTR and the framework's narrow strings, through the ANSI code page.
BSTR BstrFromString(const CString& text);
// A copy in memory from CoTaskMemAlloc, as interfaces that hand strings out return them.
LPOLESTR BstrToTaskMem(const CString& text);
CString StringFromBstr(const wchar_t* text);

// A BSTR and a VARIANT freed however the scope is left.
class CBstrHolder {
public:
    explicit CBstrHolder(BSTR text) : m_text(text) {}
    ~CBstrHolder() { SysFreeString(m_text); }
    CBstrHolder(const CBstrHolder&) = delete;
    CBstrHolder& operator=(const CBstrHolder&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

class CVariantHolder {
public:
    CVariantHolder() { VariantInit(&m_value); }
    ~CVariantHolder() { VariantClear(&m_value); }
    CVariantHolder(const CVariantHolder&) = delete;
    CVariantHolder& operator=(const CVariantHolder&) = delete;
    VARIANT* Get() { return &m_value; }

private:
    VARIANT m_value;
};

// VARIANT and CVariant. ToVariant gives colours as VT_I4 with the same bits, as scripts take
// them. FromVariant coerces the value to vt as automation does (DISP_E_TYPEMISMATCH,
// DISP_E_OVERFLOW); a colour (VT_COLOR) takes any value that fits 32 bits, signed or not.
void ToVariant(const CVariant& value, VARIANT* out);
HRESULT FromVariant(const VARIANT& value, VARTYPE vt, CVariant* out);
// A value of a type the framework knows (I2, I4, UI4, BOOL, BSTR) as it is; anything else,
// and VT_EMPTY, as empty.
CVariant AsCVariant(const VARIANT& value);

// A dialog template as the system takes it (DLGTEMPLATE, font, items), for
// DialogBoxIndirectParam and CreateDialogIndirectParam.
std::vector<WORD> BuildDialogTemplate(const CDialogTemplate& dialog, DWORD extraStyle = 0);
