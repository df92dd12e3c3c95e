#include "deploy/install_sequence.h"

#include "base/file_removal.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/article_settings.h"
#include "deploy/system_files.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"
#include "registration/system_records.h"

namespace {

const int kPathBoxRoom = 198;
const size_t kCommandSize = 2 * kPathFieldSize + 64;

void TakeInstallDir() {
    if (context.runMode == SilentReinstall)
        ReadInstallPathRecord();
    else
        GetWindowTextA(context.pathBox, context.installDir, kPathBoxRoom);
}

void CreateInstallDir() {
    CreateDirectoryA(context.installDir, nullptr);
    char filer[kPathFieldSize + 8];
    if (FormatText(filer, sizeof filer, "%sfiler\\", context.installDir)) CreateDirectoryA(filer, nullptr);
}

void ShowInUseMessage() {
    MessageBoxW(nullptr,
                Wide(u"　　你以前安装的墨川五笔正在使用，请关闭使用墨川五笔的所有窗口，或者重新启动机器后，"
                     u"才能安装新版本的墨川五笔！"),
                Wide(u"智能墨川安装"), MB_OK);
}

int ModulePath(const char* folder, char* path, size_t size) {
    return FormatText(path, size, "%s\\morahu4.ime", folder);
}

// The old module in the 32-bit system folder of 64-bit Windows. Returns 0 when
// it can be neither deleted nor moved aside.
int ClearWow64Module() {
    LowerInstallDirIntegrity();
    ComposeWow64Dir(context.wow64Dir, sizeof context.wow64Dir);
    char path[kWow64DirSize + 16];
    if (!ModulePath(context.wow64Dir, path, sizeof path) || DeleteFileForce(path) == 0) return 1;
    // A module that stays loaded is only released by a restart.
    context.rebootNeeded = 1;
    return RenameAside(path) == 0;
}

int ClearSystemModule() {
    char systemDir[kPathFieldSize];
    UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    char path[kPathFieldSize + 16];
    if (length == 0 || length >= sizeof systemDir || !ModulePath(systemDir, path, sizeof path)) return 1;
    if (DeleteFileForce(path) == 0 || RenameAside(path) == 0) return 1;
    context.rebootNeeded = 1;
    return 0;
}

// Step 8: an old module that Windows still holds is moved out of the way.
// Returns 0, after the in-use message, when the installation cannot go on.
int ClearOldModules(int imeInPreload) {
    context.rebootNeeded = 0;
    if (!imeInPreload) return 1;
    if ((IsWow64Windows() && !ClearWow64Module()) || !ClearSystemModule()) {
        ShowInUseMessage();
        return 0;
    }
    return 1;
}

void RegisterLayout() {
    if (!InstallImeModule()) RegisterKeyboardLayout();
    if (context.osMajorVersion <= 5) {
        FindImeInPreload();
        MoveImeToSecondPlace();
    }
}

// The program paths are quoted: unquoted, a path with a space lets Windows
// start a shorter one first ("d:\my ime\x.exe" tries "d:\my.exe").
void WriteAutorun() {
    char command[kCommandSize];
    if (FormatText(command, sizeof command, "\"%smoraqovi.exe\" mo", context.installDir)) WriteAutorunEntry(command);
}

void StartCompanion() {
    if (!IsWow64Windows()) return;
    char command[kCommandSize];
    if (FormatText(command, sizeof command, "\"%ssetupw64.exe\" regmo32=%s", context.installDir, context.installDir))
        StartProgram(command);
}

}  // namespace

void RunInstallSequence() {
    TakeInstallDir();
    WriteInstallPathRecord();
    CreateInstallDir();
    if (context.runMode != SilentReinstall) {
        IsWow64Windows();
        context.runMode = Interactive;
    }
    WriteSettingsFiles();
    int imeInPreload = FindImeInPreload();
    if (!ClearOldModules(imeInPreload)) return;
    DeploySystemFiles(0);
    RegisterLayout();
    DeploySystemFiles(1);
    WriteUserAgentMarker();
    WriteAutorun();
    StartCompanion();
}
