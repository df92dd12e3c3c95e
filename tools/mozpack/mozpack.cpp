// mozpack: builds and inspects moz archives, the installer's container of
// zlib-compressed files, for the people who build and check payloads. It
// shares the format code with the installer and, unlike the installer's own
// writer, takes files of any compressibility and any number of entries.
#include "archive/moz_format.h"
#include "base/md5.h"
#include "present_memory.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: mozpack create [--legacy] ARCHIVE FILE...   a new archive, entries named by the files' base names\n"
    "       mozpack list ARCHIVE                        name, size, compressed size, digest, whether it matches\n"
    "       mozpack extract ARCHIVE DIR                 every entry's content, byte for byte, into DIR; an entry\n"
    "                                                   that does not match its digest is not written\n"
    "       mozpack verify ARCHIVE DIR                  the installer's check of DIR against the archive\n"
    "       mozpack cat ARCHIVE NAME                    one entry's content to standard output\n"
    "\n"
    "--legacy writes the older layout (20-byte entry headers, no digests), as the skin archives use.\n"
    "Names are at most 12 bytes, taken as they are (the installer reads them as GBK); an entry holds\n"
    "at most 2 MB (2,097,152 bytes) of content.\n"
    "Exit status: 0 all went well; 1 an entry failed or a file did not verify; 2 bad usage or an\n"
    "archive that cannot be read.\n";

typedef std::vector<unsigned char> Bytes;

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "mozpack: %s\n", message.c_str());
    return code;
}

