// The automate reader thread over a pipe: lines split anywhere by the reads, over-long lines
// refused whole, and a queue that stops the reading while it is full, loses no line and
// still lets the reader be stopped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FakeAutomationHost.h"

using json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

constexpr auto kGenerous = 20s;

// The reader's wakes, latched until the test's thread takes one, as a posted message waits
// in the container's queue.
class WakeSignal {
public:
    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_set = true;
        }
        m_cv.notify_all();
    }
    bool Take() {
        std::unique_lock lock(m_mutex);
        const bool got = m_cv.wait_for(lock, kGenerous, [this] { return m_set; });
        m_set = false;
        return got;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set = false;
};

class AutomationInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pipe(m_pipe), 0);
        m_input = std::make_unique<CAutomationInput>(
            m_session, m_pipe[0], [this] { m_wake.Set(); }, m_maxQueued);
    }
    void TearDown() override {
        m_input.reset();
        CloseWriter();
        close(m_pipe[0]);
    }
    void CloseWriter() {
        if (m_pipe[1] >= 0) close(m_pipe[1]);
        m_pipe[1] = -1;
    }
    // Handles lines as the container's loop does until the input has ended.
    bool DrainUntilEnded() {
        for (;;) {
            m_input->Drain();
            if (m_input->Ended()) return true;
            if (!m_wake.Take()) return false;
        }
    }
    std::vector<json> Replies() {
        std::vector<json> replies;
        for (const std::string& line : m_out) replies.push_back(json::parse(line));
        return replies;
    }

    static std::string Request(int32_t id, size_t pad) {
        return R"({"op":"info","id":)" + std::to_string(id) + R"(,"pad":")" +
               std::string(pad, 'x') + "\"}\n";
    }

    size_t m_maxQueued = kAutomationMaxQueuedBytes;
    int m_pipe[2] = {-1, -1};
    CFakeAutomationHost m_host;
    std::vector<std::string> m_out;
    CAutomationSession m_session{m_host, [this](const std::string& l) { m_out.push_back(l); }};
    WakeSignal m_wake;
    std::unique_ptr<CAutomationInput> m_input;
};

// A small queue, so that the reader fills it at once.
class AutomationInputSmallQueue : public AutomationInputTest {
protected:
    static constexpr size_t kQueue = 64 * 1024;
    // One read may take the queue past its bound: the reader looks before it reads.
    static constexpr size_t kOneRead = 128 * 1024;
    static constexpr int32_t kLines = 2000;  // far more than the queue and the pipe hold
    static constexpr size_t kPad = 1000;

    AutomationInputSmallQueue() { m_maxQueued = kQueue; }
    void SetUp() override {
        AutomationInputTest::SetUp();
        ASSERT_EQ(fcntl(m_pipe[1], F_SETFL, O_NONBLOCK), 0);
    }
    void Refill() {
        while (m_pending.size() < 64 * 1024 && m_next < kLines)
            m_pending += Request(m_next++, kPad);
    }
    // Writes what the pipe takes now; false when it takes nothing.
    bool WriteSome() {
        Refill();
        if (m_pending.empty()) return true;
        const ssize_t n = write(m_pipe[1], m_pending.data(), m_pending.size());
        if (n <= 0) {
            EXPECT_EQ(errno, EAGAIN);
            return false;
        }
        m_pending.erase(0, size_t(n));
        m_written += size_t(n);
        return true;
    }
    // Writes without handling any line until the reader stops taking input with its queue
    // full, or until every line is written (a reader without a bound).
    void FillUntilTheReaderStops() {
        while (m_next < kLines || !m_pending.empty()) {
            if (WriteSome()) continue;
            pollfd p{m_pipe[1], POLLOUT, 0};
            if (poll(&p, 1, 500) == 0 && m_input->QueuedBytes() > kQueue) return;
        }
    }

    std::string m_pending;
    int32_t m_next = 0;
    size_t m_written = 0;
};

}  // namespace

TEST_F(AutomationInputTest, LinesSplitAcrossReadsAndOverlongOnesAreRefusedWhole) {
    // Exactly at the limit, written in pieces; one byte over it; blank lines; a last line
    // without its newline.
    std::string fits = Request(1, 0);
    fits.insert(fits.size() - 3, kAutomationMaxLineBytes + 1 - fits.size(), 'x');
    ASSERT_EQ(fits.size(), kAutomationMaxLineBytes + 1);
    const std::string over = std::string(kAutomationMaxLineBytes + 1, '[') + "\n";
    const std::string longer = std::string(3 * kAutomationMaxLineBytes, ' ') + "\n";
    const std::string last = R"({"op":"info","id":2})";
    std::thread writer([&] {
        for (size_t at = 0; at < fits.size(); at += 1000) {
            const std::string piece = fits.substr(at, 1000);
            ASSERT_EQ(write(m_pipe[1], piece.data(), piece.size()), ssize_t(piece.size()));
        }
        for (const std::string& text : {over, std::string("\n\n"), longer, last})
            ASSERT_EQ(write(m_pipe[1], text.data(), text.size()), ssize_t(text.size()));
        CloseWriter();
    });
    const bool ended = DrainUntilEnded();
    writer.join();
    ASSERT_TRUE(ended);
    const std::vector<json> replies = Replies();
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_EQ(replies[0]["id"], 1);
    for (int32_t i : {1, 2}) {
        EXPECT_EQ(replies[i]["ok"], false);
        EXPECT_NE(replies[i]["error"].get<std::string>().find("longer than 1048576"),
                  std::string::npos);
    }
    EXPECT_EQ(replies[3]["id"], 2);
    EXPECT_EQ(m_input->QueuedBytes(), 0u);
}

TEST_F(AutomationInputSmallQueue, ReadingStopsWhileTheQueueIsFullAndNoLineIsLost) {
    FillUntilTheReaderStops();
    EXPECT_LT(m_next, kLines) << "the reader took every line without waiting";
    EXPECT_GT(m_input->QueuedBytes(), kQueue);
    EXPECT_LE(m_input->QueuedBytes(), kQueue + kOneRead);
    EXPECT_TRUE(m_out.empty());

    // Handling lines makes room; the reader goes on where it stopped.
    const auto deadline = std::chrono::steady_clock::now() + kGenerous;
    while ((m_next < kLines || !m_pending.empty()) && std::chrono::steady_clock::now() < deadline) {
        m_input->Drain();
        if (!WriteSome()) {
            pollfd p{m_pipe[1], POLLOUT, 0};
            poll(&p, 1, 50);
        }
    }
    CloseWriter();
    ASSERT_TRUE(DrainUntilEnded());
    const std::vector<json> replies = Replies();
    ASSERT_EQ(replies.size(), size_t(kLines));
    for (int32_t i = 0; i < kLines; ++i) ASSERT_EQ(replies[size_t(i)]["id"], i);
}

TEST_F(AutomationInputSmallQueue, AReaderWaitingForRoomStopsWhenTheInputIsDestroyed) {
    FillUntilTheReaderStops();
    ASSERT_GT(m_input->QueuedBytes(), kQueue);
    auto destroyed = std::async(std::launch::async, [this] { m_input.reset(); });
    EXPECT_EQ(destroyed.wait_for(kGenerous), std::future_status::ready);
}
