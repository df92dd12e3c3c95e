// The small operations that many parts of the installer share.
#pragma once

#include <cstddef>

// 1 when `word` occurs anywhere in `text`, whose capital ASCII letters match
// their lower-case forms in `word`; `word` itself is not folded.
int ContainsNoCase(const char* text, const char* word);

// 1 when the file or folder exists and can be opened for reading.
int PathExists(const char* path);

// 1 on 64-bit Windows of major version 6 or later. Refreshes osMajorVersion and,
// from version 6 on, wow64Dir; asked afresh wherever the answer is needed.
int IsWow64Windows();

// The Windows directory followed by "\syswow64": the 32-bit system folder of
// 64-bit Windows. Returns 1 when it was written whole.
int ComposeWow64Dir(char* out, size_t outSize);
