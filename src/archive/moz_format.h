// The moz archive: the installer's container of zlib-compressed files.
//
//   archive header, 10 bytes     marker "C", version ("0": current layout,
//                                anything else: older layout), total length
//                                (u32 LE, no reader consults it), entry count
//                                (u32 LE)
//   entry, current layout        MozEntryHeader (56 bytes), then the zlib data
//   entry, older layout          MozLegacyEntryHeader (20 bytes), then the data
//
// Entries follow one another without gaps. Each entry's data is a complete
// zlib stream of at most kMozMaxContent bytes of content. Readers take the
// archive with its real size: a count larger than the entries, a length past
// the end or a header cut short ends the walk as an incomplete archive.
#pragma once

#include <cstddef>
#include <cstdint>

struct MozEntryHeader {
    char marker[2];        // "C", "F"
    char name[16];         // at most 12 bytes, NUL-terminated, zero-filled
    char digest[32];       // MD5 of the content, upper-case hexadecimal
    char terminator[2];    // 0, 0
    unsigned char compressedLength[4];  // u32 LE: bytes of zlib data that follow
};
static_assert(sizeof(MozEntryHeader) == 56, "current entry header is 56 bytes");

struct MozLegacyEntryHeader {
    char marker[2];        // "C", "F"
    char name[14];         // NUL-terminated; bytes after the NUL are filler
    unsigned char compressedLength[4];
};
static_assert(sizeof(MozLegacyEntryHeader) == 20, "older entry header is 20 bytes");

const size_t kMozHeaderSize = 10;
const size_t kMozMaxContent = 0x200000;
const size_t kMozMaxName = 12;
const size_t kDigestTextSize = 34;  // 32 characters and two NULs

// One entry as the walk finds it; the pointers point into the archive.
struct MozEntry {
    uint32_t index;
    size_t offset;           // of the entry header
    const char* nameField;   // not necessarily terminated: see nameFieldSize
    size_t nameFieldSize;
    const char* digest;      // 32 characters, or null in the older layout
    const unsigned char* data;
    uint32_t compressedLength;
};

struct MozWalk {
    const unsigned char* archive;
    size_t size;
    bool current;     // current layout
    uint32_t count;   // what the header says
    uint32_t index;   // entries seen so far
    size_t position;
    bool incomplete;  // stopped before `count` entries
};

// Starts a walk; 0 (and an incomplete walk) when not even the header is there.
int MozBeginWalk(MozWalk* walk, const unsigned char* archive, size_t size);

// The next entry; 0 at the end, with `incomplete` set when the walk stopped
// before the count: a bad marker, a header cut short, data past the end.
int MozNextEntry(MozWalk* walk, MozEntry* entry);

uint32_t ReadU32(const unsigned char* bytes);
void WriteU32(unsigned char* bytes, uint32_t value);

// The digest text of 16 MD5 bytes: 32 upper-case hexadecimal characters.
void DigestHex(const unsigned char digest[16], char* out);

