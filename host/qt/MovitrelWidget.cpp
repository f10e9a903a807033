#include "host/qt/MovitrelWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <limits>

#include "framework/PropertyBag.h"
#include "host/qt/TemplateDialog.h"

namespace {

QString HresultText(HRESULT hr) {
    switch (hr) {
        case DISP_E_UNKNOWNNAME:
            return "unknown name";
        case DISP_E_MEMBERNOTFOUND:
            return "no such property or method here";
        case DISP_E_TYPEMISMATCH:
            return "value of the wrong type";
        case DISP_E_OVERFLOW:
            return "value out of range";
        default:
            return QString("failed (0x%1)").arg(uint32_t(hr), 8, 16, QChar('0'));
    }
}

CVariant ToCVariant(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return CVariant::Bool(v.toBool() ? TRUE : FALSE);
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Char:
            return CVariant::I4(v.toInt());
        case QMetaType::UInt:
        case QMetaType::UShort:
            return CVariant::UI4(v.toUInt());
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double: {
            // Colours above 0x7FFFFFFF only fit the unsigned type; the property's own type
            // decides in the end.
            const int64_t n = v.toLongLong();
            if (n > std::numeric_limits<int32_t>::max() &&
                n <= std::numeric_limits<uint32_t>::max())
                return CVariant::UI4(uint32_t(n));
            if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
                return CVariant::Str(v.toString().toStdString());  // fails as an overflow later
            return CVariant::I4(int32_t(n));
        }
        default:
            return CVariant::Str(v.toString().toStdString());
    }
}

QVariant ToQVariant(const CVariant& v) {
    switch (v.vt()) {
        case VT_I2:
            return int(v.iVal());
        case VT_I4:
            return int(v.lVal());
        case VT_UI4:
            return uint(v.ulVal());
        case VT_BOOL:
            return v.boolVal() != 0;
        case VT_BSTR:
            return QString::fromStdString(v.bstrVal());
        default:
            return QVariant();
    }
}

OLE_COLOR OleColorOf(const QColor& c) {
    return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

}  // namespace

MovitrelWidget::MovitrelWidget(COleControl& control, QWidget* parent)
    : QWidget(parent), m_control(control) {
    setMouseTracking(true);  // the control sees moves without a button, as a window does
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_tracker.m_nStyle = CRectTracker::hatchedBorder | CRectTracker::resizeOutside;
    m_control.SetClientSite(this);
    m_eventCookie = m_control.AdviseEvents(this);
    m_notifyCookie = m_control.AdvisePropertyNotify(this);
    resize(sizeHint());
    PlaceControl(FittedControlRect());
}

MovitrelWidget::~MovitrelWidget() {
    DestroyControlWindow();
    m_control.UnadvisePropertyNotify(m_notifyCookie);
    m_control.UnadviseEvents(m_eventCookie);
    m_control.SetClientSite(nullptr);
}

void MovitrelWidget::SetPreferredSize(QSize size) {
    m_preferred = size;
    updateGeometry();
}

QSize MovitrelWidget::sizeHint() const {
    return m_preferred + QSize(2 * m_border, 2 * m_border);
}

// ---- Window -------------------------------------------------------------------------------

bool MovitrelWidget::CreateControlWindow() {
    if (IsWindowLive()) return true;
    const QRect& r = m_controlRect;
    if (!m_control.CreateControlWindow(CRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1)))
        return false;
    m_control.SetInPlaceActive(TRUE);
    PaintControl();
    return true;
}

void MovitrelWidget::DestroyControlWindow() {
    if (!IsWindowLive()) return;
    m_control.DestroyControlWindow();
    update();
}

void MovitrelWidget::SetResizeBorder(int32_t pixels) {
    m_border = std::max(0, pixels);
    if (m_border > 0) m_tracker.m_nHandleSize = m_border;
    updateGeometry();
    PlaceControl(FittedControlRect());
}

bool MovitrelWidget::BorderShown() const {
    return m_border > 0 && IsWindowLive() && m_control.IsInPlaceActive();
}

