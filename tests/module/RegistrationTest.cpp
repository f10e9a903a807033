// DllRegisterServer and DllUnregisterServer through RegisterModule: the rows written to the
// registry file, their removal, and the failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "framework/ClassFactory.h"
#include "framework/ComClient.h"
#include "framework/Registry.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/support/TestTmp.h"

using namespace module_test;

namespace {

const CString kRoot = "HKEY_CLASSES_ROOT\\";

// Every row of the registry as "key|name=value", for comparing whole sets.
std::map<std::string, std::string> Rows(const CRegistry& reg) {
    std::map<std::string, std::string> rows;
    for (const CString& key : reg.Keys()) {
        rows[key + "|"];  // the key itself, value or not
        for (const auto& [name, value] : reg.Values(key)) {
            rows[key + "|" + name] = value.text;
        }
    }
    return rows;
}

CRegistry Load(const std::string& path) {
    CRegistry reg;
    EXPECT_TRUE(reg.LoadFromFile(path)) << path;
    return reg;
}

TEST(Registration, WritesTheControlPagesAndTypeLibraryRows) {
    std::string regFile = FreshRegistryPath();
    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    CRegistry reg = Load(regFile);
    const std::string path = CanonicalModulePath();
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const CString ctrl = kRoot + "CLSID\\" + kControlClsid;
    const CString lib = kRoot + "TypeLib\\" + kLibId + "\\1.0";
    const CString proxy = "{00020420-0000-0000-C000-000000000046}";

    std::map<std::string, std::string> expected;
    auto row = [&](const CString& key, const CString& name, const CString& value) {
        // Parents of a key are rows too.
        CString k = key;
        for (size_t sep = k.find('\\'); sep != CString::npos; sep = k.find('\\', sep + 1)) {
            expected[k.substr(0, sep) + "|"];
        }
        expected[key + "|"];
        expected[key + "|" + name] = value;
    };
    row(ctrl, "", "Movitrel Control");
    row(ctrl + "\\ProgID", "", "MOVITREL.MovitrelCtrl.1");
    row(ctrl + "\\InprocServer32", "", path);
    row(ctrl + "\\InprocServer32", "ThreadingModel", "Apartment");
    row(ctrl + "\\Control", "", "");
    row(ctrl + "\\Insertable", "", "");
    row(ctrl + "\\MiscStatus\\1", "", "131473");
    row(ctrl + "\\ToolboxBitmap32", "", path + ", 1");
    row(ctrl + "\\TypeLib", "", kLibId);
    row(ctrl + "\\Version", "", "1.0");
    row(kRoot + "MOVITREL.MovitrelCtrl.1", "", "Movitrel Control");
    row(kRoot + "MOVITREL.MovitrelCtrl.1\\CLSID", "", kControlClsid);
    for (auto [clsid, name, progId] :
         {std::tuple{kFilesPageClsid, "Movitrel Property Page", "MOVITREL.MovitrelPropPage.1"},
          std::tuple{kControlsPageClsid, "MovitrelPropertyPage2", "Movitrel.CControlPropPage"},
          std::tuple{kPlaybackPageClsid, "MovitrelPropertyPage3", "Movitrel.CPlaybackPropPage"}}) {
        const CString page = kRoot + "CLSID\\" + clsid;
        row(page, "", name);
        row(page + "\\InprocServer32", "", path);
        row(page + "\\ProgID", "", progId);
    }
    row(lib, "", "Movitrel ActiveX Control module");
    row(lib + "\\409\\win32", "", path);
    row(lib + "\\FLAGS", "", "2");  // LIBFLAG_FCONTROL
    row(lib + "\\HELPDIR", "", folder);
    for (auto [iid, name] :
         {std::pair{kDispatchIid, "_DMovitrel"}, std::pair{kEventIid, "_DMovitrelEvents"}}) {
        const CString key = kRoot + "Interface\\" + iid;
        row(key, "", name);
        row(key + "\\ProxyStubClsid", "", proxy);
        row(key + "\\ProxyStubClsid32", "", proxy);
        row(key + "\\TypeLib", "", kLibId);
        row(key + "\\TypeLib", "Version", "1.0");
    }
    EXPECT_EQ(Rows(reg), expected);
    // 131473 is the misc status the control class asks for.
    EXPECT_EQ(131473u, OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                           OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE);
}

TEST(Registration, UnregisteringRemovesEveryRowAndKeepsOthers) {
    std::string regFile = FreshRegistryPath();
    CRegistry before;
    before.SetString("HKCR\\Other.Thing", "", "kept");
    before.SetString("HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}", "", "kept too");
    ASSERT_TRUE(before.SaveToFile(regFile));

    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    ASSERT_EQ(RegisterModule(kModule, regFile, true), S_OK);
    CRegistry after = Load(regFile);
    for (const CString& key : after.Keys()) {
        for (const CString& id : {kControlClsid, kFilesPageClsid, kControlsPageClsid, kLibId,
                                  kDispatchIid, kEventIid}) {
            EXPECT_EQ(key.find(id), CString::npos) << key;
        }
        EXPECT_EQ(key.find("MOVITREL.MovitrelCtrl.1"), CString::npos) << key;
    }
    EXPECT_EQ(after.GetString("HKCR\\Other.Thing", ""), "kept");
    EXPECT_EQ(after.GetString("HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}", ""),
              "kept too");
    EXPECT_FALSE(after.KeyExists("HKCR\\TypeLib\\" + kLibId));
}

TEST(Registration, RegisteringTwiceGivesTheSameRows) {
    std::string regFile = FreshRegistryPath();
    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    std::string once = Load(regFile).ToText();
    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    EXPECT_EQ(Load(regFile).ToText(), once);
}

TEST(Registration, AMissingTypeLibraryFailsBeforeAnyFactoryIsAsked) {
    std::string regFile = FreshRegistryPath();
    EXPECT_EQ(RegisterModule(kModuleWithoutTypeLib, regFile, false), SELFREG_E_TYPELIB);
    // No class rows: the factories were not asked.
    CRegistry reg;
    reg.LoadFromFile(regFile);
    EXPECT_FALSE(reg.KeyExists("HKCR\\CLSID\\" + kControlClsid));
    EXPECT_FALSE(reg.KeyExists("HKCR\\MOVITREL.MovitrelCtrl.1"));

    // Removal too: the registered rows stay.
    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    EXPECT_EQ(RegisterModule(kModuleWithoutTypeLib, regFile, true), SELFREG_E_TYPELIB);
    EXPECT_TRUE(Load(regFile).KeyExists("HKCR\\CLSID\\" + kControlClsid));
}

TEST(Registration, UnregisteringWhatIsNotRegisteredFails) {
    std::string regFile = FreshRegistryPath();
    EXPECT_EQ(RegisterModule(kModule, regFile, true), SELFREG_E_TYPELIB);
    // Type library rows present, class rows gone: the classes' removal fails.
    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    CRegistry reg = Load(regFile);
    reg.DeleteKey("HKCR\\CLSID\\" + kFilesPageClsid);
    ASSERT_TRUE(reg.SaveToFile(regFile));
    EXPECT_EQ(RegisterModule(kModule, regFile, true), SELFREG_E_CLASS);
}

TEST(Registration, AnUnwritableRegistryFailsTheTypeLibraryStep) {
    // A plain file where the registry's folder should be: no folder can be made there.
    const std::string notAFolder = TestTmp() + "/not-a-folder";
    std::ofstream(notAFolder) << "x";
    EXPECT_EQ(RegisterModule(kModule, notAFolder + "/x.reg", false), SELFREG_E_TYPELIB);
}

TEST(Registration, ModuleAndExportFailuresAreReported) {
    std::string regFile = FreshRegistryPath();
    EXPECT_EQ(RegisterModule(TestTmp() + "/missing.OCX", regFile, false), HRESULT_MOD_NOT_FOUND);
    // A library without the exports: the framework itself.
    {
        auto handle = CModuleHandle::Load(kModule);
        ASSERT_TRUE(handle);
        EXPECT_NE(handle->GetProcAddress("DllRegisterServer"), nullptr);
        EXPECT_EQ(handle->GetProcAddress("CMovitrelCtrl"), nullptr);
    }
    EXPECT_EQ(RegisterModule("libmovitrel-framework.so.1", regFile, false), HRESULT_PROC_NOT_FOUND);
}

TEST(Registration, RestoresTheProcessRegistryFileAfterTheCall) {
    SetRegistryFile("/some/where.reg");
    std::string regFile = FreshRegistryPath();
    ASSERT_EQ(RegisterModule(kModule, regFile, false), S_OK);
    EXPECT_EQ(GetRegistryFile(), "/some/where.reg");
    SetRegistryFile("");
}

}  // namespace
