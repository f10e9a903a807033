#include "host/qt/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

QtMessageSink::QtMessageSink(QString title) {
    m_previous = SetMessageSink([title](const CString& text) {
        const QString message = QString::fromStdString(text);
        QApplication* app = qApp;
        if (!app) return;
        if (QThread::currentThread() == app->thread()) {
            QMessageBox::information(QApplication::activeWindow(), title, message);
            return;
        }
        // A worker must not wait for the GUI thread: the GUI thread may itself be waiting for
        // that worker to stop. Its box is shown later and the call returns at once.
        QMetaObject::invokeMethod(
            app,
            [title, message] {
                auto* box = new QMessageBox(QMessageBox::Information, title, message,
                                            QMessageBox::Ok, QApplication::activeWindow());
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
            },
            Qt::QueuedConnection);
    });
}

QtMessageSink::~QtMessageSink() {
    SetMessageSink(std::move(m_previous));
}
