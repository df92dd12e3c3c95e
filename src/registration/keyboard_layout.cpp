#include "registration/keyboard_layout.h"

#include "base/install_context.h"
#include "base/text.h"

int InstallImeModule() {
    WCHAR systemDir[100];
    UINT length = GetSystemDirectoryW(systemDir, 100);
    WCHAR module[128];
    context.installedLayout = nullptr;
    if (length == 0 || length >= 100 || !WideCopy(module, 128, systemDir) ||
        !WideAppend(module, 128, Wide(u"\\morahu4.ime")))
        return 0;
    context.installedLayout = ImmInstallIMEW(module, Wide(u"智能墨川输入平台  7.4"));
    return context.installedLayout != nullptr;
}
