#include "proppages/ControlPropPage.h"

#include "proppages/PageResources.h"

CControlPropPage::CControlPropPage()
    : COlePropertyPage(ControlPropPageTemplate(), PageString(IDS_CONTROL_PPG_CAPTION)) {}

void CControlPropPage::DoDataExchange(CDataExchange* pDX) {
    DDP_Check(pDX, IDC_LOOP, m_bLoop, "Loop");
    DDX_Check(pDX, IDC_LOOP, m_bLoop);
    DDP_Check(pDX, IDC_PAUSE, m_bPause, "Pause");
    DDX_Check(pDX, IDC_PAUSE, m_bPause);
    // The buttons' positions in the group are the command codes (playback/Commands.h): the
    // template lists them from kCommandNone to kCommandStop.
    DDP_Radio(pDX, IDC_CMD_NOACTION, m_nCommand, "Command");
    DDX_Radio(pDX, IDC_CMD_NOACTION, m_nCommand);
    DDP_Check(pDX, IDC_SHOW_SLIDER, m_bSlider, "Slider");
    DDX_Check(pDX, IDC_SHOW_SLIDER, m_bSlider);
    DDP_Check(pDX, IDC_SHOW_BUTTONS, m_bButtons, "Buttons");
    DDX_Check(pDX, IDC_SHOW_BUTTONS, m_bButtons);
    DDP_PostProcessing(pDX);
}
