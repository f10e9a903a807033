// The property frame on the real control: its tabs built from the pages' templates, Apply
// and OK through the pages' exchange, refused values, Cancel, the colour page, and the
// Properties verb opening the frame modally. Runs on the offscreen platform.
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "control/MovitrelCtrl.h"
#include "framework/ComClient.h"
#include "framework/Registry.h"
#include "host/qt/ColorPage.h"
#include "host/qt/MovitrelWidget.h"
#include "host/qt/PropertyFrame.h"
#include "host/qt/TemplatePage.h"
#include "proppages/PageResources.h"
#include "tests/hostqt/QtTests.h"
#include "tests/support/TestTmp.h"

namespace {

constexpr int kFilesTab = 0, kControlsTab = 1, kPlaybackTab = 2, kColorsTab = 3;

// Acts on the next modal dialog once it is up, then rejects whatever act left open, so a
// failed check inside act cannot leave the test waiting on the dialog.
class ModalActor {
public:
    explicit ModalActor(std::function<void(QDialog*)> act) : m_act(std::move(act)) {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            m_poll.stop();
            m_acted = true;
            m_act(dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        m_poll.start();
    }
    bool Acted() const { return m_acted; }

private:
    std::function<void(QDialog*)> m_act;
    QTimer m_poll;
    bool m_acted = false;
};

// Replaces the field's text as a user does: select all, type.
void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

}  // namespace

class PropertyFrameTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CMovitrelCtrl> m_ctrl;
    std::unique_ptr<MovitrelWidget> m_widget;
    std::unique_ptr<PropertyFrame> m_frame;

