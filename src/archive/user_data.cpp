#include "archive/user_data.h"

#include "archive/extraction.h"
#include "archive/moz_archive.h"
#include "base/file_removal.h"
#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "registration/system_records.h"

#include <cstring>

const char kBackupName[] = "moraback.moz";
const char kBackupPendingName[] = "moraback.pending";

namespace {

const char kRestoreFailedGbk[] =
    "\xD4\xAD\xD3\xD0\xCA\xFD\xBE\xDD\xCE\xC4\xBC\xFE\xC3\xBB\xD3\xD0\xB3\xC9\xB9\xA6\xB8\xB4\xD6\xC6\xA3\xAC\xD4\xAD"
    "\xD3\xD0\xCA\xFD\xBE\xDD\xB2\xBB\xC4\xDC\xCA\xB9\xD3\xC3\xA3\xA1\r\n";  // 原有数据文件没有成功复制，原有数据不能使用！

const size_t kFilePathSize = kPathFieldSize + 32;
const size_t kExceptionOffset = 4096;  // the restore's empty exception text in the scratch buffer
const size_t kSentenceRoom = 128;      // kept free behind a report for its closing sentence
const size_t kSmallestBackup = 100;
const UINT kSkinLimit = 0x20000;

enum BackupKind { CopyFirst, Required, Optional };

struct BackupRow {
    const char* file;  // in the install directory
    BackupKind kind;
};

// In the order the entries are added. A copy-first row goes in as its ".bak"
// copy, which stays beside the file.
const BackupRow kBackupTable[] = {
    {"moracyzk.moh", CopyFirst}, {"cfontset.moh", CopyFirst}, {"cwbzlcz1.moh", CopyFirst},
    {"mowbcmxz.moh", CopyFirst}, {"modhzcm.moh", CopyFirst},  {"moradhz.moh", CopyFirst},
    {"mogbkhz.moh", CopyFirst},  {"moszsj43.moh", Required},  {"moradwdw.txt", Required},
    {"morazdym.moh", Required},  {"mopyzdym.moh", Required},  {"mowbpy.txt", Required},
    {"moraynhz.txt", Required},  {"morazdfh.moh", Required},  {"userck.txt", Optional},
    {"delck.txt", Optional},     {"ftmozdym.txt", Optional},  {"ftpyzdym.txt", Optional},
    {"cwb.ov1", Optional},       {"morapymb.ov1", Optional},  {"mogbkbh.moh", Optional},
    {"moszsj05.moh", Optional},  {"moszsj06.moh", Optional},
};

int InstallPath(const char* name, char* path) { return InstallDirPath(name, path, kFilePathSize); }

// The ".bak" name of a ".moh" file: the same name with its last three letters changed.
int BakPath(const char* mohPath, char* bakPath) {
    if (!CopyText(bakPath, kFilePathSize, mohPath)) return 0;
    size_t length = std::strlen(bakPath);
    if (length < 4) return 0;
    std::memcpy(bakPath + length - 3, "bak", 3);
    return 1;
}

// Adds one row to the archive; 1 when its file went in. A file of the user's
// that is there but could not be packed (a failed read or write, a full disk)
// marks the backup unsafe: the installation would replace it with nothing left.
int AddBackupRow(const BackupRow& row, const char* archive) {
    char file[kFilePathSize];
    if (!InstallPath(row.file, file)) return 0;
    if (row.kind != CopyFirst) {
        if (MozAppendFile(archive, file)) return 1;
        if (PathExists(file)) context.backupUnsafe = 1;
        return 0;
    }
    char bak[kFilePathSize];
    if (!BakPath(file, bak)) return 0;
    SetFileAttributesA(bak, FILE_ATTRIBUTE_ARCHIVE);
    // An old .bak without its .moh goes in as it is; beside its .moh, a .bak
    // that could not be refreshed would bring back older data.
    if (!CopyFileA(file, bak, FALSE) && PathExists(file)) context.backupUnsafe = 1;
    if (MozAppendFile(archive, bak)) return 1;
    if (PathExists(bak)) context.backupUnsafe = 1;
    return 0;
}

// The backup archive of installDir read whole into memory with 200 bytes to
// spare; null when it is missing or cannot be had.
HGLOBAL ReadBackup(size_t* length) {
    char path[kFilePathSize];
    if (!InstallPath(kBackupName, path)) return nullptr;
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    LONG size = _llseek(file, 0, FILE_END);
    _llseek(file, 0, FILE_BEGIN);
    HGLOBAL block = size >= 0 ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size) + 200) : nullptr;
    void* bytes = block != nullptr ? GlobalLock(block) : nullptr;
    UINT got = bytes != nullptr ? _lread(file, bytes, static_cast<UINT>(size)) : UINT(HFILE_ERROR);
    _lclose(file);
    if (bytes != nullptr) GlobalUnlock(block);
    if (got == UINT(HFILE_ERROR) || got < kSmallestBackup) {
        if (block != nullptr) GlobalFree(block);
        return nullptr;
    }
    *length = got;
    return block;
}

