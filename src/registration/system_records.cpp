#include "registration/system_records.h"

#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/registry.h"
#include "base/text.h"

#include <cstring>

namespace {

const char kRecordName[] = "morapath.moh";

int WindowsRecordPath(char* path, size_t pathSize) {
    char windowsDir[kPathFieldSize];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length == 0 || length >= sizeof windowsDir) return 0;
    return FormatText(path, pathSize, "%s\\%s", windowsDir, kRecordName);
}

// Without a fixed drive there is no drive copy: the bare file name would name a
// file in whatever the current directory happens to be.
int DriveRecordPath(char* path, size_t pathSize) {
    char folder[16];
    if (!FindFixedDriveFolder(folder, sizeof folder)) return 0;
    return FormatText(path, pathSize, "%s%s", folder, kRecordName);
}

void ClearInstallDir() { std::memset(context.installDir, 0, sizeof context.installDir); }

// Each source is read only up to the field less its terminator, and counts only
// when it gives a text: an empty one is no record.
int TakeRecordFile(const char* path) {
    ClearInstallDir();
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return 0;
    UINT got = _lread(file, context.installDir, sizeof context.installDir - 1);
    _lclose(file);
    if (got == UINT(HFILE_ERROR)) ClearInstallDir();
    return context.installDir[0] != '\0';
}

// The value is stored with its terminator; it counts only when it fits the
// field with it.
int TakeRecordValue() {
    ClearInstallDir();
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\morawb", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    char value[kPathFieldSize + 1] = {};
    DWORD size = kPathFieldSize;
    LSTATUS status = RegQueryValueExA(key, "path", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    // A short buffer leaves its contents undefined; a value that fills the
    // field has no room for its terminator.
    if (status != ERROR_SUCCESS || strnlen(value, kPathFieldSize) >= kPathFieldSize) return 0;
    std::memcpy(context.installDir, value, kPathFieldSize);
    return context.installDir[0] != '\0';
}

void WriteRecordFile(const char* path) {
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR) return;
    _lwrite(file, context.installDir, static_cast<UINT>(std::strlen(context.installDir)));
    _lclose(file);
}

// Opens `parent` under `root` for reading and creates or opens its sub key
// `name` with full access, as every record here is written.
int OpenRecordKey(HKEY root, const char* parent, const char* name, HKEY* parentKey, HKEY* key) {
    if (RegOpenKeyExA(root, parent, 0, KEY_READ, parentKey) != ERROR_SUCCESS) return 0;
    if (RegCreateKeyExA(*parentKey, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                        nullptr) == ERROR_SUCCESS)
        return 1;
    RegCloseKey(*parentKey);
    return 0;
}

void CloseRecordKey(HKEY parentKey, HKEY key) {
    RegCloseKey(key);
    RegCloseKey(parentKey);
}

void WriteRecordValue() {
    HKEY software, morawb;
    if (!OpenRecordKey(HKEY_LOCAL_MACHINE, "Software", "morawb", &software, &morawb)) return;
    SetRegistryText(morawb, "path", context.installDir);
    CloseRecordKey(software, morawb);
}

// The drives are looked at once: the folder found names the file too.
void WriteDriveRecord() {
    char folder[16];
    char path[32];
    if (!FindFixedDriveFolder(folder, sizeof folder)) return;
    CreateDirectoryA(folder, nullptr);  // an existing folder is no error
    if (FormatText(path, sizeof path, "%s%s", folder, kRecordName)) WriteRecordFile(path);
}

// The record always ends in a backslash. A directory with no room left for one
// is not recorded at all rather than recorded wrong.
int EndInBackslash() {
    size_t length = std::strlen(context.installDir);
    if (length == 0) return 0;
    if (context.installDir[length - 1] == '\\') return 1;
    return AppendText(context.installDir, sizeof context.installDir, "\\");
}

int HoldsDrivePath(const char* dir) { return dir[0] != '\0' && dir[1] == ':' && dir[2] == '\\'; }

}  // namespace

char* ReadInstallPathRecord() {
    if (HoldsDrivePath(context.installDir)) return context.installDir;
    char path[kPathFieldSize + 16];
    if (WindowsRecordPath(path, sizeof path) && TakeRecordFile(path)) return context.installDir;
    if (TakeRecordValue()) return context.installDir;
    if (DriveRecordPath(path, sizeof path) && TakeRecordFile(path)) return context.installDir;
    CopyText(context.installDir, sizeof context.installDir, kDefaultInstallDir);
    return context.installDir;
}

