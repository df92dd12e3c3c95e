#include "companion/companion.h"

#include "deploy/system_copy.h"
#include "unit/deploy_fixture.h"
#include "unit/layouts.h"

#include <string>
#include <vector>

namespace {

const char kSysModule[] = "c:\\windows\\system32\\morahu4.ime";
const char kWowModule[] = "c:\\windows\\syswow64\\morahu4.ime";

// 64-bit Windows 7 as the companion sees it, with an installation in d:\ime\.
SimSetup Companion() { return SimSetup::Windows7(true).As64BitProcess(); }

void InstallDirWithModules(SimMachine& machine, const std::string& dir) {
    machine.SetDrive('d', DRIVE_FIXED);
    machine.MakeDirectory(dir);
    machine.WriteFile(dir + "morahu64.ime", Module("morahu64.ime", "7.4"));
    machine.WriteFile(dir + "morahu32.ime", Module("morahu4.ime", "7.4"));
}

void AddImeLayout(SimMachine& machine, const std::string& id, const std::string& imeFile) {
    machine.SetString(HKEY_LOCAL_MACHINE, std::string(kKeyboardLayouts) + "\\" + id, "Ime File", imeFile);
}

}  // namespace

TEST(Companion, RecordsTheDirectoryAndPutsEachModuleInItsFolder) {
    for (const std::string dir : {"d:\\ime\\", "d:\\my ime\\"}) {
        TestMachine machine(Companion());
        InstallDirWithModules(machine, dir);
        EXPECT_EQ(RunCompanion(("regmo32=" + dir).c_str()), 0);
        EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, "Software\\morawb", "path"), dir);
        EXPECT_EQ(machine.ReadFile("c:\\windows\\morapath.moh"), dir);
        EXPECT_EQ(machine.ReadFile(kSysModule), Module("morahu64.ime", "7.4")) << dir;
        EXPECT_EQ(machine.ReadFile(kWowModule), Module("morahu4.ime", "7.4")) << dir;
        EXPECT_TRUE(machine.CopiesWithoutRedirection().empty()) << "a 64-bit program needs no switch";
        EXPECT_TRUE(machine.MessageBoxes().empty()) << dir;
    }
}

TEST(Companion, WithoutADirectoryTheRecordedOne) {
    TestMachine machine(Companion());
    InstallDirWithModules(machine, "d:\\ime\\");
    machine.WriteFile("c:\\windows\\morapath.moh", "d:\\ime\\");
    RunCompanion("");
    EXPECT_EQ(machine.ReadFile(kSysModule), Module("morahu64.ime", "7.4"));
}

TEST(Companion, RegistersOnlyWhenNoLayoutHasTheModule) {
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> layouts;  // id, Ime File
        size_t installs;
    } rows[] = {
        {"none yet", {}, 1},
        {"registered by the installer", {{"E0200804", "MORAHU4.IME"}}, 0},
        {"registered with its whole path", {{"E0020804", "C:\\windows\\system32\\morahu4.ime"}}, 0},
        {"another input method", {{"E0200804", "other.ime"}, {"E0210804", "xmorahu4.ime"}}, 1},
        {"a name that only begins alike", {{"E0200804", "morahu4.ime.old"}}, 1},
    };
    for (const Row& row : rows) {
        TestMachine machine(Companion());
        InstallDirWithModules(machine, "d:\\ime\\");
        for (const auto& layout : row.layouts) AddImeLayout(machine, layout.first, layout.second);
        RunCompanion("regmo32=d:\\ime\\");
        EXPECT_EQ(machine.ImeInstalls().size(), row.installs) << row.what;
        if (row.installs) {
            EXPECT_EQ(machine.ImeInstalls()[0].imeFile, "C:\\windows\\system32\\morahu4.ime") << row.what;
        }
        EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
    }
}

TEST(Companion, TellsWhatFailed) {
    const std::string failed = "没有成功复制C:\\windows\\system32\\morahu4.ime文件，请退出安装程序并手动删除该文件后重新安装！";
    struct Row {
        const char* what;
        bool registers;
        bool pinSystemModule;
        bool removeModule;
        std::vector<std::string> messages;
    } rows[] = {
        {"the registration refused", false, false, false, {"智能墨川没有注册成功，请以管理员身份重新运行安装程序！"}},
        {"the 64-bit system module held", true, true, false, {failed}},
        {"the 64-bit module missing: the system's stays", true, false, true,
         {"没有成功解压复制d:\\ime\\morahu64.ime文件！请重新下载安装。"}},
    };
    for (const Row& row : rows) {
        TestMachine machine(Companion());
        InstallDirWithModules(machine, "d:\\ime\\");
        machine.WriteFile(kSysModule, "old module");
        if (row.pinSystemModule) machine.LockFile(kSysModule, SimLock::Pinned);
        if (row.removeModule) DeleteFileA("d:\\ime\\morahu64.ime");
        if (!row.registers) machine.SetImeInstallResult(nullptr);
        RunCompanion("regmo32=d:\\ime\\");
        EXPECT_EQ(BoxTexts(machine), row.messages) << row.what;
        if (row.pinSystemModule || row.removeModule) {
            EXPECT_EQ(machine.ReadFile(kSysModule), "old module") << row.what;
        }
        EXPECT_EQ(machine.ReadFile(kWowModule), Module("morahu4.ime", "7.4")) << row.what;
    }
}
