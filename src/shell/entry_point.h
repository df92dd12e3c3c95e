// Where the installer starts: the context, the administrator probe, the mode
// words of the command line, and the register-only mode. WinMain itself is
// declared by the platform.
#pragma once

// The administrator probe: from Windows 6 on, writes a marker through the
// install-path record and reads it back; puts the real directory back after.
int HasAdminRights();

// The wizard's message loop: runs until the quit message and returns its code.
int RunMessageLoop();
