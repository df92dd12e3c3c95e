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

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Buffers that are filled right away are not zeroed first.
typedef std::unique_ptr<unsigned char[]> Buffer;

bool ReadWhole(const char* path, Buffer* bytes, size_t* size) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long length = ok ? std::ftell(file) : -1;
    ok = length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        *size = static_cast<size_t>(length);
        bytes->reset(new unsigned char[*size + 1]);
        ok = std::fread(bytes->get(), 1, *size, file) == *size;
    }
    std::fclose(file);
    return ok;
}

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
    Buffer archive;
    size_t size = 0;
    MozWalk walk;
    if (!ReadWhole(argv[1], &archive, &size) || !MozBeginWalk(&walk, archive.get(), size)) {
        std::fprintf(stderr, "floor: %s: not a readable moz archive\n", argv[1]);
        return 2;
    }
    Buffer content(new unsigned char[kMozMaxContent]);
    MozEntry entry;
    int status = 0;
    while (MozNextEntry(&walk, &entry)) {
        uLongf length = kMozMaxContent;
        bool ok = uncompress(content.get(), &length, entry.data, entry.compressedLength) == Z_OK &&
                  Matches(content.get(), length, entry.digest);
        std::string name(entry.nameField, strnlen(entry.nameField, entry.nameFieldSize));
        if (ok && argc == 3) ok = WriteWhole(std::string(argv[2]) + "/" + name, content.get(), length);
        if (!ok) {
            std::fprintf(stderr, "floor: entry %u (%s) failed\n", entry.index, name.c_str());
            status = 1;
        }
    }
    return walk.incomplete ? 1 : status;
}
