// Window handles and posted messages.
//
// A window belongs to the thread that created it. PostMessage queues a message for that
// thread from any thread and returns at once; the owning thread's message loop (a container)
// delivers it to the window's handler. Messages for a destroyed window are dropped.
#pragma once

#include <cstddef>
#include <functional>

#include "platform/Types.h"

#ifdef _WIN32
#include <windowsx.h>
#else
struct HWND__;
using HWND = HWND__*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_NCLBUTTONDOWN = 0x00A1;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_USER = 0x0400;

constexpr uint32_t MK_LBUTTON = 0x0001;
constexpr uint32_t MK_RBUTTON = 0x0002;

constexpr LPARAM MAKELPARAM(int32_t lo, int32_t hi) {
    return LPARAM(uint32_t(uint16_t(lo)) | (uint32_t(uint16_t(hi)) << 16));
}
constexpr int16_t GET_X_LPARAM(LPARAM lp) {
    return int16_t(uint32_t(lp) & 0xFFFF);
}
constexpr int16_t GET_Y_LPARAM(LPARAM lp) {
    return int16_t((uint32_t(lp) >> 16) & 0xFFFF);
}

#endif  // _WIN32

class IWindowHandler {
public:
    virtual ~IWindowHandler() = default;
    virtual LRESULT OnWindowMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) = 0;
};

// Creates a window owned by the calling thread. The handler must outlive the window. It
// receives messages from the first one the window's owner sends it after this returns; the
// platform never sends it WM_CREATE, WM_SIZE or WM_DESTROY on its own (the owner does). On
// Windows a parent makes it a visible child window at rect (in the parent's client area);
// without one, or elsewhere, it is a window that only takes messages.
HWND CreatePlatformWindow(IWindowHandler* handler, HWND parent = nullptr,
                          const RECT* rect = nullptr);
// Places a child window at rect of its parent's client area (nothing for other windows).
void MovePlatformWindow(HWND hwnd, const RECT& rect);
// What a window does with a message its handler does not take (nothing, off Windows).
LRESULT DefPlatformWindowProc(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);
// Forgets the window: later posts to it are dropped, queued ones are discarded.
void DestroyPlatformWindow(HWND hwnd);
#ifndef _WIN32
BOOL IsWindow(HWND hwnd);
#endif

#ifndef _WIN32
// Messages a thread's queue holds at most, as on the platform: posts beyond it fail.
constexpr size_t kMaxPostedMessages = 10000;
// Queues the message for the window's thread; FALSE for a window that does not exist or a
// full queue.
BOOL PostMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);
// Calls the handler at once; only on the window's own thread. 0 for an unknown window.
LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);
#endif

// The container's side of the loop, for the calling thread's queue.
// Delivers every message queued now (and those its handlers post meanwhile are left for the
// next call); returns how many were delivered.
int PumpMessages();
// Blocks until a message is queued for this thread or the timeout passes; TRUE if one is.
BOOL WaitMessage(uint32_t timeoutMs);
#ifndef _WIN32
// Called (from the posting thread) after each post to this thread's queue, so an event loop
// such as Qt's can schedule a PumpMessages. Pass an empty function to remove it.
void SetPostNotify(std::function<void()> notify);
#endif
