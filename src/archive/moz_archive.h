// The installer's side of the moz archive: the payload lookup, the writer
// that adds files to an archive file, and digests through advapi32.
#pragma once

#include "archive/moz_format.h"

#include <cstddef>

// Decompresses the payload's entry `name` (exact, case-sensitive; the first of
// that name) into scratch from byte 100. Bytes 100 and 101 are zeroed first, so
// an absent entry leaves no signature there. The digest is not checked.
// Returns the content's length, 0 when nothing was decompressed, so that a
// reader of the content knows where it ends.
size_t MozLookupEntry(const char* name);

// Adds the file at sourcePath to the archive file at archivePath (created when
// missing), named by the path's last component. Returns 1 when the entry was
// written whole; otherwise 0 and the archive file as it was.
int MozAppendFile(const char* archivePath, const char* sourcePath);

// The digest text of `length` bytes: 32 upper-case hexadecimal characters and
// two NULs; empty when advapi32's MD5 cannot be had.
void Md5Text(const void* data, size_t length, char* out);

// The digest text of a whole file; returns the bytes read, 0 (and an empty
// text) when the file cannot be opened or memory is short.
size_t Md5FileText(const char* path, char* out);
