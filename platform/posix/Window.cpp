#include "platform/Window.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

struct Message {
    HWND hwnd;
    uint32_t msg;
    WPARAM wParam;
    LPARAM lParam;
};

struct ThreadQueue {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Message> messages;
    std::function<void()> notify;
};

struct WindowEntry {
    IWindowHandler* handler;
    std::shared_ptr<ThreadQueue> queue;
};

// One window table and one set of queues per process, shared by the container and the module.
struct WindowTable {
    std::mutex mutex;
    std::unordered_map<HWND, WindowEntry> windows;
    std::unordered_map<std::thread::id, std::shared_ptr<ThreadQueue>> queues;
    uintptr_t nextHandle = 0x100;

    std::shared_ptr<ThreadQueue> QueueOfThisThread() {
        auto& q = queues[std::this_thread::get_id()];
        if (!q) q = std::make_shared<ThreadQueue>();
        return q;
    }
};

WindowTable& Table() {
    static WindowTable* table = new WindowTable;  // never destroyed: detached threads may post late
    return *table;
}

}  // namespace

HWND CreatePlatformWindow(IWindowHandler* handler, HWND, const RECT*) {
    auto& t = Table();
    std::lock_guard lock(t.mutex);
    HWND hwnd = reinterpret_cast<HWND>(t.nextHandle);
    t.nextHandle += 4;
    t.windows[hwnd] = WindowEntry{handler, t.QueueOfThisThread()};
    return hwnd;
}

void DestroyPlatformWindow(HWND hwnd) {
    auto& t = Table();
    std::shared_ptr<ThreadQueue> queue;
    {
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(hwnd);
        if (it == t.windows.end()) return;
        queue = it->second.queue;
        t.windows.erase(it);
    }
    std::lock_guard lock(queue->mutex);
    std::erase_if(queue->messages, [hwnd](const Message& m) { return m.hwnd == hwnd; });
}

BOOL IsWindow(HWND hwnd) {
    auto& t = Table();
    std::lock_guard lock(t.mutex);
    return t.windows.count(hwnd) ? TRUE : FALSE;
}

BOOL PostMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    auto& t = Table();
    std::shared_ptr<ThreadQueue> queue;
    {
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(hwnd);
        if (it == t.windows.end()) return FALSE;
        queue = it->second.queue;
    }
    std::function<void()> notify;
    {
        std::lock_guard lock(queue->mutex);
        // A thread that posts faster than the owner pumps must not grow the queue forever.
        if (queue->messages.size() >= kMaxPostedMessages) return FALSE;
        queue->messages.push_back(Message{hwnd, msg, wParam, lParam});
        notify = queue->notify;
    }
    queue->cv.notify_all();
    if (notify) notify();
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    IWindowHandler* handler = nullptr;
    {
        auto& t = Table();
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(hwnd);
        if (it == t.windows.end()) return 0;
        handler = it->second.handler;
    }
    return handler->OnWindowMessage(hwnd, msg, wParam, lParam);
}

int PumpMessages() {
    std::shared_ptr<ThreadQueue> queue;
    {
        auto& t = Table();
        std::lock_guard lock(t.mutex);
        queue = t.QueueOfThisThread();
    }
    std::deque<Message> batch;
    {
        std::lock_guard lock(queue->mutex);
        batch.swap(queue->messages);
    }
    int delivered = 0;
    for (const Message& m : batch) {
        // A handler may have destroyed this or another window meanwhile.
        if (!IsWindow(m.hwnd)) continue;
        SendMessage(m.hwnd, m.msg, m.wParam, m.lParam);
        ++delivered;
    }
    return delivered;
}

BOOL WaitMessage(uint32_t timeoutMs) {
    std::shared_ptr<ThreadQueue> queue;
    {
        auto& t = Table();
        std::lock_guard lock(t.mutex);
        queue = t.QueueOfThisThread();
    }
    std::unique_lock lock(queue->mutex);
    auto ready = [&] { return !queue->messages.empty(); };
    if (timeoutMs == INFINITE) {
        queue->cv.wait(lock, ready);
        return TRUE;
    }
    return queue->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready) ? TRUE : FALSE;
}

void SetPostNotify(std::function<void()> notify) {
    std::shared_ptr<ThreadQueue> queue;
    {
        auto& t = Table();
        std::lock_guard lock(t.mutex);
        queue = t.QueueOfThisThread();
    }
    std::lock_guard lock(queue->mutex);
    queue->notify = std::move(notify);
}

void MovePlatformWindow(HWND, const RECT&) {}

LRESULT DefPlatformWindowProc(HWND, uint32_t, WPARAM, LPARAM) {
    return 0;
}
