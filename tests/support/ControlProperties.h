// A control's properties by name, through dispatch, for the tests that set and read them.
#pragma once

#include <gtest/gtest.h>

#include "framework/OleControl.h"

inline void SetByName(COleControl& ctrl, const char* name, const CVariant& value) {
    ASSERT_EQ(ctrl.SetProperty(CString(name), value), S_OK) << name;
}

inline CVariant GetByName(COleControl& ctrl, const char* name) {
    CVariant v;
    EXPECT_EQ(ctrl.GetProperty(CString(name), &v), S_OK) << name;
    return v;
}
