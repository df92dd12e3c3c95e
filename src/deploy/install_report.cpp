#include "deploy/install_report.h"

#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/system_files.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

DirectoryScan directoryScan;

namespace {

const char kTitleGbk[] =
    "\xD6\xC7\xC4\xDC\xC4\xAB\xB4\xA8\xBA\xBA\xD7\xD6\xCA\xE4\xC8\xEB\xCF\xB5\xCD\xB3"
    "7.4\xB0\xE6\xB0\xB2\xD7\xB0\xC7\xE9\xBF\xF6\xB1\xA8\xB8\xE6\xA1\xA3";  // 智能墨川汉字输入系统7.4版安装情况报告。
const char kErrorIsGbk[] = "\xB0\xB2\xD7\xB0\xB3\xF6\xCF\xD6\xB4\xED\xCE\xF3\xA3\xA1\xB4\xED\xCE\xF3\xCE\xAA\xA3\xBA";  // 安装出现错误！错误为：
const char kNoPathGbk[] = "\xBC\xEC\xB2\xE2\xB2\xBB\xB5\xBD\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6\xA3\xA1";  // 检测不到安装路径！
const char kTooFewFilesGbk[] = "\xCE\xC4\xBC\xFE\xB2\xBB\xCD\xEA\xD5\xFB\xA3\xA1";  // 文件不完整！
const char kNoWubiGbk[] = "\xCE\xDE\xCE\xE5\xB1\xCA\xB4\xCA\xBF\xE2\xCE\xC4\xBC\xFE\xA3\xA1";  // 无五笔词库文件！
const char kNoPinyinGbk[] = "\xCE\xDE\xC6\xB4\xD2\xF4\xB4\xCA\xBF\xE2\xCE\xC4\xBC\xFE\xA3\xA1";  // 无拼音词库文件！
const char kMissingGbk[] = "\xC8\xB1\xC9\xD9\xCE\xC4\xBC\xFE\xA3\xA1";  // 缺少文件！
const char kGoToGbk[] = "\xC7\xEB\xB5\xBD\xD6\xF7\xD2\xB3";  // 请到主页
const char kAdviceGbk[] =
    "\xD6\xD8\xD0\xC2\xCF\xC2\xD4\xD8\xB0\xB2\xD7\xB0\xA3\xA1\xB2\xA2\xBD\xE2\xB3\xFD\xC9\xB1\xB6\xBE\xC8\xED\xBC\xFE"
    "\xB6\xD4\xB0\xB2\xD7\xB0\xB9\xFD\xB3\xCC\xB5\xC4\xC0\xB9\xBD\xD8\xA3\xA1";  // 重新下载安装！并解除杀毒软件对安装过程的拦截！

// The report's work area: its text, the line of diagnostic codes, the probe buffer.
const size_t kWorkSize = 69376;
const size_t kTextSize = 65536;
const size_t kCodesOffset = kTextSize;
const size_t kCodesSize = 3584;
const size_t kProbeOffset = kCodesOffset + kCodesSize;
const size_t kProbeSize = 20;
static_assert(kProbeOffset + kProbeSize <= kWorkSize, "the probe buffer lies in the work area");

const uint8_t kUsableDirectory = 14;
const int kEnoughFiles = 74;

struct Report {
    char* text;
    char* codes;
    unsigned char* probe;
};

void CountFile(const char* name) {
    if (ContainsNoCase(name, ".txt"))
        ++directoryScan.txtFiles;
    else if (ContainsNoCase(name, ".moh"))
        ++directoryScan.mohFiles;
    else
        ++directoryScan.otherFiles;
}

// An entry that can be made the current directory is a folder and not counted.
void ScanEntry(const char* name) {
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return;
    char path[kPathFieldSize + MAX_PATH];
    if (!InstallDirPath(name, path, sizeof path)) return;
    if (!SetCurrentDirectoryA(path)) CountFile(name);
}

void AppendCode(Report& report, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendCode(Report& report, const char* format, ...) {
    char code[kPathFieldSize + 32];
    va_list args;
    va_start(args, format);
    std::vsnprintf(code, sizeof code, format, args);
    va_end(args);
    AppendText(report.codes, kCodesSize, code);
}

// The first of the names that probes as present; the last probe's result.
uint32_t ProbeAny(const char* const* names, Report& report) {
    uint32_t result = 0;
    for (int i = 0; i < 3 && result != kProbePresent; ++i) result = ProbeFile(names[i], report.probe);
    return result;
}

// The chain of checks; the reason of the first that fails, or null.
const char* FirstFailure(Report& report) {
    ScanInstallDirectory();
    AppendCode(report, "path--%s--%d;", context.installDir, directoryScan.state);
    if (directoryScan.state < kUsableDirectory) return kNoPathGbk;
    int files = directoryScan.txtFiles + directoryScan.mohFiles + directoryScan.otherFiles;
    AppendCode(report, "F--%d;", files);
    if (files < kEnoughFiles) return kTooFewFilesGbk;
    static const char* const kWubi[] = {"moracyzk.moh", "moracyzk.bak", "moracyzk.mou"};
    uint32_t wubi = ProbeAny(kWubi, report);
    AppendCode(report, "FR1--%x;", static_cast<unsigned>(wubi));
    if (wubi != kProbePresent) return kNoWubiGbk;
    static const char* const kPinyin[] = {"morapyck.moh", "morapyck.bak", "morapyck.mou"};
    uint32_t pinyin = ProbeAny(kPinyin, report);
    AppendCode(report, "FR2--%x;", static_cast<unsigned>(pinyin));
    if (pinyin != kProbePresent) return kNoPinyinGbk;
    uint32_t module = ProbeFile("morahu4.ime", report.probe);
    AppendCode(report, "FR3--%x;", static_cast<unsigned>(module));
    return module != kProbePresent ? kMissingGbk : nullptr;
}

// The report, with the diagnostic codes under it: a user who sends a picture
// of the message sends them too.
void ShowReport(Report& report, const char* reason) {
    char* text = report.text;
    FormatText(text, kTextSize, "%s\r\n\r\n%s%s\r\n\r\n%s%s%s\r\n\r\n%s", kTitleGbk, kErrorIsGbk, reason, kGoToGbk,
               kHomePage, kAdviceGbk, report.codes);
    MessageBoxA(nullptr, text, kCaptionGbk, MB_OK);
}

}  // namespace

void ScanInstallDirectory() {
    directoryScan = DirectoryScan{0, 0, 0, 0};
    size_t length = std::strlen(context.installDir);
    if (length > 0 && context.installDir[length - 1] != '\\')
        AppendText(context.installDir, sizeof context.installDir, "\\");
    char pattern[kPathFieldSize + 8];
    if (FormatText(pattern, sizeof pattern, "%s*.*", context.installDir)) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                directoryScan.state = 1;
                ScanEntry(found.cFileName);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    if (SetCurrentDirectoryA(context.installDir)) directoryScan.state += 10;
    if (GetFileAttributesA(context.installDir) == FILE_ATTRIBUTE_DIRECTORY) directoryScan.state += 3;
}

uint32_t ProbeFile(const char* name, unsigned char* buffer) {
    char path[kPathFieldSize + 32];
    if (!InstallDirPath(name, path, sizeof path)) return ERROR_FILE_NOT_FOUND;
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return GetLastError();
    UINT read = _lread(file, buffer, kProbeSize);
    if (read == UINT(HFILE_ERROR)) read = 0;
    uint32_t error = read == kProbeSize ? 0 : GetLastError();
    _lclose(file);
    return read * 256u + error;
}

int ShowInstallReport() {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, kWorkSize);
    unsigned char* area = block != nullptr ? static_cast<unsigned char*>(GlobalLock(block)) : nullptr;
    if (area == nullptr) {
        if (block != nullptr) GlobalFree(block);
        return 0;
    }
    Report report = {reinterpret_cast<char*>(area), reinterpret_cast<char*>(area + kCodesOffset), area + kProbeOffset};
    report.codes[0] = '\0';
    const char* reason = FirstFailure(report);
    if (reason != nullptr) ShowReport(report, reason);
    GlobalUnlock(block);
    GlobalFree(block);
    return reason != nullptr;
}
