#include "deploy/system_files.h"

#include "archive/extraction.h"
#include "archive/user_data.h"
#include "base/file_removal.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/system_copy.h"
#include "registration/system_records.h"
#include "shell/page_painting.h"

#include <cstring>

const char kHomePage[] = "http://www.moraime.cn/";

namespace {

const char kIncompleteStartGbk[] =
    "\xCE\xC4\xBC\xFE\xBD\xE2\xD1\xB9\xB2\xBB\xCD\xEA\xD5\xFB\xA3\xAC\xC7\xEB\xB5\xBD\xD6\xC7\xC4\xDC\xC4\xAB\xB4\xA8"
    "\xCD\xF8\xD5\xBE";  // 文件解压不完整，请到智能墨川网站
const char kIncompleteEndGbk[] = "\xD6\xD8\xD0\xC2\xCF\xC2\xD4\xD8\xB0\xB2\xD7\xB0\xA1\xA3";  // 重新下载安装。

const DWORD kPause = 50;
const size_t kPatchLimit = 131072;
const size_t kFilePathSize = kPathFieldSize + 32;

// "智能墨川输入平台" in UTF-16LE: the description before the version.
const unsigned char kDescription[16] = {0x7A, 0x66, 0xFD, 0x80, 0xA8, 0x58, 0xDD, 0x5D,
                                        0x93, 0x8F, 0x65, 0x51, 0x73, 0x5E, 0xF0, 0x53};

// Which Windows a row of the copy table is for.
enum RowWindows { Win64, Win32, Win32Major6Up, Win32Major5Down };

enum RowKind { CopyWithRetry, CopyOnce, CompanionSwap };

enum RowTarget { SystemDir, Wow64Dir, NoTarget };

struct CopyRow {
    int pass;
    RowWindows windows;
    RowKind kind;
    const char* source;      // in the install directory
    const char* source950;   // instead under code page 950, or null
    bool patched;            // the version text is patched before the copy
    RowTarget target;
    const char* targetName;
};

// In the order the rows run.
const CopyRow kCopyTable[] = {
    {0, Win64, CopyWithRetry, "mora320.ime", "mora321.ime", true, Wow64Dir, "morahu4.ime"},
    {0, Win64, CopyWithRetry, "mora640.ime", "mora641.ime", true, SystemDir, "morahu4.ime"},
    {0, Win64, CopyOnce, "moqdel64.exe", nullptr, false, SystemDir, "moradel.exe"},
    {0, Win64, CompanionSwap, nullptr, nullptr, false, NoTarget, nullptr},
    {0, Win32Major6Up, CompanionSwap, nullptr, nullptr, false, NoTarget, nullptr},
    {0, Win32, CopyWithRetry, "mora320.ime", "mora321.ime", true, SystemDir, "morahu4.ime"},
    {0, Win32, CopyOnce, "moradel.exe", nullptr, false, SystemDir, "moradel.exe"},
    {1, Win64, CopyWithRetry, "morahu32.ime", nullptr, false, Wow64Dir, "morahu4.ime"},
    {1, Win64, CopyWithRetry, "morahu64.ime", nullptr, false, SystemDir, "morahu4.ime"},
    {1, Win32Major6Up, CopyWithRetry, "morahu32.ime", nullptr, false, SystemDir, "morahu4.ime"},
    {1, Win32Major5Down, CopyWithRetry, "morahu4.ime", nullptr, false, SystemDir, "morahu4.ime"},
};

int InstallPath(const char* name, char* path) { return InstallDirPath(name, path, kFilePathSize); }

void ResetAndDelete(const char* name) {
    char path[kFilePathSize];
    if (!InstallPath(name, path)) return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE);
    DeleteFileForce(path);
}

void CopyInside(const char* from, const char* to) {
    char source[kFilePathSize], destination[kFilePathSize];
    if (!InstallPath(from, source) || !InstallPath(to, destination)) return;
    CopyFileA(source, destination, FALSE);
}

void ReportIncompleteExtraction() {
    char text[256];
    FormatText(text, sizeof text, "%s%s%s", kIncompleteStartGbk, kHomePage, kIncompleteEndGbk);
    MessageBoxA(nullptr, text, kEditionInstallCaptionGbk, MB_OK);
}

// The payload into the install directory, and the question about the user's
// old data once every file is there.
void UnpackPayload() {
    ResetAndDelete("moraqov6.exe");
    ResetAndDelete("moraqovi.exe");
    if (context.backupState == BackupMade) MarkBackupPending();
    if (!MozExtractAll(context.payload, context.payloadSize, context.scratch, context.scratch ? kScratchSize : 0)) {
        ReportIncompleteExtraction();
        return;
    }
    if (context.backupState != BackupMade) return;
    int answer = MessageBoxW(nullptr, Wide(u"检测到安装目录下有智能墨川以前的词组等数据文件，是否保留？"),
                             Wide(u"智能墨川安装"), MB_YESNO);
    if (answer == IDYES)
        context.backupState = BackupKeep;
    else
        ClearBackupPending();
}

