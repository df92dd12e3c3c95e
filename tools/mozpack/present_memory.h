// Memory whose pages are present from the start, and files mapped so, for
// the archive tool and the benchmarks' floor under it: on a machine where
// every first touch of a page is a fault of its own (a virtual machine makes
// each one dear), zlib filling a fresh buffer and a read copying into one paid
// for them page by page. The Windows build of the tool takes plain memory and
// reads its archives.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>

#ifdef _WIN32

inline unsigned char* PresentMemory(size_t size) { return static_cast<unsigned char*>(std::malloc(size)); }
inline void ReleaseMemory(unsigned char* memory, size_t) { std::free(memory); }
inline const unsigned char* MapPresentFile(const std::string&, size_t*) { return nullptr; }
inline void UnmapFile(const unsigned char*, size_t) {}

#else

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

inline unsigned char* PresentMemory(size_t size) {
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<unsigned char*>(memory);
}

inline void ReleaseMemory(unsigned char* memory, size_t size) {
    if (memory != nullptr) munmap(memory, size);
}

// A regular file that is not empty, its whole length in *size; anything else
// (a pipe) gives null and is for the caller to read.
inline const unsigned char* MapPresentFile(const std::string& path, size_t* size) {
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return nullptr;
    struct stat status;
    void* mapped = MAP_FAILED;
    if (fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        *size = static_cast<size_t>(status.st_size);
        mapped = mmap(nullptr, *size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file, 0);
    }
    close(file);
    return mapped == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(mapped);
}

inline void UnmapFile(const unsigned char* data, size_t size) {
    if (data != nullptr) munmap(const_cast<unsigned char*>(data), size);
}

#endif
