#include "archive/moz_archive.h"

#include "base/install_context.h"
#include "base/shared_ops.h"

#include <cstddef>
#include <cstring>
#include <zlib.h>

namespace {

const size_t kEntrySize = sizeof(MozEntryHeader);
const size_t kLookupOffset = 100;

bool NameEquals(const MozEntry& entry, const char* name) {
    size_t length = std::strlen(name);
    return length < entry.nameFieldSize && std::memcmp(entry.nameField, name, length + 1) == 0;
}

typedef void(WINAPI* Md5InitFunction)(void*);
typedef void(WINAPI* Md5UpdateFunction)(void*, const unsigned char*, unsigned int);
typedef void(WINAPI* Md5FinalFunction)(void*);

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// advapi32's MD5_CTX: counters, state, input block, then the digest at 88.
const size_t kMd5ContextSize = 104;
const size_t kMd5DigestOffset = 88;

// ---------------------------------------------------------------- the writer

// The entry name of a source path: what follows its last backslash (the first
// character is not taken for a separator), or the whole path.
const char* EntryName(const char* sourcePath) {
    size_t length = std::strlen(sourcePath);
    for (size_t i = length; i-- > 1;)
        if (sourcePath[i] == '\\') return sourcePath + i + 1;
    return sourcePath;
}

LONG FileLength(HFILE file) {
    LONG length = _llseek(file, 0, FILE_END);
    _llseek(file, 0, FILE_BEGIN);
    return length;
}

// Opens the archive for reading and writing, creating it with an empty header
// when it does not exist, and reads its header.
HFILE OpenArchive(const char* path, unsigned char header[kMozHeaderSize]) {
    HFILE file = _lopen(path, OF_READWRITE);
    if (file == HFILE_ERROR) {
        if (PathExists(path)) return HFILE_ERROR;  // there but not to be written: never start it anew
        file = _lcreat(path, 0);
        if (file == HFILE_ERROR) return HFILE_ERROR;
        const unsigned char empty[kMozHeaderSize] = {'C', '0', 10, 0, 0, 0, 0, 0, 0, 0};
        if (_lwrite(file, reinterpret_cast<const char*>(empty), kMozHeaderSize) != kMozHeaderSize) {
            _lclose(file);
            return HFILE_ERROR;
        }
        _llseek(file, 0, FILE_BEGIN);
    }
    if (_lread(file, header, kMozHeaderSize) != kMozHeaderSize) {
        _lclose(file);
        return HFILE_ERROR;
    }
    return file;
}

// Walks the entries of the archive file (always in the current layout) to the
// end of the last one. 0 when `name` is taken, or when the entries are not
// all there as the count says: a damaged archive is left alone.
int FindArchiveEnd(HFILE file, const unsigned char* header, const char* name, LONG* end) {
    LONG length = _llseek(file, 0, FILE_END);
    LONG position = static_cast<LONG>(kMozHeaderSize);
    uint32_t count = ReadU32(header + 6);
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char entry[kEntrySize];
        if (_llseek(file, position, FILE_BEGIN) != position || _lread(file, entry, kEntrySize) != kEntrySize)
            return 0;
        if (entry[0] != 'C' || entry[1] != 'F') return 0;
        const char* entryName = reinterpret_cast<const char*>(entry) + offsetof(MozEntryHeader, name);
        if (strnlen(entryName, sizeof MozEntryHeader().name) == std::strlen(name) &&
            std::strncmp(entryName, name, sizeof MozEntryHeader().name) == 0)
            return 0;
        uint32_t compressed = ReadU32(entry + offsetof(MozEntryHeader, compressedLength));
        if (compressed > static_cast<uint32_t>(length - position) - kEntrySize) return 0;
        position += static_cast<LONG>(kEntrySize + compressed);
    }
    *end = position;
    return 1;
}

// The whole source file in a fresh block, with room behind it for its
// compressed form. Returns the block (to be freed by the caller) or null.
HGLOBAL ReadSource(const char* path, uLong* length, uLong* capacity) {
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    LONG size = FileLength(file);
    HGLOBAL block = nullptr;
    if (size >= 0) {
        *length = static_cast<uLong>(size);
        *capacity = compressBound(*length);  // what zlib says the data can need, compressible or not
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, *length + *capacity);
    }
    unsigned char* bytes = block ? static_cast<unsigned char*>(GlobalLock(block)) : nullptr;
    if (bytes == nullptr || _lread(file, bytes, static_cast<UINT>(*length)) != *length) {
        if (block) GlobalFree(block);
        block = nullptr;
    }
    _lclose(file);
    return block;
}

