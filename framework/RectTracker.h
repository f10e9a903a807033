// The resize border a container draws around a control that is active in place, and what the
// container implements to lend it to the control.
#pragma once

#include "framework/WinTypes.h"

class COleControl;

// The border tracker of an in-place active control, as the container draws it. The container
// lends it (IRectTrackerSite); the control lets it follow the mouse to resize itself.
class CRectTracker {
public:
    enum StyleFlags : uint32_t {
        solidLine = 1,
        dottedLine = 2,
        hatchedBorder = 4,
        resizeInside = 8,
        resizeOutside = 16,
        hatchInside = 32,
    };

    virtual ~CRectTracker() = default;

    // Follows the mouse from point (control client coordinates) until the button is released
    // and leaves the final rectangle in m_rect; FALSE when the drag was cancelled. The base has
    // no mouse to follow and always cancels.
    virtual BOOL Track(COleControl* wnd, CPoint point, BOOL allowInvert = FALSE,
                       COleControl* wndClipTo = nullptr) {
        return FALSE;
    }

    // In the control's client coordinates. After a drag the control asks to be placed at this
    // rectangle moved by its own position plus m_nHandleSize - 1 each way.
    CRect m_rect;
    uint32_t m_nStyle = 0;
    int32_t m_nHandleSize = 8;
};

// What a container implements, beside IControlSite, when it draws a resize border around an
// in-place active control.
class IRectTrackerSite {
public:
    virtual ~IRectTrackerSite() = default;
    // The tracker around the control, or null while there is none.
    virtual CRectTracker* GetRectTracker() = 0;
};
