// The Qt container's resize frame around an in-place active control: dragging its handles and
// band resizes or moves the control through the control's own non-client handling, a drag
// given up changes nothing, and presses inside the frame still reach the control. Each drag
// runs the tracker's own event loop, driven here from a timer that fires inside it.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "control/MovitrelCtrl.h"
#include "framework/PropertyBag.h"
#include "host/qt/MovitrelWidget.h"
#include "tests/hostqt/QtTests.h"

namespace {

constexpr int32_t kWidth = 400;
constexpr int32_t kHeight = 300;
constexpr int32_t kBorder = 6;

// Centres of the frame's handles around a 400 by 300 control at (6, 6).
const QPoint kBottomRight(kBorder + kWidth + kBorder / 2, kBorder + kHeight + kBorder / 2);
const QPoint kTopLeft(kBorder / 2, kBorder / 2);
const QPoint kRightMiddle(kBorder + kWidth + kBorder / 2,
                          kBorder + (kHeight - kBorder) / 2 + kBorder / 2);
const QPoint kTopBand(kBorder + 100, kBorder / 2);  // on the band, clear of every handle

// The strip of a 400 by 300 control: buttons from x 110, 20 wide, in the row y 280 to 299.
constexpr int32_t kLoopButtonX = 110 + 20 * 8 + 10;
constexpr int32_t kButtonY = 290;

SIZE SavedExtent(COleControl& ctrl) {
    CPropertyBag bag;
    ctrl.SaveProperties(bag, FALSE);
    return SIZE{int32_t(std::stol(*bag.Read("_ExtentX"))),
                int32_t(std::stol(*bag.Read("_ExtentY")))};
}

enum class Ending { Release, Escape, LostGrab, RightButton };

}  // namespace

class BorderTrackerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;  // no frames: the control shows its background
    std::unique_ptr<CMovitrelCtrl> m_ctrl;
    std::unique_ptr<MovitrelWidget> m_widget;
    SIZE m_extent{};
    bool m_trackedDuringDrag = false;

    // A 400 by 300 control, saved at that size, shown inside a frame of the given width and
    // saved again so it is unmodified.
    void Open(int32_t border) {
        m_ctrl = std::make_unique<CMovitrelCtrl>();
        m_widget = std::make_unique<MovitrelWidget>(*m_ctrl);
        CPropertyBag saved;
        saved.Write("_ExtentX", std::to_string(PixelsToHimetric(kWidth)));
        saved.Write("_ExtentY", std::to_string(PixelsToHimetric(kHeight)));
        saved.Write("Dir", m_dir.path().toStdString());
        m_ctrl->LoadProperties(saved);
        QCOMPARE(m_widget->ControlProperty("Dir").toString(), m_dir.path());
        m_widget->SetResizeBorder(border);
        m_widget->resize(kWidth + 2 * border, kHeight + 2 * border);
        m_widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_widget.get()));
        QVERIFY(m_widget->IsWindowLive());
        QCOMPARE(m_widget->ControlRect(), QRect(border, border, kWidth, kHeight));
        CPropertyBag bag;
        m_ctrl->SaveProperties(bag);
        QVERIFY(!m_ctrl->IsModified());
        m_extent = SavedExtent(*m_ctrl);
    }

    // Presses the left button at from (or runs press); a timer, which fires inside the drag's
    // loop when one starts, moves the mouse by delta in two steps and ends as asked. Returns
    // when the timer has run; m_trackedDuringDrag tells whether a drag was under way then.
    void Drag(QPoint from, QPoint delta, Ending ending = Ending::Release,
              const std::function<void()>& press = {}) {
        MovitrelWidget* w = m_widget.get();
        const QPoint to = from + delta;
        bool ran = false;
        m_trackedDuringDrag = false;
        QWidget thief;
        QTimer::singleShot(0, w, [&] {
            m_trackedDuringDrag = w->IsTrackingBorder();
            QTest::mouseMove(w, from + delta / 2);
            QTest::mouseMove(w, to);
            switch (ending) {
                case Ending::Release:
                    break;
                case Ending::Escape:
                    QTest::keyClick(w, Qt::Key_Escape);
                    break;
                case Ending::LostGrab:
                    thief.grabMouse();
                    QTest::mouseMove(w, to + QPoint(1, 1));
                    thief.releaseMouse();
                    break;
                case Ending::RightButton:
                    QTest::mousePress(w, Qt::RightButton, {}, to);
                    QTest::mouseRelease(w, Qt::RightButton, {}, to);
                    break;
            }
            // After a drag given up, the release must not bring it back.
            QTest::mouseRelease(w, Qt::LeftButton, {}, to);
            ran = true;
        });
        if (press)
            press();
        else
            QTest::mousePress(w, Qt::LeftButton, {}, from);
        QTRY_VERIFY_WITH_TIMEOUT(ran, 10000);
        QVERIFY(!w->IsTrackingBorder());
    }

    void VerifyUnchanged(int32_t border, const QSignalSpy& moves) {
        QCOMPARE(m_widget->ControlRect(), QRect(border, border, kWidth, kHeight));
        QCOMPARE(m_widget->size(), QSize(kWidth + 2 * border, kHeight + 2 * border));
        QCOMPARE(m_ctrl->GetClientRect().Width(), kWidth);
        QCOMPARE(m_ctrl->GetClientRect().Height(), kHeight);
        QCOMPARE(moves.count(), 0);
        QVERIFY(!m_ctrl->IsModified());
        const SIZE extent = SavedExtent(*m_ctrl);
        QCOMPARE(extent.cx, m_extent.cx);
        QCOMPARE(extent.cy, m_extent.cy);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void cleanup() {
        m_widget.reset();
        m_ctrl.reset();
    }

    void dragResizesOrMovesTheControl_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("requested");  // what the control asks for, widget coordinates
        QTest::newRow("bottom-right out")
            << kBottomRight << QPoint(30, 20) << QRect(kBorder, kBorder, kWidth + 30, kHeight + 20);
        QTest::newRow("bottom-right in") << kBottomRight << QPoint(-50, -40)
                                         << QRect(kBorder, kBorder, kWidth - 50, kHeight - 40);
        QTest::newRow("top-left out")
            << kTopLeft << QPoint(-10, -15)
            << QRect(kBorder - 10, kBorder - 15, kWidth + 10, kHeight + 15);
        QTest::newRow("right edge")
            << kRightMiddle << QPoint(25, 40) << QRect(kBorder, kBorder, kWidth + 25, kHeight);
        QTest::newRow("band moves")
            << kTopBand << QPoint(7, 9) << QRect(kBorder + 7, kBorder + 9, kWidth, kHeight);
        // No edge passes the opposite one: the control keeps a pixel.
        QTest::newRow("bottom-right past top-left")
            << kBottomRight << QPoint(-500, -400) << QRect(kBorder, kBorder, 1, 1);
    }
    void dragResizesOrMovesTheControl() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, delta);
        QFETCH(QRect, requested);
        Open(kBorder);
        QSignalSpy moves(m_widget.get(), &MovitrelWidget::posRectChanged);
        QSignalSpy modified(m_widget.get(), &MovitrelWidget::modifiedChanged);
        Drag(from, delta);
        QVERIFY(m_trackedDuringDrag);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves[0][0].toRect(), requested);

        // The widget takes on the size and keeps the control inside its frame.
        const QSize size = requested.size();
        QCOMPARE(m_widget->ControlRect(), QRect(QPoint(kBorder, kBorder), size));
        QCOMPARE(m_widget->size(), size + QSize(2 * kBorder, 2 * kBorder));
        QCOMPARE(m_widget->sizeHint(), size + QSize(2 * kBorder, 2 * kBorder));
        QCOMPARE(m_ctrl->GetClientRect().Width(), size.width());
        QCOMPARE(m_ctrl->GetClientRect().Height(), size.height());
        QCOMPARE(m_widget->Snapshot().size(), size);

        const bool resized = size != QSize(kWidth, kHeight);
        QCOMPARE(m_ctrl->IsModified() != FALSE, resized);
        QCOMPARE(modified.count() > 0 && modified.last()[0].toBool(), resized);
        const SIZE extent = SavedExtent(*m_ctrl);
        if (resized) {
            QCOMPARE(extent.cx, PixelsToHimetric(size.width()));
            QCOMPARE(extent.cy, PixelsToHimetric(size.height()));
        } else {
            QCOMPARE(extent.cx, m_extent.cx);
            QCOMPARE(extent.cy, m_extent.cy);
        }
    }

    void aSecondDragStartsFromTheNewFrame() {
        Open(kBorder);
        Drag(kBottomRight, QPoint(30, 20));
        QCOMPARE(m_widget->ControlRect().size(), QSize(kWidth + 30, kHeight + 20));
        Drag(kBottomRight + QPoint(30, 20), QPoint(-5, 10));
        QVERIFY(m_trackedDuringDrag);
        QCOMPARE(m_widget->ControlRect().size(), QSize(kWidth + 25, kHeight + 30));
        QCOMPARE(SavedExtent(*m_ctrl).cx, PixelsToHimetric(kWidth + 25));
    }

    void aDragGivenUpChangesNothing_data() {
        QTest::addColumn<int>("ending");
        QTest::newRow("escape") << int(Ending::Escape);
        QTest::newRow("lost grab") << int(Ending::LostGrab);
        QTest::newRow("right button") << int(Ending::RightButton);
    }
    void aDragGivenUpChangesNothing() {
        QFETCH(int, ending);
        Open(kBorder);
        QSignalSpy moves(m_widget.get(), &MovitrelWidget::posRectChanged);
        Drag(kBottomRight, QPoint(30, 20), Ending(ending));
        QVERIFY(m_trackedDuringDrag);
        VerifyUnchanged(kBorder, moves);
        // The frame is still there to drag.
        Drag(kBottomRight, QPoint(4, 4));
        QCOMPARE(m_widget->ControlRect().size(), QSize(kWidth + 4, kHeight + 4));
    }

    void withoutAFrameNothingIsTracked() {
        Open(kBorder);
        m_widget->SetResizeBorder(0);
        m_widget->resize(kWidth, kHeight);
        QSignalSpy moves(m_widget.get(), &MovitrelWidget::posRectChanged);
        // The corner pixel is the control's own now, clear of its buttons and slider.
        Drag(QPoint(kWidth - 1, kHeight - 1), QPoint(30, 20));
        QVERIFY(!m_trackedDuringDrag);
        VerifyUnchanged(0, moves);
        // Nor does a non-client press the control gets some other way find a tracker.
        Drag(QPoint(kWidth - 1, kHeight - 1), QPoint(30, 20), Ending::Release, [&] {
            SendMessage(m_ctrl->GetSafeHwnd(), WM_NCLBUTTONDOWN, HTBOTTOMRIGHT,
                        MAKELPARAM(kWidth - 1, kHeight - 1));
        });
        QVERIFY(!m_trackedDuringDrag);
        VerifyUnchanged(0, moves);
    }

    void aFrameAroundAnInactiveControlIsNotTracked() {
        Open(kBorder);
        m_ctrl->SetInPlaceActive(FALSE);
        QSignalSpy moves(m_widget.get(), &MovitrelWidget::posRectChanged);
        Drag(kBottomRight, QPoint(30, 20));
        QVERIFY(!m_trackedDuringDrag);
        VerifyUnchanged(kBorder, moves);
    }

    void pressesInsideTheFrameReachTheControl() {
        Open(kBorder);
        QSignalSpy loops(m_widget.get(), &MovitrelWidget::changeLoop);
        QSignalSpy clicks(m_widget.get(), &MovitrelWidget::clickInPic);
        const QPoint inset(kBorder, kBorder);
        QTest::mouseClick(m_widget.get(), Qt::LeftButton, {},
                          inset + QPoint(kLoopButtonX, kButtonY));
        QTest::mouseClick(m_widget.get(), Qt::RightButton, {}, inset + QPoint(33, 44));
        QCOMPARE(loops.count(), 1);
        QCOMPARE(loops[0][0].toBool(), true);
        QCOMPARE(m_widget->ControlProperty("Loop").toBool(), true);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks[0][0].toInt(), 33);  // the control's client coordinates
        QCOMPARE(clicks[0][1].toInt(), 44);
        QVERIFY(!m_widget->IsTrackingBorder());
    }

    void theFrameIsDrawnOnlyAroundAnActiveControl() {
        Open(kBorder);
        const QColor handle = m_widget->palette().color(QPalette::WindowText);
        const QColor form = m_widget->palette().color(QPalette::Window);
        QImage shot = m_widget->grab().toImage();
        QCOMPARE(shot.pixelColor(kBottomRight), handle);
        QCOMPARE(shot.pixelColor(kTopLeft), handle);
        // The band between the handles is hatched: some of its pixels are not the form's.
        int hatched = 0;
        for (int x = kTopBand.x(); x < kTopBand.x() + 20; ++x)
            if (shot.pixelColor(x, kTopBand.y()) != form) ++hatched;
        QVERIFY(hatched > 0 && hatched < 20);

        m_ctrl->SetInPlaceActive(FALSE);
        shot = m_widget->grab().toImage();
        QCOMPARE(shot.pixelColor(kBottomRight), form);
        for (int x = kTopBand.x(); x < kTopBand.x() + 20; ++x)
            QCOMPARE(shot.pixelColor(x, kTopBand.y()), form);
    }
};

int RunBorderTrackerTest(int argc, char** argv) {
    BorderTrackerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BorderTrackerTest.moc"
