#include "registration/preload_list.h"

#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/registry.h"
#include "base/shared_ops.h"
#include "base/text.h"

#include <cstring>

PreloadList preloadList;

namespace {

const char kKeyboardLayouts[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

bool Win9xFamily() { return (GetVersion() & 0x80000000u) != 0; }

void EntryName(int k, char* name, size_t size) { FormatText(name, size, "%d", k); }

// A string value read into a slot of `size` bytes; it counts only when it fits
// with its terminator.
int ReadSlot(HKEY key, const char* name, char* slot, size_t size) {
    char buffer[kPreloadTextSize + 1] = {};
    DWORD length = static_cast<DWORD>(size);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length) != ERROR_SUCCESS)
        return 0;
    if (strnlen(buffer, size) >= size) return 0;
    std::memcpy(slot, buffer, size);
    return 1;
}

void ReadNtEntries(HKEY keyboardLayout) {
    HKEY preload;
    if (RegOpenKeyExA(keyboardLayout, "preload", 0, KEY_ALL_ACCESS, &preload) != ERROR_SUCCESS) return;
    int k = 1;
    for (; k <= kPreloadEntries; ++k) {
        char name[4];
        EntryName(k, name, sizeof name);
        if (!ReadSlot(preload, name, preloadList.ids[k - 1], kPreloadIdSize)) break;
    }
    preloadList.count = k - 1;
    RegCloseKey(preload);
}

// The 9x family keeps entry k as the default value of sub key k; the list ends
// at the first number without a sub key.
void Read9xEntries(HKEY preload) {
    int k = 1;
    for (; k <= kPreloadEntries; ++k) {
        char name[4];
        EntryName(k, name, sizeof name);
        HKEY numbered;
        if (RegOpenKeyExA(preload, name, 0, KEY_ALL_ACCESS, &numbered) != ERROR_SUCCESS) break;
        ReadSlot(numbered, nullptr, preloadList.ids[k - 1], kPreloadIdSize);
        RegCloseKey(numbered);
    }
    preloadList.count = k - 1;
}

int ReadEntries() {
    bool win9x = Win9xFamily();
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, win9x ? "keyboard layout\\preload" : "keyboard layout", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return 0;
    if (win9x)
        Read9xEntries(key);
    else
        ReadNtEntries(key);
    RegCloseKey(key);
    return 1;
}

int ReadLayoutTexts() {
    HKEY layouts;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyboardLayouts, 0, KEY_READ, &layouts) != ERROR_SUCCESS) return 0;
    for (int i = 0; i < preloadList.count; ++i) {
        HKEY layout;
        if (preloadList.ids[i][0] == '\0') continue;  // a 9x entry that could not be read
        if (RegOpenKeyExA(layouts, preloadList.ids[i], 0, KEY_ALL_ACCESS, &layout) != ERROR_SUCCESS) continue;
        ReadSlot(layout, "layout text", preloadList.texts[i], kPreloadTextSize);
        RegCloseKey(layout);
    }
    RegCloseKey(layouts);
    return 1;
}

// Sets the values named by `places` (from 1) of the NT preload list under
// root\path; 0 when its keyboard-layout key cannot be opened.
int WriteNtEntries(HKEY root, const char* path, const int* places, const char* const* values, int n) {
    HKEY keyboardLayout, preload;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &keyboardLayout) != ERROR_SUCCESS) return 0;
    if (RegOpenKeyExA(keyboardLayout, "preload", 0, KEY_ALL_ACCESS, &preload) == ERROR_SUCCESS) {
        for (int i = 0; i < n; ++i) {
            char name[4];
            EntryName(places[i], name, sizeof name);
            SetRegistryText(preload, name, values[i]);
        }
        RegCloseKey(preload);
    }
    RegCloseKey(keyboardLayout);
    return 1;
}

// The 9x family: the default values of existing numbered sub keys only.
void Write9xEntries(const int* places, const char* const* values, int n) {
    HKEY preload;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "keyboard layout\\preload", 0, KEY_READ, &preload) != ERROR_SUCCESS) return;
    for (int i = 0; i < n; ++i) {
        char name[4];
        EntryName(places[i], name, sizeof name);
        HKEY numbered;
        if (RegOpenKeyExA(preload, name, 0, KEY_ALL_ACCESS, &numbered) != ERROR_SUCCESS) continue;
        SetRegistryText(numbered, nullptr, values[i]);
        RegCloseKey(numbered);
    }
    RegCloseKey(preload);
}

