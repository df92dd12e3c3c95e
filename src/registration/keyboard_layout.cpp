#include "registration/keyboard_layout.h"

#include "base/ime_texts.h"
#include "base/install_context.h"
#include "base/registry.h"
#include "base/text.h"

#include <cstdint>
#include <cstring>

const char kNeedAdministratorGbk[] =
    "\xD4\xDAWIN2000\xBA\xCDWIN NT\xCF\xB5\xCD\xB3\xD6\xD0\xB0\xB2\xD7\xB0\xB1\xBE\xC8\xED\xBC\xFE\xCA\xB1\xA3\xAC"
    "\xD0\xE8\xD2\xAA\xD2\xD4\xCF\xB5\xCD\xB3\xB9\xDC\xC0\xED\xD4\xB1\xC9\xED\xB7\xDD\xB2\xC5\xC4\xDC\xB0\xB2\xD7\xB0"
    "\xB3\xC9\xB9\xA6\xA3\xA1";  // 在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！

namespace {

const char kKeyboardLayouts[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";
const size_t kLayoutNameSize = 200;
const size_t kLayoutIdLength = 8;

// What this call registers, chosen by the OEM code page and the platform family.
struct LayoutChoice {
    const char* matchPrefix;  // 16 bytes
    const char* layoutText;
    const char* suffix;  // the language: the last three characters of an identifier
    bool win9x;
};

LayoutChoice ChooseLayout() {
    bool big5 = context.oemCodePage == 950;
    return {big5 ? kImeDescriptionBig5 : kImeDescriptionGbk, big5 ? kLayoutTextBig5 : kLayoutTextGbk,
            big5 ? "404" : "804", (GetVersion() & 0x80000000u) != 0};
}

// The NT family and the 9x family say the same failures in different words.
void ShowLayoutMessage(const LayoutChoice& choice, const char* win9xText, const char* ntText, const char* caption) {
    MessageBoxA(nullptr, choice.win9x ? win9xText : ntText, caption, MB_OK);
}

// The leading hexadecimal number of a key name, as "%lx" reads it; a number
// past 32 bits stays at the largest.
uint32_t LayoutNumber(const char* name) {
    uint64_t value = 0;
    for (const char* c = name; *c != '\0'; ++c) {
        int digit = *c >= '0' && *c <= '9' ? *c - '0' : *c >= 'a' && *c <= 'f' ? *c - 'a' + 10
                  : *c >= 'A' && *c <= 'F' ? *c - 'A' + 10 : -1;
        if (digit < 0) break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

bool IsLayoutId(const char* name) {
    if (std::strlen(name) != kLayoutIdLength) return false;
    for (size_t i = 0; i < kLayoutIdLength; ++i)
        if (!std::strchr("0123456789abcdefABCDEF", name[i])) return false;
    return true;
}

// Opens sub key `name` and tells whether its layout text starts with the match
// prefix; otherwise counts its number towards the largest identifier.
HKEY ScanLayout(HKEY layouts, const char* name, const LayoutChoice& choice, uint32_t* largest) {
    HKEY key;
    if (RegOpenKeyExA(layouts, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
    char text[kLayoutNameSize] = {};
    DWORD size = sizeof text;
    if (RegQueryValueExA(key, "layout text", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
        // Only a key named as a layout identifier can be taken over and renamed.
        if (size >= kImeDescriptionLength && std::memcmp(text, choice.matchPrefix, kImeDescriptionLength) == 0 &&
            IsLayoutId(name))
            return key;
        uint32_t number = LayoutNumber(name);
        if (number > *largest) *largest = number;
    }
    RegCloseKey(key);
    return nullptr;
}

// Walks the sub keys from the last enumeration index to the first and stops at
// an earlier registration, left open in *found with its name in `id`. Each
// name is scanned as it is enumerated, so any number of sub keys is seen; a
// name too long for the buffer is no layout identifier and is passed over.
void ScanLayouts(HKEY layouts, const LayoutChoice& choice, HKEY* found, char* id, uint32_t* largest) {
    *found = nullptr;
    *largest = 0;
    DWORD count = 0;
    if (RegQueryInfoKeyA(layouts, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD index = count + 1; index-- > 0 && *found == nullptr;) {
        char name[kLayoutNameSize];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(layouts, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        *found = ScanLayout(layouts, name, choice, largest);
        if (*found) CopyText(id, kLayoutNameSize, name);
    }
}

void ReplaceSuffix(char* id, const char* suffix) {
    size_t length = std::strlen(id);
    std::memcpy(id + length - 3, suffix, 3);
}

int IsFreeLayoutId(HKEY layouts, const char* id) {
    HKEY key;
    if (RegOpenKeyExA(layouts, id, 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    RegCloseKey(key);
    return 0;
}

// One above the largest identifier seen, at least E001; where no number is
// left above the largest, the first free one from E001 up.
void ChooseNewLayoutId(HKEY layouts, uint32_t largest, const LayoutChoice& choice, char* id) {
    uint64_t floor = choice.suffix[0] == '4' ? 0xE0000404u : 0xE0000804u;
    uint64_t next = (largest > floor ? largest : floor) + 0x10000u;
    if (next <= 0xFFFFFFFFu) {
        FormatText(id, kLayoutNameSize, "%08lX", static_cast<unsigned long>(next));
        ReplaceSuffix(id, choice.suffix);
        return;
    }
    for (unsigned number = 0xE001; number <= 0xFFFF; ++number) {
        FormatText(id, kLayoutNameSize, "%04X0%s", number, choice.suffix);
        if (IsFreeLayoutId(layouts, id)) return;
    }
}

void WriteLayoutRecord(HKEY key, const LayoutChoice& choice) {
    SetRegistryText(key, "IME file", "MORAHU4.IME");
    SetRegistryText(key, "layout file", choice.win9x ? "kbdus.kbd" : "kbdus.dll");
    SetRegistryText(key, "layout text", choice.layoutText);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

void SetCase(char* id, bool upper) {
    for (; *id; ++id) {
        *id = LowerAscii(*id);
        if (upper && *id >= 'a' && *id <= 'z') *id = static_cast<char>(*id - 32);
    }
}

enum PreloadMatch { OtherLayout, SameLayout, OtherSuffix };

// Counts the leading characters of a preload entry that agree with the
// identifier, letters in either case: all of them is this layout; all but the
// last three at most is this layout under another language.
PreloadMatch MatchPreloadEntry(const char* entry, const char* id) {
    size_t m = 0;
    while (id[m] != '\0' && entry[m] != '\0' && LowerAscii(entry[m]) == LowerAscii(id[m])) ++m;
    size_t length = std::strlen(id);
    if (m == length) return SameLayout;
    return m + 4 > length ? OtherSuffix : OtherLayout;
}

// Reads a string into a buffer of kLayoutNameSize bytes; it counts only when
// it fits there with its terminator.
int ReadEntry(HKEY key, const char* name, char* entry) {
    char value[kLayoutNameSize + 1] = {};
    DWORD size = kLayoutNameSize;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        strnlen(value, kLayoutNameSize) >= kLayoutNameSize)
        return 0;
    std::memcpy(entry, value, kLayoutNameSize);
    return 1;
}

// The number of the NT preload value that takes the identifier: the first free
// one, or the one holding this layout under another language; 0 when the
// layout is there already; 49 when all are taken by others.
int NtPreloadSlot(HKEY preload, const char* id) {
    for (int k = 1; k <= 49; ++k) {
        char name[4], entry[kLayoutNameSize];
        FormatText(name, sizeof name, "%d", k);
        if (!ReadEntry(preload, name, entry)) return k;
        switch (MatchPreloadEntry(entry, id)) {
        case SameLayout: return 0;
        case OtherSuffix: return k;
        case OtherLayout: break;
        }
    }
    return 49;
}

int EnterInNtPreload(const char* id, const LayoutChoice& choice) {
    HKEY keyboardLayout, preload;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "keyboard layout", 0, KEY_READ, &keyboardLayout) != ERROR_SUCCESS) {
        ShowLayoutMessage(choice, "Software open error2003", "Software open error2003", kCaptionEditionGbk);
        return 0;
    }
    if (RegOpenKeyExA(keyboardLayout, "preload", 0, KEY_ALL_ACCESS, &preload) == ERROR_SUCCESS) {
        if (int slot = NtPreloadSlot(preload, id)) {
            char name[4];
            FormatText(name, sizeof name, "%d", slot);
            SetRegistryText(preload, name, id);
        }
        RegCloseKey(preload);
    }
    RegCloseKey(keyboardLayout);
    return 1;
}

void Create9xEntry(HKEY preload, const char* name, const char* id) {
    HKEY numbered;
    if (RegCreateKeyExA(preload, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &numbered,
                        nullptr) != ERROR_SUCCESS)
        return;
    SetRegistryText(numbered, nullptr, id);
    RegCloseKey(numbered);
}

// The 9x family keeps entry k as the default value of sub key k. Returns 1 when
// the identifier is settled at k (there already, rewritten, or created), 0 to
// go on with the next number.
int Settle9xEntry(HKEY preload, int k, const char* id) {
    char name[4], entry[kLayoutNameSize];
    FormatText(name, sizeof name, "%d", k);
    HKEY numbered;
    if (RegOpenKeyExA(preload, name, 0, KEY_ALL_ACCESS, &numbered) != ERROR_SUCCESS) {
        Create9xEntry(preload, name, id);
        return 1;
    }
    PreloadMatch match = ReadEntry(numbered, nullptr, entry) ? MatchPreloadEntry(entry, id) : OtherLayout;
    if (match == OtherSuffix) SetRegistryText(numbered, nullptr, id);
    RegCloseKey(numbered);
    return match != OtherLayout;
}

int EnterIn9xPreload(const char* id, const LayoutChoice& choice) {
    HKEY preload;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "keyboard layout\\preload", 0, KEY_READ, &preload) != ERROR_SUCCESS) {
        ShowLayoutMessage(choice, "Software open error2003", "Software open error2003", kCaptionEditionGbk);
        return 0;
    }
    int k = 1;
    while (k <= 49 && !Settle9xEntry(preload, k, id)) ++k;
    if (k > 49) Create9xEntry(preload, "49", id);
    RegCloseKey(preload);
    return 1;
}

}  // namespace

namespace {

// Whether the layout key `name` names the IME file, with or without a folder
// before it (the input method manager of some systems records the whole path).
int LayoutHasImeFile(HKEY layouts, const char* name, const char* imeFile) {
    HKEY key;
    if (RegOpenKeyExA(layouts, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    char value[kLayoutNameSize + 1] = {};
    DWORD size = kLayoutNameSize;
    LSTATUS status = RegQueryValueExA(key, "Ime File", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return 0;
    const char* file = std::strrchr(value, '\\');
    file = file != nullptr ? file + 1 : value;
    size_t i = 0;
    while (imeFile[i] != '\0' && LowerAscii(file[i]) == LowerAscii(imeFile[i])) ++i;
    return imeFile[i] == '\0' && file[i] == '\0';
}

}  // namespace

int IsImeFileRegistered(const char* imeFile) {
    HKEY layouts;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyboardLayouts, 0, KEY_READ, &layouts) != ERROR_SUCCESS) return 0;
    int found = 0;
    char name[kLayoutNameSize];
    for (DWORD index = 0; !found; ++index) {
        DWORD length = sizeof name;
        LSTATUS status = RegEnumKeyExA(layouts, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS)
            found = LayoutHasImeFile(layouts, name, imeFile);
        else if (status != ERROR_MORE_DATA)  // a name too long is no layout; anything else ends the walk
            break;
    }
    RegCloseKey(layouts);
    return found;
}

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

int RegisterKeyboardLayout() {
    LayoutChoice choice = ChooseLayout();
    HKEY layouts;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyboardLayouts, 0, KEY_READ, &layouts) != ERROR_SUCCESS) {
        ShowLayoutMessage(choice, "Software open error1003", kNeedAdministratorGbk, kCaptionGbk);
        return 0;
    }
    char id[kLayoutNameSize];
    HKEY layout;
    uint32_t largest;
    ScanLayouts(layouts, choice, &layout, id, &largest);
    if (layout == nullptr) {
        ChooseNewLayoutId(layouts, largest, choice, id);
    } else if (std::strcmp(id + std::strlen(id) - 3, choice.suffix) != 0) {
        // Registered under the other language: it moves to this one.
        RegCloseKey(layout);
        layout = nullptr;
        RegDeleteKeyA(layouts, id);
        ReplaceSuffix(id, choice.suffix);
    }
    if (layout == nullptr && RegCreateKeyExA(layouts, id, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, &layout, nullptr) != ERROR_SUCCESS) {
        RegCloseKey(layouts);
        ShowLayoutMessage(choice, "Software open error1004", kNeedAdministratorGbk, kCaptionEditionGbk);
        return 0;
    }
    WriteLayoutRecord(layout, choice);
    RegCloseKey(layout);
    RegCloseKey(layouts);
    SetCase(id, choice.win9x);  // NT keeps preload entries in lower case
    return choice.win9x ? EnterIn9xPreload(id, choice) : EnterInNtPreload(id, choice);
}
