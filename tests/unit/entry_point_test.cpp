#include "shell/entry_point.h"

#include "base/shared_ops.h"

#include "unit/test_machine.h"

#include <string>
#include <vector>

namespace {

const char kWindowsRecord[] = "c:\\windows\\morapath.moh";
const char kAdminMessage[] =
    "本安装程序需要以管理员权限运行，请退出后重新以管理员权限运行。"
    "（运行方式为：用鼠标右键点击安装程序，在弹出菜单中点击“以管理员身份运行”）";
const char kRegistered[] = "智能墨川已安装成功，如不能使用，请重新启动计算机！";
const char kNotRegistered[] = "智能墨川没有注册成功，请以管理员身份重新运行安装程序！";

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));

int StartInstaller(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return WinMain(kInstance, nullptr, line.data(), SW_SHOWNORMAL);
}

std::string RecordValue(const SimMachine& machine) {
    return machine.String(HKEY_LOCAL_MACHINE, "Software\\morawb", "path").value_or("<none>");
}

}  // namespace

TEST(Startup, FillsTheContext) {
    TestMachine machine(SimSetup::Windows7().WithCodePage(950));
    EXPECT_EQ(StartInstaller(""), 0);
    EXPECT_EQ(context.instance, kInstance);
    EXPECT_EQ(context.wizardPage, PageWelcome);
    EXPECT_EQ(context.oemCodePage, 950u);
    EXPECT_EQ(context.runMode, Interactive);
    EXPECT_STREQ(context.installDir, "c:\\morahu2\\");
    EXPECT_EQ(context.osMajorVersion, 6u);
    EXPECT_STREQ(context.wow64Dir, "C:\\windows\\syswow64");
}

TEST(Startup, ModeWords) {
    struct Row {
        const char* what;
        SimSetup setup;
        const char* line;
        bool registerOnly;
        int runMode;
        const char* recorded;  // the install directory recorded afterwards
    } rows[] = {
        {"no word: the wizard", SimSetup::Windows7(), "", false, Interactive, "c:\\morahu2\\"},
        {"silent word in any case", SimSetup::Windows7(), "/q SetMoSrf32", false, SilentReinstall, "c:\\morahu2\\"},
        {"register-only on 64-bit Windows 7", SimSetup::Windows7(), "regmo32=d:\\ime\\", true, Interactive,
         "d:\\ime\\"},
        {"register-only word in capitals: the recorded directory", SimSetup::Windows7(), "REGMO32=d:\\ime\\", true,
         Interactive, "c:\\morahu2\\"},
        {"an earlier \"r\" hides the directory", SimSetup::Windows7(), "run regmo32=d:\\ime\\", true, Interactive,
         "c:\\morahu2\\"},
        {"register-only on 32-bit Windows 7: the wizard", SimSetup::Windows7(false), "regmo32=d:\\ime\\", false,
         Interactive, "c:\\morahu2\\"},
        {"register-only on 64-bit Windows XP: the wizard", SimSetup::WindowsXP(true), "regmo32=d:\\ime\\", false,
         Interactive, nullptr},
        {"both words on 32-bit Windows: the wizard", SimSetup::Windows7(false), "regmo32 setmosrf32", false,
         Interactive, "c:\\morahu2\\"},
        {"both words on 64-bit Windows: register-only", SimSetup::Windows7(), "regmo32 setmosrf32", true,
         Interactive, "c:\\morahu2\\"},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        EXPECT_EQ(StartInstaller(row.line), 0) << row.what;
        EXPECT_EQ(context.runMode, row.runMode) << row.what;
        bool silent = row.runMode == SilentReinstall;  // installs; its messages are tested with the sequence
        EXPECT_EQ(machine.ImeInstalls().size(), row.registerOnly || silent ? 1u : 0u) << row.what;
        if (row.registerOnly) {
            ASSERT_EQ(machine.MessageBoxes().size(), 1u) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].text, kRegistered) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川") << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].type, UINT(MB_OK)) << row.what;
            EXPECT_TRUE(machine.MessageBoxes()[0].wide) << row.what;
        } else if (!silent) {
            EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
        }
        if (row.recorded) {
            EXPECT_EQ(machine.ReadFile(kWindowsRecord), row.recorded) << row.what;
            EXPECT_EQ(RecordValue(machine), row.recorded) << row.what;
            EXPECT_EQ(machine.ReadFile("c:\\morahu\\morapath.moh"), row.recorded) << row.what;
        } else {
            EXPECT_FALSE(machine.FileExists(kWindowsRecord)) << row.what << ": Windows 5 makes no probe";
        }
    }
}

