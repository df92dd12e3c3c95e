#include "shell/typing_test.h"

#include "base/ime_texts.h"
#include "base/install_context.h"

#include <cstring>

namespace {

const int kMostLayouts = 50;

// The description is compared as 16 GBK bytes on every system, 950 included.
int IsInstalledIme(const char* description) {
    return std::memcmp(description, kImeDescriptionGbk, kImeDescriptionLength) == 0;
}

int InstalledImeIsCurrent() {
    char text[51] = {};
    HKL current = GetKeyboardLayout(0);
    GetKeyboardLayoutNameA(text);  // stays when the layout has no description
    ImmGetDescriptionA(current, text, 50);
    return IsInstalledIme(text);
}

HKL FindInstalledIme() {
    HKL layouts[kMostLayouts];
    int count = GetKeyboardLayoutList(kMostLayouts, layouts);
    if (count > kMostLayouts) count = kMostLayouts;
    for (int i = 0; i < count; ++i) {
        char description[81] = {};
        ImmGetDescriptionA(layouts[i], description, 80);
        if (IsInstalledIme(description)) return layouts[i];
    }
    return nullptr;
}

}  // namespace

int SelectInstalledIme() {
    if (context.wizardPage < PageWorking) return 0;
    if (InstalledImeIsCurrent()) return 0;
    if (context.installedLayout == nullptr) context.installedLayout = FindInstalledIme();
    if (context.installedLayout != nullptr) ActivateKeyboardLayout(context.installedLayout, KLF_SETFORPROCESS);
    return 1;
}
