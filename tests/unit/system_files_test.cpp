#include "deploy/system_files.h"

#include "base/shared_ops.h"
#include "deploy/system_copy.h"
#include "unit/deploy_fixture.h"

#include <string>
#include <vector>

namespace {

const char kDir[] = "c:\\morahu2\\";
const char kSys[] = "c:\\windows\\system32\\";
const char kWow[] = "c:\\windows\\syswow64\\";
const char kCopyCaption[] = "智能墨川(墨川五笔)安装";

std::string Installed(const SimMachine& machine, const std::string& name) {
    return machine.ReadFile(std::string(kDir) + name);
}

std::string CopyFailure(const std::string& path) {
    return "没有成功复制" + path + "文件，请退出安装程序并手动删除该文件后重新安装！";
}

// A machine with the test payload mapped, ready for the passes.
void Prepare(SimMachine& machine) {
    MapTestPayload(machine, MakeArchive(DeployEntries()));
    IsWow64Windows();
}

struct Expected {
    std::string path;
    std::string content;  // empty: the file must not exist
};

void ExpectFiles(const SimMachine& machine, const std::vector<Expected>& files, const std::string& what) {
    for (const Expected& e : files) {
        if (e.content.empty())
            EXPECT_FALSE(machine.FileExists(e.path)) << what << ": " << e.path;
        else
            EXPECT_EQ(machine.ReadFile(e.path), e.content) << what << ": " << e.path;
    }
}

}  // namespace

TEST(DeploySystemFiles, EveryRowOfTheCopyTable) {
    const std::string m320 = Module("mora320.ime", "7.4"), m321 = Module("mora321.ime", "7.4");
    const std::string m640 = Module("mora640.ime", "7.4"), m641 = Module("mora641.ime", "7.4");
    const std::string full32 = Module("morahu4.ime", "7.4"), full64 = Module("morahu64.ime", "7.4");
    const std::string sys = kSys, wow = kWow;
    struct Row {
        const char* what;
        SimSetup setup;
        std::vector<Expected> afterPass0;
        std::vector<Expected> afterPass1;
        bool swapped;
    } rows[] = {
        {"64-bit Windows 7", SimSetup::Windows7(true),
         {{wow + "morahu4.ime", m320}, {sys + "morahu4.ime", m640}, {sys + "moradel.exe", "moqdel64.exe program"},
          {wow + "moradel.exe", ""}},
         {{wow + "morahu4.ime", full32}, {sys + "morahu4.ime", full64}, {sys + "moradel.exe", "moqdel64.exe program"}},
         true},
        {"64-bit Windows 7, code page 950", SimSetup::Windows7(true).WithCodePage(950),
         {{wow + "morahu4.ime", m321}, {sys + "morahu4.ime", m641}},
         {{wow + "morahu4.ime", full32}, {sys + "morahu4.ime", full64}}, true},
        {"32-bit Windows 7", SimSetup::Windows7(false),
         {{sys + "morahu4.ime", m320}, {sys + "moradel.exe", "moradel.exe program"}},
         {{sys + "morahu4.ime", full32}, {sys + "moradel.exe", "moradel.exe program"}}, true},
        {"32-bit Windows 7, code page 950", SimSetup::Windows7(false).WithCodePage(950),
         {{sys + "morahu4.ime", m321}}, {{sys + "morahu4.ime", full32}}, true},
        {"Windows XP", SimSetup::WindowsXP(), {{sys + "morahu4.ime", m320}, {sys + "moradel.exe", "moradel.exe program"}},
         {{sys + "morahu4.ime", full32}}, false},
        {"64-bit Windows XP: a 32-bit system to the installer, whose system directory is syswow64",
         SimSetup::WindowsXP(true), {{wow + "morahu4.ime", m320}, {sys + "morahu4.ime", ""}},
         {{wow + "morahu4.ime", full32}, {sys + "morahu4.ime", ""}}, false},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        Prepare(machine);
        DeploySystemFiles(0);
        ExpectFiles(machine, row.afterPass0, std::string(row.what) + ", pass 0");
        EXPECT_EQ(Installed(machine, "moraqovi.exe"), row.swapped ? "moraqov6.exe program" : "moraqovi.exe program")
            << row.what;
        EXPECT_EQ(machine.FileExists(std::string(kDir) + "moraqov6.exe"), !row.swapped) << row.what;
        EXPECT_EQ(Installed(machine, "setupw64.exe"), Module("setupw64.exe", "7.4")) << row.what;
        EXPECT_TRUE(machine.FileExists(std::string(kDir) + "mora320.ime")) << row.what << ": kept until pass 1";

        DeploySystemFiles(1);
        ExpectFiles(machine, row.afterPass1, std::string(row.what) + ", pass 1");
        for (const char* name : {"mora320.ime", "mora321.ime", "mora640.ime", "mora641.ime"})
            EXPECT_FALSE(machine.FileExists(std::string(kDir) + name)) << row.what << ": " << name;
        EXPECT_EQ(Installed(machine, "morahu32.ime"), full32) << row.what;
        EXPECT_EQ(Installed(machine, "moracyzk.mou"), Installed(machine, "moracyzk.bak")) << row.what;
        EXPECT_EQ(Installed(machine, "morapyck.mou"), Installed(machine, "morapyck.bak")) << row.what;
        EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
    }
}

