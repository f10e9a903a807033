#include "proppages/MovitrelPropPage.h"

#include "proppages/PageResources.h"

CMovitrelPropPage::CMovitrelPropPage()
    : COlePropertyPage(MovitrelPropPageTemplate(), PageString(IDS_MOVITREL_PPG_CAPTION)) {}

void CMovitrelPropPage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_DIR, m_editDir);
    DDP_Text(pDX, IDC_DELAY, m_lDelay, "Delay");
    DDX_Text(pDX, IDC_DELAY, m_lDelay);
    DDP_Text(pDX, IDC_BASEFILE, m_strBaseFile, "BaseFile");
    DDX_Text(pDX, IDC_BASEFILE, m_strBaseFile);
    DDP_Text(pDX, IDC_DIR, m_strDir, "Dir");
    DDX_Text(pDX, IDC_DIR, m_strDir);
    DDP_Radio(pDX, IDC_SORT_NONE, m_nSort, "Sort");
    DDX_Radio(pDX, IDC_SORT_NONE, m_nSort);
    DDP_Check(pDX, IDC_MAXIMIZE, m_bMaximize, "Maximize");
    DDX_Check(pDX, IDC_MAXIMIZE, m_bMaximize);
    DDP_PostProcessing(pDX);
}
