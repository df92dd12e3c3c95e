// Windows, their procedures and the message queue: enough of USER for a
// window that paints itself, edit boxes with a text, clicks, timers and a
// message loop that a test drives.
#include "platform/sim/sim_internal.h"

#include <algorithm>
#include <cstring>

namespace {

SimMachine::Impl& Sys() { return SimMachine::Current().impl(); }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Utf8(LPCWSTR text) { return Utf8FromWide(text ? std::u16string(text) : std::u16string()); }

unsigned CodePage() { return SimMachine::Current().Setup().codePage; }

SimWindow* WindowOf(HWND window) {
    auto it = Sys().windows.find(window);
    return it == Sys().windows.end() ? nullptr : &it->second;
}

HWND NewWindow(SimWindow window) {
    auto& sys = Sys();
    HWND handle = reinterpret_cast<HWND>(sys.nextWindow);
    sys.nextWindow += 0x10;
    sys.windows[handle] = std::move(window);
    return handle;
}

std::shared_ptr<SimCanvas> NewCanvas(int width, int height) {
    auto canvas = std::make_shared<SimCanvas>();
    canvas->width = std::max(width, 0);
    canvas->height = std::max(height, 0);
    canvas->pixels.assign(static_cast<size_t>(canvas->width) * canvas->height, RGB(255, 255, 255));
    return canvas;
}

// Takes the next message that is due: a posted one, else a paint.
bool NextMessage(MSG* message) {
    auto& sys = Sys();
    if (!sys.queue.empty()) {
        *message = sys.queue.front();
        sys.queue.pop_front();
        return true;
    }
    for (auto& w : sys.windows) {
        if (w.second.invalid && w.second.proc) {
            *message = MSG{w.first, WM_PAINT, 0, 0, 0, {0, 0}};
            return true;
        }
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------- machine side

HWND SimMachine::AddWindow(const std::string& className, const std::string& text) {
    SimWindow window;
    window.className = className;
    window.text = text;
    return NewWindow(window);
}

void SimMachine::SetOwner(HWND window, HWND owner) {
    auto it = impl_->windows.find(window);
    if (it != impl_->windows.end()) it->second.owner = owner;
}

std::string SimMachine::WindowText(HWND window) const {
    auto it = impl_->windows.find(window);
    return it == impl_->windows.end() ? std::string() : it->second.text;
}

bool SimMachine::WindowExists(HWND window) const { return impl_->windows.count(window) != 0; }

bool SimMachine::WindowVisible(HWND window) const {
    auto it = impl_->windows.find(window);
    return it != impl_->windows.end() && it->second.visible;
}

std::string SimMachine::WindowClass(HWND window) const {
    auto it = impl_->windows.find(window);
    return it == impl_->windows.end() ? std::string() : it->second.className;
}

RECT SimMachine::WindowRect(HWND window) const {
    auto it = impl_->windows.find(window);
    return it == impl_->windows.end() ? RECT{0, 0, 0, 0} : it->second.rect;
}

std::vector<HWND> SimMachine::ChildWindows(HWND parent) const {
    std::vector<HWND> children;
    for (const auto& w : impl_->windows)
        if (w.second.parent == parent) children.push_back(w.first);
    return children;
}

HWND SimMachine::Focus() const { return impl_->focus; }

HDC SimMachine::WindowCanvas(HWND window) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr || !w->canvas) return nullptr;
    if (w->readingDc == nullptr) w->readingDc = SimNewDcOnCanvas(w->canvas);
    return w->readingDc;
}

void SimMachine::Click(HWND window, int x, int y, bool right) {
    SendMessageW(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, 0,
                 static_cast<LPARAM>((static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) & 0xFFFF)));
}

bool SimMachine::TimerSet(HWND window, UINT_PTR id, UINT* elapse) const {
    auto it = impl_->windows.find(window);
    if (it == impl_->windows.end()) return false;
    auto timer = it->second.timers.find(id);
    if (timer == it->second.timers.end()) return false;
    if (elapse) *elapse = timer->second;
    return true;
}

