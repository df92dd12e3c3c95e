// Removing a file that may be read-only or held by a running program.
#pragma once

// Deletes a file after resetting its attributes: 0 when it was not there to
// be opened or is deleted, -1 when the deletion failed.
int DeleteFileForce(const char* path);

// Moves a file that cannot be deleted out of the way: the byte five places
// before the end becomes "2" (morahu4.ime -> morahu2.ime), or failing that
// "1". Returns 0 when moved, -1 when both tries failed.
int RenameAside(const char* path);
