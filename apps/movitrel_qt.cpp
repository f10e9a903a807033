// The Qt side of movitrel: the play window and the windowed automation session.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

#include "apps/Automation.h"
#include "apps/MovitrelApp.h"
#include "apps/ProgramControl.h"
#include "host/qt/MovitrelWidget.h"
#include "host/qt/QtMessageSink.h"
#include "playback/Commands.h"

namespace {

// Paints to wait for before a --screenshot: enough for the first frames to have arrived.
constexpr int32_t kScreenshotPaints = 12;
constexpr int32_t kResizeBorder = 6;  // pixels of the resize border and its handles

class PlayWindow : public QMainWindow {
public:
    PlayWindow(CHostedControl& control, const PlayOptions& options)
        : m_control(control), m_options(options) {
        m_widget = new MovitrelWidget(control.Control(), this);
        m_widget->SetPreferredSize(QSize(options.width, options.height));
        m_widget->setMinimumSize(120, 60);
        setCentralWidget(m_widget);
        m_status = new QLabel(this);
        statusBar()->addWidget(m_status, 1);
        setWindowTitle(QString("movitrel - %1").arg(QString::fromStdString(options.dir)));
        BuildMenus();
        adjustSize();
        connect(m_widget, &MovitrelWidget::painted, this, [this] { OnPainted(); });
        connect(m_widget, &MovitrelWidget::clickInPic, this, [this](int x, int y) {
            statusBar()->showMessage(QString("click at %1, %2").arg(x).arg(y), 2000);
        });
    }

    MovitrelWidget* Widget() { return m_widget; }

    void SaveStateIfAsked() {
        if (m_options.stateFile.empty()) return;
        QString error;
        if (!m_widget->SaveState(QString::fromStdString(m_options.stateFile), &error))
            std::fprintf(stderr, "movitrel: %s\n", error.toStdString().c_str());
    }

private:
    void BuildMenus() {
        QMenu* file = menuBar()->addMenu("&File");
        file->addAction("&Save state...", QKeySequence::Save, this, [this] {
            const QString path = QFileDialog::getSaveFileName(this, "Save the control's state");
            QString error;
            if (!path.isEmpty() && !m_widget->SaveState(path, &error))
                statusBar()->showMessage(error, 4000);
        });
        file->addAction("&Load state...", QKeySequence::Open, this, [this] {
            const QString path = QFileDialog::getOpenFileName(this, "Load the control's state");
            QString error;
            if (!path.isEmpty() && !m_widget->LoadState(path, &error))
                statusBar()->showMessage(error, 4000);
        });
        file->addSeparator();
        file->addAction("&Quit", QKeySequence::Quit, this, [this] { close(); });
        QMenu* control = menuBar()->addMenu("&Control");
        control->addAction("&Play / pause", QKeySequence(Qt::Key_Space), this, [this] {
            const int16_t cmd = m_control.CurrentCommand();
            if (IsAtRest(cmd))
                m_widget->SetControlProperty("Command", kCommandPlay);
            else
                m_widget->SetControlProperty("Pause", !m_widget->ControlProperty("Pause").toBool());
        });
        control->addAction("&Loop", QKeySequence(Qt::Key_L), this, [this] {
            m_widget->SetControlProperty("Loop", !m_widget->ControlProperty("Loop").toBool());
        });
        // The frame a form draws around a control at design time: drag its handles to resize.
        control->addAction("&Resize border", QKeySequence(Qt::CTRL | Qt::Key_R), this, [this] {
            m_widget->SetResizeBorder(m_widget->ResizeBorder() > 0 ? 0 : kResizeBorder);
        });
        control->addAction("&Maximize", QKeySequence(Qt::Key_M), this, [this] {
            m_widget->SetControlProperty("Maximize",
                                         !m_widget->ControlProperty("Maximize").toBool());
        });
        control->addSeparator();
        control->addAction("P&roperties...", QKeySequence(Qt::ALT | Qt::Key_Return), this,
                           [this] { m_widget->ShowProperties(); });
        QMenu* help = menuBar()->addMenu("&Help");
        help->addAction("&About the control...", QKeySequence::HelpContents, this,
                        [this] { m_widget->InvokeControlMethod("AboutBox"); });
    }

