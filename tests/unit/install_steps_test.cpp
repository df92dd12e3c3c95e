#include "shell/install_steps.h"

#include "shell/wizard_window.h"
#include "unit/deploy_fixture.h"
#include "unit/layouts.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
const char kFarewell[] = "安装完毕，如不能使用，请重新启动计算机！";
const char kRestartNow[] = "安装完毕，请立即重新启动计算机！";
const char kRefused[] = "智能墨川不能安装在你设定的路径下，请重新设定路径！";

// The wizard on its install-path page, with a payload that installs completely.
class Steps : public ::testing::Test {
protected:
    explicit Steps(const SimSetup& setup = SimSetup::Windows7(false)) : machine(setup) {}
    void SetUp() override {
        machine.SetResource("QOVIMOZ", "MOZ", MakeArchive(FullPayloadEntries()));
        machine.AddDialogTemplate("PYKEY");
        machine.ScriptDialog({105});
        context.instance = kInstance;
        context.oemCodePage = machine.Setup().codePage;
        context.runMode = Interactive;
        ASSERT_NE(RegisterWizardClass(kInstance), 0);
        ASSERT_EQ(CreateWizardWindow(kInstance, SW_SHOWNORMAL), 1);
        Confirm();
        Confirm();
        ASSERT_EQ(context.wizardPage, PagePath);
    }
    void TearDown() override {
        if (machine.WindowExists(context.mainWindow)) DestroyWindow(context.mainWindow);
    }
    void Click(int x, int y) {
        machine.Click(context.mainWindow, x, y);
        machine.PumpMessages();
    }
    void Confirm() { Click(90, 257); }
    void Exit() { Click(300, 257); }
    bool Installed() const { return machine.FileExists("c:\\morahu2\\morahu32.ime"); }
    bool Ended() const { return machine.QuitPosted(); }
    TestMachine machine;
};

class StepsOn64Bit : public Steps {
protected:
    StepsOn64Bit() : Steps(SimSetup::Windows7(true)) {}
};

// An earlier installation whose backup cannot be written when the wizard opens:
// a folder has taken the name of "moraback.moz".
class StepsWithoutBackup : public Steps {
protected:
    void SetUp() override {
        machine.MakeDirectory("c:\\morahu2");
        for (const char* name : {"moracyzk.moh", "cfontset.moh", "mowbpy.txt"})
            machine.WriteFile(std::string("c:\\morahu2\\") + name, std::string("user ") + name);
        machine.MakeDirectory(kBackup);
        Steps::SetUp();
    }
    static constexpr const char* kBackup = "c:\\morahu2\\moraback.moz";
};

}  // namespace

TEST(ValidateInstallPath, OneFolderUnderADriveRoot) {
    struct Row {
        const char* path;
        int refused;
    } rows[] = {
        {"d:\\ime", 0},  {"d:\\ime\\", 0},     {"d:\\ab", 0},       {"D:\\Mora Ime", 0}, {"d:\\", 1},
        {"d:\\a", 1},    {"d:\\a\\b", 1},      {"d:\\a\\b\\", 1},   {"d:/ime", 1},       {"ime", 1},
        {"\\\\server\\ime", 1}, {"", 1},       {"d:", 1},           {"1:\\ime", 1},      {"d:\\i?me", 1},
        {"d:\\im|e", 1}, {"d:\\a\"b", 1},      {"d:\\a:b", 1},      {"d:\\a\tb", 1},
        // Folders named as devices: Windows would open the device.
        {"d:\\con", 1},    {"d:\\NUL\\", 1},      {"d:\\aux.ime", 1},    {"d:\\com1", 1},     {"d:\\lpt9 .x\\", 1},
        {"d:\\com10", 0},  {"d:\\console", 0},  {"d:\\lpt0", 0},
    };
    for (const Row& row : rows) EXPECT_EQ(ValidateInstallPath(row.path), row.refused) << row.path;
}

