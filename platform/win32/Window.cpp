// Windows of the system's own: a visible child of a container's window, or a message-only
// window that takes the messages the worker posts without being shown anywhere. The handler
// sits in the window's user data, set once CreateWindowEx has returned, so the system's
// creation messages go to DefWindowProc; the size and destruction messages the system would
// send later are kept from it too, because the framework sends its own.
#include "platform/Window.h"

namespace {

constexpr const char* kClassName = "MovitrelPlatformWindow";

LRESULT CALLBACK PlatformWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* handler = reinterpret_cast<IWindowHandler*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    // Without DefWindowProc's handling of WM_WINDOWPOSCHANGED no WM_SIZE or WM_MOVE follows.
    if (msg == WM_WINDOWPOSCHANGED) return 0;
    if (handler) return handler->OnWindowMessage(hwnd, msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const char*>(&PlatformWindowProc), &module);
    return module;
}

bool RegisterOnce() {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = PlatformWindowProc;
        wc.hInstance = ThisModule();
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

HWND CreatePlatformWindow(IWindowHandler* handler, HWND parent, const RECT* rect) {
    if (!RegisterOnce()) return nullptr;
    const RECT at = rect ? *rect : RECT{0, 0, 0, 0};
    const DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN : 0;
    HWND hwnd = CreateWindowExA(0, kClassName, "", style, at.left, at.top, at.right - at.left,
                                at.bottom - at.top, parent ? parent : HWND_MESSAGE, nullptr,
                                ThisModule(), nullptr);
    if (hwnd) SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handler));
    return hwnd;
}

void MovePlatformWindow(HWND hwnd, const RECT& rect) {
    if (!hwnd || !(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) return;
    SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void DestroyPlatformWindow(HWND hwnd) {
    if (!hwnd) return;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
}

LRESULT DefPlatformWindowProc(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int PumpMessages() {
    // Bounded, so that a handler which posts again cannot keep this call from returning.
    int delivered = 0;
    MSG msg;
    while (delivered < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++delivered;
    }
    return delivered;
}

BOOL WaitMessage(uint32_t timeoutMs) {
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT) == WAIT_OBJECT_0;
}
