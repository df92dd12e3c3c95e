#include "companion/companion.h"

#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/system_copy.h"
#include "registration/keyboard_layout.h"
#include "registration/system_records.h"

namespace {

const size_t kFilePathSize = kPathFieldSize + 32;

void ReportMissingModule(const char* source) {
    char text[kFilePathSize + 64];
    FormatText(text, sizeof text, kExtractFailedGbk, source);
    MessageBoxA(nullptr, text, kInstallCaptionGbk, MB_OK);
}

// One module of the install directory into a system folder as morahu4.ime.
void PlaceModule(const char* name, const char* folder) {
    char source[kFilePathSize], destination[kFilePathSize];
    if (!InstallDirPath(name, source, sizeof source) ||
        !FormatText(destination, sizeof destination, "%s\\morahu4.ime", folder))
        return;
    if (!PathExists(source)) {
        ReportMissingModule(source);
        return;
    }
    CopySystemFile(source, destination, 1, 0);
}

void PlaceModules() {
    char systemDir[kPathFieldSize];
    UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    if (length != 0 && length < sizeof systemDir) PlaceModule("morahu64.ime", systemDir);
    char wow64Dir[kWow64DirSize];
    if (ComposeWow64Dir(wow64Dir, sizeof wow64Dir)) PlaceModule("morahu32.ime", wow64Dir);
}

// The Keyboard Layouts key is one for 32- and 64-bit programs: a second
// registration would list the input method twice.
void RegisterOnce() {
    if (IsImeFileRegistered("morahu4.ime") || InstallImeModule()) return;
    MessageBoxW(nullptr, Wide(u"智能墨川没有注册成功，请以管理员身份重新运行安装程序！"), Wide(u"智能墨川"), MB_OK);
}

}  // namespace

int RunCompanion(const char* commandLine) {
    context.oemCodePage = GetOEMCP();
    IsWow64Windows();  // the Windows version, which decides where the record is kept
    ReadInstallPathRecord();
    TakeRegisterDir(commandLine != nullptr ? commandLine : "");
    WriteInstallPathRecord();
    PlaceModules();
    RegisterOnce();
    return 0;
}
