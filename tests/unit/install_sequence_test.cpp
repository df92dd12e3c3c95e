#include "deploy/install_sequence.h"

#include "base/shared_ops.h"
#include "unit/deploy_fixture.h"
#include "unit/layouts.h"

#include <string>
#include <vector>

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kOurs[] = "E0100804";
const char kInUse[] =
    "　　你以前安装的墨川五笔正在使用，请关闭使用墨川五笔的所有窗口，或者重新启动机器后，才能安装新版本的墨川五笔！";

int StartInstaller(const char* commandLine) {
    std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
    return WinMain(nullptr, nullptr, line.data(), SW_SHOWNORMAL);
}

std::string Autorun(const SimMachine& machine) {
    return machine.String(HKEY_LOCAL_MACHINE, kRun, "momcsjgl").value_or("<none>");
}

// The programs started, the access-control tool left out.
std::vector<std::string> Started(const SimMachine& machine) {
    std::vector<std::string> lines;
    for (const SimProcessStart& start : machine.StartedProcesses())
        if (start.commandLine.find("icacls.exe") == std::string::npos) lines.push_back(start.commandLine);
    return lines;
}

// This input method in the user's preload list, as an earlier installation leaves it.
void PutImeInPreload(SimMachine& machine) {
    AddLayoutKey(machine, kOurs, kLayoutTextGbk);
    SetPreload(machine, {"00000409", kOurs});
}

// The wizard's state at the install-path page: the payload mapped, the path box.
void PrepareInteractive(SimMachine& machine, const char* pathText) {
    MapTestPayload(machine, MakeArchive(DeployEntries()));
    context.pathBox = machine.AddWindow("EDIT", pathText);
    IsWow64Windows();
}

}  // namespace

TEST(SilentReinstall, InstallsIntoTheRecordedDirectory) {
    struct Row {
        const char* what;
        SimSetup setup;
        const char* recorded;  // null: nothing recorded
        const char* dir;
        std::vector<std::string> started;
    } rows[] = {
        {"64-bit Windows 7, recorded", SimSetup::Windows7(true), "d:\\ime\\", "d:\\ime\\",
         {"\"d:\\ime\\setupw64.exe\" regmo32=d:\\ime\\"}},
        {"64-bit Windows 7, nothing recorded", SimSetup::Windows7(true), nullptr, "c:\\morahu2\\",
         {"\"c:\\morahu2\\setupw64.exe\" regmo32=c:\\morahu2\\"}},
        {"32-bit Windows 7: no companion", SimSetup::Windows7(false), "d:\\ime\\", "d:\\ime\\", {}},
        {"Windows XP", SimSetup::WindowsXP(), nullptr, "c:\\morahu2\\", {}},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        machine.SetDrive('d', DRIVE_FIXED);
        if (row.recorded) machine.SetString(HKEY_LOCAL_MACHINE, "Software\\morawb", "path", row.recorded);
        machine.SetResource("QOVIMOZ", "MOZ", MakeArchive(DeployEntries()));
        EXPECT_EQ(StartInstaller("setmosrf32"), 0) << row.what;
        EXPECT_EQ(context.runMode, SilentReinstall) << row.what;
        EXPECT_STREQ(context.installDir, row.dir) << row.what;
        const std::string dir = row.dir;
        EXPECT_TRUE(machine.DirectoryExists(dir + "filer")) << row.what;
        EXPECT_EQ(machine.ReadFile(dir + "morahu32.ime"), Module("morahu4.ime", "7.4")) << row.what;
        EXPECT_FALSE(machine.FileExists(dir + "mora320.ime")) << row.what;
        const char* systemModule = row.setup.is64Bit && row.setup.major >= 6 ? "morahu64.ime" : "morahu4.ime";
        EXPECT_EQ(machine.ReadFile("c:\\windows\\system32\\morahu4.ime"), Module(systemModule, "7.4")) << row.what;
        EXPECT_EQ(machine.ImeInstalls().size(), 1u) << row.what;
        EXPECT_EQ(Autorun(machine), "\"" + dir + "moraqovi.exe\" mo") << row.what;
        EXPECT_EQ(Started(machine), row.started) << row.what;
        for (const SimProcessStart& start : machine.StartedProcesses())
            EXPECT_EQ(start.show, UINT(SW_SHOW)) << row.what;
        EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
        EXPECT_EQ(machine.LiveGlobalBlocks(), 0u) << row.what << ": the scratch buffer is given back";
    }
}

TEST(SilentReinstall, NoScratchBufferNoInstallation) {
    TestMachine machine;
    machine.SetResource("QOVIMOZ", "MOZ", MakeArchive(DeployEntries()));
    machine.LimitGlobalAlloc(kScratchSize - 1);
    EXPECT_EQ(StartInstaller("setmosrf32"), 0);
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{"内存不足，智能墨川安装程序无法运行！"});
    EXPECT_FALSE(machine.DirectoryExists("c:\\morahu2"));
    EXPECT_TRUE(machine.ImeInstalls().empty());
}

TEST(SilentReinstall, NoPayloadIsAnIncompleteExtraction) {
    TestMachine machine(SimSetup::Windows7(false));
    EXPECT_EQ(StartInstaller("setmosrf32"), 0);
    ASSERT_FALSE(machine.MessageBoxes().empty());
    EXPECT_EQ(machine.MessageBoxes()[0].text.substr(0, 21), "文件解压不完整");
}

