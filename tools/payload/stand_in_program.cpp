// A stand-in program of the input method (its companion, its uninstaller): a
// real Windows program of its width that does nothing and ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
