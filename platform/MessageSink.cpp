#include "platform/MessageSink.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_sinkMutex;
MessageSink g_sink;
}  // namespace

int32_t AfxMessageBox(const CString& text) {
    MessageSink sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink) {
        sink(text);
    } else {
#ifdef _WIN32
        MessageBoxA(nullptr, text.c_str(), "Movitrel", MB_OK | MB_TASKMODAL);
#else
        std::fprintf(stderr, "%s\n", text.c_str());
#endif
    }
    return IDOK;
}

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard lock(g_sinkMutex);
    MessageSink previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}
