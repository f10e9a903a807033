// What a container gives a control, and how it listens to one.
#pragma once

#include <vector>

#include "framework/DialogTemplate.h"
#include "framework/Variant.h"

class COleControl;

// The container's side of one hosted control. All calls arrive on the control's thread,
// which is the container's thread.
class IControlSite {
public:
    virtual ~IControlSite() = default;

    // Paint the control at once: the site calls COleControl::Draw with a device over its
    // backing store before returning.
    virtual void RedrawControlNow() = 0;
    // Paint the area (null: the whole control) at the site's next opportunity.
    virtual void InvalidateControl(const RECT* rect) = 0;
    // The ambient property's value; FALSE when the container does not know it.
    virtual BOOL GetAmbientProperty(DISPID dispid, CVariant* value) = 0;
    // The control's state needs saving (TRUE) or has just been saved (FALSE).
    virtual void OnControlModified(BOOL modified) = 0;
    // The control asks to be placed at this rectangle of the container's client area.
    virtual void OnPosRectChange(const RECT& rect) = 0;
    // The Edit verb: activate the control in place (its window live). TRUE if it is.
    virtual BOOL ActivateInPlace() = 0;
    // The Properties verb: show these pages in a property frame. FALSE if none is shown.
    virtual BOOL ShowPropertyPages(const std::vector<CLSID>& pages) = 0;
    // Shows a modal dialog built from the template; the id of the button that closed it.
    virtual int32_t DoModalDialog(const CDialogTemplate& dialog) = 0;
};

// A connection to the control's event interface.
class IControlEventSink {
public:
    virtual ~IControlEventSink() = default;
    virtual void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) = 0;
};

// A connection to the control's property-change notifications (bound properties). On
// Windows it is the system's COM interface of that name, whose OnChanged takes the same DISPID.
#ifndef _WIN32
class IPropertyNotifySink {
public:
    virtual ~IPropertyNotifySink() = default;
    virtual void OnChanged(DISPID dispid) = 0;
};
#endif
