// The resize border the Qt container draws around a control that is active in place, and the
// drag that follows the mouse when the control asks for one.
//
// The border lies outside the control: a hatched band with eight handles, each a square of
// m_nHandleSize pixels. The control places itself, after a drag, at m_rect moved by its own
// position plus m_nHandleSize - 1; the tracker keeps m_rect that much up and left of the
// control's client rectangle, so a drag reports exactly the rectangle the mouse showed.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include "framework/RectTracker.h"

class QEventLoop;
class QPainter;
class QPalette;
class QWidget;

class QtRectTracker : public QObject, public CRectTracker {
    Q_OBJECT
public:
    // What lies under a point: one of the handles, the band between them, or neither.
    enum Hit {
        hitNothing = -1,
        hitTopLeft,
        hitTopRight,
        hitBottomRight,
        hitBottomLeft,
        hitTop,
        hitRight,
        hitBottom,
        hitLeft,
        hitMiddle,
    };

    // host: the widget the rectangles are measured in; it takes the mouse during a drag.
    explicit QtRectTracker(QWidget* host);

    // Stands around the control at this rectangle of the host.
    void Place(const QRect& control);
    // The control's rectangle in the host as the tracker stands: during a drag, where the
    // mouse has taken it.
    QRect TrackedRect() const;
    // For a point of the host; a point inside the control hits nothing.
    Hit HitTest(QPoint point) const;
    // The handle's square in the host.
    QRect HandleRect(Hit handle) const;
    static uint32_t HitTestCode(Hit hit);
    static Qt::CursorShape CursorFor(Hit hit);

    bool IsTracking() const { return m_loop != nullptr; }
    // The band and its handles, and the outline of a drag under way.
    void Draw(QPainter& painter, const QPalette& palette) const;

    // Runs an event loop of its own until the left button is released (TRUE) or the drag is
    // given up: Escape, another button, or the host losing the mouse (FALSE, m_rect as before).
    // Do not delete the host during the drag other than by deleteLater.
    BOOL Track(COleControl* wnd, CPoint point, BOOL allowInvert = FALSE,
               COleControl* wndClipTo = nullptr) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int32_t Offset() const { return m_nHandleSize - 1; }
    void Follow(QPointF global);
    void Finish(bool accepted);

    QPointer<QWidget> m_host;
    QRect m_placed;  // the control in the host while nothing is dragged
    QEventLoop* m_loop = nullptr;
    Hit m_hit = hitNothing;  // what the drag took hold of
    CRect m_start;           // m_rect when the drag began
    QPoint m_pressPoint;     // in the host
    bool m_allowInvert = false;
    bool m_accepted = false;
};