CRectTracker* MovitrelWidget::GetRectTracker() {
    return BorderShown() ? &m_tracker : nullptr;
}

QRect MovitrelWidget::FittedControlRect() const {
    return QRect(m_border, m_border, std::max(1, width() - 2 * m_border),
                 std::max(1, height() - 2 * m_border));
}

void MovitrelWidget::PlaceControl(const QRect& rect) {
    const bool resized = rect.size() != m_controlRect.size() || m_backing.isNull();
    m_controlRect = rect;
    if (resized) {
        m_dc.reset();
        m_backing = QImage(rect.size(), QImage::Format_RGB32);
        m_backing.fill(Qt::black);
        m_dc =
            std::make_unique<CDC>(reinterpret_cast<uint32_t*>(m_backing.bits()), m_backing.width(),
                                  m_backing.height(), int32_t(m_backing.bytesPerLine()));
    }
    m_control.SetRectInContainer(
        CRect(rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()));
    m_tracker.Place(rect);
    m_invalid = true;
    if (IsWindowLive() && resized) PaintControl();
    update();
}

// ---- Painting -----------------------------------------------------------------------------

void MovitrelWidget::PaintControl() {
    if (!IsWindowLive() || !m_dc) return;
    const CRect bounds(0, 0, m_backing.width(), m_backing.height());
    m_invalid = false;
    ++m_paints;
    m_control.Draw(m_dc.get(), bounds, bounds);
    update(m_controlRect);
    Q_EMIT painted();
}

void MovitrelWidget::PaintIfInvalid() {
    if (m_invalid) PaintControl();
}

void MovitrelWidget::RedrawControlNow() {
    PaintControl();
}

void MovitrelWidget::InvalidateControl(const RECT*) {
    m_invalid = true;
    update(m_controlRect);
}

void MovitrelWidget::paintEvent(QPaintEvent*) {
    PaintIfInvalid();
    QPainter p(this);
    const QRect all = rect();
    // The form around the control.
    QRegion around = QRegion(all).subtracted(QRegion(m_controlRect));
    for (const QRect& r : around) p.fillRect(r, palette().color(QPalette::Window));
    p.drawImage(m_controlRect.topLeft(), m_backing);
    if (BorderShown()) m_tracker.Draw(p, palette());
}

void MovitrelWidget::resizeEvent(QResizeEvent*) {
    PlaceControl(FittedControlRect());
}

void MovitrelWidget::showEvent(QShowEvent*) {
    if (m_createOnShow && !IsWindowLive()) CreateControlWindow();
}

void MovitrelWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        m_control.OnAmbientPropertyChange(DISPID_AMBIENT_BACKCOLOR);
        m_control.OnAmbientPropertyChange(DISPID_AMBIENT_FORECOLOR);
        update();
    }
    QWidget::changeEvent(event);
}

// ---- Mouse --------------------------------------------------------------------------------

bool MovitrelWidget::DeliverMouse(uint32_t msg, const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    // Qt keeps sending to the widget that took the press; a window that does not capture
    // the mouse sees only what happens over it.
    if (!m_controlRect.contains(p) || !IsWindowLive()) return false;
    uint32_t flags = 0;
    if (event->buttons() & Qt::LeftButton) flags |= MK_LBUTTON;
    if (event->buttons() & Qt::RightButton) flags |= MK_RBUTTON;
    const QPoint c = p - m_controlRect.topLeft();
    SendMouse(msg, c.x(), c.y(), flags);
    return true;
}

void MovitrelWidget::SendMouse(uint32_t msg, int32_t x, int32_t y, uint32_t flags) {
    if (!IsWindowLive()) return;
    SendMessage(m_control.GetSafeHwnd(), msg, flags, MAKELPARAM(x, y));
    PaintIfInvalid();
}

void MovitrelWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const QtRectTracker::Hit hit = BorderShown() ? m_tracker.HitTest(p) : QtRectTracker::hitNothing;
    if (hit != QtRectTracker::hitNothing) {
        if (event->button() != Qt::LeftButton) return;
        // The control takes the point in screen coordinates, which are this widget's: its
        // position rectangle is measured here.
        QPointer<MovitrelWidget> self(this);
        SendMessage(m_control.GetSafeHwnd(), WM_NCLBUTTONDOWN, QtRectTracker::HitTestCode(hit),
                    MAKELPARAM(p.x(), p.y()));
        if (self) PaintIfInvalid();
        return;
    }
    if (event->button() == Qt::LeftButton)
        DeliverMouse(WM_LBUTTONDOWN, event);
    else if (event->button() == Qt::RightButton)
        DeliverMouse(WM_RBUTTONDOWN, event);
}

void MovitrelWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) DeliverMouse(WM_LBUTTONUP, event);
}

void MovitrelWidget::mouseMoveEvent(QMouseEvent* event) {
    if (BorderShown() && event->buttons() == Qt::NoButton) {
        const QtRectTracker::Hit hit = m_tracker.HitTest(event->position().toPoint());
        if (hit == QtRectTracker::hitNothing)
            unsetCursor();
        else
            setCursor(QtRectTracker::CursorFor(hit));
    }
    DeliverMouse(WM_MOUSEMOVE, event);
}

// ---- Properties ---------------------------------------------------------------------------

bool MovitrelWidget::ResolveDispid(const QString& nameOrDispid, DISPID* dispid,
                                   QString* error) const {
    bool isNumber = false;
    const int32_t n = nameOrDispid.toInt(&isNumber);
    if (isNumber) {
        *dispid = n;
        return true;
    }
    HRESULT hr = m_control.GetIDOfName(nameOrDispid.toStdString(), dispid);
    if (FAILED(hr)) {
        if (error) *error = QString("%1: %2").arg(nameOrDispid, HresultText(hr));
        return false;
    }
    return true;
}

QVariant MovitrelWidget::ControlProperty(const QString& nameOrDispid, QString* error) {
    DISPID id;
    if (!ResolveDispid(nameOrDispid, &id, error)) return QVariant();
    CVariant value;
    HRESULT hr = m_control.GetProperty(id, &value);
    if (FAILED(hr)) {
        if (error) *error = QString("%1: %2").arg(nameOrDispid, HresultText(hr));
        return QVariant();
    }
    return ToQVariant(value);
}

bool MovitrelWidget::SetControlProperty(const QString& nameOrDispid, const QVariant& value,
                                        QString* error) {
    DISPID id;
    if (!ResolveDispid(nameOrDispid, &id, error)) return false;
    HRESULT hr = m_control.SetProperty(id, ToCVariant(value));
    if (FAILED(hr)) {
        if (error) *error = QString("%1: %2").arg(nameOrDispid, HresultText(hr));
        return false;
    }
    PaintIfInvalid();
    return true;
}

bool MovitrelWidget::InvokeControlMethod(const QString& nameOrDispid, QString* error) {
    DISPID id;
    if (!ResolveDispid(nameOrDispid, &id, error)) return false;
    HRESULT hr = m_control.InvokeMethod(id);
    if (FAILED(hr)) {
        if (error) *error = QString("%1: %2").arg(nameOrDispid, HresultText(hr));
        return false;
    }
    PaintIfInvalid();
    return true;
}

// ---- Saved state --------------------------------------------------------------------------

