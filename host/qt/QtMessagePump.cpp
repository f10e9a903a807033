#include "host/qt/QtMessagePump.h"

#include <QCoreApplication>
#include <QObject>
#include <atomic>
#include <cstdint>

#include "platform/Window.h"

namespace {

class Pump : public QObject {
public:
    // Called from any thread. Several posts before the pump runs need only one pump: the
    // flag is cleared before pumping, so a post made meanwhile schedules the next one.
    void Schedule() {
        if (m_scheduled.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { Run(); }, Qt::QueuedConnection);
    }
    int32_t Run() {
        m_scheduled = false;
        return PumpMessages();
    }
    int32_t holders = 0;

private:
    std::atomic<bool> m_scheduled{false};
};

// One per GUI thread; containers live on the GUI thread only.
thread_local Pump* t_pump = nullptr;

}  // namespace

QtMessagePump::Holder::Holder() {
    if (!t_pump) {
        t_pump = new Pump;
        Pump* pump = t_pump;
        SetPostNotify([pump] { pump->Schedule(); });
        // Messages posted before the pump existed would otherwise wait for the next post.
        pump->Schedule();
    }
    ++t_pump->holders;
}

QtMessagePump::Holder::~Holder() {
    if (--t_pump->holders > 0) return;
    // Every window of this thread is gone by now, so no thread still posts to it.
    SetPostNotify({});
    delete t_pump;
    t_pump = nullptr;
}

int32_t QtMessagePump::PumpNow() {
    return t_pump ? t_pump->Run() : PumpMessages();
}