void SimMachine::FireTimer(HWND window, UINT_PTR id) {
    if (TimerSet(window, id)) SendMessageW(window, WM_TIMER, id, 0);
}

int SimMachine::PumpMessages() {
    int count = 0;
    MSG message;
    while (!impl_->quit && NextMessage(&message)) {
        if (message.message == WM_QUIT) break;
        DispatchMessageW(&message);
        ++count;
    }
    return count;
}

bool SimMachine::QuitPosted(int* exitCode) const {
    if (exitCode) *exitCode = impl_->quitCode;
    return impl_->quit;
}

void SimMachine::ScriptUser(std::function<void()> action) { impl_->userActions.push_back(std::move(action)); }

bool SimMachine::LoopRanDry() const { return impl_->loopRanDry; }

void SimMachine::SetScreenSize(int width, int height) {
    impl_->screenWidth = width;
    impl_->screenHeight = height;
}

// ---------------------------------------------------------------- Win32

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr)
        return 0;
    std::string name = Lower(Utf8(windowClass->lpszClassName));
    auto& classes = Sys().classes;
    if (classes.count(name)) {
        SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    classes[name] = {windowClass->lpfnWndProc, windowClass->hIcon, windowClass->hbrBackground};
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU, HINSTANCE, LPVOID) {
    std::string name = Utf8(className);
    SimWindow window;
    window.className = name;
    window.text = AnsiFromWideBytes(WideBytesFromUtf16(title ? title : u"", title ? std::u16string(title).size() : 0),
                                    CodePage());
    window.parent = parent;
    window.style = style;
    window.rect = RECT{x, y, x + width, y + height};
    window.visible = (style & WS_VISIBLE) != 0;
    auto cls = Sys().classes.find(Lower(name));
    if (cls != Sys().classes.end()) {
        window.proc = cls->second.proc;
        if (parent == nullptr) window.canvas = NewCanvas(width, height);
    } else if (Lower(name) != "edit") {
        SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
        return nullptr;
    }
    if (parent != nullptr && WindowOf(parent) == nullptr) return nullptr;
    HWND handle = NewWindow(window);
    if (window.proc != nullptr && window.proc(handle, WM_CREATE, 0, 0) == -1) {
        Sys().windows.erase(handle);
        return nullptr;
    }
    return handle;
}

BOOL DestroyWindow(HWND window) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return FALSE;
    if (w->proc) w->proc(window, WM_DESTROY, 0, 0);
    for (HWND child : SimMachine::Current().ChildWindows(window)) DestroyWindow(child);
    auto& sys = Sys();
    if (SimWindow* gone = WindowOf(window)) {
        if (gone->readingDc) DeleteDC(gone->readingDc);
    }
    sys.windows.erase(window);
    if (sys.focus == window) sys.focus = nullptr;
    sys.queue.erase(std::remove_if(sys.queue.begin(), sys.queue.end(), [&](const MSG& m) { return m.hwnd == window; }),
                    sys.queue.end());
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return FALSE;
    bool was = w->visible;
    w->visible = command != SW_HIDE;
    if (w->visible && !was && w->proc) w->invalid = true;
    return was;
}

BOOL UpdateWindow(HWND window) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return FALSE;
    if (w->invalid && w->proc) w->proc(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return FALSE;
    w->invalid = true;
    return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr || !w->canvas) return nullptr;
    w->invalid = false;
    HDC dc = SimNewDcOnCanvas(w->canvas);
    if (paint) {
        std::memset(paint, 0, sizeof *paint);
        paint->hdc = dc;
        paint->rcPaint = RECT{0, 0, w->canvas->width, w->canvas->height};
    }
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) { return paint ? DeleteDC(paint->hdc) : FALSE; }

HDC GetDC(HWND window) {
    SimWindow* w = WindowOf(window);
    return w && w->canvas ? SimNewDcOnCanvas(w->canvas) : nullptr;
}

