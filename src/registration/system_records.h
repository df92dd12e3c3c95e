// The records the installer leaves outside the install directory: where it
// installed, the uninstall entry, the autorun entry, the browser marker, and
// the integrity level of the install directory.
#pragma once

#include <cstddef>

// The install-path record: the install directory, ending in a backslash, in
// "morapath.moh" of the Windows directory, in HKLM "Software\morawb" "path",
// and from Windows 6 on in "morapath.moh" of the fixed-drive folder.

// Fills installDir from the record unless it already holds a drive path
// ("x:\..."): the Windows directory's file, then the registry value, then the
// drive copy, else the default directory. Returns installDir.
char* ReadInstallPathRecord();

// Appends a backslash to installDir when it lacks one and writes every place
// of the record. A place that cannot be written is passed over.
void WriteInstallPathRecord();

// The folder "morahu\" at the root of the first fixed drive from g: down to c:,
// such as "g:\morahu\". Returns 0, with an empty text, when no drive is fixed.
int FindFixedDriveFolder(char* out, size_t outSize);

void WriteUninstallEntry();
void WriteAutorunEntry(const char* command);
void WriteUserAgentMarker();

// Starts the system's icacls on the install directory; not waited for.
void LowerInstallDirIntegrity();