TEST(DeploySystemFiles, CompanionStaysWhenItsVariantIsMissing) {
    std::vector<FixtureEntry> entries;
    for (const FixtureEntry& e : DeployEntries())
        if (e.name != "moraqov6.exe") entries.push_back(e);
    TestMachine machine(SimSetup::Windows7(false));
    MapTestPayload(machine, MakeArchive(entries));
    IsWow64Windows();
    DeploySystemFiles(0);
    EXPECT_EQ(Installed(machine, "moraqovi.exe"), "moraqovi.exe program");
}

TEST(DeploySystemFiles, Reaches64BitSystemDirectoryOnlyWithRedirectionOff) {
    TestMachine machine(SimSetup::Windows7(true));
    Prepare(machine);
    DeploySystemFiles(0);
    DeploySystemFiles(1);
    EXPECT_EQ(machine.CopiesWithoutRedirection(),
              (std::vector<std::string>{"c:\\windows\\system32\\morahu4.ime", "c:\\windows\\system32\\moradel.exe",
                                        "c:\\windows\\system32\\morahu4.ime"}));
    EXPECT_FALSE(machine.RedirectionOff()) << "turned back after each copy";
}

TEST(DeploySystemFiles, SystemModuleInTheWay) {
    struct Row {
        const char* what;
        SimSetup setup;
        std::string module;  // the system folder's morahu4.ime that is held
        SimLock lock;
        DWORD attributes;
        std::vector<std::string> messages;
        std::string aside;  // where the old module went, or empty
    } rows[] = {
        {"held but movable: moved aside, copied on the second try", SimSetup::Windows7(false),
         std::string(kSys) + "morahu4.ime", SimLock::Renamable, FILE_ATTRIBUTE_ARCHIVE, {},
         std::string(kSys) + "morahu2.ime"},
        {"held in syswow64 of 64-bit Windows", SimSetup::Windows7(true), std::string(kWow) + "morahu4.ime",
         SimLock::Renamable, FILE_ATTRIBUTE_ARCHIVE, {}, std::string(kWow) + "morahu2.ime"},
        {"held in the 64-bit system directory", SimSetup::Windows7(true), std::string(kSys) + "morahu4.ime",
         SimLock::Renamable, FILE_ATTRIBUTE_ARCHIVE, {}, std::string(kSys) + "morahu2.ime"},
        {"neither deletable nor movable: the message names it", SimSetup::Windows7(false),
         std::string(kSys) + "morahu4.ime", SimLock::Pinned, FILE_ATTRIBUTE_ARCHIVE,
         {CopyFailure("C:\\windows\\system32\\morahu4.ime")}, ""},
        {"read-only, hidden and system: reset and overwritten", SimSetup::WindowsXP(),
         std::string(kSys) + "morahu4.ime", SimLock::Renamable, 0, {}, ""},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        Prepare(machine);
        machine.WriteFile(row.module, "old module");
        if (row.attributes == 0)
            machine.SetAttributes(row.module, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        else
            machine.LockFile(row.module, row.lock);
        DeploySystemFiles(0);
        std::vector<std::string> messages;
        for (const SimMessageBox& box : machine.MessageBoxes()) {
            messages.push_back(box.text);
            EXPECT_EQ(box.caption, kCopyCaption) << row.what;
        }
        EXPECT_EQ(messages, row.messages) << row.what;
        if (row.messages.empty()) {
            EXPECT_EQ(machine.ReadFile(row.module).substr(0, 4), "mora") << row.what << ": the new module";
        }
        if (!row.aside.empty()) {
            EXPECT_EQ(machine.ReadFile(row.aside), "old module") << row.what;
        }
        EXPECT_TRUE(machine.FileExists(std::string(kSys) + "moradel.exe")) << row.what << ": the pass goes on";
    }
}

TEST(DeploySystemFiles, UninstallerIsCopiedOnceWithoutMovingAside) {
    TestMachine machine(SimSetup::Windows7(false));
    Prepare(machine);
    machine.WriteFile(std::string(kSys) + "moradel.exe", "old uninstaller");
    machine.LockFile(std::string(kSys) + "moradel.exe", SimLock::Renamable);
    DeploySystemFiles(0);
    ASSERT_EQ(machine.MessageBoxes().size(), 1u);
    EXPECT_EQ(machine.MessageBoxes()[0].text, CopyFailure("C:\\windows\\system32\\moradel.exe"));
    EXPECT_EQ(machine.ReadFile(std::string(kSys) + "moradel.exe"), "old uninstaller");
    EXPECT_FALSE(machine.FileExists(std::string(kSys) + "moradel.ex2"));
    EXPECT_FALSE(machine.FileExists(std::string(kSys) + "moradel.ex1"));
}

TEST(DeploySystemFiles, QuestionAboutOldDataOnlyAfterCompleteExtraction) {
    const char kQuestion[] = "检测到安装目录下有智能墨川以前的词组等数据文件，是否保留？";
    const std::string incomplete =
        "文件解压不完整，请到智能墨川网站" + std::string(kHomePage) + "重新下载安装。";
    std::vector<FixtureEntry> broken = DeployEntries();
    broken.push_back({"bad.txt", "content", std::string(32, 'A')});
    struct Row {
        const char* what;
        int pass;
        int backup;
        bool complete;
        int answer;
        std::vector<std::string> texts;
        int backupAfter;
        bool pending;  // the backup stays marked as the one copy of the user's files
    } rows[] = {
        {"a backup made, Yes: kept", 0, BackupMade, true, IDYES, {kQuestion}, BackupKeep, true},
        {"a backup made, No", 0, BackupMade, true, IDNO, {kQuestion}, BackupMade, false},
        {"no backup: no question", 0, BackupNone, true, IDYES, {}, BackupNone, false},
        {"extraction incomplete: no question", 0, BackupMade, false, IDYES,
         {"没有成功解压复制bad.txt文件！请重新下载安装。", incomplete}, BackupMade, true},
        {"pass 1 extracts nothing and asks nothing", 1, BackupMade, true, IDYES, {}, BackupMade, false},
    };
    for (const Row& row : rows) {
        TestMachine machine(SimSetup::Windows7(false));
        MapTestPayload(machine, MakeArchive(row.complete ? DeployEntries() : broken));
        IsWow64Windows();
        if (row.pass == 1) DeploySystemFiles(0);  // no backup yet: no question
        context.backupState = row.backup;
        machine.AnswerMessageBoxes({row.answer});
        DeploySystemFiles(row.pass);
        std::vector<std::string> texts;
        for (const SimMessageBox& box : machine.MessageBoxes()) texts.push_back(box.text);
        EXPECT_EQ(texts, row.texts) << row.what;
        EXPECT_EQ(context.backupState, row.backupAfter) << row.what;
        EXPECT_EQ(machine.FileExists(std::string(kDir) + "moraback.pending"), row.pending) << row.what;
        if (!machine.MessageBoxes().empty() && row.complete) {
            EXPECT_TRUE(machine.MessageBoxes()[0].wide) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].type, UINT(MB_YESNO)) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川安装") << row.what;
        }
    }
}

