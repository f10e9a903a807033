#include "framework/ClassFactory.h"

#include "framework/OleControl.h"
#include "framework/PropertyPage.h"
#include "framework/TypeLib.h"

namespace {

constexpr uint32_t kTypeLibResource = 1;

// One object a factory made: owns the control or page and holds a module lock for its life.
class CFrameworkObject final : public CComObject<CFrameworkObject, IFrameworkObject> {
public:
    CFrameworkObject(COleControlModule& module, COleObjectFactory::CObject object)
        : m_module(module), m_object(std::move(object)) {
        m_module.Lock();
    }
    ~CFrameworkObject() {
        // The page lets go of its control first, as a property frame closes before the
        // object it edits.
        m_object.page.reset();
        m_object.control.reset();
        m_module.Unlock();
    }

    COleControl* GetControl() override { return m_object.control.get(); }
    COlePropertyPage* GetPropertyPage() override { return m_object.page.get(); }
    const CModuleResources& GetResources() override { return m_module.GetResources(); }

private:
    COleControlModule& m_module;
    COleObjectFactory::CObject m_object;
};

template <class Map, class Key>
auto FindIn(const Map& map, const Key& key) -> decltype(&map.begin()->second) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

std::optional<CTypeLibInfo> ModuleTypeLib(const CModuleResources& resources) {
    const std::vector<uint8_t>* bytes = resources.FindResource("TYPELIB", kTypeLibResource);
    if (!bytes) return std::nullopt;
    return ReadTypeLib(bytes->data(), bytes->size());
}

}  // namespace

// ---- Resources ----------------------------------------------------------------------------

CString CModuleResources::LoadString(uint32_t id) const {
    const CString* s = FindIn(strings, id);
    return s ? *s : CString();
}

const CDialogTemplate* CModuleResources::FindDialog(uint32_t id) const {
    return FindIn(dialogs, id);
}

const std::vector<uint8_t>* CModuleResources::FindBitmap(uint32_t id) const {
    return FindIn(bitmaps, id);
}

const std::vector<uint8_t>* CModuleResources::FindIcon(uint32_t id) const {
    return FindIn(icons, id);
}

const std::vector<uint8_t>* CModuleResources::FindResource(const CString& type, uint32_t id) const {
    return FindIn(custom, std::make_pair(type, id));
}

// ---- Module -------------------------------------------------------------------------------

COleControlModule::COleControlModule(const CModuleResources& resources) : m_resources(resources) {}

COleControlModule::~COleControlModule() = default;

HRESULT COleControlModule::GetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (COleObjectFactory* factory : m_factories) {
        if (factory->GetClassID() == clsid) return factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT COleControlModule::CanUnloadNow() const {
    return m_locks.load() == 0 ? S_OK : S_FALSE;
}

HRESULT COleControlModule::RegisterServer(const CString& modulePath) {
    std::optional<CTypeLibInfo> lib = ModuleTypeLib(m_resources);
    if (!lib) return SELFREG_E_TYPELIB;
    if (!UpdateRegistryFile([&](CRegistry& registry) {
            RegisterTypeLibRows(registry, *lib, modulePath);
            return true;
        })) {
        return SELFREG_E_TYPELIB;
    }
    bool allRegistered = true;
    BOOL saved = UpdateRegistryFile([&](CRegistry& registry) {
        for (COleObjectFactory* factory : m_factories) {
            if (!factory->UpdateRegistry(TRUE, registry, modulePath)) allRegistered = false;
        }
        return true;
    });
    return saved && allRegistered ? S_OK : SELFREG_E_CLASS;
}

HRESULT COleControlModule::UnregisterServer(const CString& modulePath) {
    std::optional<CTypeLibInfo> lib = ModuleTypeLib(m_resources);
    if (!lib) return SELFREG_E_TYPELIB;
    if (!UpdateRegistryFile([&](CRegistry& registry) {
            return UnregisterTypeLibRows(registry, lib->libId, lib->majorVersion,
                                         lib->minorVersion) != FALSE;
        })) {
        return SELFREG_E_TYPELIB;
    }
    bool allRemoved = true;
    BOOL saved = UpdateRegistryFile([&](CRegistry& registry) {
        for (COleObjectFactory* factory : m_factories) {
            if (!factory->UpdateRegistry(FALSE, registry, modulePath)) allRemoved = false;
        }
        return true;
    });
    return saved && allRemoved ? S_OK : SELFREG_E_CLASS;
}

// ---- Factories ----------------------------------------------------------------------------

COleObjectFactory::COleObjectFactory(COleControlModule& module, const CLSID& clsid, CString progId)
    : m_module(module), m_clsid(clsid), m_progId(std::move(progId)) {
    m_module.m_factories.push_back(this);
}

COleObjectFactory::~COleObjectFactory() {
    auto& list = m_module.m_factories;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == this) {
            list.erase(it);
            break;
        }
    }
}

HRESULT COleObjectFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CObject made = CreateObject();
    if (!made.control && !made.page) return E_OUTOFMEMORY;
    // Gone after the question unless the caller got it.
    const auto wrapper =
        CComPtr<CFrameworkObject>::Adopt(new CFrameworkObject(m_module, std::move(made)));
    return wrapper->QueryInterface(iid, object);
}

HRESULT COleObjectFactory::LockServer(BOOL lock) {
    if (lock) {
        m_module.Lock();
    } else {
        m_module.Unlock();
    }
    return S_OK;
}

// ---- Registration helpers -----------------------------------------------------------------