    // The frame of the control's own page list, shown (not modal).
    void OpenFrame() {
        m_frame = std::make_unique<PropertyFrame>(*m_ctrl, m_ctrl->GetPropPageIDs(),
                                                  CreatePageFromRegistry, "Properties");
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        m_ctrl->SetModifiedFlag(FALSE);
    }
    TemplatePage* TemplateTab(int index) const {
        return qobject_cast<TemplatePage*>(m_frame->Page(index));
    }
    template <class W>
    W* Item(int tab, int32_t id) const {
        TemplatePage* page = TemplateTab(tab);
        return page ? qobject_cast<W*>(page->ItemWidget(id)) : nullptr;
    }
    ColorPage* Colors() const { return qobject_cast<ColorPage*>(m_frame->Page(kColorsTab)); }
    // Shows the tab and clicks the button at its middle, as the user would.
    void Click(int tab, QAbstractButton* button) {
        m_frame->Tabs()->setCurrentIndex(tab);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void Press(QDialogButtonBox::StandardButton which) {
        QTest::mouseClick(m_frame->Button(which), Qt::LeftButton);
    }
    QVariant Get(const char* name) { return m_widget->ControlProperty(name); }
    void Set(const char* name, const QVariant& value) {
        QVERIFY(m_widget->SetControlProperty(name, value));
    }

private Q_SLOTS:
    // The pages come from the module, made through a registry file as a container makes them.
    void initTestCase() {
        const std::string registry = TestTmp() + "/registry.reg";
        QCOMPARE(RegisterModule(MOVITREL_MODULE_FILE, registry, false), S_OK);
        SetRegistryFile(registry);
    }

    void init() {
        m_ctrl = std::make_unique<CMovitrelCtrl>();
        m_widget = std::make_unique<MovitrelWidget>(*m_ctrl);
        m_ctrl->OnResetState();
    }

    void cleanup() {
        m_frame.reset();
        m_widget.reset();
        m_ctrl.reset();
    }

    void tabsAreTheThreePagesThenTheColourPage() {
        Set("Delay", 250);
        Set("Dir", "/frames");
        Set("Sort", 2);
        Set("Buttons", false);
        Set("BackColor", uint(0x80000000u | COLOR_WINDOW));
        OpenFrame();
        QCOMPARE(m_frame->PageCount(), 4);
        QCOMPARE(m_frame->Tabs()->tabText(kFilesTab), QString("Files/Dir"));
        QCOMPARE(m_frame->Tabs()->tabText(kControlsTab), QString("Controls"));
        QCOMPARE(m_frame->Tabs()->tabText(kPlaybackTab), QString("Playback"));
        QCOMPARE(m_frame->Tabs()->tabText(kColorsTab), QString("Colors"));

        // Each page opens with the control's values in its template's widgets.
        QCOMPARE(Item<QLineEdit>(kFilesTab, IDC_DELAY)->text(), QString("250"));
        QCOMPARE(Item<QLineEdit>(kFilesTab, IDC_DIR)->text(), QString("/frames"));
        QVERIFY(Item<QRadioButton>(kFilesTab, IDC_SORT_TIME)->isChecked());
        QVERIFY(!Item<QRadioButton>(kFilesTab, IDC_SORT_NONE)->isChecked());
        QCOMPARE(Item<QCheckBox>(kControlsTab, IDC_SHOW_BUTTONS)->text(), QString("Show Buttons"));
        QVERIFY(!Item<QCheckBox>(kControlsTab, IDC_SHOW_BUTTONS)->isChecked());
        QVERIFY(Item<QCheckBox>(kControlsTab, IDC_SHOW_SLIDER)->isChecked());
        QVERIFY(Item<QRadioButton>(kControlsTab, IDC_CMD_NOACTION)->isChecked());
        // Placed as the template places them: Delay right of FileName, both below Dir.
        const QRect delay = Item<QLineEdit>(kFilesTab, IDC_DELAY)->geometry();
        const QRect base = Item<QLineEdit>(kFilesTab, IDC_BASEFILE)->geometry();
        const QRect dir = Item<QLineEdit>(kFilesTab, IDC_DIR)->geometry();
        QVERIFY(delay.left() > base.right());
        QCOMPARE(delay.top(), base.top());
        QVERIFY(base.top() > dir.bottom());
        // A system colour shows as the colour it stands for.
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        QCOMPARE(Colors()->ShownColor(),
                 QColor(GetRValue(window), GetGValue(window), GetBValue(window)));
        // Nothing to apply until something is edited.
        QVERIFY(!m_frame->Button(QDialogButtonBox::Apply)->isEnabled());
    }

    void noActionOnTheControlsPageSetsCommandZero() {
        Set("Command", 7);
        OpenFrame();
        QVERIFY(Item<QRadioButton>(kControlsTab, IDC_CMD_STOP)->isChecked());
        QSignalSpy commands(m_widget.get(), &MovitrelWidget::changeCommand);
        Click(kControlsTab, Item<QRadioButton>(kControlsTab, IDC_CMD_NOACTION));
        QVERIFY(!Item<QRadioButton>(kControlsTab, IDC_CMD_STOP)->isChecked());
        QVERIFY(m_frame->Button(QDialogButtonBox::Apply)->isEnabled());
        QCOMPARE(commands.count(), 0);  // nothing is set before Apply
        Press(QDialogButtonBox::Apply);
        QCOMPARE(Get("Command").toInt(), 0);
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands[0][0].toInt(), 0);
        // Apply leaves the frame open with nothing more to apply.
        QVERIFY(m_frame->isVisible());
        QVERIFY(!m_frame->Button(QDialogButtonBox::Apply)->isEnabled());
    }

    void aCommandOutsideTheCodesChecksNoButtonAndStays() {
        Set("Command", 9);
        OpenFrame();
        for (QRadioButton* radio : TemplateTab(kControlsTab)->findChildren<QRadioButton*>())
            QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
        Click(kControlsTab, Item<QCheckBox>(kControlsTab, IDC_SHOW_SLIDER));
        Press(QDialogButtonBox::Apply);
        QCOMPARE(Get("Slider").toBool(), false);
        QCOMPARE(Get("Command").toInt(), 9);
    }

