#include "companion/companion.h"

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) { return RunCompanion(commandLine); }
