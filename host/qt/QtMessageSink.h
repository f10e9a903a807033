// Shows the platform's user messages (AfxMessageBox) as Qt message boxes while alive, and
// puts the previous sink back when destroyed. Create it on the GUI thread.
#pragma once

#include <QString>

#include "platform/MessageSink.h"

class QtMessageSink {
public:
    explicit QtMessageSink(QString title);
    ~QtMessageSink();
    QtMessageSink(const QtMessageSink&) = delete;
    QtMessageSink& operator=(const QtMessageSink&) = delete;

private:
    MessageSink m_previous;
};