void WriteInstallPathRecord() {
    char path[kPathFieldSize + 16];
    int haveWindowsPath = WindowsRecordPath(path, sizeof path);
    if (!EndInBackslash()) return;
    if (haveWindowsPath) WriteRecordFile(path);
    WriteRecordValue();
    if (context.osMajorVersion >= 6) WriteDriveRecord();
}

int FindFixedDriveFolder(char* out, size_t outSize) {
    static const char kDrives[] = "gfedc";
    for (const char* drive = kDrives; *drive != '\0'; ++drive) {
        char root[4] = {*drive, ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_FIXED) return FormatText(out, outSize, "%smorahu\\", root);
    }
    CopyText(out, outSize, "");
    return 0;
}

void WriteUninstallEntry() {
    HKEY uninstall, entry;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"), 0,
                      KEY_READ, &uninstall) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExW(uninstall, Wide(u"moraqwb"), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &entry, nullptr) != ERROR_SUCCESS) {
        RegCloseKey(uninstall);
        return;
    }
    const WCHAR* name = Wide(u"墨川五笔");
    RegSetValueExW(entry, Wide(u"DisplayName"), 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                   static_cast<DWORD>(WideLength(name) * sizeof(WCHAR)));
    WCHAR systemDir[100];
    UINT length = GetSystemDirectoryW(systemDir, 100);
    WCHAR command[128];
    if (length != 0 && length < 100 && WideCopy(command, 128, systemDir) &&
        WideAppend(command, 128, Wide(u"\\moradel.exe"))) {
        RegSetValueExW(entry, Wide(u"UninstallString"), 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                       static_cast<DWORD>(WideLength(command) * sizeof(WCHAR)));
    }
    CloseRecordKey(uninstall, entry);
}

void WriteAutorunEntry(const char* command) {
    HKEY currentVersion, run;
    if (!OpenRecordKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "Run", &currentVersion, &run))
        return;
    RegDeleteValueA(run, "momcsjgl");
    SetRegistryText(run, "momcsjgl", command);
    CloseRecordKey(currentVersion, run);
}

// Browsers learn the installed version from this marker; the markers of the
// earlier versions 6.3 to 6.8 and 7.0 to 7.8 go first.
void WriteUserAgentMarker() {
    HKEY userAgent, postPlatform;
    if (!OpenRecordKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent",
                       "Post Platform", &userAgent, &postPlatform))
        return;
    char name[] = "qovi6300";
    for (char minor = '3'; minor <= '8'; ++minor) {
        name[5] = minor;
        RegDeleteValueA(postPlatform, name);
    }
    name[4] = '7';
    for (char minor = '0'; minor <= '8'; ++minor) {
        name[5] = minor;
        RegDeleteValueA(postPlatform, name);
    }
    RegSetValueExA(postPlatform, "qovi7400", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0);
    CloseRecordKey(userAgent, postPlatform);
}

// icacls is started by its full path: the installer runs elevated, and a bare
// name would also find a program of that name in the installer's own folder.
// Through the redirection switch on 64-bit Windows, where the 32-bit copy of
// the tool would start the 32-bit layer for nothing.
// Once per directory and run: the install sequence asks for it in each
// deployment pass, and a second start of the tool would change nothing.
void LowerInstallDirIntegrity() {
    if (std::strcmp(context.loweredDir, context.installDir) == 0) return;
    char systemDir[kPathFieldSize];
    UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    if (length == 0 || length >= sizeof systemDir) return;
    char dir[kPathFieldSize];
    CopyText(dir, sizeof dir, context.installDir);
    size_t dirLength = std::strlen(dir);
    if (dirLength > 0 && dir[dirLength - 1] == '\\') dir[dirLength - 1] = '\0';
    char command[2 * kPathFieldSize + 64];
    if (!FormatText(command, sizeof command, "\"%s\\icacls.exe\" \"%s\" /SetIntegrityLevel Level: L", systemDir, dir))
        return;
    if (StartSystemProgram(command)) CopyText(context.loweredDir, sizeof context.loweredDir, context.installDir);
}
