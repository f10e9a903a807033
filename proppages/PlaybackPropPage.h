// The "Playback" page: CacheSize, LastDelay, Watch, Bounce and DecodeToFit of the control.
#pragma once

#include "framework/PropertyPage.h"

class CPlaybackPropPage : public COlePropertyPage {
public:
    CPlaybackPropPage();

    // Members bound to the dialog, with their values before the page is first filled.
    int32_t m_lCacheSize = 0;
    int32_t m_lLastDelay = 0;
    BOOL m_bWatch = FALSE;
    BOOL m_bBounce = FALSE;
    BOOL m_bDecodeToFit = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
