// A C++ container of the control for the Wine tests: hosts it in the ATL host windows
// (AtlAxWin, AtlAxWin100, AtlAxCreateControl), sinks its events, reads its pixels back, drags
// its resize border, saves and loads it, and opens its About box. Each command prints PASS lines,
// or FAIL lines with what differed, and exits with the number of failures.
//
//   container pixels HOST W H DIR EXPECTED.ppm [maximize]
//   container play HOST DIR
//   container border HOST DIR
//   container persist
//   container refused
//   container sinks
//   container memory
//   container pages
//   container about
//   container resources OCX
#include <ocidl.h>
#include <olectl.h>
#include <tlhelp32.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const CLSID kControlClsid{
    0xFA502BD9, 0xA409, 0x47D6, {0xB9, 0xB2, 0x38, 0xAD, 0x18, 0x96, 0xD1, 0xDE}};
const IID kEventsIid{0xD21DF837, 0x160C, 0x4A03, {0xA3, 0x60, 0xB2, 0xD8, 0x0B, 0x0C, 0x22, 0xFF}};
constexpr wchar_t kProgId[] = L"MOVITREL.MovitrelCtrl.1";
const CLSID kFilesPage{
    0xe27a4c66, 0x0ce4, 0x4431, {0xae, 0x81, 0x85, 0xf7, 0xa3, 0xcc, 0x30, 0x19}};
const CLSID kControlsPage{
    0x9068f3a6, 0x6046, 0x4dd3, {0x95, 0x2b, 0x38, 0x7f, 0x87, 0xef, 0x7f, 0x28}};
const CLSID kPlaybackPage{
    0x3b8f6d2e, 0x71c4, 0x4e5a, {0x8d, 0x16, 0x52, 0xa9, 0xe0, 0x47, 0xc3, 0x6b}};
const CLSID kStockColorPage{
    0x7EBDAAE1, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};

int g_failures = 0;

void Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::printf("FAIL ");
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    ++g_failures;
}

std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(size_t(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    return out;
}

// Delivers messages until done() or the deadline; false at the deadline.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

int ThreadCount() {
    int count = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snap);
    return count;
}

// The thread count once it has held still for half a second (or the wait ran out): Wine's own
// threads, and a worker on its way out, come and go for a while after a change.
int SettledThreadCount(DWORD timeoutMs) {
    int last = ThreadCount();
    DWORD since = GetTickCount();
    PumpUntil(
        [&] {
            const int now = ThreadCount();
            if (now != last) {
                last = now;
                since = GetTickCount();
            }
            return GetTickCount() - since >= 500;
        },
        timeoutMs);
    return last;
}

// ---- Properties through IDispatch -----------------------------------------------------------

DISPID IdOf(IDispatch* control, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

HRESULT Put(IDispatch* control, const wchar_t* name, VARIANT value) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &put, 1, 1};
    return control->Invoke(IdOf(control, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                           &params, nullptr, nullptr, nullptr);
}

HRESULT PutInt(IDispatch* control, const wchar_t* name, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return Put(control, name, v);
}

HRESULT PutBool(IDispatch* control, const wchar_t* name, bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return Put(control, name, v);
}

HRESULT PutText(IDispatch* control, const wchar_t* name, const std::wstring& value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(value.c_str());
    const HRESULT hr = Put(control, name, v);
    VariantClear(&v);
    return hr;
}

// The property as text ("" when it cannot be read), for comparing whole sets.
std::wstring Get(IDispatch* control, const wchar_t* name) {
    DISPPARAMS none{};
    VARIANT result, text;
    VariantInit(&result);
    VariantInit(&text);
    std::wstring out;
    if (SUCCEEDED(control->Invoke(IdOf(control, name), IID_NULL, LOCALE_USER_DEFAULT,
                                  DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr)) &&
        SUCCEEDED(VariantChangeType(&text, &result, 0, VT_BSTR))) {
        out = text.bstrVal;
    }
    VariantClear(&result);
    VariantClear(&text);
    return out;
}

// ---- Event sink -------------------------------------------------------------------------------

// Hears the control's events. A sink made with asEvents false offers only IDispatch, as
// scripting hosts' sinks do.
class CEventSink final : public IDispatch {
public:
    explicit CEventSink(bool asEvents = true) : m_asEvents(asEvents) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || (m_asEvents && iid == kEventsIid)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        static const char* const kNames[] = {"?", "ClickInPic", "ChangeCommand", "ChangeLoop",
                                             "ChangePause"};
        std::string text = id >= 1 && id <= 4 ? kNames[id] : "?";
        text += "(";
        // Arguments arrive last first.
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT v;
            VariantInit(&v);
            VariantChangeType(&v, &params->rgvarg[i], 0, VT_I4);
            text += std::to_string(v.lVal) + (i ? "," : "");
        }
        text += ")";
        events.push_back(text);
        return S_OK;
    }
    std::vector<std::string> events;

private:
    bool m_asEvents;
};

// Hears property changes.
class CNotifySink final : public IPropertyNotifySink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyNotifySink) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
    std::vector<DISPID> changed;
};

// What the connection point of iid answers when the sink asks to connect.
HRESULT Advise(IUnknown* control, const IID& iid, IUnknown* sink, DWORD* cookie) {
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    *cookie = 0;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container));
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(iid, &point);
    if (SUCCEEDED(hr)) hr = point->Advise(sink, cookie);
    if (point) point->Release();
    if (container) container->Release();
    return hr;
}

DWORD Connect(IUnknown* control, const IID& iid, IUnknown* sink) {
    DWORD cookie = 0;
    Advise(control, iid, sink, &cookie);
    return cookie;
}

// ---- The ATL host ---------------------------------------------------------------------------

struct CAtl {
    HMODULE dll = nullptr;
    BOOL(WINAPI* init)() = nullptr;
    HRESULT(WINAPI* getControl)(HWND, IUnknown**) = nullptr;
    HRESULT(WINAPI* createControl)(LPCOLESTR, HWND, IStream*, IUnknown**) = nullptr;

    void* Proc(const char* name) const {
        return reinterpret_cast<void*>(GetProcAddress(dll, name));
    }
    bool Load(const wchar_t* name) {
        dll = LoadLibraryW(name);
        if (!dll) return false;
        init = reinterpret_cast<decltype(init)>(Proc("AtlAxWinInit"));
        getControl = reinterpret_cast<decltype(getControl)>(Proc("AtlAxGetControl"));
        createControl = reinterpret_cast<decltype(createControl)>(Proc("AtlAxCreateControl"));
        return init && getControl && createControl && init();
    }
};

// A top-level window of w x h client pixels holding the control by the given means; null on
// failure. *control gets the control's IDispatch.
HWND Host(const char* how, int w, int h, IDispatch** control) {
    static CAtl atl, atl100;
    static bool loaded = atl.Load(L"atl.dll") && atl100.Load(L"atl100.dll");
    *control = nullptr;
    if (!loaded) {
        Fail("the ATL host DLLs do not load");
        return nullptr;
    }
    RECT frame{0, 0, w, h};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND top = CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    HWND host = nullptr;
    IUnknown* unknown = nullptr;
    const CAtl& lib = std::strcmp(how, "AtlAxWin100") == 0 ? atl100 : atl;
    if (std::strcmp(how, "AtlAxWin") == 0 || std::strcmp(how, "AtlAxWin100") == 0) {
        host = CreateWindowExW(0, Wide(how).c_str(), kProgId, WS_CHILD | WS_VISIBLE, 0, 0, w, h,
                               top, nullptr, GetModuleHandleW(nullptr), nullptr);
    } else {
        host = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, w, h, top, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        IUnknown* site = nullptr;
        if (FAILED(lib.createControl(kProgId, host, nullptr, &site))) host = nullptr;
        if (site) site->Release();
    }
    if (!host || FAILED(lib.getControl(host, &unknown)) || !unknown) {
        Fail("%s: no control in the host window", how);
        DestroyWindow(top);
        return nullptr;
    }
    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(control));
    unknown->Release();
    return top;
}

HWND ControlWindow(IDispatch* control) {
    IOleWindow* window = nullptr;
    HWND hwnd = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
        window->GetWindow(&hwnd);
        window->Release();
    }
    return hwnd;
}

// ---- Pixels ---------------------------------------------------------------------------------

struct CPicture {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB, top row first
};

bool ReadPpm(const char* path, CPicture* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    int max = 0;
    const bool header = std::fscanf(f, "P6 %d %d %d", &out->w, &out->h, &max) == 3 && max == 255;
    std::fgetc(f);
    std::vector<unsigned char> rgb(size_t(out->w) * out->h * 3);
    const bool body = header && std::fread(rgb.data(), 1, rgb.size(), f) == rgb.size();
    std::fclose(f);
    out->px.resize(size_t(out->w) * out->h);
    for (size_t i = 0; body && i < out->px.size(); ++i) {
        out->px[i] =
            (uint32_t(rgb[3 * i]) << 16) | (uint32_t(rgb[3 * i + 1]) << 8) | rgb[3 * i + 2];
    }
    return body;
}