int ReleaseDC(HWND, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return 0;
    if (w->proc) return w->proc(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && WindowOf(window) == nullptr) return FALSE;
    Sys().queue.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

// When nothing is due, the user acts (the test's script); with nothing left
// to do the loop ends as if the quit message had come.
BOOL GetMessageW(LPMSG message, HWND, UINT, UINT) {
    auto& sys = Sys();
    while (!NextMessage(message)) {
        if (sys.quit) {
            *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(sys.quitCode), 0, 0, {0, 0}};
            return FALSE;
        }
        if (sys.userActions.empty()) {
            sys.loopRanDry = true;
            *message = MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};
            return FALSE;
        }
        std::function<void()> action = std::move(sys.userActions.front());
        sys.userActions.pop_front();
        action();
    }
    return message->message != WM_QUIT;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* message) {
    return message ? SendMessageW(message->hwnd, message->message, message->wParam, message->lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    auto& sys = Sys();
    sys.quit = true;
    sys.quitCode = exitCode;
    sys.queue.push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, 0, {0, 0}});
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return 0;
    switch (message) {
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        return TRUE;
    case WM_GETTEXT: return GetWindowTextA(window, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_PAINT: w->invalid = false; return 0;
    default: return 0;
    }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, void*) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return 0;
    w->timers[id] = elapse;
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    SimWindow* w = WindowOf(window);
    return w != nullptr && w->timers.erase(id) ? TRUE : FALSE;
}

HWND SetFocus(HWND window) {
    HWND previous = Sys().focus;
    if (WindowOf(window) != nullptr) Sys().focus = window;
    return previous;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) return Sys().screenWidth;
    if (index == SM_CYSCREEN) return Sys().screenHeight;
    return 0;
}

HICON LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(uintptr_t(0x5001)); }

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return reinterpret_cast<HCURSOR>(uintptr_t(0x5002)); }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) {
        SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    w->text = text ? text : "";
    return TRUE;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return FALSE;
    std::u16string wide = text ? std::u16string(text) : std::u16string();
    w->text = AnsiFromWideBytes(WideBytesFromUtf16(wide.data(), wide.size()), CodePage());
    return TRUE;
}

// Copies at most size - 1 bytes and the terminator; returns the bytes copied.
int GetWindowTextA(HWND window, LPSTR text, int size) {
    SimWindow* w = WindowOf(window);
    if (text == nullptr || size <= 0) return 0;
    text[0] = '\0';
    if (w == nullptr) return 0;
    size_t n = std::min(w->text.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, w->text.data(), n);
    text[n] = '\0';
    return static_cast<int>(n);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr || rect == nullptr) {
        SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    *rect = w->rect;
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) {
        SetLastError(1400);
        return FALSE;
    }
    w->rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

int GetWindowTextW(HWND window, LPWSTR text, int size) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr || text == nullptr || size <= 0) return 0;
    std::string wide = WideBytesFromAnsi(w->text, CodePage());
    size_t units = std::min(wide.size() / 2, static_cast<size_t>(size - 1));
    std::memcpy(text, wide.data(), units * 2);
    text[units] = 0;
    return static_cast<int>(units);
}

int GetClassNameA(HWND window, LPSTR name, int size) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr || name == nullptr || size <= 0) return 0;
    size_t length = std::min(w->className.size(), static_cast<size_t>(size - 1));
    std::memcpy(name, w->className.data(), length);
    name[length] = '\0';
    return static_cast<int>(length);
}

// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND window) {
    SimWindow* w = WindowOf(window);
    if (w == nullptr) return nullptr;
    return w->parent != nullptr ? w->parent : w->owner;
}

// Top-level windows, owned ones included, until the callback says stop.
BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter) {
    std::vector<HWND> topLevel;
    for (const auto& w : Sys().windows)
        if (w.second.parent == nullptr) topLevel.push_back(w.first);
    for (HWND window : topLevel)
        if (WindowOf(window) != nullptr && !callback(window, parameter)) return FALSE;
    return TRUE;
}
