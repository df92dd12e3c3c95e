#include "shell/install_steps.h"

#include "archive/user_data.h"
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/appearance.h"
#include "deploy/in_use.h"
#include "deploy/install_report.h"
#include "deploy/install_sequence.h"
#include "registration/preload_list.h"
#include "shell/wizard_window.h"

#include <cstring>

namespace {

const UINT_PTR kFinishTimer = 2;
const UINT kFinishDelay = 1600;
const size_t kTypedRoom = 197;  // characters of a typed path that fit the record with its backslash

void ShowMessage(const char16_t* text) { MessageBoxW(nullptr, Wide(text), Wide(u"智能墨川"), MB_OK); }

// A typed path longer than the field would be cut into another directory than
// the one the user typed: it is refused like any other unusable path.
int TakeTypedPath() {
    char typed[kPathFieldSize + 2] = {};
    GetWindowTextA(context.pathBox, typed, sizeof typed);
    if (std::strlen(typed) > kTypedRoom || ValidateInstallPath(typed)) return 0;
    CopyText(context.installDir, sizeof context.installDir, typed);
    return 1;
}

void RefusePath() {
    ShowMessage(u"智能墨川不能安装在你设定的路径下，请重新设定路径！");
    CopyText(context.installDir, sizeof context.installDir, kDefaultInstallDir);
    SetWindowTextA(context.pathBox, context.installDir);
    context.wizardPage = PagePath;
}

// A file of the user's that the backup could not take would be replaced with
// nothing left of it. It is packed once more (a full disk may have been
// cleared, a program may have let go of the file); failing that, nothing is
// installed.
int UserDataSafe() {
    if (!context.backupUnsafe) return 1;
    TakeUserDataBackup();
    if (!context.backupUnsafe) return 1;
    MessageBoxW(nullptr,
                Wide(u"　　安装目录下有智能墨川以前的词组等数据文件没能备份，为免丢失这些数据，安装没有进行。"
                     u"请确认磁盘有足够的空间，关闭使用墨川五笔的所有窗口后再安装！"),
                Wide(u"智能墨川安装"), MB_OK);
    context.wizardPage = PagePath;
    return 0;
}

// The checks before anything is installed; 0 when the installation must not start.
int CheckBeforeInstalling() {
    if (!VerifyOldImeNotDefault()) {
        EndWizard();
        return 0;
    }
    FindImeUsers();
    if (context.inUseCount > 0) {
        MessageBoxW(nullptr, reinterpret_cast<const WCHAR*>(context.scratch + kUsersMessageOffset), Wide(u"智能墨川"),
                    MB_OK);
        context.wizardPage = PagePath;
        return 0;
    }
    if (!UserDataSafe()) return 0;
    if (!TakeTypedPath()) {
        RefusePath();
        return 0;
    }
    return 1;
}

// Each step reports its own failures; the next runs whatever they were.
void Install() {
    RunInstallSequence();
    SelectAppearance();
    WriteImeSettings();
    if (context.backupState == BackupKeep) RestoreUserData();
}

void Finish() {
    if (IsWow64Windows()) {
        InvalidateRect(context.mainWindow, nullptr, FALSE);
        SetTimer(context.mainWindow, kFinishTimer, kFinishDelay, nullptr);
    } else {
        RunFinishSequence();
    }
}

bool IsNameCharacter(unsigned char c) { return c >= 32 && !std::strchr("<>:\"/|?*", c); }

}  // namespace

void RunInstallSteps() {
    context.wizardPage = PageWorking;
    context.stepsRunning = 1;
    context.wizardEndDeferred = 0;
    if (CheckBeforeInstalling()) {
        Install();
        Finish();
    }
    context.stepsRunning = 0;
    if (context.wizardEndDeferred) {
        context.wizardEndDeferred = 0;
        EndWizard();
    }
}

// The wizard's buttons stay alive behind the report and the farewell: a click
// there while they are open must not show them again.
void RunFinishSequence() {
    if (context.finishing) return;
    context.finishing = 1;
    if (!ShowInstallReport())
        ShowMessage(context.rebootNeeded ? u"安装完毕，请立即重新启动计算机！" : u"安装完毕，如不能使用，请重新启动计算机！");
    context.finishing = 0;
    EndWizard();
}

int ValidateInstallPath(const char* path) {
    size_t length = std::strlen(path);
    if (length < 3 || path[1] != ':' || path[2] != '\\') return 1;
    char drive = static_cast<char>(path[0] | 0x20);
    if (drive < 'a' || drive > 'z') return 1;
    if (length < 5) return 1;
    int backslashes = 0;
    for (size_t i = 0; i < length; ++i) backslashes += path[i] == '\\';
    if (backslashes > 2 || (backslashes == 2 && path[length - 1] != '\\')) return 1;
    // The folder's name must be one Windows can create, and not a device's.
    for (size_t i = 3; i < length; ++i)
        if (path[i] != '\\' && !IsNameCharacter(static_cast<unsigned char>(path[i]))) return 1;
    size_t folder = length - 3 - (backslashes == 2);
    return IsDeviceName(path + 3, folder);
}

int DeferWizardEnd() {
    if (!context.stepsRunning) return 0;
    context.wizardEndDeferred = 1;
    return 1;
}