    void OnPainted() {
        m_status->setText(QString("%1  |  %2  |  delay %3 ms  |  %4 cached")
                              .arg(QString::fromStdString(m_control.FramePosition()),
                                   CommandName(m_control.CurrentCommand()))
                              .arg(m_control.CurrentDelay())
                              .arg(m_control.CachedFrameCount()));
        if (!m_options.screenshot.empty() && !m_shot &&
            m_widget->PaintCount() >= kScreenshotPaints) {
            m_shot = true;
            // Let the status line and the last paint reach the screen first.
            QTimer::singleShot(0, this, [this] {
                const QString path = QString::fromStdString(m_options.screenshot);
                if (grab().save(path, "PNG"))
                    std::printf("movitrel: saved %s\n", qPrintable(path));
                else
                    std::fprintf(stderr, "movitrel: cannot write %s\n", qPrintable(path));
                close();
            });
        }
    }

    CHostedControl& m_control;
    PlayOptions m_options;
    MovitrelWidget* m_widget = nullptr;
    QLabel* m_status = nullptr;
    bool m_shot = false;
};

// The Qt container as an automation host: the control in a window of its own.
class QtAutomationHost : public IAutomationHost {
public:
    ~QtAutomationHost() override { Destroy(); }

    bool Create(int32_t cx, int32_t cy, std::string* error) override {
        m_control = CreateProgramControl(error);
        if (!m_control) return false;
        m_control->Control().OnResetState();
        m_widget = std::make_unique<MovitrelWidget>(m_control->Control());
        m_widget->setWindowTitle("movitrel automate");
        m_widget->resize(cx, cy);
        m_widget->show();
        if (!m_widget->CreateControlWindow()) {
            *error = "the control refused its window";
            Destroy();
            return false;
        }
        return true;
    }
    void Destroy() override {
        m_widget.reset();
        m_control.reset();
    }
    CHostedControl* Control() override { return m_control.get(); }
    void Mouse(uint32_t msg, int32_t x, int32_t y, uint32_t flags) override {
        m_widget->SendMouse(msg, x, y, flags);
    }
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) override {
        if (done()) return true;
        QEventLoop loop;
        QTimer poll;
        QElapsedTimer clock;
        clock.start();
        bool held = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            held = done();
            if (held || clock.elapsed() >= timeoutMs) loop.quit();
        });
        poll.start(5);
        loop.exec();
        return held;
    }
    bool SavePng(const std::string& path) override {
        return m_widget->Snapshot().save(QString::fromStdString(path), "PNG");
    }
    int32_t PaintCount() const override { return m_widget ? m_widget->PaintCount() : 0; }
    int32_t Width() const override { return m_widget ? m_widget->ControlRect().width() : 0; }
    int32_t Height() const override { return m_widget ? m_widget->ControlRect().height() : 0; }
    void Resize(int32_t cx, int32_t cy) override { m_widget->resize(cx, cy); }
    void WithWindowRecreated(const std::function<void()>& change) override {
        const bool live = m_widget->IsWindowLive();
        m_widget->DestroyControlWindow();
        change();
        if (live) m_widget->CreateControlWindow();
    }

private:
    std::unique_ptr<CHostedControl> m_control;
    std::unique_ptr<MovitrelWidget> m_widget;
};

}  // namespace

int32_t RunPlayWindow(const PlayOptions& options, int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("movitrel");
    QtMessageSink messages("movitrel");
    std::string error;
    std::unique_ptr<CHostedControl> control = CreateProgramControl(&error);
    if (!control || !InitControl(control->Control(), options, &error)) {
        std::fprintf(stderr, "movitrel: %s\n", error.c_str());
        return 1;
    }
    int32_t status = 0;
    {
        PlayWindow window(*control, options);
        window.show();
        window.Widget()->CreateControlWindow();
        window.Widget()->SetControlProperty("Command", kCommandPlay);
        status = app.exec();
        window.SaveStateIfAsked();
    }
    return status;
}

int32_t RunAutomateWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("movitrel");
    // A script cannot answer a message box; texts go to standard error as without a window.
    QApplication::setQuitOnLastWindowClosed(false);
    QtAutomationHost host;
    CAutomationSession session(host, WriteAutomationLine);
    // Lines are handled on the GUI thread; Drain keeps a request's nested loop (a wait, a
    // dialog) from starting the next one.
    CAutomationInput input(session, STDIN_FILENO, [&app, &input] {
        QMetaObject::invokeMethod(
            &app,
            [&input] {
                input.Drain();
                if (input.Ended()) QApplication::quit();
            },
            Qt::QueuedConnection);
    });
    app.exec();
    host.Destroy();
    return 0;
}