// The user's list, and on the NT family the default profile's list too, which
// Windows uses when nobody is logged on.
void WriteEntries(const int* places, const char* const* values, int n) {
    if (Win9xFamily()) {
        Write9xEntries(places, values, n);
        return;
    }
    if (WriteNtEntries(HKEY_CURRENT_USER, "keyboard layout", places, values, n))
        WriteNtEntries(HKEY_USERS, ".DEFAULT\\keyboard layout", places, values, n);
}

void ShowPreloadMessage(const char16_t* text) {
    MessageBoxW(nullptr, Wide(text), Wide(u"智能墨川安装"), MB_OK);
}

// Whether the layout active in the installer's own thread is this input method:
// its description, or for a layout that is no input method its name.
int OldImeActiveHere() {
    char text[51] = {};
    HKL layout = GetKeyboardLayout(0);
    GetKeyboardLayoutNameA(text);
    ImmGetDescriptionA(layout, text, 50);
    return std::memcmp(text, kImeDescriptionGbk, kImeDescriptionLength) == 0;
}

}  // namespace

int ReadPreloadList() {
    std::memset(preloadList.ids, 0, sizeof preloadList.ids);
    std::memset(preloadList.texts, 0, sizeof preloadList.texts);
    preloadList.count = 0;
    if (!ReadEntries()) return 0;
    if (!ReadLayoutTexts()) return 0;
    return preloadList.count;
}

int FindImeInPreload() {
    preloadList.found = 0;
    preloadList.position = 0;
    preloadList.count = 0;
    if (ReadPreloadList() == 0) return 0;
    for (int i = 0; i < preloadList.count; ++i) {
        if (std::memcmp(preloadList.texts[i], kImeNamePrefixGbk, kImeNamePrefixLength) == 0) {
            preloadList.position = i + 1;
            preloadList.found = 1;
            return 1;
        }
    }
    return 0;
}

void MoveImeToSecondPlace() {
    PreloadList& list = preloadList;
    if (!list.found || list.count < 3 || list.position < 3 || list.position > list.count ||
        context.osMajorVersion > 5)
        return;
    char moved[kPreloadIdSize];
    std::memcpy(moved, list.ids[list.position - 1], kPreloadIdSize);
    for (int i = list.position - 1; i >= 2; --i) std::memcpy(list.ids[i], list.ids[i - 1], kPreloadIdSize);
    std::memcpy(list.ids[1], moved, kPreloadIdSize);

    int places[kPreloadEntries];
    const char* values[kPreloadEntries];
    for (int p = 2; p <= list.count; ++p) {
        places[p - 2] = p;
        values[p - 2] = list.ids[p - 1];
    }
    WriteEntries(places, values, list.count - 1);
}

void SwapFirstTwoPreloadEntries() {
    if (Win9xFamily()) {
        const int places[] = {2, 1};
        const char* values[] = {preloadList.ids[0], preloadList.ids[1]};
        WriteEntries(places, values, 2);
        return;
    }
    const int places[] = {1, 2};
    const char* values[] = {preloadList.ids[1], preloadList.ids[0]};
    WriteEntries(places, values, 2);
}

int VerifyOldImeNotDefault() {
    FindImeInPreload();
    const PreloadList& list = preloadList;
    if (list.found && list.position == 1 && list.count < 2) {
        ShowPreloadMessage(
            u"　　你以前安装的智能墨川为系统默认输入法，并且是系统安装的唯一输入法，请通过微软的输入法管理器增加英文输入法，"
            u"并将智能墨川输入法设置为系统非默认输入法后，重新启动机器才能安装新版本的智能墨川！");
        return 0;
    }
    if (list.found && list.position == 1) {
        ShowPreloadMessage(
            u"　　你以前安装的智能墨川为系统默认输入法，请设置为系统非默认输入法后，重新启动机器才能安装新版本的智能墨川！");
        if (IsWow64Windows()) return 0;
        if (MessageBoxW(nullptr, Wide(u"是否设置智能墨川为系统非默认输入法？"), Wide(u"智能墨川安装"), MB_YESNO) != IDYES)
            return 0;
        SwapFirstTwoPreloadEntries();
        ShowPreloadMessage(u"请重新启动机器后安装智能墨川！");
        return 0;
    }
    if (OldImeActiveHere()) {
        ShowPreloadMessage(
            u"　　你以前安装的墨川五笔为系统默认输入法，请通过微软的输入法管理器将墨川五笔输入法设置为系统非默认输入法后，"
            u"重新启动机器才能安装新版本的墨川五笔！");
        return 0;
    }
    return 1;
}
