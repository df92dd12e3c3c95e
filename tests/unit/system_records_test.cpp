#include "registration/system_records.h"

#include "base/shared_ops.h"
#include "unit/test_machine.h"

#include <string>

namespace {

const char kWindowsRecord[] = "c:\\windows\\morapath.moh";
const char kMorawb[] = "Software\\morawb";

std::string RecordValue(const SimMachine& machine) {
    return machine.String(HKEY_LOCAL_MACHINE, kMorawb, "path").value_or("<none>");
}

}  // namespace

TEST(ReadInstallPathRecord, SourcesInOrder) {
    struct Row {
        const char* what;
        const char* windowsFile;  // nullptr: no such file, no such value
        const char* value;
        const char* driveFile;  // on c:\morahu\, the only fixed drive
        const char* expected;
    } rows[] = {
        {"nothing recorded", nullptr, nullptr, nullptr, "c:\\morahu2\\"},
        {"the file wins over the registry", "d:\\file\\", "e:\\value\\", "f:\\drive\\", "d:\\file\\"},
        {"then the registry", nullptr, "e:\\value\\", "f:\\drive\\", "e:\\value\\"},
        {"then the drive copy", nullptr, nullptr, "f:\\drive\\", "f:\\drive\\"},
        {"a file is taken as it is", "not a path", nullptr, nullptr, "not a path"},
        {"an empty file is no record", "", "e:\\value\\", nullptr, "e:\\value\\"},
        {"an empty value is no record", nullptr, "", "f:\\drive\\", "f:\\drive\\"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        if (row.windowsFile) machine.WriteFile(kWindowsRecord, row.windowsFile);
        if (row.value) machine.SetString(HKEY_LOCAL_MACHINE, kMorawb, "path", row.value);
        if (row.driveFile) machine.WriteFile("c:\\morahu\\morapath.moh", row.driveFile);
        EXPECT_STREQ(ReadInstallPathRecord(), row.expected) << row.what;
        EXPECT_EQ(ReadInstallPathRecord(), context.installDir) << row.what;
    }
}

TEST(ReadInstallPathRecord, KeepsADrivePathAlreadyThere) {
    TestMachine machine;
    machine.WriteFile(kWindowsRecord, "d:\\file\\");
    SetInstallDir("e:\\typed");
    EXPECT_STREQ(ReadInstallPathRecord(), "e:\\typed");
    SetInstallDir("e:");  // no backslash: not a drive path
    EXPECT_STREQ(ReadInstallPathRecord(), "d:\\file\\");
}

TEST(ReadInstallPathRecord, DriveCopyIsReadOnEveryVersion) {
    TestMachine machine(SimSetup::WindowsXP());
    machine.WriteFile("c:\\morahu\\morapath.moh", "f:\\drive\\");
    EXPECT_STREQ(ReadInstallPathRecord(), "f:\\drive\\");
}

// Whatever the sources hold, the field is never overrun and always terminated.
TEST(ReadInstallPathRecord, BoundedByTheField) {
    const std::string longText = "c:\\" + std::string(297, 'x');
    {
        TestMachine machine;
        machine.WriteFile(kWindowsRecord, longText);
        std::memset(context.installDir, 0, sizeof context.installDir);
        EXPECT_EQ(std::string(ReadInstallPathRecord()), longText.substr(0, kPathFieldSize - 1)) << "record file cut";
    }
    {
        TestMachine machine;
        SetInstallDir(("d:\\" + std::string(kPathFieldSize - 5, 'v') + "\\").c_str());  // 199 characters
        WriteInstallPathRecord();
        machine.WriteFile(kWindowsRecord, "");
        DeleteFileA("c:\\morahu\\morapath.moh");  // only the registry holds it now
        std::memset(context.installDir, 0, sizeof context.installDir);
        EXPECT_EQ(std::string(ReadInstallPathRecord()), "d:\\" + std::string(kPathFieldSize - 5, 'v') + "\\")
            << "the longest directory the record takes comes back from the registry";
    }
    {
        TestMachine machine;
        machine.SetString(HKEY_LOCAL_MACHINE, kMorawb, "path", std::string(kPathFieldSize, 'v'));
        machine.WriteFile("c:\\morahu\\morapath.moh", "f:\\a\\");
        EXPECT_STREQ(ReadInstallPathRecord(), "f:\\a\\") << "a value longer than the field is passed over whole";
    }
}

TEST(ReadInstallPathRecord, NoFixedDriveMeansNoDriveCopy) {
    TestMachine machine;
    machine.SetDrive('c', DRIVE_REMOVABLE);
    machine.WriteFile("c:\\morapath.moh", "x:\\planted\\");  // what a bare file name would find
    EXPECT_STREQ(ReadInstallPathRecord(), "c:\\morahu2\\");
}

TEST(WriteInstallPathRecord, EveryPlaceWithTheBackslash) {
    struct Row {
        const char* what;
        SimSetup setup;
        std::vector<std::pair<char, UINT>> drives;
        const char* driveCopy;  // nullptr: none
    } rows[] = {
        {"Windows 7, only c: fixed", SimSetup::Windows7(), {}, "c:\\morahu\\morapath.moh"},
        {"Windows 7, g: removable, e: and d: fixed", SimSetup::Windows7(),
         {{'g', DRIVE_REMOVABLE}, {'e', DRIVE_FIXED}, {'d', DRIVE_FIXED}}, "e:\\morahu\\morapath.moh"},
        {"Windows 7, d: to g: not fixed disks", SimSetup::Windows7(false),
         {{'g', DRIVE_CDROM}, {'f', DRIVE_REMOTE}, {'e', DRIVE_REMOVABLE}, {'d', DRIVE_CDROM}},
         "c:\\morahu\\morapath.moh"},
        {"Windows XP writes no drive copy", SimSetup::WindowsXP(), {}, nullptr},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        for (auto drive : row.drives) machine.SetDrive(drive.first, drive.second);
        IsWow64Windows();
        SetInstallDir("d:\\ime");
        WriteInstallPathRecord();
        EXPECT_STREQ(context.installDir, "d:\\ime\\") << row.what;
        EXPECT_EQ(machine.ReadFile(kWindowsRecord), "d:\\ime\\") << row.what;
        EXPECT_EQ(RecordValue(machine), "d:\\ime\\") << row.what;
        for (const char* copy : {"c:\\morahu\\morapath.moh", "d:\\morahu\\morapath.moh", "e:\\morahu\\morapath.moh"}) {
            if (row.driveCopy && std::string(copy) == row.driveCopy)
                EXPECT_EQ(machine.ReadFile(copy), "d:\\ime\\") << row.what;
            else
                EXPECT_FALSE(machine.FileExists(copy)) << row.what << ": " << copy;
        }
    }
}

TEST(WriteInstallPathRecord, OverwritesAnOlderRecordAndPassesOverWhatItCannotWrite) {
    TestMachine machine;
    IsWow64Windows();
    machine.WriteFile(kWindowsRecord, "c:\\a-much-longer-older-record\\");
    machine.WriteFile("c:\\morahu\\morapath.moh", "old");
    SetInstallDir("c:\\morahu2\\");
    WriteInstallPathRecord();
    EXPECT_EQ(machine.ReadFile(kWindowsRecord), "c:\\morahu2\\") << "truncated, no terminator, no line end";
    EXPECT_EQ(machine.ReadFile("c:\\morahu\\morapath.moh"), "c:\\morahu2\\");

    machine.SetAttributes(kWindowsRecord, FILE_ATTRIBUTE_READONLY);
    machine.SetKeyAccess(HKEY_LOCAL_MACHINE, "Software", SimKeyAccess::ReadOnly);
    SetInstallDir("d:\\new\\");
    WriteInstallPathRecord();
    EXPECT_EQ(machine.ReadFile(kWindowsRecord), "c:\\morahu2\\");
    EXPECT_EQ(RecordValue(machine), "c:\\morahu2\\");
    EXPECT_EQ(machine.ReadFile("c:\\morahu\\morapath.moh"), "d:\\new\\") << "the other places still written";
}

TEST(WriteInstallPathRecord, NeverRecordsADirectoryWithoutItsBackslash) {
    TestMachine machine;
    const std::string full = "d:\\" + std::string(kPathFieldSize - 4, 'x');  // 199 characters
    SetInstallDir(full.c_str());
    WriteInstallPathRecord();
    EXPECT_EQ(std::string(context.installDir), full);
    EXPECT_FALSE(machine.FileExists(kWindowsRecord));
    EXPECT_EQ(RecordValue(machine), "<none>");

    SetInstallDir("");
    WriteInstallPathRecord();
    EXPECT_FALSE(machine.FileExists(kWindowsRecord)) << "an empty directory is not recorded as \"\\\"";
}

TEST(FindFixedDriveFolder, FirstFixedDriveFromGDownToC) {
    struct Row {
        std::vector<std::pair<char, UINT>> drives;
        int found;
        const char* folder;
    } rows[] = {
        {{}, 1, "c:\\morahu\\"},
        {{{'g', DRIVE_FIXED}, {'d', DRIVE_FIXED}}, 1, "g:\\morahu\\"},
        {{{'g', DRIVE_RAMDISK}, {'f', DRIVE_FIXED}}, 1, "f:\\morahu\\"},
        {{{'h', DRIVE_FIXED}, {'c', DRIVE_REMOVABLE}}, 0, ""},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        for (auto drive : row.drives) machine.SetDrive(drive.first, drive.second);
        char folder[16];
        EXPECT_EQ(FindFixedDriveFolder(folder, sizeof folder), row.found) << row.folder;
        EXPECT_STREQ(folder, row.folder);
    }
}

TEST(WriteUninstallEntry, WideNameAndUninstaller) {
    TestMachine machine;
    WriteUninstallEntry();
    const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\moraqwb";
    std::optional<SimValue> name = machine.Value(HKEY_LOCAL_MACHINE, kEntry, "DisplayName");
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->type, DWORD(REG_SZ));
    EXPECT_EQ(name->bytes.size(), 10u) << "four characters and the terminator behind the count";
    EXPECT_EQ(machine.WideString(HKEY_LOCAL_MACHINE, kEntry, "DisplayName"), std::u16string(u"墨川五笔"));
    EXPECT_EQ(machine.WideString(HKEY_LOCAL_MACHINE, kEntry, "UninstallString"),
              std::u16string(u"C:\\windows\\system32\\moradel.exe"));
}

