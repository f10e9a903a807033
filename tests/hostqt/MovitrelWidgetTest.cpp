// The Qt container with the real control: playing, seeking, events, saved state, painting
// and the About box. Runs on the offscreen platform.
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "codecs/JpegImpl.h"
#include "control/MovitrelCtrl.h"
#include "host/qt/MovitrelWidget.h"
#include "image/ImageFormats.h"
#include "tests/hostqt/QtTests.h"

namespace {

constexpr int32_t kFrames = 10;
// Geometry of a 400 by 300 control with both strip rows: the strip starts at x 110, the
// button row is y 280 to 299, the slider row y 260 to 279.
constexpr int32_t kButtonY = 290;
constexpr int32_t kSliderY = 270;
int32_t ButtonX(int32_t k) {
    return 110 + 20 * k + 10;
}
constexpr int32_t kPlay = 1, kStop = 2, kLoop = 8;

// Solid frames f000.jpg ... in a fresh folder, each a different colour.
void MakeFrames(const QString& dir, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const std::string path =
            QString("%1/f%2.jpg").arg(dir).arg(i, 3, 10, QChar('0')).toStdString();
        CJpegImpl jpeg(path);
        QVERIFY(jpeg.Create(64, 48, 24, kColorTypeColor) != 0);
        for (int32_t y = 0; y < 48; ++y) {
            BYTE* row = jpeg.PictureRow(y);
            for (int32_t x = 0; x < 64; ++x) {
                row[3 * x] = BYTE(200 - 15 * i);
                row[3 * x + 1] = 120;
                row[3 * x + 2] = BYTE(20 * i);
            }
        }
        QVERIFY(jpeg.Write(path));
    }
}

// The control with the frame of its last paint open to the checks.
class CShownMovitrelCtrl : public CMovitrelCtrl {
public:
    int32_t FrameIndex() const { return m_nFrameIndex; }
    int32_t FrameCount() const { return m_nFrameCount; }
    // Frame i of the list of the source now set, not a leftover of an earlier one.
    bool ShowsFrame(int32_t i) const {
        return m_nFrameIndex == i && i < m_nFrameCount && ShownFrameIsCurrent();
    }
};

QStringList Names(const QSignalSpy& spy) {
    QStringList names;
    for (const QList<QVariant>& call : spy) {
        QString args;
        for (const QVariant& a : call[2].toList()) args += " " + a.toString();
        names << call[1].toString() + args;
    }
    return names;
}

}  // namespace

class MovitrelWidgetTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CShownMovitrelCtrl> m_ctrl;
    std::unique_ptr<MovitrelWidget> m_widget;

    // A 400 by 300 control on the frames, shown and at its first frame.
    void Open(int32_t delay) {
        m_ctrl = std::make_unique<CShownMovitrelCtrl>();
        m_widget = std::make_unique<MovitrelWidget>(*m_ctrl);
        m_ctrl->OnResetState();
        QVERIFY(m_widget->SetControlProperty("Dir", m_dir.path()));
        QVERIFY(m_widget->SetControlProperty("Delay", delay));
        m_widget->resize(400, 300);
        m_widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_widget.get()));
        QVERIFY(m_widget->IsWindowLive());
        QTRY_VERIFY_WITH_TIMEOUT(m_ctrl->ShowsFrame(0), 10000);
        QCOMPARE(m_ctrl->FrameCount(), kFrames);
        Quiesce();
    }

    // Waits until no paint has come for a while. The setters before and during the window's
    // creation leave a wake the worker may still be working off after the first frame; a
    // press on the slider meanwhile would meet a worker that is running, not waiting, and
    // land one frame further.
    void Quiesce() {
        QElapsedTimer clock;
        clock.start();
        int32_t before = -1;
        while (m_widget->PaintCount() != before && clock.elapsed() < 10000) {
            before = m_widget->PaintCount();
            QTest::qWait(300);
        }
        QCOMPARE(m_widget->PaintCount(), before);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        MakeFrames(m_dir.path(), kFrames);
    }

    void cleanup() {
        m_widget.reset();
        m_ctrl.reset();
    }

    void clickingPlayAdvancesFrames() {
        Open(20);
        QSignalSpy commands(m_widget.get(), &MovitrelWidget::changeCommand);
        QTest::mouseClick(m_widget.get(), Qt::LeftButton, {}, QPoint(ButtonX(kPlay), kButtonY));
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands[0][0].toInt(), 1);
        // Frames arrive through the worker's posted messages, pumped by the Qt loop.
        QTRY_VERIFY_WITH_TIMEOUT(m_ctrl->FrameIndex() >= 3, 10000);
        QCOMPARE(m_widget->ControlProperty("Command").toInt(), 1);
    }

    void playbackEndsAtTheLastFrame() {
        Open(5);
        QSignalSpy commands(m_widget.get(), &MovitrelWidget::changeCommand);
        QVERIFY(m_widget->SetControlProperty("Command", 1));
        QTRY_COMPARE_WITH_TIMEOUT(m_widget->ControlProperty("Command").toInt(), 0, 10000);
        QCOMPARE(commands.first()[0].toInt(), 1);
        QCOMPARE(commands.last()[0].toInt(), 0);
    }

    void draggingTheSliderSeeks() {
        // Long enough that nothing moves unless asked, short enough for the release, which
        // plays on, not to hold up the window's destruction for long.
        Open(4000);
        QSignalSpy events(m_widget.get(), &MovitrelWidget::controlEvent);
        // x 250 lies over frame 7 of 10 on the 159-pixel track.
        QTest::mousePress(m_widget.get(), Qt::LeftButton, {}, QPoint(250, kSliderY));
        QTRY_COMPARE_WITH_TIMEOUT(m_ctrl->FrameIndex(), 7, 10000);
        // Frame 4 lies under x 190: (190 - 115) / 17.67 = 4.2.
        QTest::mouseMove(m_widget.get(), QPoint(190, kSliderY));
        QTRY_COMPARE_WITH_TIMEOUT(m_ctrl->FrameIndex(), 4, 10000);
        QTest::mouseRelease(m_widget.get(), Qt::LeftButton, {}, QPoint(190, kSliderY));
        QCOMPARE(Names(events),
                 QStringList({"ChangePause true", "ChangeCommand 1", "ChangePause false"}));
        QCOMPARE(m_widget->ControlProperty("Pause").toBool(), false);
    }

    void pointsOutsideTheWidgetAreNotForwarded() {
        Open(60000);
        QTest::mousePress(m_widget.get(), Qt::LeftButton, {}, QPoint(250, kSliderY));
        QTRY_COMPARE_WITH_TIMEOUT(m_ctrl->FrameIndex(), 7, 10000);
        QSignalSpy events(m_widget.get(), &MovitrelWidget::controlEvent);
        // Qt keeps sending to the pressed widget; the control must not see these.
        QTest::mouseMove(m_widget.get(), QPoint(-40, kSliderY));
        QTest::mouseRelease(m_widget.get(), Qt::LeftButton, {}, QPoint(-40, kSliderY));
        QCOMPARE(events.count(), 0);
        QCOMPARE(m_widget->ControlProperty("Pause").toBool(), true);  // still dragging
        QTest::mouseMove(m_widget.get(), QPoint(130, kSliderY));
        QTRY_COMPARE_WITH_TIMEOUT(m_ctrl->FrameIndex(), 0, 10000);
    }

    void signalsFireInOrder() {
        Open(60000);
        QSignalSpy events(m_widget.get(), &MovitrelWidget::controlEvent);
        QSignalSpy loops(m_widget.get(), &MovitrelWidget::changeLoop);
        QSignalSpy clicks(m_widget.get(), &MovitrelWidget::clickInPic);
        QTest::mouseClick(m_widget.get(), Qt::LeftButton, {}, QPoint(ButtonX(kLoop), kButtonY));
        QTest::mouseClick(m_widget.get(), Qt::LeftButton, {}, QPoint(ButtonX(kStop), kButtonY));
        QTest::mouseClick(m_widget.get(), Qt::RightButton, {}, QPoint(33, 44));
        QCOMPARE(Names(events), QStringList({"ChangeLoop true", "ChangeLoop false",
                                             "ChangeCommand 7", "ClickInPic 33 44"}));
        QCOMPARE(loops.count(), 2);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks[0][0].toInt(), 33);
        QCOMPARE(clicks[0][1].toInt(), 44);
    }

    void stateIsSavedAndLoaded() {
        Open(60000);
        QVERIFY(m_widget->SetControlProperty("Delay", 1234));
        QVERIFY(m_widget->SetControlProperty("Loop", true));
        QVERIFY(m_widget->SetControlProperty("BaseFile", "f00"));
        const QString path = m_dir.filePath("state.txt");
        QVERIFY(m_widget->SaveState(path));

        // A second control loads it into a live window, which then plays the loaded folder.
        CShownMovitrelCtrl other;
        MovitrelWidget host(other);
        other.OnResetState();
        host.resize(400, 300);
        host.show();
        QVERIFY(host.IsWindowLive());
        QString error;
        QVERIFY2(host.LoadState(path, &error), qPrintable(error));
        QCOMPARE(host.ControlProperty("Delay").toInt(), 1234);
        QCOMPARE(host.ControlProperty("Loop").toBool(), true);
        QCOMPARE(host.ControlProperty("BaseFile").toString(), QString("f00"));
        QCOMPARE(host.ControlProperty("5").toString(), m_dir.path());  // Dir by DISPID
        QTRY_COMPARE_WITH_TIMEOUT(other.FrameCount(), kFrames, 10000);

        QVERIFY(!host.LoadState(m_dir.filePath("missing.txt"), &error));
        QVERIFY(error.contains("missing.txt"));
    }

    void badPropertyRequestsAreRefused() {
        Open(60000);
        QString error;
        QVERIFY(!m_widget->SetControlProperty("NoSuchThing", 1, &error));
        QVERIFY(error.contains("unknown name"));
        QVERIFY(!m_widget->SetControlProperty("Delay", "soon", &error));
        QVERIFY(error.contains("wrong type"));
        QVERIFY(!m_widget->ControlProperty("999", &error).isValid());
    }

    void paintsThroughTheImageAndAmbientColour() {
        m_ctrl = std::make_unique<CShownMovitrelCtrl>();
        m_widget = std::make_unique<MovitrelWidget>(*m_ctrl);
        QPalette pal = m_widget->palette();
        pal.setColor(QPalette::Window, QColor(10, 200, 30));
        m_widget->setPalette(pal);
        m_ctrl->OnResetState();  // BackColor takes the ambient colour
        QVERIFY(m_widget->SetControlProperty("PictureBackColor", uint(RGB(255, 0, 0))));
        m_widget->resize(400, 300);
        m_widget->show();
        QVERIFY(m_widget->IsWindowLive());
        const QImage shot = m_widget->Snapshot();
        QCOMPARE(shot.size(), QSize(400, 300));
        QCOMPARE(shot.pixel(5, 5) & 0xFFFFFF, 0xFF0000u);    // no frames: the back colour
        QCOMPARE(shot.pixel(5, 290) & 0xFFFFFF, 0x0AC81Eu);  // strip side: the palette
        m_widget->resize(300, 200);
        QCOMPARE(m_widget->Snapshot().size(), QSize(300, 200));
        QCOMPARE(m_widget->Snapshot().pixel(299, 5) & 0xFFFFFF, 0xFF0000u);
    }

    void aboutBoxIsADialogFromItsTemplate() {
        Open(60000);
        QString title;
        QString firstLine;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            title = box->windowTitle();
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text().startsWith("Movitrel")) firstLine = label->text();
            auto* ok = box->findChild<QPushButton*>("item1");
            QVERIFY(ok);
            QVERIFY(ok->isDefault());
            ok->click();
        });
        QVERIFY(m_widget->InvokeControlMethod("AboutBox"));
        QCOMPARE(title, QString("About Movitrel Control"));
        QCOMPARE(firstLine, QString("Movitrel Control, Version 1.02"));
    }
};

int RunMovitrelWidgetTest(int argc, char** argv) {
    MovitrelWidgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MovitrelWidgetTest.moc"
