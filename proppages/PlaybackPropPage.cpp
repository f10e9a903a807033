#include "proppages/PlaybackPropPage.h"

#include "proppages/PageResources.h"

CPlaybackPropPage::CPlaybackPropPage()
    : COlePropertyPage(PlaybackPropPageTemplate(), PageString(IDS_PLAYBACK_PPG_CAPTION)) {}

void CPlaybackPropPage::DoDataExchange(CDataExchange* pDX) {
    DDP_Text(pDX, IDC_CACHESIZE, m_lCacheSize, "CacheSize");
    DDX_Text(pDX, IDC_CACHESIZE, m_lCacheSize);
    DDP_Text(pDX, IDC_LASTDELAY, m_lLastDelay, "LastDelay");
    DDX_Text(pDX, IDC_LASTDELAY, m_lLastDelay);
    DDP_Check(pDX, IDC_WATCH, m_bWatch, "Watch");
    DDX_Check(pDX, IDC_WATCH, m_bWatch);
    DDP_Check(pDX, IDC_BOUNCE, m_bBounce, "Bounce");
    DDX_Check(pDX, IDC_BOUNCE, m_bBounce);
    DDP_Check(pDX, IDC_DECODETOFIT, m_bDecodeToFit, "DecodeToFit");
    DDX_Check(pDX, IDC_DECODETOFIT, m_bDecodeToFit);
    DDP_PostProcessing(pDX);
}