TEST(RunInstallSequence, InteractivePathWithASpaceAndNoBackslash) {
    TestMachine machine(SimSetup::Windows7(true));
    machine.SetDrive('d', DRIVE_FIXED);
    PrepareInteractive(machine, "d:\\my ime");
    RunInstallSequence();
    EXPECT_STREQ(context.installDir, "d:\\my ime\\");
    EXPECT_EQ(context.runMode, Interactive);
    EXPECT_TRUE(machine.DirectoryExists("d:\\my ime\\filer"));
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, "Software\\morawb", "path"), "d:\\my ime\\");
    EXPECT_EQ(Autorun(machine), "\"d:\\my ime\\moraqovi.exe\" mo");
    EXPECT_EQ(Started(machine), std::vector<std::string>{"\"d:\\my ime\\setupw64.exe\" regmo32=d:\\my ime\\"});
}

TEST(RunInstallSequence, PathBoxReadWithRoomFor197Characters) {
    TestMachine machine(SimSetup::Windows7(false));
    const std::string longPath = "c:\\" + std::string(200, 'a');
    PrepareInteractive(machine, longPath.c_str());
    RunInstallSequence();
    EXPECT_EQ(std::string(context.installDir), longPath.substr(0, 197) + "\\");
}

TEST(RunInstallSequence, OldModuleStillHeld) {
    const std::string sys = "c:\\windows\\system32\\", wow = "c:\\windows\\syswow64\\";
    struct Row {
        const char* what;
        SimSetup setup;
        bool inPreload;
        std::string module;  // held, empty: none
        SimLock lock;
        std::vector<std::string> messages;
        int rebootNeeded;
        bool installed;
    } rows[] = {
        {"32-bit, movable aside: goes on", SimSetup::Windows7(false), true, sys + "morahu4.ime", SimLock::Renamable,
         {}, 0, true},
        {"64-bit, syswow64's movable aside: goes on, restart needed", SimSetup::Windows7(true), true,
         wow + "morahu4.ime", SimLock::Renamable, {}, 1, true},
        {"64-bit, the 64-bit module is left to the first pass", SimSetup::Windows7(true), true, sys + "morahu4.ime",
         SimLock::Renamable, {}, 0, true},
        {"32-bit, neither deletable nor movable: ends", SimSetup::Windows7(false), true, sys + "morahu4.ime",
         SimLock::Pinned, {kInUse}, 1, false},
        {"64-bit, syswow64's pinned: ends", SimSetup::Windows7(true), true, wow + "morahu4.ime", SimLock::Pinned,
         {kInUse}, 1, false},
        {"not in the preload list: the first pass meets it", SimSetup::Windows7(false), false, sys + "morahu4.ime",
         SimLock::Pinned,
         {"没有成功复制C:\\windows\\system32\\morahu4.ime文件，请退出安装程序并手动删除该文件后重新安装！",
          "没有成功复制C:\\windows\\system32\\morahu4.ime文件，请退出安装程序并手动删除该文件后重新安装！"},
         0, true},
        {"in the preload list, no old module", SimSetup::Windows7(true), true, "", SimLock::Renamable, {}, 0, true},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        PrepareInteractive(machine, "c:\\morahu2\\");
        if (row.inPreload) PutImeInPreload(machine);
        if (!row.module.empty()) {
            machine.WriteFile(row.module, "old module");
            machine.LockFile(row.module, row.lock);
        }
        context.rebootNeeded = 1 - row.rebootNeeded;
        RunInstallSequence();
        EXPECT_EQ(BoxTexts(machine), row.messages) << row.what;
        EXPECT_EQ(context.rebootNeeded, row.rebootNeeded) << row.what;
        EXPECT_EQ(machine.FileExists("c:\\morahu2\\morahu32.ime"), row.installed) << row.what;
        EXPECT_EQ(machine.ImeInstalls().size(), row.installed ? 1u : 0u) << row.what;
        EXPECT_EQ(Autorun(machine) != "<none>", row.installed) << row.what;
        // What the steps before the old module leave in any case.
        EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, "Software\\morawb", "path"), "c:\\morahu2\\") << row.what;
        EXPECT_TRUE(machine.DirectoryExists("c:\\morahu2\\filer")) << row.what;
        EXPECT_TRUE(machine.FileExists("c:\\morahu2\\wbpybz.moh")) << row.what;
        if (!row.installed && !row.messages.empty()) {
            EXPECT_TRUE(machine.MessageBoxes()[0].wide) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川安装") << row.what;
        }
    }
}

TEST(RunInstallSequence, SecondPlaceInThePreloadListUpToWindows5) {
    for (const SimSetup& setup : {SimSetup::WindowsXP(), SimSetup::Windows7(false)}) {
        TestMachine machine(setup);
        PrepareInteractive(machine, "c:\\morahu2\\");
        AddLayoutKey(machine, kOurs, kLayoutTextGbk);
        for (const char* id : {"0000040A", "0000040B"}) AddLayoutKey(machine, id, std::string("Layout ") + id);
        SetPreload(machine, {"0000040A", "0000040B", kOurs});
        RunInstallSequence();
        std::vector<std::string> expected = setup.major <= 5 ? std::vector<std::string>{"0000040A", kOurs, "0000040B"}
                                                             : std::vector<std::string>{"0000040A", "0000040B", kOurs};
        EXPECT_EQ(Preload(machine), expected) << setup.major;
    }
}
