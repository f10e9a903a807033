// A Qt 6 Widgets container for one control, placed the way a form places a control.
//
// The widget is the container's client area. The control sits in it at (border, border)
// and fills the rest; the border (0 unless set) is the resize frame a form draws at design
// time around a control that is active in place. A press on it reaches the control as a
// non-client press, and the widget lends the control the tracker that follows the drag; when
// the control then asks for a new rectangle the widget takes on its size.
// The control paints into a QImage that the widget shows as it is: the device context draws
// straight into the image's pixels. Messages other threads post to the control's window are
// delivered from the Qt event loop. The control's events come out as Qt signals.
//
// Use it on the GUI thread only. The control must outlive the widget.
#pragma once

#include <QImage>
#include <QVariant>
#include <QWidget>
#include <map>
#include <memory>

#include "framework/OleControl.h"
#include "framework/RectTracker.h"
#include "host/qt/PropertyFrame.h"
#include "host/qt/QtMessagePump.h"
#include "host/qt/QtRectTracker.h"

class MovitrelWidget : public QWidget,
                       public IControlSite,
                       public IRectTrackerSite,
                       private IControlEventSink,
                       private IPropertyNotifySink {
    Q_OBJECT
public:
    // Attaches to the control; the window is created when the widget is first shown, or by
    // CreateControlWindow.
    explicit MovitrelWidget(COleControl& control, QWidget* parent = nullptr);
    // Destroys the control's window (which stops whatever the control runs), then detaches.
    ~MovitrelWidget() override;

    COleControl& Control() { return m_control; }

    // ---- Window ---------------------------------------------------------------------------
    bool CreateControlWindow();
    void DestroyControlWindow();
    bool IsWindowLive() const { return m_control.GetSafeHwnd() != nullptr; }
    // Whether showing the widget creates the control's window (on by default).
    void SetCreateOnShow(bool on) { m_createOnShow = on; }

    // The resize frame's width, in pixels, around a control that is active in place; 0 for
    // none. The frame's handles are that size.
    void SetResizeBorder(int32_t pixels);
    int32_t ResizeBorder() const { return m_border; }
    // Whether a drag of the frame is under way.
    bool IsTrackingBorder() const { return m_tracker.IsTracking(); }
    // The control's rectangle in the widget.
    QRect ControlRect() const { return m_controlRect; }

    // ---- Properties and methods, by name or by DISPID written as a decimal number --------
    // An invalid QVariant when the property cannot be read; *error says why.
    QVariant ControlProperty(const QString& nameOrDispid, QString* error = nullptr);
    bool SetControlProperty(const QString& nameOrDispid, const QVariant& value,
                            QString* error = nullptr);
    bool InvokeControlMethod(const QString& nameOrDispid, QString* error = nullptr);

    // ---- Saved state ----------------------------------------------------------------------
    // Loading or resetting a control whose window is live re-creates the window, so that the
    // loaded values reach everything the window starts.
    bool SaveState(const QString& path, QString* error = nullptr);
    bool LoadState(const QString& path, QString* error = nullptr);
    void ResetState();

    // ---- Painting -------------------------------------------------------------------------
    // The control as last painted (a copy).
    QImage Snapshot() const { return m_backing.copy(); }
    int32_t PaintCount() const { return m_paints; }
    // Paints the control now, if its window is live.
    void PaintControl();

    // ---- Input ----------------------------------------------------------------------------
    // A mouse message at a point in the control's client coordinates, delivered at once, as
    // the widget's own mouse handling does; the control is painted afterwards if it asked.
    void SendMouse(uint32_t msg, int32_t x, int32_t y, uint32_t flags);

    // ---- Property pages -------------------------------------------------------------------
    // Where the frame gets the pages the control names; the pages linked into the program
    // unless set. The stock colour page is the container's own either way.
    void SetPageFactory(PageFactory factory) { m_pageFactory = std::move(factory); }
    // The control's Properties verb: its pages in a modal frame. False when none was shown.
    bool ShowProperties();

    // ---- Ambient properties the container answers besides its palette --------------------
    void SetAmbient(DISPID dispid, const CVariant& value);

    // The control's size the widget asks its layout for (400 by 300 unless set).
    void SetPreferredSize(QSize size);
    QSize sizeHint() const override;

    // ---- IControlSite ---------------------------------------------------------------------
    void RedrawControlNow() override;
    void InvalidateControl(const RECT* rect) override;
    BOOL GetAmbientProperty(DISPID dispid, CVariant* value) override;
    void OnControlModified(BOOL modified) override;
    void OnPosRectChange(const RECT& rect) override;
    BOOL ActivateInPlace() override;
    BOOL ShowPropertyPages(const std::vector<CLSID>& pages) override;
    int32_t DoModalDialog(const CDialogTemplate& dialog) override;

    // ---- IRectTrackerSite -----------------------------------------------------------------
    // The frame's tracker while the frame is shown, else null.
    CRectTracker* GetRectTracker() override;

Q_SIGNALS:
    // Every event the control fires, in order; the typed signals below follow each one.
    void controlEvent(int dispid, const QString& name, const QVariantList& args);
    void clickInPic(int x, int y);
    void changeCommand(int newCommand);
    void changeLoop(bool newLoop);
    void changePause(bool newPause);
    // A bound property changed (its DISPID).
    void propertyChanged(int dispid);
    void modifiedChanged(bool modified);
    // The control asked for this rectangle (the widget's coordinates). The widget has taken
    // on its size and keeps the control at (border, border); a window that places the widget
    // moves it by the difference to follow a move.
    void posRectChanged(const QRect& rect);
    void propertyPagesRequested(int count);
    // The control finished painting into the image.
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) override;
    void OnChanged(DISPID dispid) override;

    void PlaceControl(const QRect& rect);
    QRect FittedControlRect() const;
    bool ResolveDispid(const QString& nameOrDispid, DISPID* dispid, QString* error) const;
    // Sends a mouse message for a widget point; false when the point lies outside the control.
    bool DeliverMouse(uint32_t msg, const QMouseEvent* event);
    void PaintIfInvalid();
    bool BorderShown() const;

    COleControl& m_control;
    QtMessagePump::Holder m_pump;
    QImage m_backing;           // the control's pixels; the device context draws into them
    std::unique_ptr<CDC> m_dc;  // borrows m_backing's pixels
    QRect m_controlRect;
    int32_t m_border = 0;
    QSize m_preferred{400, 300};
    bool m_createOnShow = true;
    bool m_invalid = true;
    int32_t m_paints = 0;
    uint32_t m_eventCookie = 0;
    uint32_t m_notifyCookie = 0;
    std::map<DISPID, CVariant> m_ambient;
    PageFactory m_pageFactory = CreatePageFromRegistry;
    QtRectTracker m_tracker{this};
};
