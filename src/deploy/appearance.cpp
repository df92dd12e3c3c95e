#include "deploy/appearance.h"

#include "archive/extraction.h"
#include "archive/user_data.h"
#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"

#include <cstring>

const char kPayloadExceptions[] =
    "mora320.ime mora321.ime mora640.ime mora641.ime moszsj43.moh setupw64.exe moracyzk.bak moraqovi.exe "
    "moraqov6.exe ";

unsigned char windowMode = 1;
unsigned char skinChoice = 1;

namespace {

const char kPayloadFailedGbk[] =
    "\xC9\xCF\xCA\xF6\xCE\xC4\xBC\xFE\xC3\xBB\xD3\xD0\xB3\xC9\xB9\xA6\xB8\xB4\xD6\xC6\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2"
    "\xCF\xC2\xD4\xD8\xB0\xB2\xD7\xB0\xA3\xA1\r\n";  // 上述文件没有成功复制，请重新下载安装！
const char kSkinFailedGbk[] =
    "\xC6\xA4\xB7\xF4\xCE\xC4\xBC\xFE\xC3\xBB\xD3\xD0\xB3\xC9\xB9\xA6\xB8\xB4\xD6\xC6\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2"
    "\xB0\xB2\xD7\xB0\xC6\xA4\xB7\xF4\xCE\xC4\xBC\xFE\xA3\xA1\r\n";  // 皮肤文件没有成功复制，请重新安装皮肤文件！
const char kColdSkinGbk[] = "\xC0\xE4\xC9\xAB\xB4\xC9\xC3\xE6.moz";  // 冷色瓷面.moz
const char kPinkSkinGbk[] = "\xB7\xDB\xC9\xAB\xB4\xC9\xC3\xE6.moz";  // 粉色瓷面.moz
const char kAngelSkinGbk[] = "\xD0\xA1\xCC\xEC\xCA\xB9.moz";         // 小天使.moz

const size_t kReportOffset = 4096;
const size_t kReportSize = 8192;
const UINT kSkinLimit = 0x20000;
const size_t kSkinExceptionGap = 6;  // the skin check's empty exception text, behind the skin's bytes
const size_t kSkinReportGap = 20;    // and its report

// The dialog's controls: the window modes, the skins, and OK.
const int kModeIds[] = {101, 102, 106, 107};
const int kSkinIds[] = {110, 111, 112};
const int kOkId = 105;

// One check flag per radio button: the dialog keeps the two groups apart itself.
struct DialogChecks {
    bool mode[4];
    bool skin[3];
};
DialogChecks checks;

void ShowReport(char* report, size_t size, const char* sentence, bool blankLine) {
    if (blankLine) AppendText(report, size, "\r\n\r\n");
    AppendText(report, size, sentence);
    MessageBoxA(nullptr, report, kCaptionGbk, MB_OK);
}

// The installed files against the payload; the report stays at scratch byte
// 4096 for the skin's message.
void VerifyPayload() {
    CopyText(reinterpret_cast<char*>(context.scratch), kReportOffset, kPayloadExceptions);
    char* report = reinterpret_cast<char*>(context.scratch + kReportOffset);
    MozVerifyInstalled(context.payload, context.payloadSize, report, kReportSize - 128,
                       reinterpret_cast<char*>(context.scratch));
    if (report[0] != '\0') ShowReport(report, kReportSize, kPayloadFailedGbk, true);
}

const char* SkinArchive() {
    switch (skinChoice) {
    case 2: return kPinkSkinGbk;
    case 3: return kAngelSkinGbk;
    default: return kColdSkinGbk;
    }
}

// The chosen skin unpacked, then its files checked against its archive.
void InstallSkin() {
    if (context.scratch == nullptr) return;
    char path[kPathFieldSize + 32];
    if (!InstallDirPath(SkinArchive(), path, sizeof path)) return;
    ExtractSkinArchive(path);
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) {
        ShowReport(reinterpret_cast<char*>(context.scratch + kReportOffset), kReportSize, kSkinFailedGbk, false);
        return;
    }
    UINT got = _lread(file, context.scratch, kSkinLimit);
    _lclose(file);
    size_t n = got == UINT(HFILE_ERROR) ? 0 : got;
    char* exceptions = reinterpret_cast<char*>(context.scratch + n + kSkinExceptionGap);
    char* report = reinterpret_cast<char*>(context.scratch + n + kSkinReportGap);
    exceptions[0] = '\0';
    MozVerifyInstalled(context.scratch, n, report, kReportSize - 128, exceptions);
    if (report[0] != '\0') ShowReport(report, kReportSize, kSkinFailedGbk, true);
}

