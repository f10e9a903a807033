#include "control/MovitrelCtrl.h"

#include <algorithm>

#include "control/AboutDialog.h"
#include "control/Bitmaps.h"
#include "image/Image.h"
#include "playback/Commands.h"

// The ids are fixed for good: the registry and the type library carry the same values.
const IID IID_DMovitrel{
    0xa3dacb69, 0x629c, 0x4c30, {0xae, 0x9e, 0x55, 0xf7, 0xca, 0x42, 0x79, 0x15}};
const IID IID_DMovitrelEvents{
    0xd21df837, 0x160c, 0x4a03, {0xa3, 0x60, 0xb2, 0xd8, 0x0b, 0x0c, 0x22, 0xff}};
const CLSID CLSID_MovitrelCtrl{
    0xfa502bd9, 0xa409, 0x47d6, {0xb9, 0xb2, 0x38, 0xad, 0x18, 0x96, 0xd1, 0xde}};
const CLSID CLSID_MovitrelPropPage{
    0xe27a4c66, 0x0ce4, 0x4431, {0xae, 0x81, 0x85, 0xf7, 0xa3, 0xcc, 0x30, 0x19}};
const CLSID CLSID_ControlPropPage{
    0x9068f3a6, 0x6046, 0x4dd3, {0x95, 0x2b, 0x38, 0x7f, 0x87, 0xef, 0x7f, 0x28}};
const CLSID CLSID_PlaybackPropPage{
    0x3b8f6d2e, 0x71c4, 0x4e5a, {0x8d, 0x16, 0x52, 0xa9, 0xe0, 0x47, 0xc3, 0x6b}};

namespace {

// 1.1: CacheSize, Watch, Bounce and LastDelay after the eleven of 1.0; 1.2: DecodeToFit after
// them. An older state lacks the later names and loads them at their defaults.
constexpr DWORD kPropertySetVersion = 0x00010002;

}  // namespace

CMovitrelCtrl::CMovitrelCtrl() {
    InitializeIIDs(&IID_DMovitrel, &IID_DMovitrelEvents);
    // GetFrame replaces it with the worker's image at the first paint.
    m_pFrameImage = std::make_shared<CImage>();
    m_pThread = nullptr;
    m_pSource = std::make_unique<CSourceSettings>();
    m_pPlayback = std::make_unique<CPlaybackSettings>();
    m_pPlayer = std::make_unique<CFramePlayer>(*this, *m_pSource, *m_pPlayback);
    m_bDragging = FALSE;
    m_bThreadStarted = false;
    m_bMaximize = TRUE;  // the exchange that every initialisation runs sets it to FALSE
    m_clrPictureBack = 0;
    CreateImageListFromBitmap(m_imageListButtons, kBitmapButtons, kButtonSize, 0, kBitmapMaskColor);
    CreateImageListFromBitmap(m_imageListSlider, kBitmapSlider, kSliderImageWidth, 0,
                              kBitmapMaskColor);
    OnMessage(WM_PLAYER_REFRESH, &CMovitrelCtrl::OnPlayerRefresh);
}

CMovitrelCtrl::~CMovitrelCtrl() {
    // A container destroys the window first, which stops the worker; one that did not must
    // not leave a thread running on the objects freed below.
    StopPlayerThread();
    m_pFrameImage.reset();
    m_pPlayer.reset();
    m_pPlayback.reset();
    m_pSource.reset();
}

