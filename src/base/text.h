// Bounded text operations on fixed fields. Each returns 1 when the whole text
// fitted and 0 when it did not; a text that does not fit is cut, never spilled,
// and the field always ends with its terminator.
#pragma once

#include "platform/win32.h"

#include <cstddef>

int CopyText(char* field, size_t fieldSize, const char* text);
int AppendText(char* field, size_t fieldSize, const char* text);
int FormatText(char* field, size_t fieldSize, const char* format, ...) __attribute__((format(printf, 3, 4)));

size_t WideLength(const WCHAR* text);
int WideCopy(WCHAR* field, size_t fieldSize, const WCHAR* text);
int WideAppend(WCHAR* field, size_t fieldSize, const WCHAR* text);
