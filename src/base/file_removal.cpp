#include "base/file_removal.h"

#include "base/install_context.h"

#include <cstring>

int DeleteFileForce(const char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE);
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return 0;
    _lclose(file);
    return DeleteFileA(path) ? 0 : -1;
}

int RenameAside(const char* path) {
    size_t length = std::strlen(path);
    if (length < 5 || length >= kPathFieldSize) return -1;
    char aside[kPathFieldSize];
    std::memcpy(aside, path, length + 1);
    static const char kMarks[] = {'2', '1'};
    for (char mark : kMarks) {
        aside[length - 5] = mark;
        DeleteFileForce(aside);
        if (MoveFileA(path, aside)) return 0;
    }
    return -1;
}