TEST(DeploySystemFiles, Pass1LeavesThePayloadTheCompanionAndTheUninstallEntryAlone) {
    TestMachine machine(SimSetup::Windows7(true));
    Prepare(machine);
    DeploySystemFiles(0);
    // What pass 0 made, changed so that any touch of pass 1 would show.
    machine.WriteFile(std::string(kDir) + "moraqov6.exe", "variant");
    machine.WriteFile(std::string(kDir) + "moraqovi.exe", "companion");
    machine.WriteFile(std::string(kDir) + "setupw64.exe", VersionText("6.7"));
    machine.WriteFile(std::string(kDir) + "bad.txt", "not in the payload");
    machine.WriteFile(std::string(kSys) + "moradel.exe", "uninstaller");
    const std::string entry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\moraqwb";
    ASSERT_TRUE(machine.KeyExists(HKEY_LOCAL_MACHINE, entry)) << "pass 0 writes it";
    machine.SetString(HKEY_LOCAL_MACHINE, entry, "DisplayName", "changed");
    DeploySystemFiles(1);
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, entry, "DisplayName"), "changed");
    EXPECT_EQ(Installed(machine, "moraqov6.exe"), "variant");
    EXPECT_EQ(Installed(machine, "moraqovi.exe"), "companion");
    EXPECT_EQ(Installed(machine, "setupw64.exe"), VersionText("6.7"));
    EXPECT_EQ(Installed(machine, "bad.txt"), "not in the payload");
    EXPECT_EQ(machine.ReadFile(std::string(kSys) + "moradel.exe"), "uninstaller");
}

