// A program that uses the input method, as the installer's in-use detection
// sees one: a titled top-level window that owns a window of the input
// method's UI class "UIQOVI". Runs until the stop file appears (or two minutes
// pass):  ime_user.exe TITLE READY-FILE STOP-FILE
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: ime_user TITLE READY-FILE STOP-FILE\n");
        return 2;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MoraTestEditor";
    RegisterClassA(&windowClass);
    windowClass.lpszClassName = "UIQOVI";
    RegisterClassA(&windowClass);
    HWND program = CreateWindowExA(0, "MoraTestEditor", argv[1], WS_OVERLAPPEDWINDOW, 20, 20, 200, 100, nullptr,
                                   nullptr, windowClass.hInstance, nullptr);
    HWND ui = CreateWindowExA(0, "UIQOVI", "", WS_POPUP, 0, 0, 10, 10, program, nullptr, windowClass.hInstance, nullptr);
    if (program == nullptr || ui == nullptr) return 1;
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    for (int i = 0; i < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(100);
    }
    DestroyWindow(program);
    return 0;
}