bool MovitrelWidget::SaveState(const QString& path, QString* error) {
    CPropertyBag bag;
    m_control.SaveProperties(bag);
    CString why;
    if (!bag.SaveToFile(path.toStdString(), &why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    return true;
}

bool MovitrelWidget::LoadState(const QString& path, QString* error) {
    CPropertyBag bag;
    CString why;
    if (!bag.LoadFromFile(path.toStdString(), &why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    const bool live = IsWindowLive();
    DestroyControlWindow();
    m_control.LoadProperties(bag);
    if (live) CreateControlWindow();
    return true;
}

void MovitrelWidget::ResetState() {
    const bool live = IsWindowLive();
    DestroyControlWindow();
    m_control.OnResetState();
    if (live) CreateControlWindow();
}

// ---- Container answers --------------------------------------------------------------------

void MovitrelWidget::SetAmbient(DISPID dispid, const CVariant& value) {
    m_ambient[dispid] = value;
    m_control.OnAmbientPropertyChange(dispid);
}

BOOL MovitrelWidget::GetAmbientProperty(DISPID dispid, CVariant* value) {
    auto it = m_ambient.find(dispid);
    if (it != m_ambient.end()) {
        *value = it->second;
        return TRUE;
    }
    switch (dispid) {
        case DISPID_AMBIENT_BACKCOLOR:
            *value = CVariant::Color(OleColorOf(palette().color(QPalette::Window)));
            return TRUE;
        case DISPID_AMBIENT_FORECOLOR:
            *value = CVariant::Color(OleColorOf(palette().color(QPalette::WindowText)));
            return TRUE;
        case DISPID_AMBIENT_USERMODE:
            *value = CVariant::Bool(TRUE);
            return TRUE;
        case DISPID_AMBIENT_DISPLAYNAME:
            if (objectName().isEmpty()) return FALSE;
            *value = CVariant::Str(objectName().toStdString());
            return TRUE;
        default:
            return FALSE;
    }
}

void MovitrelWidget::OnControlModified(BOOL modified) {
    Q_EMIT modifiedChanged(modified != FALSE);
}

void MovitrelWidget::OnPosRectChange(const RECT& rect) {
    const CRect r(rect);
    const QRect q(r.left, r.top, std::max(1, r.Width()), std::max(1, r.Height()));
    // The form follows its control: it grows or shrinks so the control keeps its frame, and
    // a layout asks for the new size from now on.
    m_preferred = q.size();
    updateGeometry();
    const QSize wanted = q.size() + QSize(2 * m_border, 2 * m_border);
    if (wanted != size()) {
        QWidget* top = window();
        if (top != this) top->resize(top->size() + (wanted - size()));
        resize(wanted);
    }
    // A hidden widget learns its new size only when shown.
    PlaceControl(FittedControlRect());
    Q_EMIT posRectChanged(q);
}

BOOL MovitrelWidget::ActivateInPlace() {
    return CreateControlWindow() ? TRUE : FALSE;
}

bool MovitrelWidget::ShowProperties() {
    return m_control.DoVerb(OLEIVERB_PROPERTIES) == S_OK;
}

BOOL MovitrelWidget::ShowPropertyPages(const std::vector<CLSID>& pages) {
    Q_EMIT propertyPagesRequested(int(pages.size()));
    const QString caption = objectName().isEmpty() ? QString("Control Properties")
                                                   : QString("%1 Properties").arg(objectName());
    PropertyFrame frame(m_control, pages, m_pageFactory, caption, this);
    if (frame.PageCount() == 0) return FALSE;
    frame.exec();
    PaintIfInvalid();
    return TRUE;
}

int32_t MovitrelWidget::DoModalDialog(const CDialogTemplate& dialog) {
    TemplateDialog box(dialog, this);
    return box.Run();
}

// ---- Control to container -----------------------------------------------------------------

void MovitrelWidget::OnEvent(DISPID dispid, const CString& name,
                             const std::vector<CVariant>& args) {
    QVariantList list;
    for (const CVariant& a : args) list.push_back(ToQVariant(a));
    const QString qname = QString::fromStdString(name);
    Q_EMIT controlEvent(dispid, qname, list);
    auto arg = [&](size_t i) { return i < args.size() ? list[int(i)] : QVariant(); };
    if (qname == "ClickInPic")
        Q_EMIT clickInPic(arg(0).toInt(), arg(1).toInt());
    else if (qname == "ChangeCommand")
        Q_EMIT changeCommand(arg(0).toInt());
    else if (qname == "ChangeLoop")
        Q_EMIT changeLoop(arg(0).toBool());
    else if (qname == "ChangePause")
        Q_EMIT changePause(arg(0).toBool());
}

void MovitrelWidget::OnChanged(DISPID dispid) {
    Q_EMIT propertyChanged(dispid);
}