TEST(DeploySystemFiles, PausesForTheWindowAndLowersTheIntegrityFromWindows6On) {
    struct Row {
        SimSetup setup;
        RunMode mode;
        unsigned slept;
        size_t icacls;
    } rows[] = {
        {SimSetup::Windows7(false), Interactive, 100, 1},
        {SimSetup::WindowsXP(), Interactive, 100, 0},
        {SimSetup::Windows7(true), SilentReinstall, 0, 1},  // no window to show
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        Prepare(machine);
        context.runMode = row.mode;
        DeploySystemFiles(1);
        EXPECT_EQ(machine.SleptMilliseconds(), row.slept) << row.setup.major << " " << row.mode;
        size_t icacls = 0;
        for (const SimProcessStart& start : machine.StartedProcesses())
            icacls += start.commandLine.find("icacls.exe") != std::string::npos;
        EXPECT_EQ(icacls, row.icacls) << row.setup.major;
    }
}

TEST(PatchVersionBytes, EveryDescriptionFollowedByAnOldVersion) {
    const std::string desc = VersionText("").substr(0, 16);
    struct Row {
        const char* what;
        std::string before;
        std::string after;
        int patched;
    } rows[] = {
        {"6.3", "ab" + VersionText("6.3") + "cd", "ab" + VersionText("7.4") + "cd", 1},
        {"6.3 twice", VersionText("6.3") + "x" + VersionText("6.3"), VersionText("7.4") + "x" + VersionText("7.4"), 2},
        {"6.7, the companion's", VersionText("6.7"), VersionText("7.4"), 1},
        {"6.5 stays", VersionText("6.5"), VersionText("6.5"), 0},
        {"no space after the description", VersionText("6.3").substr(0, 16) + std::string("6\0.\0003\0", 6),
         VersionText("6.3").substr(0, 16) + std::string("6\0.\0003\0", 6), 0},
        {"the version's last digit beyond the end", VersionText("6.3").substr(0, 16 + 8),
         VersionText("6.3").substr(0, 16 + 8), 0},
        {"the version's last digit is the last byte", VersionText("6.3").substr(0, 16 + 9),
         VersionText("7.4").substr(0, 16 + 9), 1},
        {"the high bytes are not looked at", desc + std::string(" \x01\x02\x03" "6\x05.\x07" "3\x09", 10),
         desc + std::string(" \x01\x02\x03" "7\x05.\x07" "4\x09", 10), 1},
        {"nothing to patch", "plain bytes", "plain bytes", 0},
        {"empty", "", "", 0},
    };
    for (const Row& row : rows) {
        std::string bytes = row.before;
        EXPECT_EQ(PatchVersionBytes(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size()), row.patched) << row.what;
        EXPECT_EQ(bytes, row.after) << row.what;
    }
}

