#include "archive/extraction.h"

#include "archive/moz_archive.h"
#include "base/file_removal.h"
#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"

#include <cstring>
#include <zlib.h>

const char kIncompleteGbk[] =
    "\xD3\xD0\xCE\xC4\xBC\xFE\xC3\xBB\xD3\xD0\xB3\xC9\xB9\xA6\xBD\xE2\xD1\xB9\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xCF\xC2"
    "\xD4\xD8\xB0\xB2\xD7\xB0\xA3\xA1\r\n";  // 有文件没有成功解压，请重新下载安装！ and a line end

namespace {

const char kWordList[] = "moracyzk.bak";
const size_t kTrailerSize = 12;
const size_t kDigestGap = 10;  // between the content and its digest text in the work area

// A name of a file in the install directory: no folder, drive or stream, and
// no device that Windows would open in its place.
bool PlainFileName(const char* name) {
    size_t length = std::strlen(name);
    return length > 0 && std::strpbrk(name, "\\/:") == nullptr && std::strstr(name, "..") == nullptr &&
           !IsDeviceName(name, length);
}

// A name that can be written into the install directory and nowhere else.
int SafeEntryName(const MozEntry& entry, char* name) {
    size_t length = strnlen(entry.nameField, entry.nameFieldSize);
    if (length == 0 || length == entry.nameFieldSize) return 0;
    std::memcpy(name, entry.nameField, length + 1);
    return PlainFileName(name);
}

// Decompresses an entry into the work area and checks it against its digest
// (current layout); returns the content length, 0 when the entry fails.
size_t UnpackEntry(const MozEntry& entry, unsigned char* workArea, size_t workSize) {
    unsigned char* content = workArea + kWorkContentOffset;
    // Room for the content, the digest text behind it and the word-list trailer.
    size_t room = workSize - kWorkContentOffset - kDigestGap - kDigestTextSize;
    uLongf length = room < kMozMaxContent ? room : kMozMaxContent;
    if (uncompress(content, &length, entry.data, entry.compressedLength) != Z_OK || length == 0) return 0;
    if (entry.digest != nullptr) {
        char* digest = reinterpret_cast<char*>(content + length + kDigestGap);
        Md5Text(content, length, digest);
        if (std::memcmp(digest, entry.digest, 32) != 0 || digest[0] == '\0') return 0;
    }
    return length;
}

int WriteWholeFile(const char* path, const unsigned char* bytes, size_t length) {
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR) return 0;
    UINT written = _lwrite(file, reinterpret_cast<const char*>(bytes), static_cast<UINT>(length));
    _lclose(file);
    return written == length;
}

int ExtractEntry(const MozEntry& entry, unsigned char* workArea, size_t workSize, char* name) {
    char path[kPathFieldSize + 16];
    if (!SafeEntryName(entry, name) || !InstallDirPath(name, path, sizeof path)) return 0;
    size_t length = UnpackEntry(entry, workArea, workSize);
    if (length == 0) return 0;
    if (DeleteFileForce(path) == -1) RenameAside(path);
    unsigned char* content = workArea + kWorkContentOffset;
    if (std::strcmp(name, kWordList) == 0) length = NormaliseWordList(content, length) + kTrailerSize;
    return WriteWholeFile(path, content, length);
}

void ReportFailedEntry(const char* name) {
    char text[128];
    FormatText(text, sizeof text, kExtractFailedGbk, name);
    MessageBoxA(nullptr, text, kInstallCaptionGbk, MB_OK);
}

// The name of an entry for the report and the message: what its field holds,
// cut at the field's end.
void ShownName(const MozEntry& entry, char* name) {
    size_t length = strnlen(entry.nameField, entry.nameFieldSize);
    std::memcpy(name, entry.nameField, length);
    name[length] = '\0';
}

}  // namespace

int MozExtractAll(const unsigned char* archive, size_t archiveSize, unsigned char* workArea, size_t workSize) {
    if (workArea == nullptr || workSize <= kWorkContentOffset + kDigestGap + kDigestTextSize + kTrailerSize) return 0;
    MozWalk walk;
    MozEntry entry;
    MozBeginWalk(&walk, archive, archiveSize);
    uint32_t written = 0;
    while (MozNextEntry(&walk, &entry)) {
        char* name = reinterpret_cast<char*>(workArea);
        ShownName(entry, name);
        if (ExtractEntry(entry, workArea, workSize, name)) {
            ++written;
        } else {
            ShownName(entry, name);
            ReportFailedEntry(name);
        }
    }
    return !walk.incomplete && written == walk.count;
}

int MozVerifyInstalled(const unsigned char* archive, size_t archiveSize, char* report, size_t reportSize,
                       const char* exceptionText) {
    CopyText(report, reportSize, "");
    MozWalk walk;
    MozEntry entry;
    MozBeginWalk(&walk, archive, archiveSize);
    int passed = 0;
    while (MozNextEntry(&walk, &entry)) {
        char name[20], path[kPathFieldSize + 16], digest[kDigestTextSize];
        ShownName(entry, name);
        // A name that leads out of the install directory is never read, and fails.
        bool inside = PlainFileName(name) && InstallDirPath(name, path, sizeof path);
        size_t length = inside ? Md5FileText(path, digest) : 0;
        bool ok = inside && (entry.digest != nullptr
                                 ? (digest[0] != '\0' && std::memcmp(digest, entry.digest, 32) == 0) ||
                                       ContainsNoCase(exceptionText, name)
                                 : length >= entry.compressedLength);
        if (ok) {
            ++passed;
        } else {
            AppendText(report, reportSize, name);
            AppendText(report, reportSize, "....");
        }
    }
    if (static_cast<uint32_t>(passed) < walk.count) AppendText(report, reportSize, kIncompleteGbk);
    return passed;
}

namespace {

bool IsCharacter(const unsigned char* text, size_t length, size_t r) {
    return r + 1 < length && text[r] > 0x80 && text[r + 1] > 0x3F;
}

bool IsSeparator(const unsigned char* text, size_t length, size_t r) {
    return r + 1 < length && text[r] == ';' && text[r + 1] == ' ';
}

void WriteTrailer(unsigned char* at, uint32_t sum, uint32_t count) {
    std::memcpy(at, "MORA", 4);
    WriteU32(at + 4, sum);
    WriteU32(at + 8, count);
}

}  // namespace

// Words are runs of GBK characters followed by "; ". A word of one character
// is dropped and its separator kept; every character taken into a run counts
// in the sum, kept or dropped. Positions at or past the end match nothing.
size_t NormaliseWordList(unsigned char* text, size_t length) {
    if (length >= kTrailerSize && std::memcmp(text + length - kTrailerSize, "MORA", 4) == 0)
        return length - kTrailerSize;
    size_t r = 0, w = 0;
    uint32_t sum = 0, count = 0;
    while (r < length) {
        size_t runStart = w, characters = 0;
        while (IsCharacter(text, length, r)) {
            sum += text[r] + text[r + 1];
            text[w++] = text[r++];
            text[w++] = text[r++];
            ++characters;
        }
        if (characters >= 2 && IsSeparator(text, length, r)) {
            ++count;
            text[w++] = text[r++];
            text[w++] = text[r++];
            continue;
        }
        w = runStart;
        // Drop: on to the next separator, which stays.
        size_t p = r;
        while (p < length && text[p] != ';' && !(p + 1 < length && text[p + 1] == ' ')) ++p;
        if (p >= length) break;
        text[w++] = text[p];
        if (p + 1 < length) text[w++] = text[p + 1];
        r = p + 2;
    }
    WriteTrailer(text + w, sum, count);
    return w;
}