const CDispatchMap& CMovitrelCtrl::GetDispatchMap() const {
    using C = CMovitrelCtrl;
    // Persist's last argument is the place in the exchange, which differs from the DISPIDs.
    static const CDispatchMap map = WithPauseExchange(
        CDispMapBuilder<C>()
            .Property<VT_BSTR>("BaseFile", dispidBaseFile, &C::GetBaseFile, &C::SetBaseFile)
            .Persist("BaseFile", &C::m_strBaseFile, CString(), 1)
            .Property<VT_BOOL>("Buttons", dispidButtons, &C::GetButtons, &C::SetButtons)
            .Persist("Buttons", &C::m_bShowButtons, TRUE, 8)
            .Property<VT_I2>("Command", dispidCommand, &C::GetCommand, &C::SetCommand)
            .Persist("Command", &C::m_nCommand, int16_t(kCommandNone), 6)
            .Property<VT_I4>("Delay", dispidDelay, &C::GetDelay, &C::SetDelay)
            .Persist("Delay", &C::m_lDelay, 500, 7)
            .Property<VT_BSTR>("Dir", dispidDir, &C::GetDir, &C::SetDir)
            .Persist("Dir", &C::m_strDir, CString(), 2)
            .Property<VT_BOOL>("Loop", dispidLoop, &C::GetLoop, &C::SetLoop)
            .Persist("Loop", &C::m_bLoop, FALSE, 3)
            .Property<VT_BOOL>("Maximize", dispidMaximize, &C::GetMaximize, &C::SetMaximize)
            .Persist("Maximize", &C::m_bMaximize, FALSE, 10)
            .Property<VT_BOOL>("Pause", dispidPause, &C::GetPause, &C::SetPause)
            // Not saved, loaded or reset: every new instance starts black.
            .Property<VT_COLOR>("PictureBackColor", dispidPictureBackColor, &C::GetPictureBackColor,
                                &C::SetPictureBackColor)
            .Property<VT_BOOL>("Slider", dispidSlider, &C::GetSlider, &C::SetSlider)
            .Persist("Slider", &C::m_bShowSlider, TRUE, 9)
            .Property<VT_I2>("Sort", dispidSort, &C::GetSort, &C::SetSort)
            .Persist("Sort", &C::m_nSort, int16_t(0), 5)
            .Property<VT_I4>("CacheSize", dispidCacheSize, &C::GetCacheSize, &C::SetCacheSize)
            .Persist("CacheSize", &C::m_lCacheSize, 256, 11)
            .Property<VT_BOOL>("Watch", dispidWatch, &C::GetWatch, &C::SetWatch)
            .Persist("Watch", &C::m_bWatch, FALSE, 12)
            .Property<VT_BOOL>("Bounce", dispidBounce, &C::GetBounce, &C::SetBounce)
            .Persist("Bounce", &C::m_bBounce, FALSE, 13)
            .Property<VT_I4>("LastDelay", dispidLastDelay, &C::GetLastDelay, &C::SetLastDelay)
            .Persist("LastDelay", &C::m_lLastDelay, 0, 14)
            .Property<VT_BOOL>("DecodeToFit", dispidDecodeToFit, &C::GetDecodeToFit,
                               &C::SetDecodeToFit)
            .Persist("DecodeToFit", &C::m_bDecodeToFit, FALSE, 15)
            .StockBackColor()
            .StockAboutBox()
            .Build());
    return map;
}

CDispatchMap CMovitrelCtrl::WithPauseExchange(CDispatchMap map) {
    // The pause state is saved as the boolean Pause reads, fourth in the exchange, and a saved
    // true loads as the user's pause; Persist exchanges only members of the property's type.
    const auto pause = std::find_if(map.begin(), map.end(),
                                    [](const CDispEntry& e) { return e.dispid == dispidPause; });
    pause->persistName = "Pause";
    pause->persistOrder = 4;
    pause->exchange = [](COleControl& c, CPropExchange& px) {
        auto& ctrl = static_cast<CMovitrelCtrl&>(c);
        BOOL paused = ctrl.m_nPauseState != PauseState::Running ? TRUE : FALSE;
        PX_Bool(&px, "Pause", paused, FALSE);
        if (px.IsLoading()) ctrl.m_nPauseState = paused ? PauseState::User : PauseState::Running;
    };
    return map;
}

const CEventMap& CMovitrelCtrl::GetEventMap() const {
    static const CEventMap map =
        CEventMapBuilder()
            .Event("ClickInPic", eventidClickInPic, {{"XPoint", VT_I2}, {"YPoint", VT_I2}})
            .Event("ChangeCommand", eventidChangeCommand, {{"newCommand", VT_I2}})
            .Event("ChangeLoop", eventidChangeLoop, {{"newLoop", VT_BOOL}})
            .Event("ChangePause", eventidChangePause, {{"newPause", VT_BOOL}})
            .Build();
    return map;
}

std::vector<CLSID> CMovitrelCtrl::GetPropPageIDs() const {
    return {CLSID_MovitrelPropPage, CLSID_ControlPropPage, CLSID_PlaybackPropPage,
            CLSID_StockColorPage};
}

void* CMovitrelCtrl::GetInterface(const IID& iid) {
    if (iid == IID_IMovitrelFramePosition) return static_cast<IMovitrelFramePosition*>(this);
    return COleControl::GetInterface(iid);
}

void CMovitrelCtrl::AboutBox() {
    DoModalDialog(MovitrelAboutDialog());
}

void CMovitrelCtrl::DoPropExchange(CPropExchange* px) {
    ExchangeVersion(px, kPropertySetVersion, TRUE);
    COleControl::DoPropExchange(px);  // extent and the stock BackColor
    ExchangeDispatchProperties(px);
}

void CMovitrelCtrl::OnResetState() {
    COleControl::OnResetState();
}

void CMovitrelCtrl::FireClickInPic(int16_t x, int16_t y) {
    FireEvent(eventidClickInPic, {CVariant::I2(x), CVariant::I2(y)});
}

void CMovitrelCtrl::FireChangeCommand(int16_t newCommand) {
    FireEvent(eventidChangeCommand, {CVariant::I2(newCommand)});
}

void CMovitrelCtrl::FireChangeLoop(BOOL newLoop) {
    FireEvent(eventidChangeLoop, {CVariant::Bool(newLoop)});
}

void CMovitrelCtrl::FireChangePause(BOOL newPause) {
    FireEvent(eventidChangePause, {CVariant::Bool(newPause)});
}