// A w x h 32-bit memory device; draw() paints into it, then the pixels are read.
template <class Paint>
CPicture Capture(int w, int h, Paint paint) {
    CPicture pic;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    paint(dc);
    GdiFlush();
    pic.w = w;
    pic.h = h;
    const auto* p = static_cast<const uint32_t*>(bits);
    pic.px.assign(p, p + size_t(w) * h);
    for (uint32_t& v : pic.px) v &= 0x00FFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pic;
}

// How many pixels differ; the first difference described in *where.
long Differences(const CPicture& a, const CPicture& b, std::string* where) {
    if (a.w != b.w || a.h != b.h) {
        *where = "sizes differ";
        return long(a.px.size() + b.px.size());
    }
    long diff = 0;
    for (size_t i = 0; i < a.px.size(); ++i) {
        if (a.px[i] == b.px[i]) continue;
        if (diff++ == 0) {
            char text[96];
            std::snprintf(text, sizeof text, "first at (%d,%d): %06X, expected %06X", int(i % a.w),
                          int(i / a.w), unsigned(a.px[i]), unsigned(b.px[i]));
            *where = text;
        }
    }
    return diff;
}

int Pixels(const char* how, int w, int h, const char* dir, const char* expectedPath,
           bool maximize) {
    CPicture expected;
    if (!ReadPpm(expectedPath, &expected)) {
        Fail("cannot read %s", expectedPath);
        return g_failures;
    }
    IDispatch* control = nullptr;
    HWND top = Host(how, w, h, &control);
    if (!top) return g_failures;
    PutInt(control, L"Sort", 1);
    if (maximize) PutBool(control, L"Maximize", true);
    PutText(control, L"Dir", Wide(dir));
    const HWND hwnd = ControlWindow(control);
    IViewObject2* view = nullptr;
    control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view));
    // The scan and the first frame's decode run on the worker: poll until both readings show
    // what the other platform rendered, or the deadline passes.
    long printDiff = -1, viewDiff = -1;
    std::string printWhere, viewWhere;
    PumpUntil(
        [&] {
            const CPicture printed = Capture(w, h, [&](HDC dc) { PrintWindow(hwnd, dc, 0); });
            const CPicture drawn = Capture(w, h, [&](HDC dc) {
                const RECTL bounds{0, 0, w, h};
                if (view) {
                    view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds,
                               nullptr, nullptr, 0);
                }
            });
            printDiff = Differences(printed, expected, &printWhere);
            viewDiff = Differences(drawn, expected, &viewWhere);
            return printDiff == 0 && viewDiff == 0;
        },
        20000);
    if (printDiff == 0) {
        std::printf("PASS PrintWindow %s %dx%d: %d pixels equal\n", how, w, h, w * h);
    } else {
        Fail("PrintWindow %s: %ld of %d pixels differ, %s", how, printDiff, w * h,
             printWhere.c_str());
    }
    if (viewDiff == 0) {
        std::printf("PASS IViewObject2::Draw %s %dx%d: %d pixels equal\n", how, w, h, w * h);
    } else {
        Fail("IViewObject2::Draw %s: %ld of %d pixels differ, %s", how, viewDiff, w * h,
             viewWhere.c_str());
    }
    if (view) view->Release();
    control->Release();
    DestroyWindow(top);
    return g_failures;
}

// ---- Playing, events, activation and threads -------------------------------------------------

int Play(const char* how, const char* dir) {
    const int baseline = ThreadCount();
    IDispatch* control = nullptr;
    HWND top = Host(how, 200, 150, &control);
    if (!top) return g_failures;
    CEventSink sink;
    if (Connect(control, kEventsIid, &sink) == 0) Fail("no event connection");
    PutInt(control, L"Delay", 10);
    PutText(control, L"Dir", Wide(dir));
    PutInt(control, L"Command", 1);
    const bool ended = PumpUntil([&] { return sink.events.size() >= 2; }, 20000);
    std::string all;
    for (const std::string& e : sink.events) all += e + " ";
    if (!ended || all != "ChangeCommand(1) ChangeCommand(0) ") {
        Fail("events: %s", all.c_str());
    } else {
        std::printf("PASS events %s: %s\n", how, all.c_str());
    }

    // The site moves the control's window with its own.
    HWND hwnd = ControlWindow(control);
    HWND host = GetParent(hwnd);
    SetWindowPos(host, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE);
    RECT rect{};
    PumpUntil(
        [&] {
            GetClientRect(hwnd, &rect);
            return rect.right == 320 && rect.bottom == 240;
        },
        5000);
    if (rect.right != 320 || rect.bottom != 240) {
        Fail("resize: the control is %ldx%ld", rect.right, rect.bottom);
    } else {
        std::printf("PASS resize to 320x240\n");
    }

    // In-place deactivation ends the worker; activation starts a new one. The counts are
    // compared, not matched: Wine's own short-lived threads come and go meanwhile.
    const int active = ThreadCount();
    IOleInPlaceObject* inPlace = nullptr;
    IOleObject* object = nullptr;
    control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
    control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object));
    inPlace->InPlaceDeactivate();
    const bool stopped = PumpUntil([&] { return ThreadCount() < active; }, 10000);
    // The fall may have been one of Wine's threads leaving before the worker did: the
    // baseline for the new worker is the count once it settles.
    const int inactive = SettledThreadCount(5000);
    if (!stopped || ControlWindow(control)) {
        Fail("deactivation: %d threads (%d while active), window %p", ThreadCount(), active,
             static_cast<void*>(ControlWindow(control)));
    } else {
        std::printf("PASS deactivation ends the worker and the window\n");
    }
    IOleClientSite* site = nullptr;
    object->GetClientSite(&site);
    RECT pos{0, 0, 320, 240};
    object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, host, &pos);
    const bool restarted = PumpUntil([&] { return ThreadCount() > inactive; }, 10000);
    if (!restarted || !ControlWindow(control)) {
        Fail("re-activation: %d threads, %d while inactive", ThreadCount(), inactive);
    } else {
        std::printf("PASS re-activation starts a worker in a new window\n");
    }
    if (site) site->Release();
    inPlace->Release();
    object->Release();

    // Destroyed: no thread of the control's is left, and the module may unload.
    control->Release();
    DestroyWindow(top);
    const bool gone = PumpUntil([&] { return ThreadCount() <= baseline; }, 10000);
    HMODULE ocx = GetModuleHandleW(L"MOVITREL.OCX");
    auto canUnload = ocx ? reinterpret_cast<HRESULT(WINAPI*)()>(
                               reinterpret_cast<void*>(GetProcAddress(ocx, "DllCanUnloadNow")))
                         : nullptr;
    const HRESULT unload = canUnload ? canUnload() : E_FAIL;
    if (!gone || unload != S_OK) {
        Fail("after destruction: %d threads (%d before), DllCanUnloadNow 0x%08lX", ThreadCount(),
             baseline, unload);
    } else {
        std::printf("PASS destroyed: no thread left, DllCanUnloadNow S_OK\n");
    }
    return g_failures;
}

// ---- Watch ------------------------------------------------------------------------------------

// Two frames, stepped to the last; a third renamed into the folder is reached by the next step
// only when the control follows the folder (through the system's change notification).
int Watch(const char* frames, const char* dir) {
    const std::wstring from = Wide(frames), to = Wide(dir);
    CreateDirectoryW(to.c_str(), nullptr);
    DeleteFileW((to + L"\\frame2.jpg").c_str());
    for (const wchar_t* name : {L"\\frame0.jpg", L"\\frame1.jpg"}) {
        if (!CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE)) Fail("copy %ls", name);
    }
    IDispatch* control = nullptr;
    HWND top = Host("AtlAxWin", 200, 150, &control);
    if (!top) return g_failures;
    CEventSink sink;
    if (Connect(control, kEventsIid, &sink) == 0) Fail("no event connection");
    PutBool(control, L"Watch", true);
    PutInt(control, L"Sort", 1);
    PutText(control, L"Dir", to);
    auto settle = [](DWORD ms) { PumpUntil([] { return false; }, ms); };
    auto heard = [&] {
        std::string all;
        for (const std::string& e : sink.events) all += e + " ";
        return all;
    };
    // From rest the first step shows frame 0 again, the second frame 1: the last.
    settle(1000);
    PutInt(control, L"Command", 5);
    settle(1000);
    PutInt(control, L"Command", 5);
    settle(1000);
    const std::wstring staged = to + L"\\frame2.part";
    if (!CopyFileW((from + L"\\frame2.jpg").c_str(), staged.c_str(), FALSE) ||
        !MoveFileW(staged.c_str(), (to + L"\\frame2.jpg").c_str())) {
        Fail("rename frame2 in");
    }
    settle(3000);  // the change settles and the list is built again
    PutInt(control, L"Command", 5);
    settle(1500);
    // The first step pauses (a VARIANT_BOOL true is -1); none of the three ends playback.
    const std::string three = heard();
    if (three != "ChangePause(-1) ChangeCommand(5) ChangeCommand(5) ChangeCommand(5) ") {
        Fail("the third step did not reach the new frame: %s", three.c_str());
    }
    // One more step passes the end of the three frames.
    PutInt(control, L"Command", 5);
    PumpUntil([&] { return sink.events.size() >= 7; }, 20000);
    const std::string all = heard();
    if (all.rfind(three + "ChangeCommand(5) ChangeCommand(0) ", 0) != 0) {
        Fail("events: %s", all.c_str());
    } else if (g_failures == 0) {
        std::printf("PASS watch: %s\n", all.c_str());
    }
    control->Release();
    DestroyWindow(top);
    return g_failures;
}