// Writes the entry at `end` and the updated header; on any short write the
// file is cut back to `end` and the header left as it was.
int WriteEntry(HFILE file, unsigned char* header, LONG end, const unsigned char* entry, const unsigned char* data,
               uLong compressed) {
    bool written = _llseek(file, end, FILE_BEGIN) == end &&
                   _lwrite(file, reinterpret_cast<const char*>(entry), kEntrySize) == kEntrySize &&
                   _lwrite(file, reinterpret_cast<const char*>(data), static_cast<UINT>(compressed)) == compressed;
    if (written) {
        WriteU32(header + 2, ReadU32(header + 2) + static_cast<uint32_t>(compressed + kEntrySize));
        WriteU32(header + 6, ReadU32(header + 6) + 1);
        written = _llseek(file, 0, FILE_BEGIN) == 0 &&
                  _lwrite(file, reinterpret_cast<const char*>(header), kMozHeaderSize) == kMozHeaderSize;
    }
    if (!written && _llseek(file, end, FILE_BEGIN) == end) _lwrite(file, "", 0);
    return written;
}

}  // namespace

size_t MozLookupEntry(const char* name) {
    if (context.scratch == nullptr) return 0;
    context.scratch[kLookupOffset] = 0;
    context.scratch[kLookupOffset + 1] = 0;
    MozWalk walk;
    MozEntry entry;
    MozBeginWalk(&walk, context.payload, context.payloadSize);
    while (MozNextEntry(&walk, &entry)) {
        if (!NameEquals(entry, name)) continue;
        uLongf room = kScratchSize - kLookupOffset;  // the output limit, lowered to the room left
        if (entry.compressedLength == 0 ||
            uncompress(context.scratch + kLookupOffset, &room, entry.data, entry.compressedLength) != Z_OK)
            return 0;
        return room;
    }
    return 0;
}

int MozAppendFile(const char* archivePath, const char* sourcePath) {
    const char* name = EntryName(sourcePath);
    if (*name == '\0' || std::strlen(name) > kMozMaxName) return 0;
    unsigned char header[kMozHeaderSize];
    HFILE archive = OpenArchive(archivePath, header);
    if (archive == HFILE_ERROR) return 0;
    LONG end = 0;
    uLong length = 0, capacity = 0;
    HGLOBAL block = FindArchiveEnd(archive, header, name, &end) ? ReadSource(sourcePath, &length, &capacity) : nullptr;
    int result = 0;
    if (block != nullptr) {
        unsigned char* source = static_cast<unsigned char*>(GlobalLock(block));
        unsigned char entry[kEntrySize] = {'C', 'F'};
        std::memcpy(entry + offsetof(MozEntryHeader, name), name, std::strlen(name));
        char digest[kDigestTextSize];
        Md5Text(source, length, digest);
        std::memcpy(entry + offsetof(MozEntryHeader, digest), digest, 32);
        uLongf compressed = capacity;
        if (compress(source + length, &compressed, source, length) == Z_OK && compressed != 0) {
            WriteU32(entry + offsetof(MozEntryHeader, compressedLength), static_cast<uint32_t>(compressed));
            result = WriteEntry(archive, header, end, entry, source + length, compressed);
        }
        GlobalUnlock(block);
        GlobalFree(block);
    }
    _lclose(archive);
    return result;
}

void Md5Text(const void* data, size_t length, char* out) {
    std::memset(out, 0, kDigestTextSize);
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    if (advapi == nullptr) return;
    auto init = Export<Md5InitFunction>(advapi, "MD5Init");
    auto update = Export<Md5UpdateFunction>(advapi, "MD5Update");
    auto final = Export<Md5FinalFunction>(advapi, "MD5Final");
    if (init && update && final) {
        alignas(8) unsigned char md5[kMd5ContextSize] = {};  // an MD5_CTX: 32-bit fields
        init(md5);
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t done = 0; done < length;) {
            unsigned int piece = length - done > 0x40000000u ? 0x40000000u : static_cast<unsigned int>(length - done);
            update(md5, bytes + done, piece);
            done += piece;
        }
        final(md5);
        DigestHex(md5 + kMd5DigestOffset, out);
    }
    FreeLibrary(advapi);
}

size_t Md5FileText(const char* path, char* out) {
    std::memset(out, 0, kDigestTextSize);
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return 0;
    LONG length = FileLength(file);
    HGLOBAL block = length >= 0 ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(length) + 500) : nullptr;
    unsigned char* bytes = block ? static_cast<unsigned char*>(GlobalLock(block)) : nullptr;
    size_t got = 0;
    if (bytes != nullptr) {
        UINT read = _lread(file, bytes, static_cast<UINT>(length) + 100);  // a file that grew meanwhile: a little more
        got = read == UINT(HFILE_ERROR) ? 0 : read;
        Md5Text(bytes, got, out);
    }
    _lclose(file);
    if (block) {
        GlobalUnlock(block);
        GlobalFree(block);
    }
    return got;
}
