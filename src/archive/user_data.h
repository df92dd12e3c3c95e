// The user's own data of an earlier installation: packed into "moraback.moz"
// in the install directory before anything is installed, and unpacked over the
// fresh files when the user keeps it. Skin archives are unpacked here too,
// under the same guard of the backup state.
#pragma once

// Rebuilds "moraback.moz" from the user's files of the recorded install
// directory. Returns 1 when every required file went in, else 0 (no restore
// will be offered; nothing is told). A backup still marked pending is kept as
// it is and counts as made. Sets context.backupUnsafe when a file of the user's
// is there but could not be packed.
int BackupUserData();

// The backup as the wizard takes it: backupState is BackupNone, then BackupMade
// when BackupUserData returned 1.
void TakeUserDataBackup();

// The payload is about to replace the user's files: until the user declines
// the old data or it is restored, "moraback.moz" holds the only copy, and a
// marker beside it keeps the next run from rebuilding it.
void MarkBackupPending();
void ClearBackupPending();

// Unpacks "moraback.moz" of installDir over the installed files, checks them
// and tells the user how many came back, or which did not.
void RestoreUserData();

// Unpacks the skin archive at `path` (its first 131,072 bytes) into installDir,
// unless the user keeps the old data.
void ExtractSkinArchive(const char* path);

extern const char kBackupName[];         // moraback.moz
extern const char kBackupPendingName[];  // moraback.pending, beside it