// ---- The resize border ------------------------------------------------------------------------

// The border's width around a UI-active control, which is also its handles' size.
constexpr int kBorder = 8;

// HIMETRIC of a length in pixels of a 96-dot-per-inch screen, rounded as the control rounds.
LONG Himetric(int px) {
    return LONG((px * 2540 + 48) / 96);
}

uint32_t Rgb32(COLORREF c) {
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

CPicture Crop(const CPicture& from, int x, int y, int w, int h) {
    CPicture part;
    part.w = w;
    part.h = h;
    for (int row = y; row < y + h; ++row) {
        const auto start = from.px.begin() + ptrdiff_t(row) * from.w + x;
        part.px.insert(part.px.end(), start, start + w);
    }
    return part;
}

std::string RectText(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

// Puts with in a slot of a method table (Wine's ATL site shares its tables with every site of
// its kind); the slot's former method, or null when it cannot be written.
void* PatchSlot(void** slot, void* with) {
    DWORD was = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was)) return nullptr;
    void* former = *slot;
    *slot = with;
    VirtualProtect(slot, sizeof *slot, was, &was);
    return former;
}

// The index'th slot of the object's method table.
void** Slot(IUnknown* object, int index) {
    return *reinterpret_cast<void***>(object) + index;
}

// Wine's ATL site answers OnPosRectChange with E_NOTIMPL and moves nothing. The hook, put in
// the site's method table, hears the request and then places the control there through
// SetObjectRects, as a container that grants it does.
class CPosRectHook {
public:
    struct Heard {
        RECT rect;
        SIZEL extent;      // the control's, as it asked
        HRESULT original;  // what the ATL site answered
    };

    explicit CPosRectHook(IDispatch* control) {
        control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&m_object));
        control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace));
        IOleClientSite* client = nullptr;
        IOleInPlaceSite* site = nullptr;
        if (m_object && m_inPlace && SUCCEEDED(m_object->GetClientSite(&client)) && client &&
            SUCCEEDED(
                client->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)))) {
            // IUnknown's three, IOleWindow's two, then nine of IOleInPlaceSite before it.
            void** slot = Slot(site, 14);
            m_original = reinterpret_cast<Method>(
                PatchSlot(slot, reinterpret_cast<void*>(&OnPosRectChange)));
            if (m_original) {
                m_slot = slot;
                s_active = this;
            }
        }
        if (site) site->Release();
        if (client) client->Release();
    }
    ~CPosRectHook() {
        if (m_slot) PatchSlot(m_slot, reinterpret_cast<void*>(m_original));
        s_active = nullptr;
        if (m_inPlace) m_inPlace->Release();
        if (m_object) m_object->Release();
    }
    CPosRectHook(const CPosRectHook&) = delete;
    CPosRectHook& operator=(const CPosRectHook&) = delete;

    bool Installed() const { return m_slot != nullptr; }
    std::vector<Heard> heard;

private:
    using Method = HRESULT(STDMETHODCALLTYPE*)(IOleInPlaceSite*, LPCRECT);
    static HRESULT STDMETHODCALLTYPE OnPosRectChange(IOleInPlaceSite* site, LPCRECT rect) {
        CPosRectHook* self = s_active;
        Heard h{*rect, {}, self->m_original(site, rect)};
        self->m_object->GetExtent(DVASPECT_CONTENT, &h.extent);
        self->heard.push_back(h);
        self->m_inPlace->SetObjectRects(rect, rect);
        return S_OK;
    }
    static inline CPosRectHook* s_active = nullptr;
    IOleObject* m_object = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    void** m_slot = nullptr;
    Method m_original = nullptr;
};

// The ambient properties Wine's ATL site lacks: its QueryInterface, hooked, answers IDispatch
// with these, ShowGrabHandles and ShowHatching as set.
class CAmbients final : public IDispatch {
public:
    explicit CAmbients(IOleClientSite* site) {
        m_slot = Slot(site, 0);
        m_original =
            reinterpret_cast<Method>(PatchSlot(m_slot, reinterpret_cast<void*>(&HookedQuery)));
        if (m_original) s_active = this;
    }
    ~CAmbients() {
        if (m_original) PatchSlot(m_slot, reinterpret_cast<void*>(m_original));
        s_active = nullptr;
    }
    CAmbients(const CAmbients&) = delete;
    CAmbients& operator=(const CAmbients&) = delete;
    bool Installed() const { return m_original != nullptr; }

    bool grabHandles = true;
    bool hatching = true;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDispatch ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != DISPID_AMBIENT_SHOWGRABHANDLES && id != DISPID_AMBIENT_SHOWHATCHING) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const bool on = id == DISPID_AMBIENT_SHOWGRABHANDLES ? grabHandles : hatching;
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    using Method = HRESULT(STDMETHODCALLTYPE*)(IOleClientSite*, REFIID, void**);
    static HRESULT STDMETHODCALLTYPE HookedQuery(IOleClientSite* site, REFIID iid, void** out) {
        if (iid != IID_IDispatch) return s_active->m_original(site, iid, out);
        *out = static_cast<IDispatch*>(s_active);
        return S_OK;
    }
    static inline CAmbients* s_active = nullptr;
    void** m_slot = nullptr;
    Method m_original = nullptr;
};

// Posted input is delivered once a marker posted behind it arrives. A drag still holding the
// mouse then would wait for ever: the marker ends it and says so.
bool g_markerSeen = false;
bool g_dragOutlived = false;

LRESULT CALLBACK MarkerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_APP) return DefWindowProcW(hwnd, msg, wParam, lParam);
    g_markerSeen = true;
    if (GetCapture()) {
        g_dragOutlived = true;
        ReleaseCapture();
    }
    return 0;
}

bool DeliverPosted() {
    static const HWND marker = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = MarkerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ContainerMarker";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    }();
    g_markerSeen = g_dragOutlived = false;
    PostMessageW(marker, WM_APP, 0, 0);
    return PumpUntil([] { return g_markerSeen; }, 10000) && !g_dragOutlived;
}

// A press on the window at p (its own coordinates, border included) with the code its hit test
// answers, a move by delta in two steps and the release, all posted as the mouse posts them:
// the press in screen coordinates, the rest in the client area's.
void PostDrag(HWND hwnd, POINT p, POINT delta, bool escape) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    const POINT screen{window.left + p.x, window.top + p.y};
    const LPARAM at = MAKELPARAM(screen.x, screen.y);
    const WPARAM hit = WPARAM(SendMessageW(hwnd, WM_NCHITTEST, 0, at));
    PostMessageW(hwnd, WM_NCLBUTTONDOWN, hit, at);
    POINT c = screen;
    ScreenToClient(hwnd, &c);
    PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.x + delta.x / 2, c.y + delta.y / 2));
    PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.x + delta.x, c.y + delta.y));
    if (escape) PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(c.x + delta.x, c.y + delta.y));
}

// The control in the site's window: its whole window and its client area.
std::string Placement(HWND hwnd) {
    RECT window{}, client{};
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&window), 2);
    MapWindowPoints(hwnd, GetParent(hwnd), reinterpret_cast<POINT*>(&client), 2);
    return "window " + RectText(window) + ", client " + RectText(client);
}

std::string PlacementOf(const RECT& pos, int border) {
    const RECT window{pos.left - border, pos.top - border, pos.right + border, pos.bottom + border};
    return "window " + RectText(window) + ", client " + RectText(pos);
}

