// What the control asks of its container (IControlSite): the container's window, its ambient
// properties, a property frame and a modal dialog.
#include "framework/win32/ComControlObject.h"

HWND CControlObject::ContainerWindow() const {
    HWND hwnd = m_control->GetSafeHwnd();
    if (hwnd) return GetParent(hwnd) ? GetParent(hwnd) : hwnd;
    if (const auto window = m_clientSite.As<IOleWindow>()) window->GetWindow(&hwnd);
    return hwnd;
}

BOOL CControlObject::GetAmbientProperty(DISPID dispid, CVariant* value) {
    if (!m_ambient) return FALSE;
    DISPPARAMS none{};
    CVariantHolder result;
    const HRESULT hr =
        m_ambient->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          result.Get(), nullptr, nullptr);
    if (FAILED(hr)) return FALSE;
    *value = AsCVariant(*result.Get());
    return value->IsEmpty() ? FALSE : TRUE;
}

BOOL CControlObject::ShowPropertyPages(const std::vector<CLSID>& pages) {
    if (pages.empty()) return FALSE;
    const CBstrHolder caption(BstrFromString(m_info.typeName));
    if (!caption.Get()) return FALSE;
    IUnknown* self = static_cast<IDispatch*>(this);
    const HRESULT hr = OleCreatePropertyFrame(ContainerWindow(), 0, 0, caption.Get(), 1, &self,
                                              ULONG(pages.size()), const_cast<CLSID*>(pages.data()),
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    return SUCCEEDED(hr) ? TRUE : FALSE;
}

namespace {

INT_PTR CALLBACK ModalDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
        (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (msg == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int32_t CControlObject::DoModalDialog(const CDialogTemplate& dialog) {
    const std::vector<WORD> words = BuildDialogTemplate(
        dialog, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    const INT_PTR id = DialogBoxIndirectParamW(FrameworkModule(),
                                               reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                               ContainerWindow(), ModalDialogProc, 0);
    return id < 0 ? IDCANCEL : int32_t(id);
}

void CControlObject::OnPosRectChange(const RECT& rect) {
    if (m_inPlaceSite) m_inPlaceSite->OnPosRectChange(&rect);
}

BOOL CControlObject::ActivateInPlace() {
    return SUCCEEDED(InPlaceActivate(false)) ? TRUE : FALSE;
}
