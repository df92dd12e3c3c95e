#include "archive/moz_format.h"

#include <cstring>

namespace {

const size_t kEntrySize = sizeof(MozEntryHeader);
const size_t kLegacyEntrySize = sizeof(MozLegacyEntryHeader);

}  // namespace

uint32_t ReadU32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void WriteU32(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

int MozBeginWalk(MozWalk* walk, const unsigned char* archive, size_t size) {
    std::memset(walk, 0, sizeof *walk);
    walk->archive = archive;
    walk->size = size;
    walk->position = kMozHeaderSize;
    if (archive == nullptr || size < kMozHeaderSize) {
        walk->incomplete = true;
        return 0;
    }
    walk->current = archive[1] == '0';
    walk->count = ReadU32(archive + 6);
    return 1;
}

int MozNextEntry(MozWalk* walk, MozEntry* entry) {
    if (walk->incomplete || walk->index >= walk->count) return 0;
    size_t headerSize = walk->current ? kEntrySize : kLegacyEntrySize;
    size_t left = walk->size - walk->position;
    const unsigned char* at = walk->archive + walk->position;
    if (left < headerSize || at[0] != 'C' || at[1] != 'F') {
        walk->incomplete = true;
        return 0;
    }
    entry->index = walk->index;
    entry->offset = walk->position;
    entry->nameField = reinterpret_cast<const char*>(at) + offsetof(MozEntryHeader, name);
    entry->nameFieldSize = walk->current ? sizeof MozEntryHeader().name : sizeof MozLegacyEntryHeader().name;
    entry->digest = walk->current ? reinterpret_cast<const char*>(at) + offsetof(MozEntryHeader, digest) : nullptr;
    entry->compressedLength = ReadU32(at + (walk->current ? offsetof(MozEntryHeader, compressedLength)
                                                          : offsetof(MozLegacyEntryHeader, compressedLength)));
    if (entry->compressedLength > left - headerSize) {
        walk->incomplete = true;
        return 0;
    }
    entry->data = at + headerSize;
    walk->position += headerSize + entry->compressedLength;
    walk->index++;
    return 1;
}

void DigestHex(const unsigned char digest[16], char* out) {
    for (int i = 0; i < 16; ++i) {
        int high = digest[i] >> 4, low = digest[i] & 15;
        out[2 * i] = static_cast<char>(high < 10 ? '0' + high : 'A' + high - 10);
        out[2 * i + 1] = static_cast<char>(low < 10 ? '0' + low : 'A' + low - 10);
    }
}