// Points of the window and what its hit test must answer there: with a border, the middle of
// each handle (the four corners, the middle of each side; the band's when there are no handles),
// the band and the client area; without one, the same places inside the window, all of them the
// client area's.
std::vector<std::pair<POINT, UINT>> Probes(int w, int h, int border, bool handles) {
    const int b = border;
    const int right = b ? b + w + b / 2 : w - 2, bottom = b ? b + h + b / 2 : h - 2;
    const int left = b ? b / 2 : 1, top = left;
    const int midX = b + w / 2, midY = b + h / 2;
    const UINT client = HTCLIENT;
    std::vector<std::pair<POINT, UINT>> probes = {
        {{left, top}, b ? UINT(HTTOPLEFT) : client},
        {{midX, top}, b ? UINT(HTTOP) : client},
        {{right, top}, b ? UINT(HTTOPRIGHT) : client},
        {{right, midY}, b ? UINT(HTRIGHT) : client},
        {{right, bottom}, b ? UINT(HTBOTTOMRIGHT) : client},
        {{midX, bottom}, b ? UINT(HTBOTTOM) : client},
        {{left, bottom}, b ? UINT(HTBOTTOMLEFT) : client},
        {{left, midY}, b ? UINT(HTLEFT) : client},
        {{midX, midY}, client},
    };
    if (!handles) {
        for (auto& [p, code] : probes)
            if (code != HTCLIENT) code = HTBORDER;
    }
    if (b && w >= 3 * b + 48) probes.push_back({{2 * b + 3, top}, UINT(HTBORDER)});
    return probes;
}

// One control in the ATL host, UI-activated or not, its border dragged by posted messages.
class CBorderCase {
public:
    CBorderCase(IDispatch* control, HWND hwnd) : m_control(control), m_hwnd(hwnd) {
        control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&m_view));
        control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&m_object));
    }
    ~CBorderCase() {
        if (m_object) m_object->Release();
        if (m_view) m_view->Release();
    }
    CBorderCase(const CBorderCase&) = delete;
    CBorderCase& operator=(const CBorderCase&) = delete;

    RECT pos{0, 0, 0, 0};  // the site's rectangle for the control
    int border = 0;        // the border expected around it
    bool handles = true;   // and whether it has handles

    // The window where the site's rectangle says, standing out by the border; hit tests as the
    // border has them; its picture the control's drawing of its state, inside the border.
    void ExpectShown(const char* name) {
        const int before = g_failures;
        const std::string placement = Placement(m_hwnd);
        if (placement != PlacementOf(pos, border)) {
            Fail("%s: %s, expected %s", name, placement.c_str(), PlacementOf(pos, border).c_str());
        }
        const int w = pos.right - pos.left, h = pos.bottom - pos.top;
        RECT window{};
        GetWindowRect(m_hwnd, &window);
        for (const auto& [p, code] : Probes(w, h, border, handles)) {
            const LRESULT got = SendMessageW(m_hwnd, WM_NCHITTEST, 0,
                                             MAKELPARAM(window.left + p.x, window.top + p.y));
            if (got != LRESULT(code)) {
                Fail("%s: hit test at (%ld,%ld) of the window answers %ld, expected %u", name, p.x,
                     p.y, long(got), code);
            }
        }
        ExpectPicture(name, w, h);
        if (g_failures == before) {
            std::printf("PASS %s: %s, %s, hit tests and pixels as expected\n", name,
                        placement.c_str(),
                        !border   ? "no border"
                        : handles ? "a border"
                                  : "a border without handles");
        }
    }

    // Drags from p (window coordinates) by delta. The site hears want (null: nothing), with the
    // control's extent already at the new size; then the control stands there.
    void ExpectDrag(const char* name, CPosRectHook& hook, POINT p, POINT delta, const RECT* want,
                    bool escape = false) {
        const int before = g_failures;
        const size_t heard = hook.heard.size();
        SIZEL extent{};
        m_object->GetExtent(DVASPECT_CONTENT, &extent);
        PostDrag(m_hwnd, p, delta, escape);
        if (!DeliverPosted()) Fail("%s: the drag outlived its messages", name);
        if (!want) {
            if (hook.heard.size() != heard) {
                Fail("%s: the site heard %s", name, RectText(hook.heard.back().rect).c_str());
            }
        } else if (hook.heard.size() != heard + 1) {
            Fail("%s: the site heard %zu rectangles", name, hook.heard.size() - heard);
        } else {
            const CPosRectHook::Heard& got = hook.heard.back();
            const int w = want->right - want->left, h = want->bottom - want->top;
            const bool resized = w != pos.right - pos.left || h != pos.bottom - pos.top;
            const SIZEL expected = resized ? SIZEL{Himetric(w), Himetric(h)} : extent;
            if (!EqualRect(&got.rect, want)) {
                Fail("%s: the site heard %s, expected %s", name, RectText(got.rect).c_str(),
                     RectText(*want).c_str());
            }
            if (got.extent.cx != expected.cx || got.extent.cy != expected.cy) {
                Fail("%s: the extent was %ldx%ld, expected %ldx%ld", name, got.extent.cx,
                     got.extent.cy, expected.cx, expected.cy);
            }
            pos = *want;
            if (g_failures == before) {
                std::printf("PASS %s: the site heard %s (its own answer 0x%08lX), extent %ldx%ld\n",
                            name, RectText(got.rect).c_str(), got.original, got.extent.cx,
                            got.extent.cy);
            }
        }
        ExpectShown(name);
    }

private:
    // PrintWindow's picture, border included and client area only, against IViewObject2::Draw
    // at the client's size; the border's handles and hatching where it is shown. The worker
    // may still be decoding the frame: polled until the readings agree or the deadline passes.
    void ExpectPicture(const char* name, int w, int h) {
        const int b = border;
        const uint32_t handle = Rgb32(GetSysColor(COLOR_WINDOWTEXT));
        const uint32_t hatch = Rgb32(GetSysColor(COLOR_3DSHADOW));
        std::string why;
        PumpUntil(
            [&] {
                why.clear();
                const CPicture whole =
                    Capture(w + 2 * b, h + 2 * b, [&](HDC dc) { PrintWindow(m_hwnd, dc, 0); });
                const CPicture client =
                    Capture(w, h, [&](HDC dc) { PrintWindow(m_hwnd, dc, PW_CLIENTONLY); });
                const CPicture drawn = Capture(w, h, [&](HDC dc) {
                    const RECTL bounds{0, 0, w, h};
                    m_view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds,
                                 nullptr, nullptr, 0);
                });
                std::string where;
                if (long n = Differences(Crop(whole, b, b, w, h), drawn, &where)) {
                    why = "PrintWindow's client area: " + std::to_string(n) + " pixels differ, " +
                          where;
                    return false;
                }
                if (long n = Differences(client, drawn, &where)) {
                    why = "PrintWindow of the client only: " + std::to_string(n) +
                          " pixels differ, " + where;
                    return false;
                }
                if (b == 0) return true;
                // Where the handles stand, all of them drawn, or none.
                for (const auto& [p, code] : Probes(w, h, b, true)) {
                    if (code == HTCLIENT || code == HTBORDER) continue;
                    if ((whole.px[size_t(p.y) * whole.w + p.x] == handle) != handles) {
                        why = std::string(handles ? "no" : "a") + " handle at (" +
                              std::to_string(p.x) + "," + std::to_string(p.y) + ")";
                        return false;
                    }
                }
                // Along the top band, clear of the handles: hatched, so some pixels but not all.
                if (w >= 3 * b + 48) {
                    int hatched = 0;
                    for (int x = 2 * b; x < 2 * b + 24; ++x)
                        hatched += whole.px[size_t(b / 2) * whole.w + x] == hatch;
                    if (hatched == 0 || hatched == 24) {
                        why = "the band is not hatched (" + std::to_string(hatched) + " of 24)";
                        return false;
                    }
                }
                return true;
            },
            20000);
        if (!why.empty()) Fail("%s: %s", name, why.c_str());
    }

    IDispatch* m_control;
    HWND m_hwnd;
    IViewObject2* m_view = nullptr;
    IOleObject* m_object = nullptr;
};

