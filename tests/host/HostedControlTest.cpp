// Making a control by ProgID as another application does: through its own registry file and
// the module it stands for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "framework/ComClient.h"
#include "framework/Registry.h"
#include "host/instance/HostedControl.h"
#include "tests/support/ModulePath.h"
#include "tests/support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

// The module path the registry file names for the control, or "" when it names none.
std::string RegisteredModule(const std::string& registryFile) {
    CRegistry registry;
    CLSID clsid{};
    CString module;
    if (!registry.LoadFromFile(registryFile) ||
        FAILED(CLSIDFromProgID(registry, kControlProgId, &clsid)) ||
        FAILED(InprocServerOf(registry, clsid, &module))) {
        return "";
    }
    return module;
}

class HostedControlTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove(registry); }
    const std::string registry = TempPath("hosted-control.reg");
    const std::string module = CanonicalModulePath();
};

TEST_F(HostedControlTest, AFreshRegistryGetsTheModuleRegisteredAndAControl) {
    std::string error;
    auto control = CHostedControl::Create(registry, module, &error);
    ASSERT_NE(control, nullptr) << error;
    EXPECT_EQ(RegisteredModule(registry), module);
    EXPECT_EQ(control->CurrentCommand(), 0);
    EXPECT_EQ(control->FramePosition(), "no frames");
}

TEST_F(HostedControlTest, ARegistryNamingAnotherModuleIsPointedBackAtOurs) {
    const fs::path other = TempPath("other-install") + "/MOVITREL.OCX";
    fs::create_directories(other.parent_path());
    fs::copy_file(module, other, fs::copy_options::overwrite_existing);
    std::string error;
    ASSERT_NE(CHostedControl::Create(registry, other.string(), &error), nullptr) << error;
    ASSERT_EQ(RegisteredModule(registry), other.string());

    auto control = CHostedControl::Create(registry, module, &error);
    ASSERT_NE(control, nullptr) << error;
    EXPECT_EQ(RegisteredModule(registry), module);
}

TEST_F(HostedControlTest, AMissingModuleIsAnErrorThatNamesIt) {
    std::string error;
    const std::string missing = TempPath("nowhere") + "/MOVITREL.OCX";
    EXPECT_EQ(CHostedControl::Create(registry, missing, &error), nullptr);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(CHostedControl::Create(registry, module, &error, "No.Such.ProgId"), nullptr);
    EXPECT_NE(error.find("No.Such.ProgId"), std::string::npos) << error;
}

}  // namespace
