// The floor under unpacking a moz archive, for the benchmarks: in one process,
// every entry decompressed from memory into one buffer and its MD5 compared
// with the entry's digest, nothing else; with DIR, each content also written
// to a file there.
//
//   floor ARCHIVE [DIR]
//
// Exit status: 0 all entries unpacked and matched; 1 one did not; 2 bad usage
// or an archive that cannot be read.
#include "archive/moz_format.h"
#include "base/md5.h"
#include "mozpack/present_memory.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool Matches(const unsigned char* content, size_t length, const char* digest) {
    if (digest == nullptr) return true;
    Md5State md5;
    Md5Begin(&md5);
    Md5Add(&md5, content, length);
    Md5End(&md5);
    char text[32];
    DigestHex(md5.digest, text);
    return std::memcmp(text, digest, 32) == 0;
}

bool WriteWhole(const std::string& path, const unsigned char* content, size_t length) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(content, 1, length, file) == length;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fputs("usage: floor ARCHIVE [DIR]\n", stderr);
        return 2;
    }
    // Mapped as the archive tool maps it: the floor must not pay for a copy
    // that the tool does not make.
    size_t size = 0;
    const unsigned char* archive = MapPresentFile(argv[1], &size);
    MozWalk walk;
    if (archive == nullptr || !MozBeginWalk(&walk, archive, size)) {
        std::fprintf(stderr, "floor: %s: not a readable moz archive\n", argv[1]);
        return 2;
    }
    unsigned char* content = PresentMemory(kMozMaxContent);
    if (content == nullptr) return 2;
    MozEntry entry;
    int status = 0;
    while (MozNextEntry(&walk, &entry)) {
        uLongf length = kMozMaxContent;
        bool ok = uncompress(content, &length, entry.data, entry.compressedLength) == Z_OK &&
                  Matches(content, length, entry.digest);
        std::string name(entry.nameField, strnlen(entry.nameField, entry.nameFieldSize));
        if (ok && argc == 3) ok = WriteWhole(std::string(argv[2]) + "/" + name, content, length);
        if (!ok) {
            std::fprintf(stderr, "floor: entry %u (%s) failed\n", entry.index, name.c_str());
            status = 1;
        }
    }
    return walk.incomplete ? 1 : status;
}