int Border(const char* how, const char* dir) {
    IDispatch* control = nullptr;
    HWND top = Host(how, 200, 150, &control);
    if (!top) return g_failures;
    // Away from the screen's corner, so that every point of the border is on the screen.
    SetWindowPos(top, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PutInt(control, L"Sort", 1);
    PutText(control, L"Dir", Wide(dir));
    const HWND hwnd = ControlWindow(control);
    IOleObject* object = nullptr;
    IOleInPlaceObject* inPlace = nullptr;
    IOleClientSite* site = nullptr;
    control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object));
    control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
    if (object) object->GetClientSite(&site);
    if (!hwnd || !object || !inPlace || !site) {
        Fail("no window, IOleObject, IOleInPlaceObject or client site");
        return g_failures;
    }
    {
        CBorderCase c(control, hwnd);
        c.pos = RECT{0, 0, 200, 150};
        // The ATL host activates in place only: no border.
        c.ExpectShown("in place");
        CPosRectHook hook(control);
        if (!hook.Installed()) Fail("the site's OnPosRectChange cannot be hooked");

        RECT pos = c.pos;
        const HRESULT hr =
            object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site, 0, GetParent(hwnd), &pos);
        if (hr != S_OK) Fail("DoVerb(OLEIVERB_UIACTIVATE): 0x%08lX", hr);
        c.border = kBorder;
        c.ExpectShown("UI-active");

        const int b = kBorder;
        // The middle of a handle for a client area of w x h: corners, then sides.
        auto corner = [b](int w, int h) { return POINT{b + w + b / 2, b + h + b / 2}; };
        RECT want{0, 0, 230, 170};
        c.ExpectDrag("bottom-right handle out", hook, corner(200, 150), POINT{30, 20}, &want);
        want = RECT{-10, -15, 230, 170};
        c.ExpectDrag("top-left handle out", hook, POINT{b / 2, b / 2}, POINT{-10, -15}, &want);
        want = RECT{-3, -6, 237, 179};
        c.ExpectDrag("band moves", hook, POINT{2 * b + 3, b / 2}, POINT{7, 9}, &want);
        want = RECT{-3, -6, 197, 179};
        c.ExpectDrag("right handle in", hook, POINT{b + 240 + b / 2, b + 185 / 2}, POINT{-40, 25},
                     &want);
        c.ExpectDrag("Escape gives up", hook, corner(200, 185), POINT{50, 50}, nullptr, true);
        // No edge passes the opposite one: the control keeps a pixel, and grows back from it.
        want = RECT{-3, -6, -2, -5};
        c.ExpectDrag("bottom-right past top-left", hook, corner(200, 185), POINT{-500, -400},
                     &want);
        want = RECT{-3, -6, 197, 144};
        c.ExpectDrag("grows back from a pixel", hook, corner(1, 1), POINT{199, 149}, &want);

        if (FAILED(inPlace->UIDeactivate())) Fail("UIDeactivate");
        c.border = 0;
        c.ExpectShown("UI-deactivated");
        object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site, 0, GetParent(hwnd), &c.pos);
        c.border = kBorder;
        c.ExpectShown("UI-active again");

        // A container that says no to grab handles gets a hatched band that does not resize;
        // without hatching either, no border at all.
        CAmbients ambients(site);
        IOleControl* ole = nullptr;
        control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&ole));
        if (!ambients.Installed() || !ole) {
            Fail("the site's QueryInterface cannot be hooked, or no IOleControl");
        } else {
            ambients.grabHandles = false;
            object->SetClientSite(site);  // the control asks the site for its ambients again
            c.handles = false;
            c.ExpectDrag("no grab handles", hook, corner(200, 150), POINT{30, 20}, nullptr);
            ambients.hatching = false;
            ole->OnAmbientPropertyChange(DISPID_AMBIENT_SHOWHATCHING);
            c.border = 0;
            c.ExpectShown("no grab handles, no hatching");
            ambients.grabHandles = ambients.hatching = true;
            ole->OnAmbientPropertyChange(DISPID_UNKNOWN);
            c.border = kBorder;
            c.handles = true;
            want = RECT{-3, -6, 207, 149};
            c.ExpectDrag("both allowed again", hook, corner(200, 150), POINT{10, 5}, &want);
        }
        if (ole) ole->Release();
    }
    site->Release();
    inPlace->Release();
    object->Release();
    control->Release();
    DestroyWindow(top);
    if (g_failures == 0) std::printf("PASS border resize\n");
    return g_failures;
}

// ---- Persistence ----------------------------------------------------------------------------

const wchar_t* const kPersisted[] = {L"BaseFile", L"Buttons", L"Command",  L"Delay",
                                     L"Dir",      L"Loop",    L"Maximize", L"Pause",
                                     L"Slider",   L"Sort",    L"BackColor"};

IDispatch* NewControl() {
    IDispatch* control = nullptr;
    if (FAILED(CoCreateInstance(kControlClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&control)))) {
        Fail("CoCreateInstance");
    }
    return control;
}

void SetAll(IDispatch* c) {
    PutText(c, L"BaseFile", L"img");
    PutBool(c, L"Buttons", false);
    PutInt(c, L"Delay", 123);
    PutText(c, L"Dir", L"C:\\frames");
    PutBool(c, L"Maximize", true);
    PutBool(c, L"Slider", false);
    PutInt(c, L"Sort", 1);
    PutInt(c, L"BackColor", 0x00112233);
    PutInt(c, L"PictureBackColor", 0x00445566);
    PutBool(c, L"Loop", true);
    PutInt(c, L"Command", 2);
    PutBool(c, L"Pause", true);
}

void ExpectSame(const char* how, IDispatch* saved, IDispatch* loaded) {
    int differ = 0;
    for (const wchar_t* name : kPersisted) {
        if (Get(saved, name) != Get(loaded, name)) {
            Fail("%s: %ls is %ls, saved %ls", how, name, Get(loaded, name).c_str(),
                 Get(saved, name).c_str());
            ++differ;
        }
    }
    if (Get(loaded, L"PictureBackColor") != L"0") {
        Fail("%s: PictureBackColor is %ls, not 0", how, Get(loaded, L"PictureBackColor").c_str());
        ++differ;
    }
    if (differ == 0) std::printf("PASS %s: every persisted property equal\n", how);
}

// A property bag in memory.
class CBag final : public IPropertyBag {
public:
    ~CBag() {
        for (auto& [name, value] : values) VariantClear(&value);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (failing == name) {
            // A careless bag: it fails, yet leaves a reference the caller must not release.
            if (leftBehind) {
                value->vt = VT_UNKNOWN;
                value->punkVal = leftBehind;
            }
            return E_FAIL;
        }
        auto it = values.find(name);
        if (it == values.end()) return E_INVALIDARG;
        const VARTYPE wanted = value->vt;
        VariantInit(value);
        return wanted == VT_EMPTY ? VariantCopy(value, &it->second)
                                  : VariantChangeType(value, &it->second, 0, wanted);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, value);
        VariantClear(&values[name]);
        values[name] = copy;
        return S_OK;
    }
    std::map<std::wstring, VARIANT> values;
    std::wstring failing;  // Read fails for this name
    IUnknown* leftBehind = nullptr;
};

// A reference count of its own to watch, on an object that lives on the stack.
class CCounted final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
    LONG refs = 1;
};

// The persisted properties as text, to see that a refused load changed none of them.
std::map<std::wstring, std::wstring> Snapshot(IDispatch* control) {
    std::map<std::wstring, std::wstring> all;
    for (const wchar_t* name : kPersisted) all[name] = Get(control, name);
    all[L"PictureBackColor"] = Get(control, L"PictureBackColor");
    return all;
}

// The first property that differs between two snapshots, or "" when none does.
std::wstring FirstDifference(const std::map<std::wstring, std::wstring>& a,
                             const std::map<std::wstring, std::wstring>& b) {
    for (const auto& [name, value] : a) {
        auto it = b.find(name);
        if (it == b.end() || it->second != value) {
            return name + L" " + value + L" -> " + (it == b.end() ? L"?" : it->second);
        }
    }
    return L"";
}

// A memory stream holding a saved state: the header, then the text.
IStream* StateStream(const std::string& text) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    const DWORD header[2] = {0x5254564D, DWORD(text.size())};
    stream->Write(header, sizeof header, nullptr);
    stream->Write(text.data(), ULONG(text.size()), nullptr);
    const LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