TEST(PatchVersionText, RewritesTheFileInPlaceAndNeverCutsItShort) {
    const std::string module = "MZ" + VersionText("6.3");
    const std::string atLimit = module + std::string(131072 - module.size(), 'x');
    const std::string beyond = atLimit + "y";
    struct Row {
        const char* what;
        std::string before;
        std::string after;
    } rows[] = {
        {"a module", module, "MZ" + VersionText("7.4")},
        {"exactly 131,072 bytes", atLimit, "MZ" + VersionText("7.4") + std::string(131072 - module.size(), 'x')},
        {"one byte more: left whole", beyond, beyond},
        {"nothing to patch: the same bytes", "plain", "plain"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        ObtainScratch();
        machine.WriteFile("c:\\m.ime", row.before);
        PatchVersionText("c:\\m.ime");
        EXPECT_EQ(machine.ReadFile("c:\\m.ime"), row.after) << row.what;
    }
}

TEST(PatchVersionText, NothingWithoutScratchOrFile) {
    TestMachine machine;
    machine.WriteFile("c:\\m.ime", VersionText("6.3"));
    PatchVersionText("c:\\m.ime");
    EXPECT_EQ(machine.ReadFile("c:\\m.ime"), VersionText("6.3")) << "no scratch buffer";
    ObtainScratch();
    PatchVersionText("c:\\missing.ime");
    EXPECT_FALSE(machine.FileExists("c:\\missing.ime"));
}

TEST(CopySystemFile, ReportsWhenTheRedirectionCannotBeTurnedOff) {
    TestMachine machine(SimSetup::Windows7(false));  // 32-bit: nothing to turn off
    machine.WriteFile("c:\\a.ime", "a");
    EXPECT_EQ(CopySystemFile("c:\\a.ime", "c:\\windows\\system32\\morahu4.ime", 1, 1), 0);
    EXPECT_FALSE(machine.FileExists("c:\\windows\\system32\\morahu4.ime"));
    ASSERT_EQ(machine.MessageBoxes().size(), 1u);
    EXPECT_EQ(machine.MessageBoxes()[0].text, CopyFailure("c:\\windows\\system32\\morahu4.ime"));
}

TEST(CopySystemFile, MissingSourceLeavesTheHeldModuleInPlace) {
    TestMachine machine(SimSetup::Windows7(false));
    machine.WriteFile("c:\\windows\\system32\\morahu4.ime", "working module");
    machine.LockFile("c:\\windows\\system32\\morahu4.ime", SimLock::Renamable);
    EXPECT_EQ(CopySystemFile("c:\\missing.ime", "c:\\windows\\system32\\morahu4.ime", 1, 0), 0);
    EXPECT_EQ(machine.ReadFile("c:\\windows\\system32\\morahu4.ime"), "working module");
    EXPECT_FALSE(machine.FileExists("c:\\windows\\system32\\morahu2.ime"));
    EXPECT_EQ(machine.MessageBoxes().size(), 1u);
}
