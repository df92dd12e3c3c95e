// The user's own data of an earlier installation: packed into "moraback.moz"
// in the install directory before anything is installed, and unpacked over the
// fresh files when the user keeps it. Skin archives are unpacked here too,
// under the same guard of the backup state.
#pragma once

// Rebuilds "moraback.moz" from the user's files of the recorded install
// directory. Returns 1 when every required file went in, else 0 (no restore
// will be offered; nothing is told).
int BackupUserData();

// Unpacks "moraback.moz" of installDir over the installed files, checks them
// and tells the user how many came back, or which did not.
void RestoreUserData();

// Unpacks the skin archive at `path` (its first 131,072 bytes) into installDir,
// unless the user keeps the old data.
void ExtractSkinArchive(const char* path);

extern const char kBackupName[];  // moraback.moz