TEST(RegisterOnly, SaysSoWhenNothingWasRegistered) {
    TestMachine machine;
    machine.SetImeInstallResult(nullptr);
    EXPECT_EQ(StartInstaller("regmo32=d:\\ime\\"), 0);
    EXPECT_EQ(machine.ReadFile(kWindowsRecord), "d:\\ime\\") << "the directory is still recorded";
    ASSERT_EQ(machine.MessageBoxes().size(), 1u);
    EXPECT_EQ(machine.MessageBoxes()[0].text, kNotRegistered);
    EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川");
    EXPECT_TRUE(machine.MessageBoxes()[0].wide);
    EXPECT_FALSE(machine.KeyExists(HKEY_LOCAL_MACHINE,
                                   "System\\CurrentControlSet\\Control\\Keyboard Layouts\\E0010804"))
        << "no registry fallback in this mode";
}

TEST(RegisterOnly, RecordsTheDirectoryWithoutBackslashWithOne) {
    TestMachine machine;
    EXPECT_EQ(StartInstaller("regmo32=d:\\ime"), 0);
    EXPECT_EQ(machine.ReadFile(kWindowsRecord), "d:\\ime\\");
    EXPECT_STREQ(context.installDir, "d:\\ime\\");
}

TEST(AdministratorProbe, WithoutRightsEveryModeStopsAtTheMessage) {
    for (const char* line : {"", "setmosrf32", "regmo32=d:\\ime\\"}) {
        TestMachine machine(SimSetup::Windows7().WithoutAdministrator());
        machine.WriteFile(kWindowsRecord, "d:\\old\\");
        EXPECT_EQ(StartInstaller(line), 0) << line;
        ASSERT_EQ(machine.MessageBoxes().size(), 1u) << line;
        EXPECT_EQ(machine.MessageBoxes()[0].text, kAdminMessage) << line;
        EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川") << line;
        EXPECT_TRUE(machine.MessageBoxes()[0].wide) << line;
        EXPECT_TRUE(machine.ImeInstalls().empty()) << line;
        EXPECT_EQ(context.runMode, Interactive) << line << ": the command line is not looked at";
        EXPECT_EQ(machine.ReadFile(kWindowsRecord), "d:\\old\\") << line;
    }
}

TEST(AdministratorProbe, NoProbeBeforeWindowsSix) {
    for (SimSetup setup : {SimSetup::WindowsXP().WithoutAdministrator(), SimSetup::Windows98()}) {
        TestMachine machine(setup);
        EXPECT_EQ(HasAdminRights(), 1);
        EXPECT_FALSE(machine.FileExists(kWindowsRecord));
        EXPECT_EQ(RecordValue(machine), "<none>");
    }
}

TEST(AdministratorProbe, LeavesTheRealDirectoryRecorded) {
    TestMachine machine;
    machine.SetString(HKEY_LOCAL_MACHINE, "Software\\morawb", "path", "e:\\earlier\\");
    EXPECT_EQ(StartInstaller(""), 0);
    EXPECT_TRUE(machine.MessageBoxes().empty());
    EXPECT_EQ(machine.ReadFile(kWindowsRecord), "e:\\earlier\\");
    EXPECT_EQ(RecordValue(machine), "e:\\earlier\\");
    EXPECT_EQ(machine.ReadFile("c:\\morahu\\morapath.moh"), "e:\\earlier\\");
}

