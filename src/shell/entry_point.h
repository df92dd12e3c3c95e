// Where the installer starts: the context, the administrator probe, the mode
// words of the command line, and the register-only mode. WinMain itself is
// declared by the platform.
#pragma once

// The administrator probe: from Windows 6 on, writes a marker through the
// install-path record and reads it back; puts the real directory back after.
int HasAdminRights();

// Takes the directory after "regmo32=" (exact case, at the first "r" of the
// line) into installDir. A directory that is empty, or too long to be recorded
// with its closing backslash, is refused and installDir keeps its value.
// Returns 1 when installDir was taken from the line.
int TakeRegisterDir(const char* commandLine);

// The wizard's message loop: runs until the quit message and returns its code.
int RunMessageLoop();
