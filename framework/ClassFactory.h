// The in-process server side of the framework: a minimal COM (IUnknown, IClassFactory), the
// objects a factory hands out, the module object that owns the factories and the resources,
// and the helpers that write a class's rows to the registry substitute.
//
// Lifetimes follow COM: an object lives until its last Release; a factory lives as long as
// its module (it is a member of the module object), so its AddRef and Release count nothing.
// The module counts live objects and server locks for DllCanUnloadNow.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "framework/Com.h"
#include "framework/ComBase.h"
#include "framework/DialogTemplate.h"
#include "framework/OleControl.h"
#include "framework/PropertyPage.h"
#include "framework/Registration.h"
#include "framework/Registry.h"

constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HRESULT(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154u);
constexpr HRESULT REGDB_E_WRITEREGDB = HRESULT(0x80040151u);
constexpr HRESULT SELFREG_E_TYPELIB = HRESULT(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = HRESULT(0x80040201u);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = HRESULT(0x80029C4Au);

inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// This framework's own interface: the C++ object behind an IUnknown.
inline constexpr IID IID_IFrameworkObject{
    0x5E3A0C71, 0x2B4D, 0x4F0E, {0x9A, 0x61, 0x3C, 0x8E, 0x14, 0x70, 0xB2, 0x5D}};

class IClassFactory : public IUnknown {
public:
    // A new object answering iid; CLASS_E_NOAGGREGATION when outer is given.
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

template <>
struct CInterfaceId<IClassFactory> {
    static const IID& Get() { return IID_IClassFactory; }
};

struct CModuleResources;

// What IID_IFrameworkObject gives: the control or the page a factory made. The pointers
// stay valid while the caller holds a reference.
class IFrameworkObject : public IUnknown {
public:
    virtual COleControl* GetControl() = 0;            // null for a page
    virtual COlePropertyPage* GetPropertyPage() = 0;  // null for a control
    // The resources of the module the object comes from (icons, dialogs, strings).
    virtual const CModuleResources& GetResources() = 0;

protected:
    ~IFrameworkObject() = default;
};

template <>
struct CInterfaceId<IFrameworkObject> {
    static const IID& Get() { return IID_IFrameworkObject; }
};

// A module's resources, by id as a resource script numbers them. A bitmap is a packed DIB:
// BITMAPINFOHEADER, colour table, bottom-up rows padded to 4 bytes. An icon is an icon
// image as an .ico file holds one: a packed DIB of twice the icon's height, the colour rows
// followed by the 1-bit AND mask.
struct CModuleResources {
    std::map<uint32_t, CString> strings;
    std::map<uint32_t, CDialogTemplate> dialogs;
    std::map<uint32_t, std::vector<uint8_t>> bitmaps;
    std::map<uint32_t, std::vector<uint8_t>> icons;
    // Resources of a named type, e.g. ("TYPELIB", 1).
    std::map<std::pair<CString, uint32_t>, std::vector<uint8_t>> custom;

    // "" for an unknown string; null for any other unknown resource.
    CString LoadString(uint32_t id) const;
    const CDialogTemplate* FindDialog(uint32_t id) const;
    const std::vector<uint8_t>* FindBitmap(uint32_t id) const;
    const std::vector<uint8_t>* FindIcon(uint32_t id) const;
    const std::vector<uint8_t>* FindResource(const CString& type, uint32_t id) const;
};

class COleObjectFactory;

// The module: its resources, its factories and its count of objects and locks. A module
// derives from it and holds its factories as members, so they are made after it and go
// before it.
class COleControlModule {
public:
    explicit COleControlModule(const CModuleResources& resources);
    virtual ~COleControlModule();
    COleControlModule(const COleControlModule&) = delete;
    COleControlModule& operator=(const COleControlModule&) = delete;

    // Attach and detach steps; the base has nothing to do.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int32_t ExitInstance() { return 0; }

    const CModuleResources& GetResources() const { return m_resources; }

    // The factory for the class, with a reference; CLASS_E_CLASSNOTAVAILABLE when the module
    // has none, E_NOINTERFACE for an iid other than IUnknown and IClassFactory.
    HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object);
    // S_OK when no object and no lock is outstanding, else S_FALSE.
    HRESULT CanUnloadNow() const;

    // Registers the type library from resource ("TYPELIB", 1), then every factory's class,
    // in the process's registry file. S_OK, SELFREG_E_TYPELIB (no factory asked) or
    // SELFREG_E_CLASS. modulePath is what InprocServer32 names.
    HRESULT RegisterServer(const CString& modulePath);
    // Removes the type library's rows (its id and version from the resource), then every
    // class's; the same results.
    HRESULT UnregisterServer(const CString& modulePath);

    // Objects and locks; factories and objects call these.
    void Lock() { ++m_locks; }
    void Unlock() { --m_locks; }
    int32_t LockCount() const { return m_locks.load(); }

private:
    friend class COleObjectFactory;
    const CModuleResources& m_resources;
    std::vector<COleObjectFactory*> m_factories;  // in construction order
    std::atomic<int32_t> m_locks{0};
};

// Makes objects of one class. Each CreateInstance makes a new object, which holds a module
// lock until its last Release.
class COleObjectFactory : public CComStatic<IClassFactory> {
public:
    // A control or a page, as the factory made it.
    struct CObject {
        std::unique_ptr<COleControl> control;
        std::unique_ptr<COlePropertyPage> page;
    };

    COleObjectFactory(COleControlModule& module, const CLSID& clsid, CString progId);
    virtual ~COleObjectFactory();
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;

    const CLSID& GetClassID() const { return m_clsid; }
    const CString& GetProgID() const { return m_progId; }
    COleControlModule& GetModule() const { return m_module; }

    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override;
    HRESULT LockServer(BOOL lock) override;

    // Writes (bRegister) or removes the class's registry rows; FALSE when that failed.
    virtual BOOL UpdateRegistry(BOOL bRegister, CRegistry& registry, const CString& modulePath) = 0;

protected:
    // A new object; an empty one when it cannot be made.
    virtual CObject CreateObject() = 0;

private:
    COleControlModule& m_module;
    CLSID m_clsid;
    CString m_progId;
};

// A factory making T, a control or a page class default-constructed.
template <class T, class Base = COleObjectFactory>
class COleObjectFactoryOf : public Base {
public:
    using Base::Base;

protected:
    typename COleObjectFactory::CObject CreateObject() override {
        typename COleObjectFactory::CObject object;
        if constexpr (std::is_base_of_v<COleControl, T>) {
            object.control = std::make_unique<T>();
        } else {
            object.page = std::make_unique<T>();
        }
        return object;
    }
};