// A record that cannot be written does not give the marker back.
TEST(AdministratorProbe, FailsOnAnUnwritableRecord) {
    TestMachine machine;
    machine.WriteFile(kWindowsRecord, "d:\\old\\");
    machine.SetAttributes(kWindowsRecord, FILE_ATTRIBUTE_READONLY);
    SetInstallDir("d:\\old\\");
    EXPECT_EQ(HasAdminRights(), 0);
    EXPECT_STREQ(context.installDir, "d:\\old\\");
    EXPECT_EQ(RecordValue(machine), "d:\\old\\") << "no place is left holding the marker";
    EXPECT_EQ(machine.ReadFile("c:\\morahu\\morapath.moh"), "d:\\old\\");
}

TEST(TakeRegisterDir, TheRestOfTheLineAfterTheWord) {
    const std::string longest = "d:\\" + std::string(kPathFieldSize - 5, 'x');  // 198: room for the backslash
    struct Row {
        const char* what;
        std::string line;
        int taken;
        std::string dir;
    } rows[] = {
        {"plain", "regmo32=d:\\ime\\", 1, "d:\\ime\\"},
        {"quotes and blanks stay", "regmo32=\"d:\\my ime\\\" ", 1, "\"d:\\my ime\\\" "},
        {"capitals do not match", "REGMO32=d:\\ime\\", 0, "c:\\kept\\"},
        {"the first r decides", "/r regmo32=d:\\ime\\", 0, "c:\\kept\\"},
        {"word cut short", "regmo3", 0, "c:\\kept\\"},
        {"no r at all", "setmosrf32", 0, "c:\\kept\\"},
        {"empty directory refused", "regmo32=", 0, "c:\\kept\\"},
        {"198 characters fit with the backslash", "regmo32=" + longest, 1, longest},
        {"199 characters without backslash refused", "regmo32=" + longest + "x", 0, "c:\\kept\\"},
        {"199 characters ending in one fit", "regmo32=" + longest + "\\", 1, longest + "\\"},
        {"200 characters refused", "regmo32=" + longest + "x\\", 0, "c:\\kept\\"},
        {"far too long refused", "regmo32=" + std::string(5000, 'y'), 0, "c:\\kept\\"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        SetInstallDir("c:\\kept\\");
        EXPECT_EQ(TakeRegisterDir(row.line.c_str()), row.taken) << row.what;
        EXPECT_EQ(std::string(context.installDir), row.dir) << row.what;
    }
}

TEST(RegisterOnly, ATooLongDirectoryKeepsTheRecordedOne) {
    TestMachine machine;
    machine.WriteFile(kWindowsRecord, "e:\\recorded\\");
    EXPECT_EQ(StartInstaller("regmo32=d:\\" + std::string(400, 'z')), 0);
    EXPECT_EQ(machine.ReadFile(kWindowsRecord), "e:\\recorded\\");
    EXPECT_STREQ(context.installDir, "e:\\recorded\\");
}

TEST(Startup, TheWizardRunsUntilItsExitButton) {
    TestMachine machine;
    machine.ScriptUser([&] { machine.Click(context.mainWindow, 300, 257); });
    EXPECT_EQ(StartInstaller(""), 0);
    EXPECT_FALSE(machine.LoopRanDry()) << "the loop ended by the wizard's quit message";
    EXPECT_TRUE(machine.QuitPosted());
    EXPECT_EQ(context.scratch, nullptr);
}

TEST(Startup, ForgetsTheMarkerOfAnInterruptedProbe) {
    TestMachine machine;
    machine.WriteFile("c:\\windows\\morapath.moh", "moraisadmin\\");
    machine.SetString(HKEY_LOCAL_MACHINE, "Software\\morawb", "path", "moraisadmin\\");
    EXPECT_EQ(StartInstaller(""), 0);
    EXPECT_EQ(RecordValue(machine), "c:\\morahu2\\");
    EXPECT_EQ(machine.ReadFile("c:\\windows\\morapath.moh"), "c:\\morahu2\\");
}
