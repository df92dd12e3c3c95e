// Lists the top-level windows of a Wine prefix for the end-to-end tests, one
// line each, tab-separated and UTF-8:
//   window  process  visible  class  left top right bottom  title  client-x client-y  [texts]
// client-x and client-y are the screen position of the client area's origin.
// The texts of a window's static and edit controls follow, read with
// WM_GETTEXT (GetWindowText gives another process's control only its first text).
// "winlist controls" lists the controls of the visible top-level windows instead:
//   window  control-id  class  left top right bottom  text
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

std::string TextOf(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &result);
    return Utf8(text);
}

BOOL CALLBACK AddStatic(HWND child, LPARAM texts) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, L"Static") == 0 || lstrcmpiW(className, L"Edit") == 0) {
        std::string text = TextOf(child);
        if (!text.empty()) *reinterpret_cast<std::string*>(texts) += "\t" + text;
    }
    return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT r = {};
    GetWindowRect(window, &r);
    std::string texts;
    EnumChildWindows(window, AddStatic, reinterpret_cast<LPARAM>(&texts));
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::printf("%p\t%lu\t%d\t%s\t%ld %ld %ld %ld\t%s\t%ld %ld%s\n", static_cast<void*>(window), process,
                IsWindowVisible(window) ? 1 : 0, Utf8(className).c_str(), r.left, r.top, r.right, r.bottom,
                TextOf(window).c_str(), origin.x, origin.y, texts.c_str());
    return TRUE;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM parent) {
    wchar_t className[64] = {};
    GetClassNameW(control, className, 64);
    RECT r = {};
    GetWindowRect(control, &r);
    std::printf("%p\t%d\t%s\t%ld %ld %ld %ld\t%s\n", reinterpret_cast<void*>(parent), GetDlgCtrlID(control),
                Utf8(className).c_str(), r.left, r.top, r.right, r.bottom, TextOf(control).c_str());
    return TRUE;
}

BOOL CALLBACK PrintControls(HWND window, LPARAM) {
    if (IsWindowVisible(window)) EnumChildWindows(window, PrintControl, reinterpret_cast<LPARAM>(window));
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    bool controls = argc == 2 && std::string(argv[1]) == "controls";
    EnumWindows(controls ? PrintControls : PrintTopLevel, 0);
    return 0;
}
