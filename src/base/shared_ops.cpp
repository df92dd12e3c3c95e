#include "base/shared_ops.h"

#include "base/install_context.h"
#include "base/text.h"

#include <cstring>

namespace {

const char kRegisterWord[] = "regmo32=";

typedef BOOL(WINAPI* RedirectionOffFunction)(PVOID*);
typedef BOOL(WINAPI* RedirectionBackFunction)(PVOID);

// Looked up rather than imported: kernel32 of 32-bit Windows before version 6
// has no such export, and the installer must start there too.
void* Kernel32Function(const char* name) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

}  // namespace

int ContainsNoCase(const char* text, const char* word) {
    for (size_t start = 0; text[start] != '\0'; ++start) {
        size_t i = 0;
        for (; word[i] != '\0'; ++i) {
            char t = text[start + i];
            bool folded = t >= 'A' && t <= 'Z' && t + 32 == word[i];
            if (t != word[i] && !folded) break;  // the text's NUL never matches
        }
        if (word[i] == '\0') return 1;
    }
    return 0;
}

int IsDeviceName(const char* name, size_t length) {
    size_t stem = 0;
    while (stem < length && name[stem] != '.') ++stem;
    while (stem > 0 && name[stem - 1] == ' ') --stem;  // Windows drops the spaces before the extension
    char lower[8] = {};
    if (stem == 0 || stem >= sizeof lower) return 0;
    for (size_t i = 0; i < stem; ++i)
        lower[i] = static_cast<char>(name[i] >= 'A' && name[i] <= 'Z' ? name[i] + 32 : name[i]);
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    for (const char* device : kDevices)
        if (std::strcmp(lower, device) == 0) return 1;
    bool port = std::strncmp(lower, "com", 3) == 0 || std::strncmp(lower, "lpt", 3) == 0;
    return stem == 4 && port && lower[3] >= '1' && lower[3] <= '9';
}

int StartProgram(const char* command) {
    char line[512];
    if (!CopyText(line, sizeof line, command)) return 0;  // CreateProcessA may write into its command line
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) return 0;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 1;
}

int StartSystemProgram(const char* command) {
    void* old = nullptr;
    int off = TurnRedirectionOff(&old);
    int started = StartProgram(command);
    if (off) TurnRedirectionBack(old);
    return started;
}

int TurnRedirectionOff(void** old) {
    void* function = Kernel32Function("Wow64DisableWow64FsRedirection");
    return function != nullptr && reinterpret_cast<RedirectionOffFunction>(function)(old);
}

void TurnRedirectionBack(void* old) {
    void* function = Kernel32Function("Wow64RevertWow64FsRedirection");
    if (function != nullptr) reinterpret_cast<RedirectionBackFunction>(function)(old);
}

int PathExists(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(handle);
    return 1;
}

int ComposeWow64Dir(char* out, size_t outSize) {
    char windowsDir[200];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length == 0 || length >= sizeof windowsDir) {
        CopyText(out, outSize, "");
        return 0;
    }
    return FormatText(out, outSize, "%s\\syswow64", windowsDir);
}

int IsWow64Windows() {
    context.osMajorVersion = 0;
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 156: the extended record
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) context.osMajorVersion = version.dwMajorVersion;
    if (context.osMajorVersion <= 5) return 0;

    char windowsDir[100];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length == 0 || length >= sizeof windowsDir) return 0;
    FormatText(context.wow64Dir, sizeof context.wow64Dir, "%s\\syswow64", windowsDir);
    return PathExists(context.wow64Dir);
}

int TakeRegisterDir(const char* commandLine) {
    const char* at = std::strchr(commandLine, 'r');
    if (at == nullptr || std::strncmp(at, kRegisterWord, sizeof kRegisterWord - 1) != 0) return 0;
    const char* dir = at + sizeof kRegisterWord - 1;
    size_t length = std::strlen(dir);
    // The record adds a backslash where one is missing; it must still fit.
    size_t room = sizeof context.installDir - 1 - (length > 0 && dir[length - 1] != '\\' ? 1 : 0);
    if (length == 0 || length > room) return 0;
    CopyText(context.installDir, sizeof context.installDir, dir);
    return 1;
}

int InstallDirPath(const char* name, char* path, size_t size) {
    return FormatText(path, size, "%s%s", context.installDir, name);
}
