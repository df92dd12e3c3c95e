// Moz archives built in a test from a list of (name, content).
#pragma once

#include "archive/moz_archive.h"

#include <zlib.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct FixtureEntry {
    std::string name;     // written into the name field as given (it may be cut or unterminated)
    std::string content;
    std::string digest;   // empty: the content's own
};

inline std::string U32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

inline std::string Compressed(const std::string& content) {
    uLongf size = compressBound(content.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(content.data()), content.size());
    out.resize(size);
    return out;
}

inline std::string DigestOf(const std::string& content) {
    char text[kDigestTextSize];
    Md5Text(content.data(), content.size(), text);
    return std::string(text, 32);
}

// An archive of the current layout (version "0") or the older one (`version`
// any other letter, 20-byte entry headers with `filler` after each name).
inline std::string MakeArchive(const std::vector<FixtureEntry>& entries, char version = '0', int count = -1,
                               char filler = '\0') {
    std::string body;
    for (const FixtureEntry& e : entries) {
        std::string data = Compressed(e.content);
        if (version == '0') {
            std::string header = "CF" + e.name.substr(0, 16);
            header.resize(18, '\0');
            header += (e.digest.empty() ? DigestOf(e.content) : e.digest).substr(0, 32);
            header.resize(52, '\0');
            body += header + U32(static_cast<uint32_t>(data.size())) + data;
        } else {
            std::string name = e.name.substr(0, 14);
            name.push_back('\0');
            name.resize(14, filler);
            body += "CF" + name + U32(static_cast<uint32_t>(data.size())) + data;
        }
    }
    uint32_t n = count < 0 ? static_cast<uint32_t>(entries.size()) : static_cast<uint32_t>(count);
    return std::string("C") + version + U32(static_cast<uint32_t>(10 + body.size())) + U32(n) + body;
}

inline const unsigned char* Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// The names of an archive's entries as the walk finds them, and whether it
// stopped before the count.
inline std::vector<std::string> ArchiveNames(const std::string& archive, bool* incomplete = nullptr) {
    MozWalk walk;
    MozEntry entry;
    std::vector<std::string> names;
    MozBeginWalk(&walk, Bytes(archive), archive.size());
    while (MozNextEntry(&walk, &entry))
        names.push_back(std::string(entry.nameField, strnlen(entry.nameField, entry.nameFieldSize)));
    if (incomplete != nullptr) *incomplete = walk.incomplete;
    return names;
}

// Each entry's name and unpacked content (at most `limit` bytes; an entry that
// does not unpack is left out).
inline std::map<std::string, std::string> ArchiveContents(const std::string& archive, size_t limit = 1 << 16) {
    MozWalk walk;
    MozEntry entry;
    std::map<std::string, std::string> contents;
    MozBeginWalk(&walk, Bytes(archive), archive.size());
    while (MozNextEntry(&walk, &entry)) {
        std::string content(limit, '\0');
        uLongf length = static_cast<uLongf>(limit);
        if (uncompress(reinterpret_cast<Bytef*>(&content[0]), &length, entry.data, entry.compressedLength) != Z_OK)
            continue;
        content.resize(length);
        contents[std::string(entry.nameField, strnlen(entry.nameField, entry.nameFieldSize))] = content;
    }
    return contents;
}

// A 24-bit bitmap file, pixel data at offset 54, rows bottom up as Windows
// keeps them; pixel(x, y), y counted from the top, gives RGB(r, g, b).
template <typename Pixel>
std::string BitmapFile(int width, int height, Pixel pixel) {
    int row = (width * 3 + 3) & ~3;
    std::string pixels;
    for (int y = height - 1; y >= 0; --y) {
        std::string line;
        for (int x = 0; x < width; ++x) {
            uint32_t rgb = pixel(x, y);
            line += std::string{char(rgb), char(rgb >> 8), char(rgb >> 16)};  // blue, green, red
        }
        line.resize(row, '\0');
        pixels += line;
    }
    std::string info = U32(40) + U32(width) + U32(height) + std::string("\x01\x00\x18\x00", 4) + U32(0) +
                       U32(static_cast<uint32_t>(pixels.size())) + U32(0) + U32(0) + U32(0) + U32(0);
    return "BM" + U32(static_cast<uint32_t>(54 + pixels.size())) + U32(0) + U32(54) + info + pixels;
}
