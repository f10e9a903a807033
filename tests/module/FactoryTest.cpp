// DllGetClassObject and DllCanUnloadNow: a factory for each of the three classes, objects of
// the right kind, and the count of objects and locks.
#include <gtest/gtest.h>

#include "framework/ComClient.h"
#include "framework/OleControl.h"
#include "framework/PropertyPage.h"
#include "tests/module/ModuleTestSupport.h"

using namespace module_test;

namespace {

class ModuleExports : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = CModuleHandle::Load(kModule);
        ASSERT_TRUE(m_module);
        m_getClassObject =
            reinterpret_cast<DllGetClassObjectFn>(m_module->GetProcAddress("DllGetClassObject"));
        ASSERT_NE(m_getClassObject, nullptr);
        ASSERT_EQ(m_module->CanUnloadNow(), S_OK) << "a previous test left an object behind";
    }

    IClassFactory* Factory(const CString& clsidText) {
        CLSID clsid = *GUIDFromString(clsidText);
        void* p = nullptr;
        EXPECT_EQ(m_getClassObject(&clsid, &IID_IClassFactory, &p), S_OK);
        return static_cast<IClassFactory*>(p);
    }

    IFrameworkObject* Create(IClassFactory* factory) {
        void* p = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IFrameworkObject, &p), S_OK);
        return static_cast<IFrameworkObject*>(p);
    }

    std::shared_ptr<CModuleHandle> m_module;
    DllGetClassObjectFn m_getClassObject = nullptr;
};

TEST_F(ModuleExports, EachClassHasAFactoryMakingItsKindOfObject) {
    IFrameworkObject* ctrl = Create(Factory(kControlClsid));
    ASSERT_NE(ctrl, nullptr);
    ASSERT_NE(ctrl->GetControl(), nullptr);
    EXPECT_EQ(ctrl->GetPropertyPage(), nullptr);
    DISPID id = 0;
    EXPECT_EQ(ctrl->GetControl()->GetIDOfName("PictureBackColor", &id), S_OK);
    EXPECT_EQ(id, 9);

    IFrameworkObject* files = Create(Factory(kFilesPageClsid));
    ASSERT_NE(files, nullptr);
    ASSERT_NE(files->GetPropertyPage(), nullptr);
    EXPECT_EQ(files->GetControl(), nullptr);
    EXPECT_EQ(files->GetPropertyPage()->GetCaption(), "Files/Dir");
    EXPECT_EQ(files->GetPropertyPage()->GetDialogTemplate().id, 200u);

    IFrameworkObject* controls = Create(Factory(kControlsPageClsid));
    ASSERT_NE(controls, nullptr);
    ASSERT_NE(controls->GetPropertyPage(), nullptr);
    EXPECT_EQ(controls->GetPropertyPage()->GetCaption(), "Controls");
    EXPECT_EQ(controls->GetPropertyPage()->GetDialogTemplate().id, 218u);

    // Each request makes a new object.
    IFrameworkObject* second = Create(Factory(kControlClsid));
    EXPECT_NE(second->GetControl(), ctrl->GetControl());

    for (IFrameworkObject* o : {ctrl, files, controls, second}) EXPECT_EQ(o->Release(), 0u);
}

TEST_F(ModuleExports, RefusesUnknownClassesInterfacesAndAggregation) {
    CLSID unknown = *GUIDFromString("{01234567-89AB-CDEF-0123-456789ABCDEF}");
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_getClassObject(&unknown, &IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    CLSID ctrl = *GUIDFromString(kControlClsid);
    EXPECT_EQ(m_getClassObject(&ctrl, &unknown, &p), E_NOINTERFACE);
    EXPECT_EQ(m_getClassObject(&ctrl, &IID_IUnknown, &p), S_OK);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(m_getClassObject(nullptr, &IID_IUnknown, &p), E_POINTER);

    IClassFactory* factory = Factory(kControlClsid);
    IFrameworkObject* outer = Create(factory);
    void* obj = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer, IID_IFrameworkObject, &obj), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, unknown, &obj), E_NOINTERFACE);
    EXPECT_EQ(obj, nullptr);
    outer->Release();
    // The refused object did not stay alive.
    EXPECT_EQ(m_module->CanUnloadNow(), S_OK);
}

TEST_F(ModuleExports, CanUnloadOnlyWithNoObjectAndNoLockOutstanding) {
    IClassFactory* factory = Factory(kFilesPageClsid);
    IFrameworkObject* page = Create(factory);
    EXPECT_EQ(m_module->CanUnloadNow(), S_FALSE);
    void* again = nullptr;
    ASSERT_EQ(page->QueryInterface(IID_IUnknown, &again), S_OK);
    EXPECT_EQ(page->Release(), 1u);
    EXPECT_EQ(m_module->CanUnloadNow(), S_FALSE);  // the second reference still holds it
    EXPECT_EQ(static_cast<IUnknown*>(again)->Release(), 0u);
    EXPECT_EQ(m_module->CanUnloadNow(), S_OK);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_module->CanUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(m_module->CanUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(m_module->CanUnloadNow(), S_OK);
}

TEST_F(ModuleExports, ObjectsCarryTheModuleResources) {
    IFrameworkObject* ctrl = Create(Factory(kControlClsid));
    const CModuleResources& r = ctrl->GetResources();
    EXPECT_EQ(r.LoadString(1), "Movitrel Control");
    EXPECT_EQ(r.LoadString(2), "Movitrel Property Page");
    EXPECT_EQ(r.LoadString(200), "Files/Dir");
    EXPECT_EQ(r.LoadString(201), "MovitrelPropertyPage2");
    EXPECT_EQ(r.LoadString(202), "Controls");
    EXPECT_EQ(r.LoadString(3), "");
    for (uint32_t id : {1u, 200u, 218u}) EXPECT_NE(r.FindDialog(id), nullptr) << id;
    EXPECT_NE(r.FindIcon(1), nullptr);
    ASSERT_NE(r.FindResource("TYPELIB", 1), nullptr);
    EXPECT_EQ(r.FindResource("TYPELIB", 1)->at(0), 'M');
    ctrl->Release();
}

}  // namespace
