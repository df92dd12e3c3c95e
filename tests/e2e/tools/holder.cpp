// Holds a module loaded, as a program that uses an input method holds its
// module, until a stop file appears (or two minutes pass):
//   holder.exe MODULE READY-FILE STOP-FILE
// READY-FILE is created once the module is loaded. Exit code 0 when the module
// was held, 1 when it could not be loaded.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: holder MODULE READY-FILE STOP-FILE\n");
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    if (module == nullptr) {
        std::fprintf(stderr, "holder: cannot load %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    for (int i = 0; i < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    FreeLibrary(module);
    return 0;
}
