#include "shell/entry_point.h"

#include "base/install_context.h"
#include "base/payload.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/install_sequence.h"
#include "registration/keyboard_layout.h"
#include "registration/system_records.h"
#include "shell/wizard_window.h"

#include <cstring>

namespace {

const char kAdminMarker[] = "moraisadmin";

void StartContext(HINSTANCE instance) {
    context.instance = instance;
    context.wizardPage = PageWelcome;
    context.oemCodePage = GetOEMCP();
    context.runMode = Interactive;
}

void ShowEntryMessage(const char16_t* text) { MessageBoxW(nullptr, Wide(text), Wide(u"智能墨川"), MB_OK); }

int RunRegisterOnly(const char* commandLine) {
    TakeRegisterDir(commandLine);
    WriteInstallPathRecord();
    if (InstallImeModule())
        ShowEntryMessage(u"智能墨川已安装成功，如不能使用，请重新启动计算机！");
    else
        ShowEntryMessage(u"智能墨川没有注册成功，请以管理员身份重新运行安装程序！");
    return 0;
}

// No window: the payload and the scratch buffer are had here, as the wizard's
// window has them when it is created.
int RunSilentReinstall() {
    MapPayload();
    ObtainScratch();
    if (context.scratch == nullptr)
        ShowEntryMessage(u"内存不足，智能墨川安装程序无法运行！");
    else
        RunInstallSequence();
    ReleasePayloadAndScratch();
    return 0;
}

// A run that ended inside the administrator probe left its marker in every
// place of the record; taken as the install directory it would be a folder
// of the current directory. The default directory is the best guess left.
void ForgetProbeMarker() {
    char marker[sizeof kAdminMarker + 1];
    FormatText(marker, sizeof marker, "%s\\", kAdminMarker);
    if (std::strcmp(context.installDir, marker) == 0)
        CopyText(context.installDir, sizeof context.installDir, kDefaultInstallDir);
}

}  // namespace

int HasAdminRights() {
    IsWow64Windows();
    if (context.osMajorVersion < 6) return 1;

    char saved[kPathFieldSize];
    std::memcpy(saved, context.installDir, sizeof saved);
    CopyText(context.installDir, sizeof context.installDir, kAdminMarker);
    WriteInstallPathRecord();

    std::memset(context.installDir, 0, sizeof context.installDir);
    char readBack[kPathFieldSize];
    std::memcpy(readBack, ReadInstallPathRecord(), sizeof readBack);

    std::memcpy(context.installDir, saved, sizeof saved);
    WriteInstallPathRecord();

    size_t length = strnlen(readBack, sizeof readBack - 1);
    readBack[length] = '\0';
    if (length > 0 && readBack[length - 1] == '\\') readBack[length - 1] = '\0';
    return std::strcmp(readBack, kAdminMarker) == 0;
}

// Every message of the thread, translated and dispatched, until the quit
// message; its parameter is the exit code (the wizard posts 0).
int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    const char* line = commandLine != nullptr ? commandLine : "";
    StartContext(instance);
    ReadInstallPathRecord();
    ForgetProbeMarker();
    if (!HasAdminRights()) {
        ShowEntryMessage(
            u"本安装程序需要以管理员权限运行，请退出后重新以管理员权限运行。"
            u"（运行方式为：用鼠标右键点击安装程序，在弹出菜单中点击“以管理员身份运行”）");
        return 0;
    }
    int registerOnly = ContainsNoCase(line, "regmo32");
    if (!registerOnly && ContainsNoCase(line, "setmosrf32")) context.runMode = SilentReinstall;
    if (IsWow64Windows() && registerOnly) return RunRegisterOnly(line);
    if (context.runMode == SilentReinstall) return RunSilentReinstall();
    if (!RegisterWizardClass(instance) || !CreateWizardWindow(instance, showCommand)) return 0;
    return RunMessageLoop();
}
