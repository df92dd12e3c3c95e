// Files and folders: each drive is a folder of a temporary host directory.
// Windows paths are matched case-insensitively against what is stored; what
// the host cannot keep (attributes, files held by running programs, folders
// closed to this process) is kept beside it by canonical path.
#include "platform/sim/sim_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

SimMachine::Impl& Sys() { return SimMachine::Current().impl(); }

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

std::string WindowsDirectory() {
    return SimMachine::Current().Setup().win9x ? "C:\\WINDOWS" : "C:\\windows";
}

std::string SystemDirectory() {
    return SimMachine::Current().Setup().win9x ? "C:\\WINDOWS\\SYSTEM" : "C:\\windows\\system32";
}

// The stored name of `name` in host folder `dir`, matched without case.
std::string StoredName(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return name;
    std::string found = name;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

bool HostIsDirectory(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool HostExists(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

DWORD StoredAttributes(const SimPath& p) {
    auto it = Sys().attributes.find(p.canonical);
    if (HostIsDirectory(p.host))
        return it == Sys().attributes.end() ? DWORD(FILE_ATTRIBUTE_DIRECTORY) : (it->second | FILE_ATTRIBUTE_DIRECTORY);
    return it == Sys().attributes.end() ? DWORD(FILE_ATTRIBUTE_ARCHIVE) : it->second;
}

// Why this process may not change the file at `p`, or 0.
DWORD WriteRefusal(const SimPath& p) {
    auto& sys = Sys();
    if (sys.InUnwritableFolder(p.parentCanonical)) return ERROR_ACCESS_DENIED;
    if (!HostExists(p.host)) return 0;
    if (HostIsDirectory(p.host)) return ERROR_ACCESS_DENIED;
    if (StoredAttributes(p) & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    if (sys.locks.count(p.canonical)) return ERROR_SHARING_VIOLATION;
    return 0;
}

HFILE NewFileHandle(int fd, bool writable) {
    auto& sys = Sys();
    HFILE h = sys.nextFile;
    sys.nextFile += 4;
    sys.files[h] = {fd, writable};
    return h;
}

SimPath ResolveOrFail(LPCSTR path) {
    SimPath p = Sys().Resolve(path ? path : "", true);
    if (!p.valid) Sys().Fail(ERROR_PATH_NOT_FOUND);
    return p;
}

// Resolves a path that must name something that exists; sets the error Windows
// gives (file or path not found) and returns an invalid path otherwise.
SimPath ResolveExisting(LPCSTR path) {
    SimPath p = ResolveOrFail(path);
    if (p.valid && !HostExists(p.host)) {
        Sys().Fail(HostIsDirectory(p.parentHost) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        p.valid = false;
    }
    return p;
}

UINT CopyOut(const std::string& text, LPSTR buffer, UINT size) {
    if (buffer == nullptr || size <= text.size()) return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}

}  // namespace

// ---------------------------------------------------------------- machine side

void SimMachine::Impl::InitFiles() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/simwin.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) std::abort();
    hostRoot = buffer.data();
    machine.SetDrive('c', DRIVE_FIXED);
    machine.MakeDirectory(SystemDirectory());
    if (machine.Setup().is64Bit) machine.MakeDirectory(WindowsDirectory() + "\\syswow64");
}

void SimMachine::Impl::RemoveFiles() {
    for (auto& f : files) close(f.second.fd);
    files.clear();
    nftw(hostRoot.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Resolves a Windows path: drive letter and colon, or relative to the current
// directory; "\" and "/" both separate; "." and ".." are folded. A 32-bit
// program on 64-bit Windows that names the system directory reaches syswow64.
SimPath SimMachine::Impl::Resolve(const std::string& path, bool redirect) const {
    SimPath result;
    std::string full = path;
    for (char& c : full)
        if (c == '/') c = '\\';
    if (full.empty()) return result;
    if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') return result;  // no network paths here
    if (full.size() >= 1 && full[0] == '\\') full = currentDirectory.substr(0, 2) + full;
    else if (full.size() < 2 || full[1] != ':') full = currentDirectory + "\\" + full;
    char drive = static_cast<char>(tolower(static_cast<unsigned char>(full[0])));
    if (!drives.count(drive)) return result;

    std::vector<std::string> parts;
    size_t start = 2;
    while (start <= full.size()) {
        size_t end = full.find('\\', start);
        if (end == std::string::npos) end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (redirect && Redirected() && parts.size() >= 2 && Lower(parts[0]) == "windows" &&
        Lower(parts[1]) == "system32")
        parts[1] = "syswow64";

    result.valid = true;
    result.host = hostRoot + "/" + std::string(1, drive);
    result.canonical = std::string(1, drive) + ":";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i + 1 == parts.size()) {
            result.parentHost = result.host;
            result.parentCanonical = result.canonical.size() == 2 ? result.canonical + "\\" : result.canonical;
        }
        result.host += "/" + StoredName(result.host, parts[i]);
        result.canonical += "\\" + Lower(parts[i]);
    }
    if (parts.empty()) {
        result.canonical += "\\";
        result.parentHost = result.host;
        result.parentCanonical = result.canonical;
    }
    return result;
}

// A 32-bit program on 64-bit Windows, its redirection not turned off.
bool SimMachine::Impl::Redirected() const {
    return machine.Setup().is64Bit && !machine.Setup().process64 && !redirectionOff;
}

bool SimMachine::Impl::InUnwritableFolder(const std::string& canonical) const {
    for (const std::string& folder : unwritableFolders) {
        if (canonical == folder) return true;
        std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
        if (canonical.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

void SimMachine::SetDrive(char letter, UINT driveType) {
    char drive = static_cast<char>(tolower(static_cast<unsigned char>(letter)));
    impl_->drives[drive] = driveType;
    mkdir((impl_->hostRoot + "/" + std::string(1, drive)).c_str(), 0755);
}

void SimMachine::MakeDirectory(const std::string& path) {
    SimPath p = impl_->Resolve(path, false);
    if (!p.valid) return;
    for (size_t at = impl_->hostRoot.size() + 1; at <= p.host.size(); ++at) {
        if (at == p.host.size() || p.host[at] == '/') mkdir(p.host.substr(0, at).c_str(), 0755);
    }
}

void SimMachine::WriteFile(const std::string& path, const std::string& bytes) {
    SimPath p = impl_->Resolve(path, false);
    if (!p.valid) return;
    size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos) MakeDirectory(path.substr(0, separator));
    p = impl_->Resolve(path, false);
    int fd = open(p.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    close(fd);
}

std::string SimMachine::ReadFile(const std::string& path) const {
    SimPath p = impl_->Resolve(path, false);
    std::string bytes;
    int fd = p.valid ? open(p.host.c_str(), O_RDONLY) : -1;
    if (fd < 0) return bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
    close(fd);
    return bytes;
}

bool SimMachine::FileExists(const std::string& path) const {
    SimPath p = impl_->Resolve(path, false);
    return p.valid && HostExists(p.host) && !HostIsDirectory(p.host);
}

bool SimMachine::DirectoryExists(const std::string& path) const {
    SimPath p = impl_->Resolve(path, false);
    return p.valid && HostIsDirectory(p.host);
}

std::vector<std::string> SimMachine::ListDirectory(const std::string& path) const {
    std::vector<std::string> names;
    SimPath p = impl_->Resolve(path, false);
    DIR* d = p.valid ? opendir(p.host.c_str()) : nullptr;
    if (d == nullptr) return names;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

DWORD SimMachine::Attributes(const std::string& path) const {
    SimPath p = impl_->Resolve(path, false);
    if (!p.valid || !HostExists(p.host)) return INVALID_FILE_ATTRIBUTES;
    return StoredAttributes(p);
}

void SimMachine::SetAttributes(const std::string& path, DWORD attributes) {
    impl_->attributes[impl_->Resolve(path, false).canonical] = attributes;
}

void SimMachine::LockFile(const std::string& path, SimLock lock) {
    impl_->locks[impl_->Resolve(path, false).canonical] = lock;
}

void SimMachine::MakeFolderUnwritable(const std::string& path) {
    impl_->unwritableFolders.insert(impl_->Resolve(path, false).canonical);
}

std::string SimMachine::HostPath(const std::string& path) const { return impl_->Resolve(path, false).host; }

bool SimMachine::RedirectionOff() const { return impl_->redirectionOff; }

const std::vector<std::string>& SimMachine::CopiesWithoutRedirection() const { return impl_->unredirectedCopies; }

// ---------------------------------------------------------------- Win32

HFILE _lopen(LPCSTR path, int mode) {
    if (Sys().Fault()) return HFILE_ERROR;
    SimPath p = ResolveExisting(path);
    if (!p.valid) return HFILE_ERROR;
    if (HostIsDirectory(p.host)) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return HFILE_ERROR;
    }
    int access = mode & 3;
    if (access != OF_READ) {
        if (DWORD refusal = WriteRefusal(p)) {
            Sys().Fail(refusal);
            return HFILE_ERROR;
        }
    }
    int fd = open(p.host.c_str(), access == OF_READ ? O_RDONLY : access == OF_WRITE ? O_WRONLY : O_RDWR);
    if (fd < 0) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return HFILE_ERROR;
    }
    return NewFileHandle(fd, access != OF_READ);
}

HFILE _lcreat(LPCSTR path, int attributes) {
    if (Sys().Fault()) return HFILE_ERROR;
    SimPath p = ResolveOrFail(path);
    if (!p.valid) return HFILE_ERROR;
    if (!HostIsDirectory(p.parentHost)) {
        Sys().Fail(ERROR_PATH_NOT_FOUND);
        return HFILE_ERROR;
    }
    if (DWORD refusal = WriteRefusal(p)) {
        Sys().Fail(refusal);
        return HFILE_ERROR;
    }
    int fd = open(p.host.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return HFILE_ERROR;
    }
    DWORD kept = DWORD(attributes) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    Sys().attributes[p.canonical] = kept | FILE_ATTRIBUTE_ARCHIVE;
    return NewFileHandle(fd, true);
}

UINT _lread(HFILE file, LPVOID buffer, UINT count) {
    if (Sys().Fault()) return UINT(HFILE_ERROR);
    auto it = Sys().files.find(file);
    if (it == Sys().files.end()) {
        Sys().Fail(ERROR_INVALID_HANDLE);
        return UINT(HFILE_ERROR);
    }
    size_t total = 0;
    while (total < count) {
        ssize_t n = read(it->second.fd, static_cast<char*>(buffer) + total, count - total);
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
    return static_cast<UINT>(total);
}

// Writing 0 bytes cuts the file at the current position, as on Windows.
UINT _lwrite(HFILE file, LPCSTR buffer, UINT count) {
    if (Sys().Fault()) return UINT(HFILE_ERROR);
    auto it = Sys().files.find(file);
    if (it == Sys().files.end() || !it->second.writable) {
        Sys().Fail(it == Sys().files.end() ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return UINT(HFILE_ERROR);
    }
    int fd = it->second.fd;
    if (count == 0) {
        off_t at = lseek(fd, 0, SEEK_CUR);
        return ftruncate(fd, at) == 0 ? 0 : UINT(HFILE_ERROR);
    }
    size_t total = 0;
    while (total < count) {
        ssize_t n = write(fd, buffer + total, count - total);
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
    return static_cast<UINT>(total);
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    auto it = Sys().files.find(file);
    if (it == Sys().files.end()) {
        Sys().Fail(ERROR_INVALID_HANDLE);
        return HFILE_ERROR;
    }
    int whence = origin == FILE_BEGIN ? SEEK_SET : origin == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t at = lseek(it->second.fd, offset, whence);
    return at < 0 ? LONG(HFILE_ERROR) : static_cast<LONG>(at);
}

HFILE _lclose(HFILE file) {
    auto it = Sys().files.find(file);
    if (it == Sys().files.end()) {
        Sys().Fail(ERROR_INVALID_HANDLE);
        return HFILE_ERROR;
    }
    close(it->second.fd);
    Sys().files.erase(it);
    return 0;
}

// Opens existing files, and folders with backup semantics, for reading; that is
// all the installer asks of it.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD flags, HANDLE) {
    if (Sys().Fault()) return INVALID_HANDLE_VALUE;
    if (disposition != OPEN_EXISTING || (access & GENERIC_WRITE)) {
        Sys().Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    SimPath p = ResolveExisting(path);
    if (!p.valid) return INVALID_HANDLE_VALUE;
    if (HostIsDirectory(p.host) && !(flags & FILE_FLAG_BACKUP_SEMANTICS)) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto& sys = Sys();
    HANDLE h = reinterpret_cast<HANDLE>(sys.nextObjectHandle);
    sys.nextObjectHandle += 4;
    sys.objectHandles[h] = p.canonical;
    return h;
}

BOOL CloseHandle(HANDLE handle) {
    if (Sys().objectHandles.erase(handle)) return TRUE;
    Sys().Fail(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL CreateDirectoryA(LPCSTR path, void*) {
    if (Sys().Fault()) return FALSE;
    SimPath p = ResolveOrFail(path);
    if (!p.valid) return FALSE;
    if (HostExists(p.host)) {
        Sys().Fail(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!HostIsDirectory(p.parentHost)) {
        Sys().Fail(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (Sys().InUnwritableFolder(p.parentCanonical)) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return mkdir(p.host.c_str(), 0755) == 0 ? TRUE : FALSE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    SimPath p = ResolveOrFail(path);
    if (!p.valid) return FALSE;
    if (!HostIsDirectory(p.host)) {
        Sys().Fail(HostExists(p.host) ? ERROR_DIRECTORY : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (Sys().InUnwritableFolder(p.parentCanonical)) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (rmdir(p.host.c_str()) != 0) {
        Sys().Fail(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    Sys().attributes.erase(p.canonical);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    if (Sys().Fault()) return FALSE;
    SimPath p = ResolveExisting(path);
    if (!p.valid) return FALSE;
    if (DWORD refusal = WriteRefusal(p)) {
        // A file held by a running program cannot be deleted: access is denied.
        Sys().Fail(refusal == ERROR_SHARING_VIOLATION ? ERROR_ACCESS_DENIED : refusal);
        return FALSE;
    }
    unlink(p.host.c_str());
    Sys().attributes.erase(p.canonical);
    return TRUE;
}

// Renames within a drive. A file held by a running program moves (the program
// keeps it open under the new name) unless it is pinned.
BOOL MoveFileA(LPCSTR existing, LPCSTR newName) {
    if (Sys().Fault()) return FALSE;
    SimPath from = ResolveExisting(existing);
    if (!from.valid) return FALSE;
    SimPath to = ResolveOrFail(newName);
    if (!to.valid) return FALSE;
    auto& sys = Sys();
    if (HostExists(to.host)) {
        sys.Fail(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!HostIsDirectory(to.parentHost)) {
        sys.Fail(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    auto lock = sys.locks.find(from.canonical);
    if (sys.InUnwritableFolder(from.parentCanonical) || sys.InUnwritableFolder(to.parentCanonical) ||
        (lock != sys.locks.end() && lock->second == SimLock::Pinned)) {
        sys.Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (rename(from.host.c_str(), to.host.c_str()) != 0) {
        sys.Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto attributes = sys.attributes.find(from.canonical);
    if (attributes != sys.attributes.end()) {
        sys.attributes[to.canonical] = attributes->second;
        sys.attributes.erase(attributes);
    }
    if (lock != sys.locks.end()) {
        sys.locks[to.canonical] = lock->second;
        sys.locks.erase(lock);
    }
    return TRUE;
}

namespace {

// Why `to` cannot take a copy, or 0. A hidden or read-only file is never
// overwritten by a copy; its attributes must be reset first.
DWORD CopyRefusal(const SimPath& to, BOOL failIfExists) {
    if (!HostIsDirectory(to.parentHost)) return ERROR_PATH_NOT_FOUND;
    if (!HostExists(to.host)) return Sys().InUnwritableFolder(to.parentCanonical) ? DWORD(ERROR_ACCESS_DENIED) : 0;
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (StoredAttributes(to) & FILE_ATTRIBUTE_HIDDEN) return ERROR_ACCESS_DENIED;
    return WriteRefusal(to);
}

bool CopyHostFile(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    ssize_t n;
    while (ok && (n = read(in, buffer, sizeof buffer)) > 0) ok = write(out, buffer, static_cast<size_t>(n)) == n;
    if (out >= 0) close(out);
    close(in);
    return ok;
}

}  // namespace

// The copy takes the source's attributes, as Windows gives them.
BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
    if (Sys().Fault()) return FALSE;
    SimPath from = ResolveExisting(existing);
    if (!from.valid) return FALSE;
    auto& sys = Sys();
    if (HostIsDirectory(from.host)) {
        sys.Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    SimPath to = ResolveOrFail(newName);
    if (!to.valid) return FALSE;
    if (DWORD refusal = CopyRefusal(to, failIfExists)) {
        sys.Fail(refusal);
        return FALSE;
    }
    if (!CopyHostFile(from.host, to.host)) {
        sys.Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    sys.attributes.erase(to.canonical);
    auto attributes = sys.attributes.find(from.canonical);
    if (attributes != sys.attributes.end()) sys.attributes[to.canonical] = attributes->second;
    if (sys.redirectionOff) sys.unredirectedCopies.push_back(to.canonical);
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
    SimPath p = ResolveExisting(path);
    if (!p.valid) return INVALID_FILE_ATTRIBUTES;
    return StoredAttributes(p);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    if (Sys().Fault()) return FALSE;
    SimPath p = ResolveExisting(path);
    if (!p.valid) return FALSE;
    if (Sys().InUnwritableFolder(p.parentCanonical)) {
        Sys().Fail(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE;
    Sys().attributes[p.canonical] = attributes & settable;
    return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) { return CopyOut(WindowsDirectory(), buffer, size); }

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) { return CopyOut(SystemDirectory(), buffer, size); }

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    std::u16string text = WideFromUtf8(SystemDirectory());
    if (buffer == nullptr || size <= text.size()) return static_cast<UINT>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<UINT>(text.size());
}

UINT GetDriveTypeA(LPCSTR root) {
    std::string r = root ? root : Sys().currentDirectory.substr(0, 3);
    if (r.size() < 2 || r[1] != ':') return DRIVE_NO_ROOT_DIR;
    auto it = Sys().drives.find(static_cast<char>(tolower(static_cast<unsigned char>(r[0]))));
    return it == Sys().drives.end() ? UINT(DRIVE_NO_ROOT_DIR) : it->second;
}

// ---------------------------------------------------------------- listing and the current directory

namespace {

void FillFound(const SimMachine::Impl::Search& search, const std::string& name, LPWIN32_FIND_DATAA found) {
    std::memset(found, 0, sizeof *found);
    SimPath p;
    p.valid = true;
    p.host = name == "." || name == ".." ? search.dirHost : search.dirHost + "/" + name;
    p.canonical = name == "." || name == ".." ? search.dirCanonical : search.dirCanonical + "\\" + Lower(name);
    found->dwFileAttributes = StoredAttributes(p);
    struct stat st;
    if (stat(p.host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) found->nFileSizeLow = static_cast<DWORD>(st.st_size);
    std::strncpy(found->cFileName, name.c_str(), MAX_PATH - 1);
}

}  // namespace

// Only the patterns "*.*" and "*" after a folder are understood: all its entries.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
    if (Sys().Fault()) return INVALID_HANDLE_VALUE;
    std::string text = pattern ? pattern : "";
    size_t cut = text.find_last_of("\\/");
    std::string wildcard = cut == std::string::npos ? text : text.substr(cut + 1);
    if (wildcard != "*.*" && wildcard != "*") {
        Sys().Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    SimPath dir = Sys().Resolve(cut == std::string::npos ? "." : text.substr(0, cut + 1), true);
    if (!dir.valid || !HostIsDirectory(dir.host)) {
        Sys().Fail(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    SimMachine::Impl::Search search;
    search.dirHost = dir.host;
    search.dirCanonical = dir.canonical.size() == 3 ? dir.canonical.substr(0, 2) : dir.canonical;
    if (dir.canonical.size() > 3) search.names = {".", ".."};
    if (DIR* d = opendir(dir.host.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) search.names.push_back(e->d_name);
        closedir(d);
    }
    if (search.names.empty()) {
        Sys().Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto& sys = Sys();
    HANDLE handle = reinterpret_cast<HANDLE>(sys.nextObjectHandle);
    sys.nextObjectHandle += 4;
    FillFound(search, search.names[0], found);
    search.next = 1;
    sys.searches[handle] = std::move(search);
    return handle;
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA found) {
    auto it = Sys().searches.find(handle);
    if (it == Sys().searches.end()) {
        Sys().Fail(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.next >= it->second.names.size()) {
        Sys().Fail(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    FillFound(it->second, it->second.names[it->second.next++], found);
    return TRUE;
}

BOOL FindClose(HANDLE handle) { return Sys().searches.erase(handle) ? TRUE : FALSE; }

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (Sys().Fault()) return FALSE;
    SimPath p = ResolveExisting(path);
    if (!p.valid) return FALSE;
    if (!HostIsDirectory(p.host)) {
        Sys().Fail(ERROR_DIRECTORY);
        return FALSE;
    }
    std::string canonical = p.canonical;
    if (canonical.size() > 3 && canonical.back() == '\\') canonical.pop_back();
    Sys().currentDirectory = canonical;
    return TRUE;
}

std::string SimMachine::CurrentDirectory() const { return impl_->currentDirectory; }
