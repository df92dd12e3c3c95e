#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int CopyText(char* field, size_t fieldSize, const char* text) {
    if (fieldSize == 0) return 0;
    field[0] = '\0';
    return AppendText(field, fieldSize, text);
}

int AppendText(char* field, size_t fieldSize, const char* text) {
    size_t used = strnlen(field, fieldSize);
    if (used >= fieldSize) return 0;
    size_t length = std::strlen(text);
    size_t room = fieldSize - 1 - used;
    size_t take = length < room ? length : room;
    std::memcpy(field + used, text, take);
    field[used + take] = '\0';
    return take == length;
}

int FormatText(char* field, size_t fieldSize, const char* format, ...) {
    if (fieldSize == 0) return 0;
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(field, fieldSize, format, args);
    va_end(args);
    return length >= 0 && static_cast<size_t>(length) < fieldSize;
}

size_t WideLength(const WCHAR* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

int WideCopy(WCHAR* field, size_t fieldSize, const WCHAR* text) {
    if (fieldSize == 0) return 0;
    field[0] = 0;
    return WideAppend(field, fieldSize, text);
}

int WideAppend(WCHAR* field, size_t fieldSize, const WCHAR* text) {
    size_t used = 0;
    while (used < fieldSize && field[used]) ++used;
    if (used >= fieldSize) return 0;
    size_t length = WideLength(text);
    size_t room = fieldSize - 1 - used;
    size_t take = length < room ? length : room;
    for (size_t i = 0; i < take; ++i) field[used + i] = text[i];
    field[used + take] = 0;
    return take == length;
}