TEST_F(Steps, On32BitWindowsTheFarewellEndsTheRun) {
    Confirm();
    EXPECT_TRUE(Installed());
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kFarewell});
    EXPECT_TRUE(Ended());
    EXPECT_FALSE(machine.TimerSet(context.mainWindow, 2)) << "no finish page";
    EXPECT_EQ(machine.Dialogs().size(), 1u) << "the appearance dialog";
}

TEST_F(StepsOn64Bit, TheFinishPageAfterTheTimer) {
    Confirm();
    EXPECT_TRUE(Installed());
    UINT elapse = 0;
    ASSERT_TRUE(machine.TimerSet(context.mainWindow, 2, &elapse));
    EXPECT_EQ(elapse, 1600u);
    EXPECT_EQ(context.wizardPage, PageWorking);
    EXPECT_TRUE(machine.MessageBoxes().empty());
    machine.FireTimer(context.mainWindow, 2);
    machine.PumpMessages();
    EXPECT_EQ(context.wizardPage, PageFinish);
    EXPECT_EQ(machine.WindowText(context.pathBox), "") << "the name box of the typing test";
    Confirm();
    EXPECT_EQ(context.wizardPage, PageFinishArmed);
    EXPECT_FALSE(Ended());
    Confirm();
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kFarewell});
    EXPECT_TRUE(Ended());
}

TEST_F(StepsOn64Bit, ExitOnTheFinishPageFinishes) {
    Confirm();
    machine.FireTimer(context.mainWindow, 2);
    machine.PumpMessages();
    Exit();
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kFarewell});
    EXPECT_TRUE(Ended());
}

TEST_F(StepsOn64Bit, ExitDuringTheWaitEndsWithoutReportOrFarewell) {
    Confirm();
    Exit();
    EXPECT_TRUE(machine.MessageBoxes().empty());
    EXPECT_TRUE(Ended());
}

TEST_F(Steps, RefusedPathStaysOnThePathPage) {
    SetWindowTextA(context.pathBox, "d:\\a\\b");
    Confirm();
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kRefused});
    EXPECT_EQ(machine.WindowText(context.pathBox), "c:\\morahu2\\");
    EXPECT_EQ(context.wizardPage, PagePath);
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(Ended());
    machine.SetDrive('d', DRIVE_FIXED);
    SetWindowTextA(context.pathBox, "d:\\ime");
    Confirm();
    EXPECT_TRUE(machine.FileExists("d:\\ime\\morahu32.ime")) << "an accepted path installs there";
    EXPECT_TRUE(Ended());
}

TEST_F(Steps, TypedPathTooLongForTheRecordIsRefused) {
    SetWindowTextA(context.pathBox, ("d:\\" + std::string(195, 'a')).c_str());
    Confirm();
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kRefused}) << "198 characters would be cut into another folder";
    EXPECT_FALSE(machine.DirectoryExists("d:\\" + std::string(194, 'a')));
}

TEST_F(Steps, ProgramsUsingTheOldInputMethod) {
    HWND program = machine.AddWindow("Notepad", AnsiFromUtf8("记事本", 936));
    HWND ui = machine.AddWindow("UIQOVI", "");
    machine.SetOwner(ui, program);
    Confirm();
    ASSERT_EQ(machine.MessageBoxes().size(), 1u);
    EXPECT_NE(machine.MessageBoxes()[0].text.find("　　1：记事本\r\n"), std::string::npos);
    EXPECT_EQ(context.wizardPage, PagePath);
    EXPECT_FALSE(Installed());
    DestroyWindow(ui);
    Confirm();
    EXPECT_TRUE(Installed()) << "the next confirm installs";
}

