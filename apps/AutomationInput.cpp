// The automation session's reader thread.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "apps/Automation.h"

namespace {

constexpr size_t kChunkBytes = 64 * 1024;
// What a queued line costs beyond its bytes, so that a flood of short lines is bounded too.
constexpr size_t kLineOverhead = 64;

size_t Cost(const std::string& text) {
    return text.size() + kLineOverhead;
}

}  // namespace

CAutomationInput::CAutomationInput(CAutomationSession& session, int fd, std::function<void()> wake,
                                   size_t maxQueuedBytes)
    : m_session(session), m_fd(fd), m_wake(std::move(wake)), m_maxQueuedBytes(maxQueuedBytes) {
    if (pipe(m_stopPipe) != 0) m_stopPipe[0] = m_stopPipe[1] = -1;
    m_reader = std::thread([this] { Read(); });
}

CAutomationInput::~CAutomationInput() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_room.notify_all();
    // A byte on the pipe ends the reader's poll; a reader that failed to get a pipe reads
    // plainly and can only end with its input.
    if (m_stopPipe[1] >= 0) (void)!write(m_stopPipe[1], "x", 1);
    m_reader.join();
    for (int fd : m_stopPipe)
        if (fd >= 0) close(fd);
}

size_t CAutomationInput::QueuedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_queuedBytes;
}

bool CAutomationInput::WaitForRoom() {
    std::unique_lock lock(m_mutex);
    m_room.wait(lock, [this] { return m_stopping || m_queuedBytes <= m_maxQueuedBytes; });
    return !m_stopping;
}

void CAutomationInput::Queue(std::deque<Line>& lines) {
    if (lines.empty()) return;
    {
        std::lock_guard lock(m_mutex);
        for (Line& line : lines) {
            m_queuedBytes += Cost(line.text);
            m_lines.push_back(std::move(line));
        }
    }
    lines.clear();
    m_wake();
}

void CAutomationInput::Read() {
    // The line being read: its bytes so far, or, once it has grown past the limit, nothing
    // until its newline (overlong).
    std::string partial;
    bool overlong = false;
    std::deque<Line> complete;
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        if (!WaitForRoom()) return;
        if (m_stopPipe[0] >= 0) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (fds[1].revents != 0) return;  // stopped: nothing more is handled
        }
        const ssize_t n = read(m_fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        // Each byte is looked at once: only the new bytes are searched for newlines.
        const char* p = chunk.data();
        const char* const end = p + n;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* const stop = nl ? nl : end;
            if (!overlong) {
                if (partial.size() + size_t(stop - p) > kAutomationMaxLineBytes) {
                    overlong = true;
                    std::string().swap(partial);
                } else {
                    partial.append(p, stop);
                }
            }
            if (!nl) break;
            // An empty line would get no reply; it is not worth a place in the queue.
            if (overlong || !partial.empty()) complete.push_back({std::move(partial), overlong});
            partial.clear();
            overlong = false;
            p = nl + 1;
        }
        Queue(complete);
    }
    // A last line without its newline still counts, as it does for getline.
    if (overlong || !partial.empty()) complete.push_back({std::move(partial), overlong});
    {
        std::lock_guard lock(m_mutex);
        for (Line& line : complete) {
            m_queuedBytes += Cost(line.text);
            m_lines.push_back(std::move(line));
        }
        m_endOfInput = true;
    }
    m_wake();
}

void CAutomationInput::Drain() {
    if (m_draining) return;
    m_draining = true;
    while (!m_ended) {
        Line line;
        {
            std::lock_guard lock(m_mutex);
            if (m_lines.empty()) {
                m_ended = m_endOfInput;
                break;
            }
            line = std::move(m_lines.front());
            m_lines.pop_front();
            m_queuedBytes -= Cost(line.text);
        }
        m_room.notify_one();
        if (line.overlong) {
            m_session.RefuseOverlongLine();
        } else if (!m_session.HandleLine(line.text)) {
            m_ended = true;
        }
    }
    m_draining = false;
}
