#include "module/MovitrelModule.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "control/MovitrelCtrl.h"
#include "module/Resources.h"
#include "proppages/ControlPropPage.h"
#include "proppages/MovitrelPropPage.h"
#include "proppages/PageResources.h"
#include "proppages/PlaybackPropPage.h"

namespace {

// A factory whose registry rows come from update (module/ModuleClasses.h).
template <class T, BOOL (*update)(BOOL, IRegistryKeys&, const CString&)>
class CFactory : public COleObjectFactoryOf<T> {
public:
    using COleObjectFactoryOf<T>::COleObjectFactoryOf;
    BOOL UpdateRegistry(BOOL bRegister, CRegistry& registry, const CString& path) override {
        return update(bRegister, registry, path);
    }
};

class CMovitrelModule : public COleControlModule {
public:
    CMovitrelModule() : COleControlModule(MovitrelResources()) {}

private:
    // Members, so they are made after the module and go before it.
    CFactory<CMovitrelCtrl, UpdateControlRegistry> m_ctrlFactory{*this, CLSID_MovitrelCtrl,
                                                                 kProgIdControl};
    CFactory<CMovitrelPropPage, UpdateMovitrelPageRegistry> m_movitrelPageFactory{
        *this, CLSID_MovitrelPropPage, kProgIdMovitrelPage};
    CFactory<CControlPropPage, UpdateControlPageRegistry> m_controlPageFactory{
        *this, CLSID_ControlPropPage, kProgIdControlPage};
    CFactory<CPlaybackPropPage, UpdatePlaybackPageRegistry> m_playbackPageFactory{
        *this, CLSID_PlaybackPropPage, kProgIdPlaybackPage};
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
