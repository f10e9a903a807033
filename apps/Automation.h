// movitrel automate: one control driven over standard input and output with JSON lines.
// The protocol is described in the README; the session below is container-neutral, and a
// host adapts it to the headless or the Qt container.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/DialogTemplate.h"
#include "host/instance/HostedControl.h"

// A request line holds at most this many bytes before its newline; a longer one is answered
// with an error and never parsed or kept.
constexpr size_t kAutomationMaxLineBytes = size_t(1) << 20;
// Arrays and objects nest at most this deep in a request, its own object counting as one.
constexpr int32_t kAutomationMaxDepth = 64;
// The reader stops reading while the lines it queued and the container has not taken hold
// more than this.
constexpr size_t kAutomationMaxQueuedBytes = size_t(8) << 20;

// What the session needs of a container.
class IAutomationHost {
public:
    virtual ~IAutomationHost() = default;
    // Makes the control (reset to its defaults) and its window; false with a message.
    virtual bool Create(int32_t cx, int32_t cy, std::string* error) = 0;
    // Destroys the window and the control.
    virtual void Destroy() = 0;
    virtual CHostedControl* Control() = 0;
    // A mouse message at a point in the control's client coordinates, as the container's
    // window would deliver it; the control is painted afterwards when it asked to be.
    virtual void Mouse(uint32_t msg, int32_t x, int32_t y, uint32_t flags) = 0;
    // Runs the container's loop until done() holds or the time is up; whether it held.
    virtual bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) = 0;
    virtual bool SavePng(const std::string& path) = 0;
    virtual int32_t PaintCount() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual void Resize(int32_t cx, int32_t cy) = 0;
    // Destroys the window (when live), runs change, and creates it again when it was live.
    virtual void WithWindowRecreated(const std::function<void()>& change) = 0;
    // Dialogs the control showed since the last call (a headless container records them).
    virtual std::vector<CDialogTemplate> TakeDialogs() { return {}; }
};

class CAutomationSession : private IControlEventSink {
public:
    using Writer = std::function<void(const std::string& line)>;
    CAutomationSession(IAutomationHost& host, Writer write);
    ~CAutomationSession() override;
    CAutomationSession(const CAutomationSession&) = delete;
    CAutomationSession& operator=(const CAutomationSession&) = delete;

    // Handles one request line and writes its reply (after the events it caused). False once
    // the session has ended ("quit"). Whatever the line holds, it gets one reply and the
    // session goes on; only a blank line gets none.
    bool HandleLine(const std::string& line);
    // Answers a line the reader dropped for being longer than kAutomationMaxLineBytes.
    void RefuseOverlongLine();

private:
    struct Impl;
    void OnEvent(DISPID dispid, const CString& name, const std::vector<CVariant>& args) override;
    std::unique_ptr<Impl> m_impl;
};

// The session's requests from a file descriptor (standard input). A thread of its own only
// reads and queues lines, so the container's loop runs on while no request comes; wake() tells
// the container's thread (from the reader thread) that lines or the end of input are queued,
// and that thread handles them with Drain.
class CAutomationInput {
public:
    CAutomationInput(CAutomationSession& session, int fd, std::function<void()> wake,
                     size_t maxQueuedBytes = kAutomationMaxQueuedBytes);
    // Stops the reader, also while it waits for input that never comes, and joins it.
    ~CAutomationInput();
    CAutomationInput(const CAutomationInput&) = delete;
    CAutomationInput& operator=(const CAutomationInput&) = delete;

    // Handles the queued lines in order, on the caller's thread. A call made while an earlier
    // one is inside a request (a wait or a dialog runs a nested loop) returns at once: the
    // earlier call goes on with the rest, so requests never nest.
    void Drain();
    // After "quit" or the end of input.
    bool Ended() const { return m_ended; }
    // What the queue holds now: the lines' bytes and a little for each line.
    size_t QueuedBytes() const;

private:
    struct Line {
        std::string text;
        bool overlong = false;  // dropped unread; text is empty
    };
    void Read();
    // Blocks while the queue is full; false once the input is being destroyed.
    bool WaitForRoom();
    void Queue(std::deque<Line>& lines);

    CAutomationSession& m_session;
    const int m_fd;
    std::function<void()> m_wake;
    const size_t m_maxQueuedBytes;
    int m_stopPipe[2] = {-1, -1};
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<Line> m_lines;   // under m_mutex
    size_t m_queuedBytes = 0;   // under m_mutex
    bool m_endOfInput = false;  // under m_mutex
    bool m_stopping = false;    // under m_mutex
    bool m_draining = false;
    bool m_ended = false;
    std::thread m_reader;
};

// Writes one line of the session to standard output at once.
void WriteAutomationLine(const std::string& line);
