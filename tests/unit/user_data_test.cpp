#include "archive/user_data.h"

#include "archive/moz_format.h"
#include "unit/deploy_fixture.h"
#include "unit/user_files.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kDir[] = "c:\\morahu2\\";
const char kBackup[] = "c:\\morahu2\\moraback.moz";
const char kPending[] = "c:\\morahu2\\moraback.pending";

// A folder in place of the file at `path`: it can be neither read nor written.
void Block(SimMachine& machine, const std::string& path) {
    std::filesystem::remove(machine.HostPath(path));
    machine.MakeDirectory(path);
}

}  // namespace

TEST(BackupUserData, FirstInstallationLeavesAnEmptyArchive) {
    TestMachine machine;
    machine.MakeDirectory(kDir);
    EXPECT_EQ(BackupUserData(), 0);
    EXPECT_EQ(machine.ReadFile(kBackup).size(), 10u) << "the header alone";
    EXPECT_TRUE(ArchiveNames(machine.ReadFile(kBackup)).empty());
}

TEST(BackupUserData, NoDirectoryNoArchive) {
    TestMachine machine;
    EXPECT_EQ(BackupUserData(), 0);
    EXPECT_FALSE(machine.FileExists(kBackup));
}

TEST(BackupUserData, EntriesInTableOrder) {
    std::vector<std::string> required;
    for (const std::string& name : kCopyFirst) required.push_back(Bak(name));
    required.insert(required.end(), kRequired.begin(), kRequired.end());
    std::vector<std::string> all = required;
    all.insert(all.end(), kOptional.begin(), kOptional.end());
    for (bool optional : {false, true}) {
        TestMachine machine;
        WriteUserFiles(machine, kDir, optional);
        machine.WriteFile(kBackup, "an archive of an earlier run");
        EXPECT_EQ(BackupUserData(), 1) << optional;
        std::string archive = machine.ReadFile(kBackup);
        EXPECT_EQ(ArchiveNames(archive), optional ? all : required);
        for (const std::string& name : kCopyFirst)
            EXPECT_EQ(machine.ReadFile(kDir + Bak(name)), "user " + name) << "the .bak copy stays";
    }
}

TEST(BackupUserData, OldBakWithoutItsMohIsPackedAsItIs) {
    TestMachine machine;
    WriteUserFiles(machine, kDir, false);
    DeleteFileA("c:\\morahu2\\moracyzk.moh");
    machine.WriteFile("c:\\morahu2\\moracyzk.bak", "an old word list");
    EXPECT_EQ(BackupUserData(), 1);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moracyzk.bak"), "an old word list");
}

TEST(BackupUserData, StopsAtAMissingRequiredFile) {
    for (const std::string& missing : {std::string("cfontset.moh"), std::string("morazdfh.moh")}) {
        TestMachine machine;
        WriteUserFiles(machine, kDir, true);
        DeleteFileA((kDir + missing).c_str());
        EXPECT_EQ(BackupUserData(), 0) << missing;
        std::vector<std::string> names = ArchiveNames(machine.ReadFile(kBackup));
        EXPECT_EQ(names.size(), missing == "cfontset.moh" ? 1u : 13u) << missing << ": what went in before it";
    }
}

TEST(BackupUserData, InTheRecordedDirectory) {
    TestMachine machine;
    machine.SetDrive('d', DRIVE_FIXED);
    machine.WriteFile("c:\\windows\\morapath.moh", "d:\\ime\\");
    WriteUserFiles(machine, "d:\\ime\\", false);
    EXPECT_EQ(BackupUserData(), 1);
    EXPECT_STREQ(context.installDir, "d:\\ime\\");
    EXPECT_TRUE(machine.FileExists("d:\\ime\\moraback.moz"));
}

