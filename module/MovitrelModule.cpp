#include "module/MovitrelModule.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "control/MovitrelCtrl.h"
#include "module/Resources.h"
#include "proppages/ControlPropPage.h"
#include "proppages/MovitrelPropPage.h"
#include "proppages/PageResources.h"

const GUID LIBID_MOVITRELLib{
    0xD0F31B1E, 0x27AE, 0x4A36, {0x9C, 0xAE, 0x8A, 0x07, 0x11, 0xDC, 0xAA, 0xDC}};

namespace {

class CMovitrelCtrlFactory : public COleObjectFactoryOf<CMovitrelCtrl> {
public:
    using COleObjectFactoryOf::COleObjectFactoryOf;
    BOOL UpdateRegistry(BOOL bRegister, CRegistry& registry, const CString& path) override {
        if (!bRegister) return AfxOleUnregisterClass(registry, GetClassID(), GetProgID());
        return AfxOleRegisterControlClass(registry, GetClassID(), GetProgID(),
                                          GetModule().GetResources().LoadString(IDS_MOVITREL), path,
                                          IDB_MOVITREL, kControlRegFlags, kControlMiscStatus,
                                          LIBID_MOVITRELLib, kTypeLibMajor, kTypeLibMinor);
    }
};

// A property page's factory; typeNameId names the page's type-name string.
template <class Page, uint32_t typeNameId>
class CPageFactory : public COleObjectFactoryOf<Page> {
public:
    using COleObjectFactoryOf<Page>::COleObjectFactoryOf;
    BOOL UpdateRegistry(BOOL bRegister, CRegistry& registry, const CString& path) override {
        if (!bRegister) return AfxOleUnregisterClass(registry, this->GetClassID());
        return AfxOleRegisterPropertyPageClass(
            registry, this->GetClassID(), this->GetModule().GetResources().LoadString(typeNameId),
            path, this->GetProgID());
    }
};

class CMovitrelModule : public COleControlModule {
public:
    CMovitrelModule() : COleControlModule(MovitrelResources()) {}

private:
    // Members, so they are made after the module and go before it.
    CMovitrelCtrlFactory m_ctrlFactory{*this, CLSID_MovitrelCtrl, kProgIdControl};
    CPageFactory<CMovitrelPropPage, IDS_MOVITREL_PPG> m_movitrelPageFactory{
        *this, CLSID_MovitrelPropPage, kProgIdMovitrelPage};
    CPageFactory<CControlPropPage, IDS_CONTROL_PPG> m_controlPageFactory{
        *this, CLSID_ControlPropPage, kProgIdControlPage};
};

// Made when the module loads, before its exports can be called; gone when it unloads.
CMovitrelModule theModule;

}  // namespace

COleControlModule& MovitrelModule() {
    return theModule;
}

CString MovitrelModulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&MovitrelModulePath), &info) || !info.dli_fname) {
        return CString();
    }
    char full[PATH_MAX];
    return realpath(info.dli_fname, full) ? CString(full) : CString(info.dli_fname);
}