void RefreshChecks(HWND dialog) {
    for (int i = 0; i < 4; ++i)
        SendDlgItemMessageW(dialog, kModeIds[i], BM_SETCHECK, checks.mode[i] ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int i = 0; i < 3; ++i)
        SendDlgItemMessageW(dialog, kSkinIds[i], BM_SETCHECK, checks.skin[i] ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Puts the dialog's top-left corner on the main window's, its size kept.
void PlaceOverMainWindow(HWND dialog) {
    RECT main, own;
    if (!GetWindowRect(context.mainWindow, &main) || !GetWindowRect(dialog, &own)) return;
    MoveWindow(dialog, main.left, main.top, own.right - own.left, own.bottom - own.top, TRUE);
}

INT_PTR OnInitDialog(HWND dialog) {
    PlaceOverMainWindow(dialog);
    checks = DialogChecks{{true, false, false, false}, {true, false, false}};
    RefreshChecks(dialog);
    return FALSE;
}

// The first set flag of a group gives the choice, from 1; none gives 1.
unsigned char Choice(const bool* flags, int count) {
    for (int i = 0; i < count; ++i)
        if (flags[i]) return static_cast<unsigned char>(i + 1);
    return 1;
}

INT_PTR OnCommand(HWND dialog, int id) {
    for (int i = 0; i < 4; ++i) {
        if (id != kModeIds[i]) continue;
        for (int j = 0; j < 4; ++j) checks.mode[j] = i == j;
        RefreshChecks(dialog);
        return FALSE;
    }
    for (int i = 0; i < 3; ++i) {
        if (id != kSkinIds[i]) continue;
        for (int j = 0; j < 3; ++j) checks.skin[j] = i == j;
        RefreshChecks(dialog);
        return FALSE;
    }
    if (id != kOkId) return FALSE;  // Esc and the close box among them: the dialog stays
    windowMode = Choice(checks.mode, 4);
    skinChoice = Choice(checks.skin, 3);
    EndDialog(dialog, 0);
    return TRUE;
}

// Bytes 0 and 21 of the settings record for each window mode.
void ApplyWindowMode(unsigned char* record) {
    switch (windowMode) {
    case 2: record[0] = 1, record[21] = 0; break;
    case 3: record[0] = 4, record[21] = 1; break;
    case 4: record[0] = 3, record[21] = 1; break;
    default: record[0] = 0, record[21] = 0; break;
    }
}

void DefaultSettings(unsigned char* record) {
    std::memset(record, 0, kSettingsRecordSize);
    static const int kSetBytes[] = {9, 10, 12, 15, 19, 22, 24, 36, 41, 54, 58};
    record[8] = 0x36;
    for (int i : kSetBytes) record[i] = 1;
}

}  // namespace

void SelectAppearance() {
    if (context.scratch == nullptr) return;
    VerifyPayload();
    if (context.backupState == BackupKeep) return;
    windowMode = 1;
    skinChoice = 1;
    const char16_t* dialog = context.oemCodePage == 950 ? u"PYKEYB" : u"PYKEY";
    DialogBoxParamW(context.instance, Wide(dialog), context.mainWindow, AppearanceDialogProc, 0);
    InstallSkin();
}

INT_PTR CALLBACK AppearanceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    default: return FALSE;
    }
}

void WriteImeSettings() {
    if (context.backupState == BackupKeep) return;
    unsigned char record[kSettingsRecordSize];
    DefaultSettings(record);
    char path[kPathFieldSize + 32];
    if (!InstallDirPath("moszsj43.moh", path, sizeof path)) return;
    HFILE file = _lopen(path, OF_READ);
    if (file != HFILE_ERROR) {
        _lread(file, record, kSettingsRecordSize);
        _lclose(file);
    }
    file = _lcreat(path, 0);
    if (context.oemCodePage == 950) record[15] = 1;
    record[62] = 0;
    record[63] = 0;
    record[1] = 1;
    ApplyWindowMode(record);
    if (file == HFILE_ERROR) return;
    _lwrite(file, reinterpret_cast<const char*>(record), kSettingsRecordSize);
    _lclose(file);
}
