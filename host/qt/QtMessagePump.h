// Delivers the messages other threads post to this thread's windows from the Qt event loop.
//
// The platform calls the post notification on the posting thread; it only schedules a
// queued call, and PumpMessages runs on the thread that owns the windows. One pump serves
// every container on the thread: the platform keeps one notification per thread.
#pragma once

#include <cstdint>

class QtMessagePump {
public:
    // Holds the thread's pump while alive; the first holder installs it, the last removes it.
    class Holder {
    public:
        Holder();
        ~Holder();
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;
    };

    // Pumps now, outside the event loop (for a container that must not wait for it).
    static int32_t PumpNow();
};