int Persist() {
    IDispatch* saved = NewControl();
    if (!saved) return g_failures;
    SetAll(saved);

    {  // IPersistStreamInit
        IPersistStreamInit* out = nullptr;
        IPersistStreamInit* in = nullptr;
        IDispatch* loaded = NewControl();
        saved->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&out));
        loaded->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&in));
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        if (FAILED(out->Save(stream, TRUE))) Fail("IPersistStreamInit::Save");
        if (out->IsDirty() != S_FALSE) Fail("saving with clearDirty left the control dirty");
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        const ULONG size = ULONG(stat.cbSize.QuadPart);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        in->InitNew();
        if (FAILED(in->Load(stream))) Fail("IPersistStreamInit::Load");
        ExpectSame("IPersistStreamInit", saved, loaded);

        // Every shorter prefix of the stream is refused, and the control keeps its state.
        std::vector<char> bytes(size);
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        stream->Read(bytes.data(), size, nullptr);
        IDispatch* fresh = NewControl();
        IPersistStreamInit* target = nullptr;
        fresh->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&target));
        target->InitNew();
        int accepted = 0;
        for (ULONG cut = 0; cut < size; ++cut) {
            IStream* part = nullptr;
            CreateStreamOnHGlobal(nullptr, TRUE, &part);
            part->Write(bytes.data(), cut, nullptr);
            part->Seek(zero, STREAM_SEEK_SET, nullptr);
            if (SUCCEEDED(target->Load(part))) ++accepted;
            part->Release();
        }
        // A header that claims more than any saved state holds.
        const DWORD huge[2] = {0x5254564D, 0x7FFFFFFF};
        IStream* lying = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &lying);
        lying->Write(huge, sizeof huge, nullptr);
        lying->Seek(zero, STREAM_SEEK_SET, nullptr);
        if (SUCCEEDED(target->Load(lying))) ++accepted;
        lying->Release();
        if (accepted != 0 || Get(fresh, L"Delay") != L"500") {
            Fail("%d truncated or oversized streams were taken; Delay %ls", accepted,
                 Get(fresh, L"Delay").c_str());
        } else {
            std::printf("PASS %lu truncated streams and an oversized one refused\n", size);
        }
        target->Release();
        fresh->Release();
        stream->Release();
        out->Release();
        in->Release();
        loaded->Release();
    }
    {  // IPersistPropertyBag
        IPersistPropertyBag* out = nullptr;
        IPersistPropertyBag* in = nullptr;
        IDispatch* loaded = NewControl();
        saved->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&out));
        loaded->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&in));
        CBag bag;
        if (FAILED(out->Save(&bag, TRUE, TRUE))) Fail("IPersistPropertyBag::Save");
        in->InitNew();
        if (FAILED(in->Load(&bag, nullptr))) Fail("IPersistPropertyBag::Load");
        ExpectSame("IPersistPropertyBag", saved, loaded);

        // One name's Read fails: the others load, that one reads as its default, and the
        // control does not clear what the failed Read left.
        CCounted left;
        bag.failing = L"Delay";
        bag.leftBehind = &left;
        in->InitNew();
        PutInt(loaded, L"Delay", 9);
        const HRESULT partial = in->Load(&bag, nullptr);
        std::map<std::wstring, std::wstring> want = Snapshot(saved), got = Snapshot(loaded);
        want[L"Delay"] = L"500";
        want[L"PictureBackColor"] = L"0";
        const std::wstring differs = FirstDifference(want, got);
        if (FAILED(partial) || !differs.empty() || left.refs != 1) {
            Fail("a failing Read: 0x%08lX, difference '%ls', left-behind references %ld", partial,
                 differs.c_str(), left.refs);
        } else {
            std::printf("PASS a failing Read: the other names load, nothing it left is cleared\n");
        }
        out->Release();
        in->Release();
        loaded->Release();
    }
    {  // IPersistStorage
        IPersistStorage* out = nullptr;
        IPersistStorage* in = nullptr;
        IDispatch* loaded = NewControl();
        saved->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&out));
        loaded->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&in));
        ILockBytes* bytes = nullptr;
        IStorage* storage = nullptr;
        CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
        StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                     &storage);
        if (FAILED(out->Save(storage, FALSE))) Fail("IPersistStorage::Save");
        out->SaveCompleted(nullptr);
        if (FAILED(in->Load(storage))) Fail("IPersistStorage::Load");
        ExpectSame("IPersistStorage", saved, loaded);
        storage->Release();
        bytes->Release();
        out->Release();
        in->Release();
        loaded->Release();
    }
    saved->Release();
    return g_failures;
}

// ---- States refused whole --------------------------------------------------------------------

// 180,000 distinct three-character names, five bytes a line: far more names than a bag holds,
// in fewer bytes than the length limit, so only the count refuses it.
std::string ManyNames() {
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz!$%&'()*+,-./:;<>?@[]^_";
    const size_t n = sizeof kAlphabet - 1;
    std::string text;
    for (size_t i = 0; i < 180000; ++i) {
        text += kAlphabet[i % n];
        text += kAlphabet[i / n % n];
        text += kAlphabet[i / n / n % n];
        text += "=\n";
    }
    return text;
}

int Refused() {
    IDispatch* control = NewControl();
    if (!control) return g_failures;
    SetAll(control);
    const auto before = Snapshot(control);
    const std::string text = ManyNames();
    IPersistStreamInit* streamed = nullptr;
    IPersistStorage* stored = nullptr;
    control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&streamed));
    control->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&stored));

    IStream* stream = StateStream(text);
    const HRESULT fromStream = streamed->Load(stream);
    stream->Release();
    std::wstring differs = FirstDifference(before, Snapshot(control));
    if (SUCCEEDED(fromStream) || !differs.empty()) {
        Fail("IPersistStreamInit::Load of %zu bytes of names: 0x%08lX, difference '%ls'",
             text.size(), fromStream, differs.c_str());
    } else {
        std::printf("PASS IPersistStreamInit: 180,000 names refused (0x%08lX), nothing changed\n",
                    fromStream);
    }

    // The same state as a storage's contents.
    ILockBytes* bytes = nullptr;
    IStorage* storage = nullptr;
    IStream* contents = nullptr;
    CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
    StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                 &storage);
    storage->CreateStream(L"Contents", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                          &contents);
    const DWORD header[2] = {0x5254564D, DWORD(text.size())};
    contents->Write(header, sizeof header, nullptr);
    contents->Write(text.data(), ULONG(text.size()), nullptr);
    contents->Release();
    const HRESULT fromStorage = stored->Load(storage);
    differs = FirstDifference(before, Snapshot(control));
    if (SUCCEEDED(fromStorage) || !differs.empty()) {
        Fail("IPersistStorage::Load of 180,000 names: 0x%08lX, difference '%ls'", fromStorage,
             differs.c_str());
    } else {
        std::printf("PASS IPersistStorage: 180,000 names refused (0x%08lX), nothing changed\n",
                    fromStorage);
    }
    storage->Release();
    bytes->Release();

    // Still usable: a good state loads after the refusals.
    IStream* good = StateStream("Delay=321\n");
    if (FAILED(streamed->Load(good)) || Get(control, L"Delay") != L"321") {
        Fail("a good state after the refusals: Delay %ls", Get(control, L"Delay").c_str());
    } else if (g_failures == 0) {
        std::printf("PASS refused states leave the control as it was\n");
    }
    good->Release();
    streamed->Release();
    stored->Release();
    control->Release();
    return g_failures;
}

// ---- Connection points ------------------------------------------------------------------------

int Sinks() {
    IDispatch* control = NewControl();
    if (!control) return g_failures;
    CEventSink dispatchOnly(false);
    CNotifySink notify;
    DWORD cookie = 0;
    const HRESULT refused = Advise(control, IID_IPropertyNotifySink, &dispatchOnly, &cookie);
    if (refused != CONNECT_E_CANNOTCONNECT) {
        Fail("the notify point answers 0x%08lX to a sink with only IDispatch", refused);
    }
    if (FAILED(Advise(control, kEventsIid, &dispatchOnly, &cookie))) {
        Fail("the event point refuses a sink with only IDispatch");
    }
    if (FAILED(Advise(control, IID_IPropertyNotifySink, &notify, &cookie))) {
        Fail("the notify point refuses an IPropertyNotifySink");
    }
    // Sort tells the notify point (DISPID 11); Loop fires ChangeLoop.
    PutInt(control, L"Sort", 1);
    PutBool(control, L"Loop", true);
    std::string heard;
    for (const std::string& e : dispatchOnly.events) heard += e + " ";
    if (notify.changed != std::vector<DISPID>{11} || heard != "ChangeLoop(-1) ") {
        Fail("heard %zu changes (first %ld) and events '%s'", notify.changed.size(),
             notify.changed.empty() ? 0L : long(notify.changed[0]), heard.c_str());
    } else if (g_failures == 0) {
        std::printf(
            "PASS sinks: an IDispatch-only sink hears events and is refused property "
            "changes\n");
    }
    control->Release();
    return g_failures;
}

// ---- Running out of memory ----------------------------------------------------------------------

// The module's C runtime allocations fail from a size on, so its answers to running out of
// memory can be seen: its import table is pointed at these.
size_t g_failFrom = SIZE_MAX;
void*(__cdecl* g_malloc)(size_t) = nullptr;
void*(__cdecl* g_calloc)(size_t, size_t) = nullptr;
void*(__cdecl* g_realloc)(void*, size_t) = nullptr;

void* __cdecl FailingMalloc(size_t n) {
    return n >= g_failFrom ? nullptr : g_malloc(n);
}
void* __cdecl FailingCalloc(size_t count, size_t n) {
    return count * n >= g_failFrom ? nullptr : g_calloc(count, n);
}
void* __cdecl FailingRealloc(void* p, size_t n) {
    return n >= g_failFrom ? nullptr : g_realloc(p, n);
}