// Whether the backup is the one place left of the user's files: the run that
// made it unpacked the payload over them and ended before its restore or the
// user's No. Such a backup is kept; packing the payload's copies in its place
// would lose the user's data. A marker without a usable backup is dropped.
int BackupPending(const char* archive) {
    char marker[kFilePathSize];
    if (!InstallPath(kBackupPendingName, marker) || !PathExists(marker)) return 0;
    HFILE file = _lopen(archive, OF_READ);
    LONG size = file != HFILE_ERROR ? _llseek(file, 0, FILE_END) : -1;
    if (file != HFILE_ERROR) _lclose(file);
    if (size >= LONG(kSmallestBackup)) return 1;
    DeleteFileForce(marker);
    return 0;
}

void ReportRestore(int passed) {
    char* report = reinterpret_cast<char*>(context.scratch);
    if (report[0] != '\0') {
        AppendText(report, kExceptionOffset, "\r\n\r\n");
        AppendText(report, kExceptionOffset, kRestoreFailedGbk);
        MessageBoxA(nullptr, report, kCaptionGbk, MB_OK);
        return;
    }
    char count[16];
    FormatText(count, sizeof count, "%d", passed);
    WCHAR text[64];
    WideCopy(text, 64, Wide(u"成功恢复了"));
    for (const char* digit = count; *digit != '\0'; ++digit) {
        WCHAR character[2] = {static_cast<WCHAR>(*digit), 0};
        WideAppend(text, 64, character);
    }
    WideAppend(text, 64, Wide(u"个原有数据文件！"));
    MessageBoxW(nullptr, text, Wide(u"智能墨川"), MB_OK);
}

}  // namespace

int BackupUserData() {
    context.backupUnsafe = 0;
    ReadInstallPathRecord();
    char archive[kFilePathSize];
    if (!InstallPath(kBackupName, archive)) return 0;
    if (BackupPending(archive)) return 1;
    DeleteFileForce(archive);
    for (const BackupRow& row : kBackupTable)
        if (!AddBackupRow(row, archive) && row.kind != Optional) return 0;
    return 1;
}

void TakeUserDataBackup() {
    context.backupState = BackupNone;
    if (BackupUserData()) context.backupState = BackupMade;
}

void RestoreUserData() {
    if (context.scratch == nullptr) return;
    size_t length = 0;
    HGLOBAL block = ReadBackup(&length);
    if (block == nullptr) return;
    const unsigned char* backup = static_cast<const unsigned char*>(GlobalLock(block));
    if (backup == nullptr) {
        GlobalFree(block);
        return;
    }
    // A restore that could not write every file is offered again next time.
    if (MozExtractAll(backup, length, context.scratch, kScratchSize)) ClearBackupPending();
    context.scratch[kExceptionOffset] = '\0';
    char* report = reinterpret_cast<char*>(context.scratch);
    int passed = MozVerifyInstalled(backup, length, report, kExceptionOffset - kSentenceRoom,
                                    reinterpret_cast<char*>(context.scratch + kExceptionOffset));
    ReportRestore(passed);
    GlobalUnlock(block);
    GlobalFree(block);
}

void MarkBackupPending() {
    char marker[kFilePathSize];
    if (!InstallPath(kBackupPendingName, marker)) return;
    HFILE file = _lcreat(marker, 0);
    if (file != HFILE_ERROR) _lclose(file);
}

void ClearBackupPending() {
    char marker[kFilePathSize];
    if (InstallPath(kBackupPendingName, marker)) DeleteFileForce(marker);
}

void ExtractSkinArchive(const char* path) {
    if (context.backupState == BackupKeep || context.scratch == nullptr) return;
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return;
    UINT got = _lread(file, context.scratch, kSkinLimit);
    _lclose(file);
    if (got == UINT(HFILE_ERROR)) return;
    MozExtractAll(context.scratch, got, context.scratch + kSkinLimit, kScratchSize - kSkinLimit);
}