TEST(RestoreUserData, BringsBackTheUserFiles) {
    struct Row {
        const char* what;
        std::string wordList;
        std::vector<std::string> messages;
        bool byteForByte;
    } rows[] = {
        {"a word list with its trailer: byte for byte", WordListWithTrailer(),
         {"成功恢复了14个原有数据文件！"}, true},
        {"a word list without a trailer: normalised, so it no longer matches", "\xB0\xA1\xB0\xA2; ",
         {"moracyzk.bak....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n原有数据文件没有成功复制，原有数据不能使用！\r\n"}, false},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        WriteUserFiles(machine, kDir, false);
        machine.WriteFile("c:\\morahu2\\moracyzk.moh", row.wordList);
        ASSERT_EQ(BackupUserData(), 1);
        // The installation puts the payload's copies in their place.
        for (const std::string& name : kRequired) machine.WriteFile(kDir + name, "payload " + name);
        machine.WriteFile("c:\\morahu2\\moracyzk.bak", "payload word list");
        ObtainScratch();
        RestoreUserData();
        EXPECT_EQ(BoxTexts(machine), row.messages) << row.what;
        for (const std::string& name : kRequired) EXPECT_EQ(machine.ReadFile(kDir + name), "user " + name) << row.what;
        std::string wordList = machine.ReadFile("c:\\morahu2\\moracyzk.bak");
        EXPECT_EQ(wordList.substr(0, 6), "\xB0\xA1\xB0\xA2; ") << row.what;
        if (row.byteForByte) {
            EXPECT_EQ(wordList, row.wordList) << row.what;
        }
        EXPECT_EQ(machine.LiveGlobalBlocks(), 1u) << row.what << ": only the scratch buffer is left";
    }
}

TEST(RestoreUserData, NothingToRestoreNothingSaid) {
    struct Row {
        const char* what;
        bool shortArchive;  // false: no archive at all
    } rows[] = {
        {"another install directory: no archive there", false},
        {"an archive shorter than 100 bytes", true},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        machine.MakeDirectory(kDir);
        if (row.shortArchive) machine.WriteFile(kBackup, MakeArchive({{"mowbpy.txt", "x", ""}}));
        machine.WriteFile("c:\\morahu2\\mowbpy.txt", "payload");
        ObtainScratch();
        RestoreUserData();
        EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
        EXPECT_EQ(machine.ReadFile("c:\\morahu2\\mowbpy.txt"), "payload") << row.what;
    }
}

TEST(ExtractSkinArchive, UnpacksIntoTheInstallDirectory) {
    const std::string skin = MakeArchive({{"skin1.bmp", "first", ""}, {"skin2.bmp", "second", ""}}, '1');
    for (int state : {BackupNone, BackupMade, BackupKeep}) {
        TestMachine machine;
        SetInstallDir(kDir);
        machine.MakeDirectory(kDir);
        machine.WriteFile("c:\\skins\\s.moz", skin);
        ObtainScratch();
        context.backupState = state;
        ExtractSkinArchive("c:\\skins\\s.moz");
        EXPECT_EQ(machine.FileExists("c:\\morahu2\\skin1.bmp"), state != BackupKeep) << state;
        EXPECT_EQ(machine.ReadFile("c:\\morahu2\\skin2.bmp"), state != BackupKeep ? "second" : "") << state;
    }
}