bool HookAllocations(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int hooked = 0;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name; ++dll) {
        if (_stricmp(reinterpret_cast<const char*>(base + dll->Name), "msvcrt.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            void* hook = nullptr;
            if (std::strcmp(name, "malloc") == 0) {
                g_malloc = reinterpret_cast<decltype(g_malloc)>(original);
                hook = reinterpret_cast<void*>(FailingMalloc);
            } else if (std::strcmp(name, "calloc") == 0) {
                g_calloc = reinterpret_cast<decltype(g_calloc)>(original);
                hook = reinterpret_cast<void*>(FailingCalloc);
            } else if (std::strcmp(name, "realloc") == 0) {
                g_realloc = reinterpret_cast<decltype(g_realloc)>(original);
                hook = reinterpret_cast<void*>(FailingRealloc);
            }
            if (!hook) continue;
            DWORD was = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &was);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, was, &was);
            ++hooked;
        }
    }
    return hooked == 3;
}

// While it lives, the module's allocations of at least the size fail.
class CFailingAllocations {
public:
    explicit CFailingAllocations(size_t from) { g_failFrom = from; }
    ~CFailingAllocations() { g_failFrom = SIZE_MAX; }
    CFailingAllocations(const CFailingAllocations&) = delete;
    CFailingAllocations& operator=(const CFailingAllocations&) = delete;
};

int Memory() {
    IDispatch* control = NewControl();
    if (!control) return g_failures;
    HMODULE ocx = GetModuleHandleW(L"MOVITREL.OCX");
    if (!ocx || !HookAllocations(ocx)) {
        Fail("the module's allocations cannot be reached");
        return g_failures;
    }
    SetAll(control);
    const auto before = Snapshot(control);
    IPersistStreamInit* persist = nullptr;
    IClassFactory* factory = nullptr;
    IClassFactory* pageFactory = nullptr;
    control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
    CoGetClassObject(kControlClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(&factory));
    CoGetClassObject(kFilesPage, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(&pageFactory));
    auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(ocx, "DllRegisterServer")));
    if (!factory || !pageFactory || !registerServer) {
        Fail("no class factories or DllRegisterServer");
        return g_failures;
    }
    // The largest state there is: one property, then a comment up to the limit.
    std::string text = "Delay=777\n#";
    text.append((1u << 20) - text.size() - 1, 'x');
    text += '\n';
    IStream* large = StateStream(text);

    HRESULT loaded, created, paged, registered;
    IUnknown* made = nullptr;
    IUnknown* page = nullptr;
    {
        CFailingAllocations big(512 * 1024);
        loaded = persist->Load(large);
    }
    {
        // Blocks under 64 bytes are left to the runtime's own bookkeeping (the lock of its
        // reserve for exceptions), without which not even an exception could be thrown.
        CFailingAllocations all(64);
        created = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&made));
        paged = pageFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&page));
        registered = registerServer();
    }
    if (loaded != E_OUTOFMEMORY) Fail("Load of a 1 MiB state without memory: 0x%08lX", loaded);
    if (created != E_OUTOFMEMORY || made || paged != E_OUTOFMEMORY || page) {
        Fail("CreateInstance without memory: control 0x%08lX, page 0x%08lX", created, paged);
    }
    if (registered != E_OUTOFMEMORY) {
        Fail("DllRegisterServer without memory: 0x%08lX", registered);
    }
    const std::wstring differs = FirstDifference(before, Snapshot(control));
    if (!differs.empty()) Fail("a load without memory changed %ls", differs.c_str());
    if (made) made->Release();
    if (page) page->Release();

    // Memory back: the same object and factory work.
    const LARGE_INTEGER zero{};
    large->Seek(zero, STREAM_SEEK_SET, nullptr);
    const HRESULT reloaded = persist->Load(large);
    made = nullptr;
    const HRESULT remade =
        factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&made));
    if (reloaded != S_OK || Get(control, L"Delay") != L"777" || remade != S_OK || !made) {
        Fail("with memory back: Load 0x%08lX (Delay %ls), CreateInstance 0x%08lX", reloaded,
             Get(control, L"Delay").c_str(), remade);
    } else if (g_failures == 0) {
        std::printf(
            "PASS out of memory: E_OUTOFMEMORY from Load, CreateInstance and "
            "DllRegisterServer, the object and factory usable after\n");
    }
    if (made) made->Release();
    large->Release();
    pageFactory->Release();
    factory->Release();
    persist->Release();
    control->Release();
    return g_failures;
}

// ---- Property pages ---------------------------------------------------------------------------

// What the timers found and closed: message boxes (with their text) and property frames.
std::vector<std::string> g_prompts;
int g_framesClosed = 0;

BOOL CALLBACK CloseDialogsOf(HWND hwnd, LPARAM) {
    char cls[64] = {}, title[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    char text[256] = {};
    // A message box holds its text in the static item 0xFFFF.
    if (GetDlgItemTextA(hwnd, 0xFFFF, text, sizeof text) > 0) {
        g_prompts.push_back(text);
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else {
        ++g_framesClosed;
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

void CALLBACK CloseDialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseDialogsOf, 0);
}

IPropertyPage* NewPage(const CLSID& clsid, const char* name) {
    IPropertyPage* page = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                reinterpret_cast<void**>(&page)))) {
        Fail("the %s page cannot be created", name);
    }
    return page;
}

// The page's dialog: the child window Activate made in the parent.
HWND PageDialog(HWND parent) {
    return FindWindowExW(parent, nullptr, nullptr, nullptr);
}

int Pages() {
    IDispatch* control = NewControl();
    if (!control) return g_failures;
    ISpecifyPropertyPages* specify = nullptr;
    CAUUID ids{};
    control->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
    if (!specify || FAILED(specify->GetPages(&ids)) || ids.cElems != 4 ||
        ids.pElems[0] != kFilesPage || ids.pElems[1] != kControlsPage ||
        ids.pElems[2] != kPlaybackPage || ids.pElems[3] != kStockColorPage) {
        Fail("ISpecifyPropertyPages lists %lu pages", ids.cElems);
    } else {
        std::printf(
            "PASS ISpecifyPropertyPages: Files/Dir, Controls, Playback, the stock colour "
            "page\n");
    }

    IPropertyPage* files = NewPage(kFilesPage, "Files/Dir");
    IPropertyPage* controls = NewPage(kControlsPage, "Controls");
    IPropertyPage* playback = NewPage(kPlaybackPage, "Playback");
    if (!files || !controls || !playback) return g_failures;
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    files->GetPageInfo(&info);
    if (!info.pszTitle || std::wcscmp(info.pszTitle, L"Files/Dir") != 0) {
        Fail("the Files/Dir page is titled %ls", info.pszTitle ? info.pszTitle : L"(none)");
    }
    CoTaskMemFree(info.pszTitle);

    HWND parent = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  500, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    IUnknown* object = control;
    const RECT area{0, 0, 480, 360};
    files->SetObjects(1, &object);
    files->Activate(parent, &area, FALSE);
    HWND dialog = PageDialog(parent);
    char text[256] = {};
    GetDlgItemTextA(dialog, 201, text, sizeof text);
    if (std::strcmp(text, "500") != 0) Fail("the Delay item shows '%s', not 500", text);

    // A number item holding letters: the user is told, and nothing is set.
    SetDlgItemTextA(dialog, 201, "soon");
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, CloseDialogs);
    const HRESULT refused = files->Apply();
    if (SUCCEEDED(refused) || g_prompts.empty() || Get(control, L"Delay") != L"500") {
        Fail("Apply with letters in Delay: 0x%08lX, %zu prompts, Delay %ls", refused,
             g_prompts.size(), Get(control, L"Delay").c_str());
    } else {
        std::printf("PASS a Delay of letters is refused with the prompt \"%s\"\n",
                    g_prompts[0].c_str());
    }
    SetDlgItemTextA(dialog, 201, "250");
    SetDlgItemTextA(dialog, 204, "C:\\pictures");
    SetDlgItemTextA(dialog, 214, "shot");
    if (files->IsPageDirty() != S_OK) Fail("the edited page is not dirty");
    const HRESULT applied = files->Apply();
    if (applied != S_OK || Get(control, L"Delay") != L"250" ||
        Get(control, L"Dir") != L"C:\\pictures" || Get(control, L"BaseFile") != L"shot") {
        Fail("Files/Dir Apply: 0x%08lX, Delay %ls, Dir %ls, BaseFile %ls", applied,
             Get(control, L"Delay").c_str(), Get(control, L"Dir").c_str(),
             Get(control, L"BaseFile").c_str());
    } else {
        std::printf("PASS the Files/Dir page sets Delay, Dir and BaseFile\n");
    }
    files->Deactivate();

    controls->SetObjects(1, &object);
    controls->Activate(parent, &area, FALSE);
    dialog = PageDialog(parent);
    CheckDlgButton(dialog, 248, BST_CHECKED);    // Loop
    CheckDlgButton(dialog, 245, BST_UNCHECKED);  // No Action
    CheckDlgButton(dialog, 246, BST_CHECKED);    // Play
    const HRESULT set = controls->Apply();
    if (set != S_OK || Get(control, L"Loop") != L"-1" || Get(control, L"Command") != L"1") {
        Fail("Controls Apply: 0x%08lX, Loop %ls, Command %ls", set, Get(control, L"Loop").c_str(),
             Get(control, L"Command").c_str());
    } else {
        std::printf("PASS the Controls page sets Loop and Command\n");
    }
    controls->Deactivate();

    playback->SetObjects(1, &object);
    playback->Activate(parent, &area, FALSE);
    dialog = PageDialog(parent);
    SetDlgItemTextA(dialog, 260, "32");        // CacheSize
    CheckDlgButton(dialog, 263, BST_CHECKED);  // Bounce
    CheckDlgButton(dialog, 264, BST_CHECKED);  // Decode to fit
    if (playback->Apply() != S_OK || Get(control, L"CacheSize") != L"32" ||
        Get(control, L"Bounce") != L"-1" || Get(control, L"DecodeToFit") != L"-1") {
        Fail("Playback Apply: CacheSize %ls, Bounce %ls, DecodeToFit %ls",
             Get(control, L"CacheSize").c_str(), Get(control, L"Bounce").c_str(),
             Get(control, L"DecodeToFit").c_str());
    } else {
        std::printf("PASS the Playback page sets CacheSize, Bounce and DecodeToFit\n");
    }
    playback->Deactivate();
    files->SetObjects(0, nullptr);
    controls->SetObjects(0, nullptr);
    playback->SetObjects(0, nullptr);

    // The frame shows the pages it can create (a fresh prefix registers no stock colour
    // page); the timer closes it.
    g_framesClosed = 0;
    const HRESULT shown =
        OleCreatePropertyFrame(parent, 0, 0, L"Movitrel Control", 1, &object, ids.cElems,
                               ids.pElems, LOCALE_USER_DEFAULT, 0, nullptr);
    KillTimer(nullptr, timer);
    if (FAILED(shown) || g_framesClosed == 0) {
        Fail("OleCreatePropertyFrame: 0x%08lX, frame %s", shown,
             g_framesClosed ? "seen" : "never seen");
    } else {
        std::printf("PASS OleCreatePropertyFrame showed the pages and closed\n");
    }
    CoTaskMemFree(ids.pElems);
    files->Release();
    controls->Release();
    playback->Release();
    specify->Release();
    control->Release();
    DestroyWindow(parent);
    return g_failures;
}

