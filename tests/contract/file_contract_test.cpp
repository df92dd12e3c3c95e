// File and folder behaviours the installer relies on.
#include "contract/contract.h"

#include <cstring>

TEST_F(ContractTest, CreateDirectoryOnExistingFolderFails) {
    std::string folder = Path("folder");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA(Path("no\\such").c_str(), nullptr)) << "one level only";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST_F(ContractTest, AttributesOfFolderAndNewFile) {
    std::string folder = Path("attrs");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    std::string file = Path("attrs\\new.txt");
    MakeFile(file, "x");
    EXPECT_EQ(GetFileAttributesA(file.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA(Path("attrs\\none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// Whether the read-only attribute refuses writers cannot be seen here (Wine run
// by root lets them through); what the installer relies on is that the
// attribute shows, that reading goes on, and that resetting it frees the file.
TEST_F(ContractTest, ReadOnlyAttributeShowsAndResets) {
    std::string file = Path("locked.moh");
    MakeFile(file, "old");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    HFILE reader = _lopen(file.c_str(), OF_READ);
    EXPECT_NE(reader, HFILE_ERROR) << "reading is allowed";
    if (reader != HFILE_ERROR) _lclose(reader);

    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA(file.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    HFILE writer = _lcreat(file.c_str(), 0);
    EXPECT_NE(writer, HFILE_ERROR);
    if (writer != HFILE_ERROR) _lclose(writer);
    EXPECT_TRUE(DeleteFileA(file.c_str()));
}

TEST_F(ContractTest, OldHandleFunctionsReadWriteSeek) {
    std::string file = Path("data.bin");
    HFILE h = _lcreat(file.c_str(), 0);
    ASSERT_NE(h, HFILE_ERROR);
    EXPECT_EQ(_lwrite(h, "hello world", 11), 11u);
    EXPECT_EQ(_llseek(h, 5, FILE_BEGIN), 5);
    EXPECT_EQ(_lwrite(h, "", 0), 0u) << "writing nothing cuts the file here";
    EXPECT_EQ(_lclose(h), 0);

    h = _lopen(file.c_str(), OF_READ);
    ASSERT_NE(h, HFILE_ERROR);
    EXPECT_EQ(_llseek(h, 0, FILE_END), 5);
    EXPECT_EQ(_llseek(h, 0, FILE_BEGIN), 0);
    char buffer[16];
    std::memset(buffer, 0x7F, sizeof buffer);
    EXPECT_EQ(_lread(h, buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
    EXPECT_EQ(buffer[5], 0x7F);
    EXPECT_EQ(_lread(h, buffer, sizeof buffer), 0u) << "at the end";
    _lclose(h);

    h = _lcreat(file.c_str(), 0);
    ASSERT_NE(h, HFILE_ERROR) << "an existing file is truncated";
    EXPECT_EQ(_llseek(h, 0, FILE_END), 0);
    _lclose(h);
}

TEST_F(ContractTest, OpeningWhatIsNotThere) {
    struct Row {
        const char* what;
        std::string path;
        DWORD error;
    } rows[] = {
        {"missing file", Path("missing.moh"), ERROR_FILE_NOT_FOUND},
        {"missing folder", Path("nofolder\\missing.moh"), ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SetLastError(0);
        EXPECT_EQ(_lopen(row.path.c_str(), OF_READ), HFILE_ERROR) << row.what;
        EXPECT_EQ(GetLastError(), row.error) << row.what;
    }
    std::string folder = Path("adir");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(_lopen(folder.c_str(), OF_READ), HFILE_ERROR) << "a folder is no file";
    EXPECT_EQ(_lcreat(Path("nofolder\\new.moh").c_str(), 0), HFILE_ERROR);
}

// PathExists opens with backup semantics so that folders open too.
TEST_F(ContractTest, BackupSemanticsOpenFolders) {
    std::string folder = Path("exists");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    HANDLE h = CreateFileA(folder.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = CreateFileA(folder.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "without backup semantics a folder does not open";
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = CreateFileA(Path("absent").c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                    nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(ContractTest, DirectoriesAndDrives) {
    char windowsDir[200];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, std::strlen(windowsDir));
    EXPECT_EQ(GetWindowsDirectoryA(windowsDir, 3), length + 1) << "a short buffer asks for the size with terminator";

    char systemDir[200];
    length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    ASSERT_GT(length, 0u);
    WCHAR wideDir[100];
    EXPECT_EQ(GetSystemDirectoryW(wideDir, 100), length);
    for (UINT i = 0; i < length; ++i) EXPECT_EQ(wideDir[i], WCHAR(systemDir[i])) << i;

    EXPECT_EQ(GetDriveTypeA("c:\\"), UINT(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("q:\\"), UINT(DRIVE_NO_ROOT_DIR));
}

// Windows refuses to copy over a hidden or read-only file; Wine run by root
// does not, so that refusal is the simulation's alone. What holds everywhere:
// a copy overwrites unless told not to, and one over a file whose attributes
// were reset goes through.
TEST_F(ContractTest, CopyFileOverwritesUnlessToldNotTo) {
    std::string source = Path("source.ime"), target = Path("target.ime");
    MakeFile(source, "new");
    MakeFile(target, "old");
    EXPECT_FALSE(CopyFileA(source.c_str(), target.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE));
    HFILE h = _lopen(target.c_str(), OF_READ);
    char buffer[8] = {};
    EXPECT_EQ(_lread(h, buffer, sizeof buffer), 3u);
    _lclose(h);
    EXPECT_STREQ(buffer, "new");
}

TEST_F(ContractTest, CopyFileFailures) {
    std::string source = Path("present.ime");
    MakeFile(source, "x");
    EXPECT_FALSE(CopyFileA(Path("absent.ime").c_str(), Path("copy.ime").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileA(source.c_str(), Path("no\\such\\copy.ime").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

// A 32-bit program on 64-bit Windows that names the system directory reaches
// syswow64, unless it turns the redirection off for the thread.
TEST_F(ContractTest, FileSystemRedirectionOfA32BitProgram) {
    char systemDir[200], windowsDir[200];
    ASSERT_GT(GetSystemDirectoryA(systemDir, sizeof systemDir), 0u);
    ASSERT_GT(GetWindowsDirectoryA(windowsDir, sizeof windowsDir), 0u);
    std::string wow = std::string(windowsDir) + "\\syswow64";
    if (!Is32BitProgramOn64BitWindows()) GTEST_SKIP() << "not a 32-bit program on 64-bit Windows";

    std::string source = Path("probe.ime");
    MakeFile(source, "probe");
    std::string inSystem = std::string(systemDir) + "\\moracontract.ime";
    std::string inWow = wow + "\\moracontract.ime";
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    typedef BOOL(WINAPI * Off)(PVOID*);
    typedef BOOL(WINAPI * Back)(PVOID);
    Off off = reinterpret_cast<Off>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    Back back = reinterpret_cast<Back>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    ASSERT_TRUE(off != nullptr && back != nullptr);

    ASSERT_TRUE(CopyFileA(source.c_str(), inSystem.c_str(), FALSE));
    EXPECT_NE(GetFileAttributesA(inWow.c_str()), INVALID_FILE_ATTRIBUTES) << "redirected into syswow64";
    EXPECT_TRUE(DeleteFileA(inWow.c_str()));

    PVOID old = nullptr;
    ASSERT_TRUE(off(&old));
    EXPECT_TRUE(CopyFileA(source.c_str(), inSystem.c_str(), FALSE));
    EXPECT_NE(GetFileAttributesA(inSystem.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(back(old));
    EXPECT_EQ(GetFileAttributesA(inWow.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy went to the real folder";
    ASSERT_TRUE(off(&old));
    EXPECT_TRUE(DeleteFileA(inSystem.c_str()));
    back(old);
}
