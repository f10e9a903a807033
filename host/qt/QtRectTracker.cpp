#include "host/qt/QtRectTracker.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QWidget>
#include <algorithm>

QtRectTracker::QtRectTracker(QWidget* host) : m_host(host) {}

void QtRectTracker::Place(const QRect& control) {
    m_placed = control;
    const int32_t n = Offset();
    m_rect = CRect(-n, -n, control.width() - n, control.height() - n);
}

QRect QtRectTracker::TrackedRect() const {
    const int32_t n = Offset();
    return QRect(m_placed.left() + m_rect.left + n, m_placed.top() + m_rect.top + n, m_rect.Width(),
                 m_rect.Height());
}

namespace {

// Each handle: where it sits along each side (0 the low edge, 1 the middle, 2 the high edge),
// which therefore are the edges it drags, its hit-test code and its cursor.
struct HandleInfo {
    int32_t column;
    int32_t row;
    uint32_t code;
    Qt::CursorShape cursor;
};
constexpr HandleInfo kHandles[] = {
    {0, 0, HTTOPLEFT, Qt::SizeFDiagCursor},     {2, 0, HTTOPRIGHT, Qt::SizeBDiagCursor},
    {2, 2, HTBOTTOMRIGHT, Qt::SizeFDiagCursor}, {0, 2, HTBOTTOMLEFT, Qt::SizeBDiagCursor},
    {1, 0, HTTOP, Qt::SizeVerCursor},           {2, 1, HTRIGHT, Qt::SizeHorCursor},
    {1, 2, HTBOTTOM, Qt::SizeVerCursor},        {0, 1, HTLEFT, Qt::SizeHorCursor},
};

bool IsHandle(QtRectTracker::Hit hit) {
    return hit >= QtRectTracker::hitTopLeft && hit <= QtRectTracker::hitLeft;
}

// The handle's offset along one side of the control: outside the low edge, centred, or
// outside the high edge.
int32_t Along(int32_t place, int32_t start, int32_t length, int32_t handle) {
    if (place == 0) return start - handle;
    if (place == 1) return start + (length - handle) / 2;
    return start + length;
}

}  // namespace

QRect QtRectTracker::HandleRect(Hit handle) const {
    if (!IsHandle(handle)) return QRect();
    const HandleInfo& info = kHandles[handle];
    const int32_t h = m_nHandleSize;
    return QRect(Along(info.column, m_placed.left(), m_placed.width(), h),
                 Along(info.row, m_placed.top(), m_placed.height(), h), h, h);
}

QtRectTracker::Hit QtRectTracker::HitTest(QPoint point) const {
    const int32_t h = m_nHandleSize;
    if (m_placed.isEmpty() || m_placed.contains(point) ||
        !m_placed.adjusted(-h, -h, h, h).contains(point)) {
        return hitNothing;
    }
    for (int32_t i = hitTopLeft; i <= hitLeft; ++i)
        if (HandleRect(Hit(i)).contains(point)) return Hit(i);
    return hitMiddle;
}

uint32_t QtRectTracker::HitTestCode(Hit hit) {
    if (IsHandle(hit)) return kHandles[hit].code;
    return hit == hitMiddle ? HTBORDER : HTCLIENT;
}

Qt::CursorShape QtRectTracker::CursorFor(Hit hit) {
    if (IsHandle(hit)) return kHandles[hit].cursor;
    return hit == hitMiddle ? Qt::SizeAllCursor : Qt::ArrowCursor;
}

