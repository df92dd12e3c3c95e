#include "deploy/system_copy.h"

#include "base/file_removal.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"

const char kCopyFailedGbk[] =
    "\xC3\xBB\xD3\xD0\xB3\xC9\xB9\xA6\xB8\xB4\xD6\xC6%s\xCE\xC4\xBC\xFE\xA3\xAC\xC7\xEB\xCD\xCB\xB3\xF6\xB0\xB2\xD7\xB0"
    "\xB3\xCC\xD0\xF2\xB2\xA2\xCA\xD6\xB6\xAF\xC9\xBE\xB3\xFD\xB8\xC3\xCE\xC4\xBC\xFE\xBA\xF3\xD6\xD8\xD0\xC2\xB0\xB2"
    "\xD7\xB0\xA3\xA1";  // 没有成功复制%s文件，请退出安装程序并手动删除该文件后重新安装！
const char kEditionInstallCaptionGbk[] =
    "\xD6\xC7\xC4\xDC\xC4\xAB\xB4\xA8(\xC4\xAB\xB4\xA8\xCE\xE5\xB1\xCA)\xB0\xB2\xD7\xB0";  // 智能墨川(墨川五笔)安装

namespace {

int TryCopy(const char* source, const char* destination, int retry) {
    SetFileAttributesA(destination, FILE_ATTRIBUTE_ARCHIVE);
    if (CopyFileA(source, destination, FALSE)) return 1;
    // Without a source the second try fails too, and the module moved aside
    // would leave the input method with none.
    if (!retry || !PathExists(source)) return 0;
    RenameAside(destination);
    return CopyFileA(source, destination, FALSE) != 0;
}

void ReportFailedCopy(const char* destination) {
    char text[kPathFieldSize + 128];
    FormatText(text, sizeof text, kCopyFailedGbk, destination);
    MessageBoxA(nullptr, text, kEditionInstallCaptionGbk, MB_OK);
}

}  // namespace

int CopySystemFile(const char* source, const char* destination, int retry, int real64) {
    int copied = 0;
    if (real64) {
        // With the redirection still on, the 64-bit file would land on the
        // 32-bit one in syswow64: no copy is better than that one.
        PVOID old = nullptr;
        if (TurnRedirectionOff(&old)) {
            copied = TryCopy(source, destination, retry);
            TurnRedirectionBack(old);
        }
    } else {
        copied = TryCopy(source, destination, retry);
    }
    if (!copied) ReportFailedCopy(destination);
    return copied;
}