TEST(ExtractSkinArchive, CutAt131072Bytes) {
    // Incompressible content, so that the second entry lies past the cut.
    std::string noise(100000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    TestMachine machine;
    SetInstallDir(kDir);
    machine.MakeDirectory(kDir);
    machine.WriteFile("c:\\s.moz", MakeArchive({{"a.bmp", noise, ""}, {"b.bmp", noise + "b", ""}}, '1'));
    ObtainScratch();
    ExtractSkinArchive("c:\\s.moz");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\a.bmp"), noise);
    EXPECT_FALSE(machine.FileExists("c:\\morahu2\\b.bmp"));
    ExtractSkinArchive("c:\\missing.moz");  // passed over in silence
}

TEST(BackupUserData, ReadOnlyLeftoversDoNotStopIt) {
    TestMachine machine;
    WriteUserFiles(machine, kDir, false);
    machine.WriteFile(kBackup, "an archive of an earlier run");
    machine.SetAttributes(kBackup, FILE_ATTRIBUTE_READONLY);
    machine.WriteFile("c:\\morahu2\\moracyzk.bak", "a stale copy");
    machine.SetAttributes("c:\\morahu2\\moracyzk.bak", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(BackupUserData(), 1);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moracyzk.bak"), "user moracyzk.moh") << "the copy of the current list";
}

TEST(BackupUserData, APendingBackupIsKept) {
    enum Archive { Earlier, HeaderOnly, Missing };
    struct Row {
        const char* what;
        bool marker;
        Archive archive;
        bool kept;
    } rows[] = {
        {"marked pending: the payload's copies are not packed over it", true, Earlier, true},
        {"no marker: rebuilt", false, Earlier, false},
        {"a marker without a usable archive is dropped", true, HeaderOnly, false},
        {"a marker without any archive is dropped", true, Missing, false},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        WriteUserFiles(machine, kDir, false);
        const std::string archive = row.archive == Earlier
                                        ? MakeArchive({{"moradwdw.txt", "the words of an earlier run", ""}})
                                        : row.archive == HeaderOnly ? MakeArchive({}) : "";
        if (row.archive != Missing) machine.WriteFile(kBackup, archive);
        if (row.marker) machine.WriteFile(kPending, "");
        EXPECT_EQ(BackupUserData(), 1) << row.what;
        EXPECT_EQ(machine.ReadFile(kBackup) == archive, row.kept) << row.what;
        EXPECT_EQ(machine.FileExists(kPending), row.kept) << row.what;
        EXPECT_EQ(machine.FileExists("c:\\morahu2\\moracyzk.bak"), !row.kept) << row.what << ": the copies made";
    }
}

TEST(BackupUserData, AUserFileThatCannotBePackedMakesItUnsafe) {
    struct Row {
        const char* what;
        bool userFiles;
        const char* folder;  // made where a file was, so that it cannot be written or read
        int result;
        int unsafe;
    } rows[] = {
        {"the archive cannot be written", true, "c:\\morahu2\\moraback.moz", 0, 1},
        {"a required file cannot be read", true, "c:\\morahu2\\mowbpy.txt", 0, 1},
        {"a copy-first file cannot be copied", true, "c:\\morahu2\\moradhz.bak", 0, 1},
        {"an optional file cannot be read", true, "c:\\morahu2\\userck.txt", 1, 1},
        {"first installation: nothing to lose", false, nullptr, 0, 0},
        {"all packed", true, nullptr, 1, 0},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        machine.MakeDirectory(kDir);
        if (row.userFiles) WriteUserFiles(machine, kDir, false);
        if (row.folder != nullptr) Block(machine, row.folder);
        EXPECT_EQ(BackupUserData(), row.result) << row.what;
        EXPECT_EQ(context.backupUnsafe, row.unsafe) << row.what;
    }
}

TEST(RestoreUserData, ThePendingMarkGoesOnlyWithEveryFileBack) {
    const std::string words(120, 'w');
    for (bool complete : {true, false}) {
        TestMachine machine;
        machine.MakeDirectory(kDir);
        SetInstallDir(kDir);
        const std::string digest = complete ? "" : std::string(32, 'A');  // a damaged entry cannot be written
        machine.WriteFile(kBackup, MakeArchive({{"mowbpy.txt", words, ""}, {"moradwdw.txt", words, digest}}));
        MarkBackupPending();
        ASSERT_TRUE(machine.FileExists(kPending));
        ObtainScratch();
        RestoreUserData();
        EXPECT_EQ(machine.FileExists(kPending), !complete) << complete;
    }
}
