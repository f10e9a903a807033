// The automation session's reader thread.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "apps/Automation.h"

CAutomationInput::CAutomationInput(CAutomationSession& session, int fd, std::function<void()> wake)
    : m_session(session), m_fd(fd), m_wake(std::move(wake)) {
    if (pipe(m_stopPipe) != 0) m_stopPipe[0] = m_stopPipe[1] = -1;
    m_reader = std::thread([this] { Read(); });
}

CAutomationInput::~CAutomationInput() {
    // A byte on the pipe ends the reader's poll; a reader that failed to get a pipe reads
    // plainly and can only end with its input.
    if (m_stopPipe[1] >= 0) (void)!write(m_stopPipe[1], "x", 1);
    m_reader.join();
    for (int fd : m_stopPipe)
        if (fd >= 0) close(fd);
}

void CAutomationInput::Read() {
    std::string partial;
    char chunk[4096];
    for (;;) {
        if (m_stopPipe[0] >= 0) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (fds[1].revents != 0) return;  // stopped: nothing more is handled
        }
        const ssize_t n = read(m_fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        partial.append(chunk, size_t(n));
        size_t start = 0;
        std::deque<std::string> complete;
        for (size_t nl; (nl = partial.find('\n', start)) != std::string::npos; start = nl + 1)
            complete.push_back(partial.substr(start, nl - start));
        partial.erase(0, start);
        if (complete.empty()) continue;
        {
            std::lock_guard lock(m_mutex);
            for (std::string& line : complete) m_lines.push_back(std::move(line));
        }
        m_wake();
    }
    {
        std::lock_guard lock(m_mutex);
        // A last line without its newline still counts, as it does for getline.
        if (!partial.empty()) m_lines.push_back(std::move(partial));
        m_endOfInput = true;
    }
    m_wake();
}

void CAutomationInput::Drain() {
    if (m_draining) return;
    m_draining = true;
    while (!m_ended) {
        std::string line;
        {
            std::lock_guard lock(m_mutex);
            if (m_lines.empty()) {
                m_ended = m_endOfInput;
                break;
            }
            line = std::move(m_lines.front());
            m_lines.pop_front();
        }
        if (!m_session.HandleLine(line)) m_ended = true;
    }
    m_draining = false;
}