    void aDelayThatIsNotANumberKeepsTheFrameOpenOnItsField() {
        OpenFrame();
        QSignalSpy events(m_widget.get(), &MovitrelWidget::controlEvent);
        QLineEdit* delay = Item<QLineEdit>(kFilesTab, IDC_DELAY);
        Type(delay, "12x");
        Type(Item<QLineEdit>(kFilesTab, IDC_BASEFILE), "other");
        Click(kControlsTab, Item<QCheckBox>(kControlsTab, IDC_LOOP));
        Press(QDialogButtonBox::Ok);

        // Still open, back on the page of the refused field, the field focused.
        QVERIFY(m_frame->isVisible());
        QCOMPARE(m_frame->Tabs()->currentIndex(), kFilesTab);
        QCOMPARE(m_frame->focusWidget(), delay);
        QVERIFY(m_frame->Prompt());
        QCOMPARE(m_frame->Prompt()->text(), QString("Please enter an integer."));
        QCOMPARE(delay->text(), QString("12x"));
        // Nothing was set, on this page or the next.
        QCOMPARE(Get("Delay").toInt(), 500);
        QCOMPARE(Get("BaseFile").toString(), QString());
        QCOMPARE(Get("Loop").toBool(), false);
        QCOMPARE(events.count(), 0);
        QVERIFY(!m_ctrl->IsModified());

        // Acknowledged and corrected, OK applies every page and closes.
        QTest::mouseClick(m_frame->Prompt()->button(QMessageBox::Ok), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_frame->Prompt(), 10000);
        QCOMPARE(m_frame->focusWidget(), delay);
        Type(delay, "40");
        Press(QDialogButtonBox::Ok);
        QVERIFY(!m_frame->isVisible());
        QCOMPARE(m_frame->result(), int(QDialog::Accepted));
        QCOMPARE(Get("Delay").toInt(), 40);
        QCOMPARE(Get("BaseFile").toString(), QString("other"));
        QCOMPARE(Get("Loop").toBool(), true);
    }

    void theColourPageChangesBackColorAndKeepsEachPropertysEdits() {
        Set("PictureBackColor", uint(RGB(255, 0, 0)));
        m_widget->resize(400, 300);
        m_widget->show();
        QVERIFY(m_widget->IsWindowLive());
        OpenFrame();
        m_frame->Tabs()->setCurrentIndex(kColorsTab);
        auto* property = Colors()->findChild<QComboBox*>("colorProperty");
        QCOMPARE(property->count(), 2);
        QCOMPARE(property->itemText(0), QString("BackColor"));
        QCOMPARE(property->itemText(1), QString("PictureBackColor"));

        property->setCurrentIndex(0);
        Colors()->findChild<QSpinBox*>("red")->setValue(10);
        Colors()->findChild<QSpinBox*>("green")->setValue(20);
        Colors()->findChild<QSpinBox*>("blue")->setValue(30);
        property->setCurrentIndex(1);
        QCOMPARE(Colors()->ShownColor(), QColor(255, 0, 0));  // its own value, not the edit
        Colors()->findChild<QSpinBox*>("blue")->setValue(200);
        property->setCurrentIndex(0);
        QCOMPARE(Colors()->ShownColor(), QColor(10, 20, 30));         // the edit is kept
        QVERIFY(Get("BackColor").toUInt() != uint(RGB(10, 20, 30)));  // not before Apply

        Press(QDialogButtonBox::Apply);
        QCOMPARE(Get("BackColor").toUInt(), uint(RGB(10, 20, 30)));
        QCOMPARE(Get("PictureBackColor").toUInt(), uint(RGB(255, 0, 200)));
        // The control repaints in the container: beside the strip is the back colour.
        QTRY_COMPARE_WITH_TIMEOUT(m_widget->Snapshot().pixel(5, 290) & 0xFFFFFF, 0x0A141Eu, 10000);
    }

