// Shared by the module tests: paths of the built module files and a fresh registry file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/Com.h"
#include "tests/support/ModulePath.h"
#include "tests/support/TestFiles.h"

namespace module_test {

inline const std::string kModule = MOVITREL_MODULE_FILE;
inline const std::string kModuleWithoutTypeLib = MOVITREL_MODULE_NOTLB_FILE;

// The control's and the pages' ids, as the module registers them.
inline const CString kControlClsid = "{FA502BD9-A409-47D6-B9B2-38AD1896D1DE}";
inline const CString kFilesPageClsid = "{E27A4C66-0CE4-4431-AE81-85F7A3CC3019}";
inline const CString kControlsPageClsid = "{9068F3A6-6046-4DD3-952B-387F87EF7F28}";
inline const CString kPlaybackPageClsid = "{3B8F6D2E-71C4-4E5A-8D16-52A9E047C36B}";
inline const CString kLibId = "{D0F31B1E-27AE-4A36-9CAE-8A0711DCAADC}";
inline const CString kDispatchIid = "{A3DACB69-629C-4C30-AE9E-55F7CA427915}";
inline const CString kEventIid = "{D21DF837-160C-4A03-A360-B2D80B0C22FF}";

// A path for a registry file of the running test, not yet existing.
inline std::string FreshRegistryPath() {
    std::string path = TempPath(TestName() + ".reg");
    std::filesystem::remove(path);
    return path;
}

}  // namespace module_test