// ---- The About box ----------------------------------------------------------------------------

bool g_sawAbout = false;

void CALLBACK CloseAbout(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"About Movitrel Control");
    if (!dialog) return;
    g_sawAbout = true;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

int About() {
    IDispatch* control = nullptr;
    HWND top = Host("AtlAxWin", 200, 150, &control);
    if (!top) return g_failures;
    // The dialog is modal: the timer runs inside its loop and presses OK.
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, CloseAbout);
    DISPPARAMS none{};
    const HRESULT hr = control->Invoke(DISPID_ABOUTBOX, IID_NULL, LOCALE_USER_DEFAULT,
                                       DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    KillTimer(nullptr, timer);
    if (FAILED(hr) || !g_sawAbout) {
        Fail("AboutBox: 0x%08lX, dialog %s", hr, g_sawAbout ? "seen" : "never seen");
    } else {
        std::printf("PASS AboutBox shown and closed\n");
    }
    control->Release();
    DestroyWindow(top);
    return g_failures;
}

// ---- The module's resources -----------------------------------------------------------------

int Resources(const char* path) {
    HMODULE ocx = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!ocx) {
        Fail("cannot load %s", path);
        return g_failures;
    }
    const std::pair<UINT, const char*> strings[] = {{1, "Movitrel Control"},
                                                    {2, "Movitrel Property Page"},
                                                    {200, "Files/Dir"},
                                                    {201, "MovitrelPropertyPage2"},
                                                    {202, "Controls"}};
    for (const auto& [id, want] : strings) {
        char text[128] = {};
        LoadStringA(ocx, id, text, sizeof text);
        if (std::strcmp(text, want) != 0) Fail("string %u is '%s', not '%s'", id, text, want);
    }
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageW(ocx, MAKEINTRESOURCEW(1), IMAGE_BITMAP, 0, 0, 0));
    BITMAP bm{};
    if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm) || bm.bmWidth != 20 || bm.bmHeight != 22) {
        Fail("toolbox bitmap 1: %ldx%ld", bm.bmWidth, bm.bmHeight);
    }
    if (bitmap) DeleteObject(bitmap);
    if (!LoadIconW(ocx, MAKEINTRESOURCEW(1))) Fail("no icon 1");
    if (!FindResourceW(ocx, MAKEINTRESOURCEW(1), L"TYPELIB")) Fail("no TYPELIB 1");
    if (!FindResourceW(ocx, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16))) {
        Fail("no version resource");
    }
    FreeLibrary(ocx);
    if (g_failures == 0) {
        std::printf("PASS resources: the strings, bitmap 1 (20x22), icon 1, TYPELIB 1, version\n");
    }
    return g_failures;
}

// ---- Frame rate, for the benchmarks -------------------------------------------------------

// Every refresh the worker posts is one frame drawn into the window (the control draws it
// at once), so counting them in the window procedure counts frames painted.
constexpr UINT kPlayerRefresh = WM_USER + 100;
WNDPROC g_controlProc = nullptr;
std::vector<LARGE_INTEGER> g_refreshes;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    const LRESULT result = CallWindowProcW(g_controlProc, hwnd, message, w, l);
    if (message == kPlayerRefresh) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        g_refreshes.push_back(now);
    }
    return result;
}

// Plays DIR's img*.jpg looped at Delay 0 in a window that shows 1280x720 frames unscaled,
// and prints the frames painted per second over PASSES passes of FRAMES frames.
int Bench(const char* dir, int frames, int cacheMb, int passes) {
    IDispatch* control = nullptr;
    HWND top = Host("AtlAxWin", 1280, 720 + 40, &control);
    if (!top) return g_failures;
    HWND hwnd = ControlWindow(control);
    g_controlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    PutInt(control, L"CacheSize", cacheMb);
    PutText(control, L"Dir", Wide(dir));
    PutText(control, L"BaseFile", L"img");
    PutInt(control, L"Sort", 1);
    PutBool(control, L"Loop", true);
    PutInt(control, L"Delay", 0);
    PumpUntil([] { return false; }, 200);  // the list and the first paint settle
    g_refreshes.clear();
    PutInt(control, L"Command", 1);
    // Counted after every message: with the cache on, each paint lets the next refresh in at
    // once, so the queue may never run dry for PumpUntil to look.
    const size_t want = size_t(passes) * size_t(frames) + 1;
    const DWORD start = GetTickCount();
    MSG msg;
    while (g_refreshes.size() < want && GetTickCount() - start < 600000) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    PutInt(control, L"Command", 0);
    if (g_refreshes.size() < want) {
        Fail("bench: %u frames painted, %u expected", unsigned(g_refreshes.size()), unsigned(want));
    } else {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        const double seconds = double(g_refreshes[want - 1].QuadPart - g_refreshes[0].QuadPart) /
                               double(frequency.QuadPart);
        std::printf("BENCH cache %d: %u frames in %.3f s, %.2f fps\n", cacheMb, unsigned(want - 1),
                    seconds, double(want - 1) / seconds);
    }
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_controlProc));
    control->Release();
    DestroyWindow(top);
    return g_failures;
}

}  // namespace

int main(int argc, char** argv) {
    // Unbuffered, so a crash keeps the lines printed before it.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    OleInitialize(nullptr);
    const std::string command = argc > 1 ? argv[1] : "";
    int result = 2;
    if (command == "pixels" && (argc == 7 || argc == 8)) {
        result = Pixels(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5], argv[6],
                        argc == 8 && std::strcmp(argv[7], "maximize") == 0);
    } else if (command == "play" && argc == 4) {
        result = Play(argv[2], argv[3]);
    } else if (command == "watch" && argc == 4) {
        result = Watch(argv[2], argv[3]);
    } else if (command == "border" && argc == 4) {
        result = Border(argv[2], argv[3]);
    } else if (command == "persist") {
        result = Persist();
    } else if (command == "refused") {
        result = Refused();
    } else if (command == "sinks") {
        result = Sinks();
    } else if (command == "memory") {
        result = Memory();
    } else if (command == "pages") {
        result = Pages();
    } else if (command == "resources" && argc == 3) {
        result = Resources(argv[2]);
    } else if (command == "bench" && argc == 6) {
        result = Bench(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    } else if (command == "about") {
        result = About();
    } else {
        std::fprintf(
            stderr,
            "usage: container "
            "pixels|play|watch|border|persist|refused|sinks|memory|pages|about|resources|bench "
            "...\n");
    }
    std::fflush(stdout);
    OleUninitialize();
    return result;
}