    void theColourDialogPicksTheColour() {
        OpenFrame();
        m_frame->Tabs()->setCurrentIndex(kColorsTab);
        QVERIFY(Colors()->SelectProperty("PictureBackColor"));
        QString title;
        ModalActor actor([&](QDialog* dialog) {
            auto* picker = qobject_cast<QColorDialog*>(dialog);
            QVERIFY(picker);
            title = picker->windowTitle();
            picker->setCurrentColor(QColor(1, 2, 3));
            picker->accept();
        });
        QTest::mouseClick(Colors()->findChild<QPushButton*>("chooseColor"), Qt::LeftButton);
        QVERIFY(actor.Acted());
        QVERIFY(title.startsWith("PictureBackColor"));
        QCOMPARE(Colors()->ShownColor(), QColor(1, 2, 3));
        Press(QDialogButtonBox::Ok);
        QCOMPARE(Get("PictureBackColor").toUInt(), uint(RGB(1, 2, 3)));
    }

    void cancelChangesNothing() {
        Set("Command", 1);
        OpenFrame();
        const uint back = Get("BackColor").toUInt();
        QSignalSpy events(m_widget.get(), &MovitrelWidget::controlEvent);
        QSignalSpy changes(m_widget.get(), &MovitrelWidget::propertyChanged);
        Type(Item<QLineEdit>(kFilesTab, IDC_DELAY), "42");
        Click(kControlsTab, Item<QRadioButton>(kControlsTab, IDC_CMD_NOACTION));
        Click(kControlsTab, Item<QCheckBox>(kControlsTab, IDC_LOOP));
        m_frame->Tabs()->setCurrentIndex(kColorsTab);
        Colors()->SetColor(QColor(9, 9, 9));
        QVERIFY(m_frame->Button(QDialogButtonBox::Apply)->isEnabled());
        Press(QDialogButtonBox::Cancel);
        QVERIFY(!m_frame->isVisible());
        QCOMPARE(m_frame->result(), int(QDialog::Rejected));
        QCOMPARE(Get("Delay").toInt(), 500);
        QCOMPARE(Get("Command").toInt(), 1);
        QCOMPARE(Get("Loop").toBool(), false);
        QCOMPARE(Get("BackColor").toUInt(), back);
        QCOMPARE(events.count(), 0);
        QCOMPARE(changes.count(), 0);
        QVERIFY(!m_ctrl->IsModified());
    }

    void theVerbOpensTheFrameModallyAndOkApplies() {
        QSignalSpy requests(m_widget.get(), &MovitrelWidget::propertyPagesRequested);
        QStringList tabs;
        ModalActor actor([&](QDialog* dialog) {
            auto* frame = qobject_cast<PropertyFrame*>(dialog);
            QVERIFY(frame);
            for (int i = 0; i < frame->PageCount(); ++i) tabs << frame->Tabs()->tabText(i);
            frame->Tabs()->setCurrentIndex(kControlsTab);
            auto* page = qobject_cast<TemplatePage*>(frame->Page(kControlsTab));
            QTest::mouseClick(qobject_cast<QCheckBox*>(page->ItemWidget(IDC_LOOP)), Qt::LeftButton);
            QTest::mouseClick(frame->Button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QVERIFY(m_widget->ShowProperties());
        QVERIFY(actor.Acted());
        QCOMPARE(tabs, QStringList({"Files/Dir", "Controls", "Playback", "Colors"}));
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests[0][0].toInt(), 4);
        QCOMPARE(Get("Loop").toBool(), true);
    }

    void pagesTheFactoryCannotMakeGetNoTab() {
        m_widget->SetPageFactory([](const CLSID&) { return std::shared_ptr<COlePropertyPage>(); });
        QStringList tabs;
        ModalActor actor([&](QDialog* dialog) {
            auto* frame = qobject_cast<PropertyFrame*>(dialog);
            QVERIFY(frame);
            for (int i = 0; i < frame->PageCount(); ++i) tabs << frame->Tabs()->tabText(i);
        });
        QVERIFY(m_widget->ShowProperties());
        QVERIFY(actor.Acted());
        QCOMPARE(tabs, QStringList({"Colors"}));

        // No page at all: no frame, and the verb says so.
        bool dialogShown = false;
        ModalActor none([&](QDialog*) { dialogShown = true; });
        QVERIFY(!m_widget->ShowPropertyPages({}));
        QVERIFY(!dialogShown);
    }
};

int RunPropertyFrameTest(int argc, char** argv) {
    PropertyFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PropertyFrameTest.moc"