// The whole file in one read when its size is known; what a pipe gives, or a
// file that grew meanwhile, is read on in pieces.
bool ReadFile(const std::string& path, Bytes* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes->clear();
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (std::fseek(file, 0, SEEK_SET) == 0 && size > 0) {
        bytes->resize(static_cast<size_t>(size));
        bytes->resize(std::fread(bytes->data(), 1, bytes->size(), file));
    }
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool WriteFile(const std::string& path, const unsigned char* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Digest(const unsigned char* data, size_t size) {
    Md5State md5;
    Md5Begin(&md5);
    Md5Add(&md5, data, size);
    Md5End(&md5);
    char text[32];
    DigestHex(md5.digest, text);
    return std::string(text, 32);
}

std::string EntryName(const MozEntry& entry) {
    return std::string(entry.nameField, strnlen(entry.nameField, entry.nameFieldSize));
}

std::string Where(const MozEntry& entry) {
    return "entry " + std::to_string(entry.index) + " (" + EntryName(entry) + ") at offset " +
           std::to_string(entry.offset);
}

// Why a walk stopped before the count, and where.
std::string StopReason(const MozWalk& walk) {
    std::string where = "entry " + std::to_string(walk.index) + " at offset " + std::to_string(walk.position);
    size_t header = walk.current ? sizeof(MozEntryHeader) : sizeof(MozLegacyEntryHeader);
    size_t left = walk.size - walk.position;
    if (left < header)
        return where + ": the entry header is cut short (" + std::to_string(left) + " of " + std::to_string(header) +
               " bytes; the archive counts " + std::to_string(walk.count) + " entries)";
    const unsigned char* at = walk.archive + walk.position;
    if (at[0] != 'C' || at[1] != 'F') return where + ": no entry marker \"CF\"";
    return where + ": its data runs past the end of the archive";
}

// Room for one entry's content, made once and used for every entry of a walk.
struct Content {
    unsigned char* room = PresentMemory(kMozMaxContent);
    size_t length = 0;
    Content() = default;
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;
    ~Content() { ReleaseMemory(room, kMozMaxContent); }
    const unsigned char* data() const { return room; }
    size_t size() const { return length; }
};

bool Unpack(const MozEntry& entry, Content* content) {
    uLongf size = kMozMaxContent;
    if (content->room == nullptr) return false;
    if (uncompress(content->room, &size, entry.data, entry.compressedLength) != Z_OK) return false;
    content->length = size;
    return true;
}

bool SafeName(const std::string& name, size_t field) {
    return !name.empty() && name.size() < field && name.find_first_of("\\/:") == std::string::npos &&
           name.find("..") == std::string::npos;
}

// An archive's bytes: mapped when it is a regular file, read otherwise.
struct ArchiveBytes {
    Bytes read;
    const unsigned char* mapped = nullptr;
    const unsigned char* data = nullptr;
    size_t size = 0;
    ArchiveBytes() = default;
    ArchiveBytes(const ArchiveBytes&) = delete;
    ArchiveBytes& operator=(const ArchiveBytes&) = delete;
    ~ArchiveBytes() { UnmapFile(mapped, size); }
};

bool ReadArchive(const std::string& path, ArchiveBytes* bytes) {
    bytes->mapped = MapPresentFile(path, &bytes->size);
    if (bytes->mapped != nullptr) {
        bytes->data = bytes->mapped;
        return true;
    }
    bytes->size = 0;
    if (!ReadFile(path, &bytes->read)) return false;
    bytes->data = bytes->read.data();
    bytes->size = bytes->read.size();
    return true;
}

// Opens an archive for reading: its bytes and a walk over them. An archive
// that cannot be opened leaves the walk without one (archive null).
int OpenArchive(const std::string& path, ArchiveBytes* bytes, MozWalk* walk) {
    *walk = MozWalk();
    int code = 0;
    if (!ReadArchive(path, bytes))
        code = Fail(2, path + ": cannot be read: " + std::strerror(errno));
    else if (!MozBeginWalk(walk, bytes->data, bytes->size))
        code = Fail(2, path + ": not a moz archive: the 10-byte header is cut short");
    else if (bytes->data[0] != 'C')
        code = Fail(2, path + ": not a moz archive: no marker \"C\" at offset 0");
    if (code != 0) walk->archive = nullptr;
    return code;
}

// ---------------------------------------------------------------- create

std::string EntryBytes(const std::string& name, const Bytes& content, const Bytes& data, bool legacy) {
    std::string header(legacy ? sizeof(MozLegacyEntryHeader) : sizeof(MozEntryHeader), '\0');
    header[0] = 'C';
    header[1] = 'F';
    header.replace(2, name.size(), name);
    unsigned char length[4];
    WriteU32(length, static_cast<uint32_t>(data.size()));
    if (legacy) {
        header.replace(offsetof(MozLegacyEntryHeader, compressedLength), 4, reinterpret_cast<char*>(length), 4);
    } else {
        header.replace(offsetof(MozEntryHeader, digest), 32, Digest(content.data(), content.size()));
        header.replace(offsetof(MozEntryHeader, compressedLength), 4, reinterpret_cast<char*>(length), 4);
    }
    return header + std::string(data.begin(), data.end());
}

// One file as an entry; an empty result with a message when it cannot be one.
std::string MakeEntry(const std::string& path, bool legacy, std::set<std::string>* names) {
    std::string name = BaseName(path);
    Bytes content;
    if (name.empty() || name.size() > kMozMaxName) {
        Fail(1, path + ": the name \"" + name + "\" is not 1 to 12 bytes");
    } else if (!names->insert(name).second) {
        Fail(1, path + ": an entry named \"" + name + "\" is already in the archive");
    } else if (!ReadFile(path, &content)) {
        Fail(1, path + ": cannot be read: " + std::strerror(errno));
    } else if (content.size() > kMozMaxContent) {
        Fail(1, path + ": " + std::to_string(content.size()) + " bytes; an entry holds at most 2,097,152");
    } else {
        uLongf size = compressBound(content.size());
        Bytes data(size);
        if (compress(data.data(), &size, content.data(), content.size()) == Z_OK) {
            data.resize(size);
            return EntryBytes(name, content, data, legacy);
        }
        Fail(1, path + ": zlib could not compress it");
    }
    return std::string();
}

int Create(const std::vector<std::string>& args) {
    size_t at = 0;
    bool legacy = at < args.size() && args[at] == "--legacy";
    if (legacy) ++at;
    if (args.size() < at + 1) return Fail(2, "create needs an archive and files\n" + std::string(kUsage));
    const std::string archive = args[at++];
    std::string body;
    std::set<std::string> names;
    uint32_t count = 0;
    int result = 0;
    for (; at < args.size(); ++at) {
        std::string entry = MakeEntry(args[at], legacy, &names);
        if (entry.empty()) {
            result = 1;
            continue;
        }
        body += entry;
        ++count;
    }
    unsigned char header[kMozHeaderSize] = {'C', static_cast<unsigned char>(legacy ? 'A' : '0')};
    WriteU32(header + 2, static_cast<uint32_t>(kMozHeaderSize + body.size()));
    WriteU32(header + 6, count);
    std::string whole = std::string(reinterpret_cast<char*>(header), kMozHeaderSize) + body;
    if (!WriteFile(archive, reinterpret_cast<const unsigned char*>(whole.data()), whole.size()))
        return Fail(2, archive + ": cannot be written: " + std::strerror(errno));
    return result;
}

// ---------------------------------------------------------------- list, extract, verify, cat

// Hands every entry of the archive at `path` to visit, which returns true to
// go on. Returns 2, after saying why and where, when the archive cannot be read
// or stops before its count; 0 otherwise. `bytes` holds what the entries point
// into.
template <typename Visit>
int WalkArchive(const std::string& path, ArchiveBytes* bytes, MozWalk* walk, Visit visit) {
    if (int code = OpenArchive(path, bytes, walk)) return code;
    MozEntry entry;
    while (MozNextEntry(walk, &entry))
        if (!visit(entry)) return 0;
    return walk->incomplete ? Fail(2, path + ": " + StopReason(*walk)) : 0;
}

int List(const std::string& path) {
    ArchiveBytes bytes;
    Content content;
    MozWalk walk;
    int result = 0;
    int code = WalkArchive(path, &bytes, &walk, [&](const MozEntry& entry) {
        bool unpacked = Unpack(entry, &content);
        std::string digest = entry.digest ? std::string(entry.digest, 32) : "-";
        std::string matches = !unpacked ? "undecodable" : !entry.digest ? "-"
                              : Digest(content.data(), content.size()) == digest ? "matches" : "DIFFERS";
        std::printf("%-12s %9zu %9u %s %s\n", EntryName(entry).c_str(), unpacked ? content.size() : size_t(0),
                    entry.compressedLength, digest.c_str(), matches.c_str());
        if (!unpacked || matches == "DIFFERS") result = 1;
        return true;
    });
    return code ? code : result;
}

int Extract(const std::string& path, const std::string& dir) {
    ArchiveBytes bytes;
    Content content;
    MozWalk walk;
    int result = 0;
    int code = WalkArchive(path, &bytes, &walk, [&](const MozEntry& entry) {
        std::string name = EntryName(entry);
        if (!SafeName(name, entry.nameFieldSize)) {
            result = Fail(1, path + ": " + Where(entry) + ": the name cannot be a file of " + dir);
        } else if (!Unpack(entry, &content)) {
            result = Fail(1, path + ": " + Where(entry) + ": the data does not decompress");
        } else if (entry.digest && Digest(content.data(), content.size()) != std::string(entry.digest, 32)) {
            result = Fail(1, path + ": " + Where(entry) + ": the content does not match its digest; not written");
        } else if (!WriteFile(dir + "/" + name, content.data(), content.size())) {
            result = Fail(1, dir + "/" + name + ": cannot be written: " + std::strerror(errno));
        }
        return true;
    });
    return code ? code : result;
}

// The installer's rule: a current entry passes when the file's digest is the
// entry's; an older entry when the file is at least as long as its data.
int Verify(const std::string& path, const std::string& dir) {
    ArchiveBytes bytes;
    MozWalk walk;
    uint32_t passed = 0;
    std::string report;
    int code = WalkArchive(path, &bytes, &walk, [&](const MozEntry& entry) {
        Bytes file;
        std::string name = EntryName(entry);
        bool present = ReadFile(dir + "/" + name, &file);
        bool ok = entry.digest ? present && Digest(file.data(), file.size()) == std::string(entry.digest, 32)
                               : present && file.size() >= entry.compressedLength;
        if (ok)
            ++passed;
        else
            report += name + "....";
        return true;
    });
    if (walk.archive == nullptr) return code;  // not an archive: nothing to report
    if (!report.empty()) std::printf("%s\n", report.c_str());
    std::printf("%u of %u entries verified\n", passed, walk.count);
    return code ? code : passed == walk.count ? 0 : 1;
}

int Cat(const std::string& path, const std::string& name) {
    ArchiveBytes bytes;
    Content content;
    MozWalk walk;
    int result = -1;
    int code = WalkArchive(path, &bytes, &walk, [&](const MozEntry& entry) {
        if (EntryName(entry) != name) return true;
        if (!Unpack(entry, &content))
            result = Fail(1, path + ": " + Where(entry) + ": the data does not decompress");
        else
            result = std::fwrite(content.data(), 1, content.size(), stdout) == content.size() ? 0 : 1;
        return false;
    });
    if (result >= 0) return result;
    return code ? code : Fail(1, path + ": no entry named \"" + name + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Fail(2, "no command\n" + std::string(kUsage));
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "create") return Create(args);
    if (command == "list" && args.size() == 1) return List(args[0]);
    if (command == "extract" && args.size() == 2) return Extract(args[0], args[1]);
    if (command == "verify" && args.size() == 2) return Verify(args[0], args[1]);
    if (command == "cat" && args.size() == 2) return Cat(args[0], args[1]);
    return Fail(2, "bad usage: " + command + "\n" + std::string(kUsage));
}