TEST(WriteUninstallEntry, NothingWhenTheKeyCannotBeOpened) {
    TestMachine machine;
    machine.SetKeyAccess(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                         SimKeyAccess::None);
    WriteUninstallEntry();
    machine.SetKeyAccess(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                         SimKeyAccess::Full);
    EXPECT_FALSE(machine.KeyExists(HKEY_LOCAL_MACHINE,
                                   "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\moraqwb"));
}

TEST(WriteAutorunEntry, ReplacesTheValue) {
    TestMachine machine;
    const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    machine.SetString(HKEY_LOCAL_MACHINE, kRun, "momcsjgl", "c:\\old place\\moraqovi.exe mo");
    WriteAutorunEntry("d:\\my ime\\moraqovi.exe mo");
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, kRun, "momcsjgl"), "d:\\my ime\\moraqovi.exe mo");
    EXPECT_EQ(machine.Value(HKEY_LOCAL_MACHINE, kRun, "momcsjgl")->bytes.size(), 2 * 26u)
        << "25 characters, and the terminator behind the count";
}

TEST(WriteUserAgentMarker, OnlyThisVersionsMarkerStays) {
    TestMachine machine;
    const char kPost[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform";
    const char* earlier[] = {"qovi6300", "qovi6400", "qovi6500", "qovi6600", "qovi6700", "qovi6800", "qovi7000",
                             "qovi7100", "qovi7200", "qovi7300", "qovi7400", "qovi7500", "qovi7600", "qovi7700",
                             "qovi7800"};
    for (const char* name : earlier) machine.SetString(HKEY_LOCAL_MACHINE, kPost, name, "");
    machine.SetString(HKEY_LOCAL_MACHINE, kPost, "qovi6200", "");
    machine.SetString(HKEY_LOCAL_MACHINE, kPost, "SV1", "");
    WriteUserAgentMarker();
    EXPECT_EQ(machine.ValueNames(HKEY_LOCAL_MACHINE, kPost), (std::vector<std::string>{"qovi6200", "qovi7400", "SV1"}));
    std::optional<SimValue> marker = machine.Value(HKEY_LOCAL_MACHINE, kPost, "qovi7400");
    EXPECT_EQ(marker->type, DWORD(REG_SZ));
    EXPECT_EQ(marker->bytes.size(), 0u);
}

TEST(LowerInstallDirIntegrity, IcaclsByFullPathOnTheDirectory) {
    struct Row {
        const char* dir;
        const char* command;
    } rows[] = {
        {"c:\\morahu2\\", "\"C:\\windows\\system32\\icacls.exe\" \"c:\\morahu2\" /SetIntegrityLevel Level: L"},
        {"d:\\my ime", "\"C:\\windows\\system32\\icacls.exe\" \"d:\\my ime\" /SetIntegrityLevel Level: L"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        SetInstallDir(row.dir);
        LowerInstallDirIntegrity();
        ASSERT_EQ(machine.StartedProcesses().size(), 1u) << row.dir;
        EXPECT_EQ(machine.StartedProcesses()[0].commandLine, row.command);
        EXPECT_EQ(machine.StartedProcesses()[0].show, UINT(SW_SHOW));
        EXPECT_STREQ(context.installDir, row.dir) << "the context keeps its backslash";
    }
}

TEST(LowerInstallDirIntegrity, The64BitToolOn64BitWindows) {
    for (bool is64 : {false, true}) {
        TestMachine machine(SimSetup::Windows7(is64));
        SetInstallDir("c:\\morahu2\\");
        LowerInstallDirIntegrity();
        ASSERT_EQ(machine.StartedProcesses().size(), 1u) << is64;
        EXPECT_EQ(machine.StartedProcesses()[0].redirectionOff, is64) << "started past syswow64 only on 64-bit Windows";
        EXPECT_FALSE(machine.RedirectionOff()) << "turned back after the start";
    }
}

TEST(LowerInstallDirIntegrity, OncePerDirectoryAndRun) {
    TestMachine machine;
    SetInstallDir("c:\\morahu2\\");
    LowerInstallDirIntegrity();
    LowerInstallDirIntegrity();
    EXPECT_EQ(machine.StartedProcesses().size(), 1u) << "the second start would change nothing";
    SetInstallDir("d:\\ime\\");
    LowerInstallDirIntegrity();
    ASSERT_EQ(machine.StartedProcesses().size(), 2u) << "another directory";
    EXPECT_NE(machine.StartedProcesses()[1].commandLine.find("\"d:\\ime\""), std::string::npos);
}
