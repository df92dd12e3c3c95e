#include "archive/user_data.h"

#include "archive/moz_format.h"
#include "unit/deploy_fixture.h"

#include <string>
#include <vector>

namespace {

const char kDir[] = "c:\\morahu2\\";
const char kBackup[] = "c:\\morahu2\\moraback.moz";

const std::vector<std::string> kCopyFirst = {"moracyzk.moh", "cfontset.moh", "cwbzlcz1.moh", "mowbcmxz.moh",
                                             "modhzcm.moh",  "moradhz.moh",  "mogbkhz.moh"};
const std::vector<std::string> kRequired = {"moszsj43.moh", "moradwdw.txt", "morazdym.moh", "mopyzdym.moh",
                                            "mowbpy.txt",   "moraynhz.txt", "morazdfh.moh"};
const std::vector<std::string> kOptional = {"userck.txt",   "delck.txt",    "ftmozdym.txt", "ftpyzdym.txt",
                                            "cwb.ov1",      "morapymb.ov1", "mogbkbh.moh",  "moszsj05.moh",
                                            "moszsj06.moh"};

std::string Bak(const std::string& moh) { return moh.substr(0, moh.size() - 3) + "bak"; }

// The user's files of an earlier installation, each with a content of its own.
void WriteUserFiles(SimMachine& machine, const std::string& dir, bool optional) {
    machine.MakeDirectory(dir);
    for (const std::string& name : kCopyFirst) machine.WriteFile(dir + name, "user " + name);
    for (const std::string& name : kRequired) machine.WriteFile(dir + name, "user " + name);
    if (optional)
        for (const std::string& name : kOptional) machine.WriteFile(dir + name, "user " + name);
}

std::string Trailer(uint32_t sum, uint32_t count) { return "MORA" + U32(sum) + U32(count); }

// A word list as the input method keeps it: its words, then the trailer over them.
std::string WordListWithTrailer() {
    const std::string words = "\xB0\xA1\xB0\xA2; ";
    uint32_t sum = 0;
    for (unsigned char c : words) sum += c;
    return words + Trailer(sum, 1);
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