void QtRectTracker::Draw(QPainter& painter, const QPalette& palette) const {
    if (m_placed.isEmpty()) return;
    const int32_t hatch = std::max(1, Offset());
    const QRect outer = m_placed.adjusted(-hatch, -hatch, hatch, hatch);
    painter.save();
    painter.setClipRegion(QRegion(outer).subtracted(QRegion(m_placed)));
    painter.fillRect(outer, QBrush(palette.color(QPalette::Dark), Qt::BDiagPattern));
    painter.setClipping(false);
    for (int32_t i = hitTopLeft; i <= hitLeft; ++i)
        painter.fillRect(HandleRect(Hit(i)), palette.color(QPalette::WindowText));
    if (m_loop) {
        painter.setPen(QPen(palette.color(QPalette::WindowText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(TrackedRect().adjusted(0, 0, -1, -1));
    }
    painter.restore();
}

BOOL QtRectTracker::Track(COleControl*, CPoint point, BOOL allowInvert, COleControl*) {
    if (m_loop || !m_host) return FALSE;
    m_pressPoint = QPoint(point.x, point.y) + m_placed.topLeft();
    m_hit = HitTest(m_pressPoint);
    if (m_hit == hitNothing) return FALSE;
    m_start = m_rect;
    m_allowInvert = allowInvert != FALSE;
    m_accepted = false;

    QPointer<QWidget> host = m_host;
    QEventLoop loop;
    m_loop = &loop;
    // The keyboard needs no grab: the filter sees every key while the drag lasts.
    host->grabMouse(QCursor(CursorFor(m_hit)));
    qApp->installEventFilter(this);
    host->update();
    loop.exec();
    qApp->removeEventFilter(this);
    m_loop = nullptr;
    if (host) {
        if (QWidget::mouseGrabber() == host) host->releaseMouse();
        host->update();
    }
    if (!m_accepted) {
        m_rect = m_start;
        return FALSE;
    }
    return TRUE;
}

void QtRectTracker::Follow(QPointF global) {
    const QPoint d = m_host->mapFromGlobal(global).toPoint() - m_pressPoint;
    CRect r = m_start;
    const HandleInfo* info = IsHandle(m_hit) ? &kHandles[m_hit] : nullptr;
    const bool left = info && info->column == 0;
    const bool right = info && info->column == 2;
    const bool top = info && info->row == 0;
    const bool bottom = info && info->row == 2;
    if (m_hit == hitMiddle) {
        r = CRect(r.left + d.x(), r.top + d.y(), r.right + d.x(), r.bottom + d.y());
    } else {
        // An edge stops a pixel short of the opposite one unless the rectangle may turn over.
        if (left) r.left = m_allowInvert ? r.left + d.x() : std::min(r.left + d.x(), r.right - 1);
        if (right)
            r.right = m_allowInvert ? r.right + d.x() : std::max(r.right + d.x(), r.left + 1);
        if (top) r.top = m_allowInvert ? r.top + d.y() : std::min(r.top + d.y(), r.bottom - 1);
        if (bottom)
            r.bottom = m_allowInvert ? r.bottom + d.y() : std::max(r.bottom + d.y(), r.top + 1);
        if (r.left > r.right) std::swap(r.left, r.right);
        if (r.top > r.bottom) std::swap(r.top, r.bottom);
    }
    m_rect = r;
    m_host->update();
}

void QtRectTracker::Finish(bool accepted) {
    if (!m_loop) return;
    m_accepted = accepted;
    // Whatever the loop still delivers before it returns is no longer the drag's.
    m_loop->exit();
    m_loop = nullptr;
}

bool QtRectTracker::eventFilter(QObject* watched, QEvent* event) {
    if (!m_loop) return false;
    if (!m_host || !m_host->isVisible() || QWidget::mouseGrabber() != m_host) {
        Finish(false);
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            // The window passes its copy on to the widgets; Qt's own press bookkeeping needs
            // to see it there.
            if (!watched->isWidgetType()) return false;
            const auto* me = static_cast<QMouseEvent*>(event);
            if (event->type() == QEvent::MouseMove) {
                if (me->buttons() & Qt::LeftButton)
                    Follow(me->globalPosition());
                else
                    Finish(false);  // the release went elsewhere
            } else if (event->type() == QEvent::MouseButtonRelease) {
                if (me->button() == Qt::LeftButton) {
                    Follow(me->globalPosition());
                    Finish(true);
                }
            } else {
                Finish(false);
            }
            return true;
        }
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) Finish(false);
            return true;
        case QEvent::KeyRelease:
            return true;
        case QEvent::WindowDeactivate:
            if (watched == m_host->window()) Finish(false);
            return false;
        default:
            return false;
    }
}
