// Drawing: into a container's device through IViewObject2, and the redraws the control asks
// for, in its own window or through the container's view sink.
#include "framework/win32/ComControlObject.h"

HRESULT CControlObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                             LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                             ULONG_PTR) {
    return Guard([&] {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!dc || !bounds) return E_INVALIDARG;
        const CRect rect(bounds->left, bounds->top, bounds->right, bounds->bottom);
        CDC device(dc);
        m_control->Draw(&device, rect, rect);
        return S_OK;
    });
}

HRESULT CControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
    return Guard([&] {
        if (out) *out = nullptr;
        return S_FALSE;
    });
}

HRESULT CControlObject::Freeze(DWORD, LONG, void*, DWORD*) {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::Unfreeze(DWORD) {
    return Guard([] { return E_NOTIMPL; });
}

HRESULT CControlObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    return Guard([&] {
        m_viewSink = sink;
        m_viewAspects = aspects;
        m_viewFlags = flags;
        return S_OK;
    });
}

HRESULT CControlObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    return Guard([&] {
        if (aspects) *aspects = m_viewAspects;
        if (flags) *flags = m_viewFlags;
        if (sink) *sink = m_viewSink.CopyOut();
        return S_OK;
    });
}

HRESULT CControlObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

void CControlObject::RedrawControlNow() {
    const HWND hwnd = m_control->GetSafeHwnd();
    if (!hwnd || !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) {
        // Not on show in a window of its own: the container redraws it through IViewObject.
        if (m_viewSink) m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
        return;
    }
    // Drawn aside and copied in one piece, so a paint never shows half a frame.
    const CRect client = m_control->GetClientRect();
    if (client.IsRectEmpty()) return;
    if (!m_aside || m_aside->Width() != client.Width() || m_aside->Height() != client.Height()) {
        m_aside.reset();
        m_aside = std::make_unique<CDC>(client.Width(), client.Height());
    }
    m_control->Draw(m_aside.get(), client, client);
    HDC dc = GetDC(hwnd);
    BitBlt(dc, 0, 0, client.Width(), client.Height(), m_aside->GetSafeHdc(), 0, 0, SRCCOPY);
    ReleaseDC(hwnd, dc);
    ValidateRect(hwnd, nullptr);
}

void CControlObject::InvalidateControl(const RECT* rect) {
    const HWND hwnd = m_control->GetSafeHwnd();
    if (hwnd && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) {
        InvalidateRect(hwnd, rect, FALSE);
    } else if (m_viewSink) {
        m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
    }
}
