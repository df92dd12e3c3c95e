// The 64-bit setup companion, setupw64.exe: what the 32-bit installer cannot
// do on 64-bit Windows. Started by it with "regmo32=" and the install
// directory, it records that directory in the 64-bit view of the registry,
// puts each module into the system folder of its own width, and registers the
// input method when no layout of it is registered yet.
#pragma once

// Runs the companion on its command line (without the program's name).
// Nothing is shown unless something fails. Returns the exit code, 0.
int RunCompanion(const char* commandLine);
