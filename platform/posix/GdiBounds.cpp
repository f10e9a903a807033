// A device over part of another: a view of the same surface where the bounds start on it,
// else a scratch surface whose visible part is copied back when the drawing ends.
#include <algorithm>

#include "platform/Gdi.h"

CBoundsDC::CBoundsDC(CDC* dc, const CRect& bounds) : m_dc(dc), m_bounds(bounds) {
    if (dc == nullptr) {
        m_view = std::make_unique<CDC>();
        return;
    }
    if (!dc->GetSafeHdc()) return;
    const int32_t left = std::max(bounds.left, int32_t(0));
    const int32_t top = std::max(bounds.top, int32_t(0));
    const int32_t right = std::min(bounds.right, dc->Width());
    const int32_t bottom = std::min(bounds.bottom, dc->Height());
    if (bounds.left == 0 && bounds.top == 0 && right == dc->Width() && bottom == dc->Height()) {
        return;  // the bounds are the device
    }
    if (right <= left || bottom <= top) {
        m_view = std::make_unique<CDC>();  // nothing of the bounds is on the device
    } else if (bounds.left >= 0 && bounds.top >= 0) {
        m_view = std::make_unique<CDC>(dc->Row(top) + left, right - left, bottom - top,
                                       dc->StrideBytes());
    } else {
        // The corner lies off the device: draw the whole bounds aside. The scratch starts as
        // the device, for what the drawing leaves alone.
        m_view = std::make_unique<CDC>(bounds.Width(), bounds.Height());
        m_scratch = true;
        CopyVisible(*dc, *m_view, false);
    }
}

CBoundsDC::~CBoundsDC() {
    if (m_scratch) CopyVisible(*m_dc, *m_view, true);
}

CDC* CBoundsDC::Device() {
    return m_view ? m_view.get() : m_dc;
}

void CBoundsDC::CopyVisible(CDC& device, CDC& scratch, bool toDevice) const {
    if (!scratch.GetSafeHdc()) return;
    const int32_t left = std::max(m_bounds.left, int32_t(0));
    const int32_t top = std::max(m_bounds.top, int32_t(0));
    const int32_t right = std::min(m_bounds.right, device.Width());
    const int32_t bottom = std::min(m_bounds.bottom, device.Height());
    for (int32_t y = top; y < bottom; ++y) {
        uint32_t* onDevice = device.Row(y) + left;
        uint32_t* aside = scratch.Row(y - m_bounds.top) + (left - m_bounds.left);
        if (toDevice) {
            std::copy(aside, aside + (right - left), onDevice);
        } else {
            std::copy(onDevice, onDevice + (right - left), aside);
        }
    }
}
