// The "Controls" page: Loop, Pause, Command, Slider and Buttons of the control.
#pragma once

#include "framework/PropertyPage.h"

class CControlPropPage : public COlePropertyPage {
public:
    CControlPropPage();

    // Members bound to the dialog, with their values before the page is first filled.
    BOOL m_bLoop = FALSE;
    BOOL m_bPause = FALSE;
    int32_t m_nCommand = -1;  // no button checked until filled; a command code after
    BOOL m_bSlider = FALSE;
    BOOL m_bButtons = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