TEST_F(StepsWithoutBackup, NothingIsInstalledOverUserFilesThatCouldNotBeBackedUp) {
    const char kNotBackedUp[] = "　　安装目录下有智能墨川以前的词组等数据文件没能备份，为免丢失这些数据，安装没有进行。"
                                "请确认磁盘有足够的空间，关闭使用墨川五笔的所有窗口后再安装！";
    Confirm();
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kNotBackedUp});
    EXPECT_EQ(context.wizardPage, PagePath);
    EXPECT_FALSE(Installed());
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\mowbpy.txt"), "user mowbpy.txt");
    // The folder gone, the next confirm packs the files and installs.
    std::filesystem::remove(machine.HostPath(kBackup));
    Confirm();
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ArchiveNames(machine.ReadFile(kBackup)), (std::vector<std::string>{"moracyzk.bak", "cfontset.bak"}));
    EXPECT_EQ(BoxTexts(machine).size(), 2u) << "only the farewell more: a required file is missing, so no question";
}

TEST_F(Steps, ExitClickedInsideABoxOfTheStepsEndsAfterThem) {
    bool clicked = false;
    machine.WhileMessageBoxOpen([&](const SimMessageBox&) {
        if (clicked) return;
        clicked = true;
        machine.Click(context.mainWindow, 300, 257);
    });
    // A box in the middle of the steps: the uninstaller that cannot be copied.
    machine.LockFile("c:\\windows\\system32\\moradel.exe", SimLock::Pinned);
    machine.WriteFile("c:\\windows\\system32\\moradel.exe", "old");
    Confirm();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(machine.FileExists("c:\\morahu2\\moszsj43.moh")) << "the steps went on to the settings record";
    EXPECT_EQ(machine.Dialogs().size(), 1u) << "and the appearance dialog, with the scratch buffer still there";
    EXPECT_TRUE(Ended()) << "the run ends right after them";
}

TEST(RunFinishSequence, FarewellByTheRestartFlag) {
    for (int reboot : {0, 1}) {
        TestMachine machine;
        std::vector<FixtureEntry> entries = FullPayloadEntries();
        MapTestPayload(machine, MakeArchive(entries));
        machine.MakeDirectory("c:\\morahu2");
        for (const FixtureEntry& e : entries) machine.WriteFile("c:\\morahu2\\" + e.name, e.content);
        context.rebootNeeded = reboot;
        RunFinishSequence();
        ASSERT_EQ(machine.MessageBoxes().size(), 1u);
        EXPECT_EQ(machine.MessageBoxes()[0].text, reboot ? kRestartNow : kFarewell);
        EXPECT_TRUE(machine.MessageBoxes()[0].wide);
        EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川");
    }
}

TEST(RunFinishSequence, AReportInsteadOfTheFarewell) {
    TestMachine machine;
    SetInstallDir("c:\\morahu2\\");
    RunFinishSequence();
    ASSERT_EQ(machine.MessageBoxes().size(), 1u);
    EXPECT_EQ(machine.MessageBoxes()[0].text.find("智能墨川汉字输入系统7.4版安装情况报告。"), 0u);
}

TEST_F(Steps, CloseBoxInsideABoxOfTheStepsEndsAfterThem) {
    bool closed = false;
    machine.WhileMessageBoxOpen([&](const SimMessageBox&) {
        if (closed) return;
        closed = true;
        SendMessageW(context.mainWindow, WM_CLOSE, 0, 0);
    });
    machine.LockFile("c:\\windows\\system32\\moradel.exe", SimLock::Pinned);
    machine.WriteFile("c:\\windows\\system32\\moradel.exe", "old");
    Confirm();
    EXPECT_TRUE(closed);
    EXPECT_EQ(machine.Dialogs().size(), 1u) << "the steps went on with the scratch buffer";
    EXPECT_TRUE(machine.FileExists("c:\\morahu2\\moszsj43.moh"));
    EXPECT_TRUE(Ended());
}

TEST_F(StepsOn64Bit, ButtonsBehindTheFarewellDoNotFinishAgain) {
    Confirm();
    machine.FireTimer(context.mainWindow, 2);
    machine.PumpMessages();
    int clicks = 0;
    machine.WhileMessageBoxOpen([&](const SimMessageBox&) {
        if (clicks++ == 0) machine.Click(context.mainWindow, 300, 257);
    });
    Exit();
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{kFarewell}) << "one farewell";
    EXPECT_TRUE(Ended());
}
