// The "Files/Dir" page: Delay, BaseFile, Dir, Sort and Maximize of the control.
#pragma once

#include "framework/PropertyPage.h"

class CMovitrelPropPage : public COlePropertyPage {
public:
    CMovitrelPropPage();

    // Members bound to the dialog, with their values before the page is first filled.
    CEdit m_editDir;  // the Dir edit box (item 204)
    int32_t m_lDelay = 0;
    int32_t m_lUnused = 0;  // bound to nothing
    CString m_strBaseFile;
    CString m_strDir;
    int32_t m_nSort = -1;  // no button checked until filled
    BOOL m_bMaximize = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