// Copies made inside the install directory in both passes; failures ignored.
void CopyInstallDirFiles() {
    char destination[kFilePathSize];
    if (InstallPath("morahu32.ime", destination)) SetFileAttributesA(destination, FILE_ATTRIBUTE_ARCHIVE);
    CopyInside("morahu4.ime", "morahu32.ime");
    CopyInside("moracyzk.bak", "moracyzk.mou");
    CopyInside("morapyck.bak", "morapyck.mou");
}

// From Windows 6 on, and on 64-bit Windows, the companion program has a
// variant of its own that takes its name. Without the variant (its unpacking
// failed) the program in place stays: the autorun value starts it.
void SwapCompanion() {
    char current[kFilePathSize], variant[kFilePathSize];
    if (!InstallPath("moraqovi.exe", current) || !InstallPath("moraqov6.exe", variant)) return;
    if (!PathExists(variant)) return;
    DeleteFileForce(current);
    MoveFileA(variant, current);
}

bool RowApplies(const CopyRow& row, int pass, int is64) {
    if (row.pass != pass) return false;
    switch (row.windows) {
    case Win64: return is64;
    case Win32: return !is64;
    case Win32Major6Up: return !is64 && context.osMajorVersion >= 6;
    case Win32Major5Down: return !is64 && context.osMajorVersion <= 5;
    }
    return false;
}

int TargetPath(const CopyRow& row, const char* systemDir, char* path) {
    const char* folder = row.target == Wow64Dir ? context.wow64Dir : systemDir;
    return FormatText(path, kFilePathSize, "%s\\%s", folder, row.targetName);
}

void RunCopyRow(const CopyRow& row, const char* systemDir, int is64) {
    if (row.kind == CompanionSwap) {
        SwapCompanion();
        return;
    }
    const char* name = row.source950 != nullptr && context.oemCodePage == 950 ? row.source950 : row.source;
    char source[kFilePathSize], destination[kFilePathSize];
    if (!InstallPath(name, source) || !TargetPath(row, systemDir, destination)) return;
    if (row.patched) PatchVersionText(source);
    // The system directory a 32-bit program names on 64-bit Windows is syswow64
    // unless the redirection is turned off: each folder gets its own width.
    int real64 = is64 && row.target == SystemDir;
    CopySystemFile(source, destination, row.kind == CopyWithRetry, real64);
}

void CopySystemFiles(int pass) {
    char systemDir[kPathFieldSize];
    UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    if (length == 0 || length >= sizeof systemDir) return;
    int is64 = IsWow64Windows();
    if (is64) ComposeWow64Dir(context.wow64Dir, sizeof context.wow64Dir);
    for (const CopyRow& row : kCopyTable)
        if (RowApplies(row, pass, is64)) RunCopyRow(row, systemDir, is64);
}

void FinishPass(int pass) {
    if (pass == 0) {
        char companion[kFilePathSize];
        if (InstallPath("setupw64.exe", companion)) PatchVersionText(companion);
        WriteUninstallEntry();
        return;
    }
    static const char* const kRegistrationModules[] = {"mora320.ime", "mora321.ime", "mora640.ime", "mora641.ime"};
    for (const char* name : kRegistrationModules) {
        char path[kFilePathSize];
        if (InstallPath(name, path)) DeleteFileForce(path);
    }
}

// The pauses let the repainted page show before the window blocks again; the
// silent mode has no window to show, and there they would only add time.
void PauseForThePage() {
    if (context.runMode != SilentReinstall) Sleep(kPause);
}

}  // namespace

void DeploySystemFiles(int pass) {
    CreateDirectoryA(context.installDir, nullptr);
    if (context.osMajorVersion >= 6) LowerInstallDirIntegrity();
    RepaintPathPage();
    PauseForThePage();
    if (pass == 0) UnpackPayload();
    RepaintPathPage();
    CopyInstallDirFiles();
    PauseForThePage();
    DrawProgress(0, 64);
    CopySystemFiles(pass);
    FinishPass(pass);
}

// Only the low bytes of the UTF-16 version are looked at: " ", "6", ".", "3" or "7".
int PatchVersionBytes(unsigned char* bytes, size_t length) {
    int patched = 0;
    size_t at = 0;
    while (at + sizeof kDescription <= length) {
        if (std::memcmp(bytes + at, kDescription, sizeof kDescription) != 0) {
            ++at;
            continue;
        }
        size_t q = at + sizeof kDescription;
        if (q + 8 < length && bytes[q] == ' ' && bytes[q + 4] == '6' && bytes[q + 6] == '.' &&
            (bytes[q + 8] == '3' || bytes[q + 8] == '7')) {
            bytes[q + 4] = '7';
            bytes[q + 8] = '4';
            ++patched;
        }
        at = q;
    }
    return patched;
}

void PatchVersionText(const char* path) {
    if (context.scratch == nullptr) return;
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return;
    // One byte more than the limit tells a longer file, which written back
    // from what was read would be cut short.
    UINT length = _lread(file, context.scratch, static_cast<UINT>(kPatchLimit + 1));
    _lclose(file);
    if (length == static_cast<UINT>(HFILE_ERROR) || length > kPatchLimit) return;
    PatchVersionBytes(context.scratch, length);
    file = _lcreat(path, 0);
    if (file == HFILE_ERROR) return;
    _lwrite(file, reinterpret_cast<const char*>(context.scratch), length);
    _lclose(file);
}
