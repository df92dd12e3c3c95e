#include "shell/wizard_window.h"

#include "shell/page_painting.h"
#include "unit/test_machine.h"

#include <string>

namespace {

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));

// A machine with the wizard open on its welcome page.
class Wizard : public ::testing::Test {
protected:
    explicit Wizard(const SimSetup& setup = SimSetup::Windows7()) : machine(setup) {}
    void SetUp() override {
        context.instance = kInstance;
        context.oemCodePage = machine.Setup().codePage;
        context.runMode = Interactive;
        ASSERT_NE(RegisterWizardClass(kInstance), 0);
        ASSERT_EQ(CreateWizardWindow(kInstance, SW_SHOWNORMAL), 1);
    }
    void TearDown() override {
        if (machine.WindowExists(context.mainWindow)) DestroyWindow(context.mainWindow);
    }
    void Click(int x, int y, bool right = false) {
        machine.Click(context.mainWindow, x, y, right);
        machine.PumpMessages();
    }
    COLORREF Pixel(int x, int y) { return machine.Pixel(machine.WindowCanvas(context.mainWindow), x, y); }
    TestMachine machine;
};

}  // namespace

TEST_F(Wizard, OpensCentredOnTheWelcomePage) {
    RECT r = machine.WindowRect(context.mainWindow);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<LONG>{312, 234, 400, 310}));
    EXPECT_EQ(machine.WindowText(context.mainWindow), AnsiFromUtf8("智能墨川系统安装3264", 936));
    EXPECT_TRUE(machine.WindowVisible(context.mainWindow));
    for (HWND box : {context.pathBox, context.govSiteBox, context.unitSiteBox}) {
        EXPECT_EQ(machine.WindowClass(box), "EDIT");
        EXPECT_EQ(machine.WindowText(box), " ");
        EXPECT_FALSE(machine.WindowVisible(box)) << "created hidden";
    }
    EXPECT_EQ(machine.WindowRect(context.pathBox).left, 120);
    EXPECT_EQ(Pixel(380, 250), WelcomeGradientColor(250)) << "the welcome page painted when shown";
    EXPECT_NE(context.scratch, nullptr);
    EXPECT_EQ(context.backupState, BackupNone);
    SendMessageW(context.mainWindow, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(machine.Focus(), context.pathBox) << "the focus goes to the path box, hidden or not";
}

TEST_F(Wizard, ConfirmLeadsThroughTheAddressPageToThePath) {
    machine.MakeDirectory("c:\\morahu2");
    machine.WriteFile("c:\\morahu2\\monetsj.dat", "MONETURL1=www.old.cn\r\nMONETURL2=www.oldgov.cn\r\n");
    Click(90, 257);
    EXPECT_EQ(context.wizardPage, PageAddresses);
    EXPECT_TRUE(machine.WindowVisible(context.unitSiteBox));
    EXPECT_EQ(machine.WindowText(context.unitSiteBox), "www.old.cn") << "the addresses given last time";
    EXPECT_EQ(Pixel(380, 200), RGB(96, 164, 154));

    SetWindowTextA(context.unitSiteBox, "www.unit.cn");
    SetWindowTextA(context.govSiteBox, "www.gov.cn");
    Click(140, 270, /*right=*/true);  // the border counts, and a right click acts as a left one
    EXPECT_EQ(context.wizardPage, PagePath);
    EXPECT_EQ(context.unitSiteBox, nullptr);
    EXPECT_EQ(machine.ChildWindows(context.mainWindow), std::vector<HWND>{context.pathBox});
    EXPECT_TRUE(machine.WindowVisible(context.pathBox));
    EXPECT_EQ(machine.WindowText(context.pathBox), "c:\\morahu2\\");
    EXPECT_STREQ(context.unitSiteUrl, "www.unit.cn");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\monetsj.dat").substr(0, 48),
              "MONETURL1=www.unit.cn\r\nMONETURL2=www.gov.cn\r\nMON");
}

TEST_F(Wizard, ClicksOutsideTheButtonsDoNothing) {
    for (auto point : std::vector<std::pair<int, int>>{{141, 257}, {90, 271}, {200, 257}, {259, 250}})
        Click(point.first, point.second);
    EXPECT_EQ(context.wizardPage, PageWelcome);
    EXPECT_FALSE(machine.QuitPosted());
}

TEST_F(Wizard, ExitOnTheWelcomePageEndsTheRunAtOnce) {
    Click(260, 245);
    EXPECT_TRUE(machine.QuitPosted());
    EXPECT_TRUE(machine.MessageBoxes().empty());
}

TEST_F(Wizard, ExitOnTheAddressPageEndsTheRunAtOnce) {
    Click(90, 257);
    ASSERT_EQ(context.wizardPage, PageAddresses);
    Click(300, 270);
    EXPECT_TRUE(machine.QuitPosted());
    EXPECT_TRUE(machine.MessageBoxes().empty());
}

TEST_F(Wizard, DeploymentDrawsIntoTheWindow) {
    Click(90, 257);
    Click(90, 257);
    DrawProgress(0, 64);
    EXPECT_EQ(Pixel(200, 200), RGB(255, 255, 255)) << "the empty bar over the path field";
    RepaintPathPage();
    EXPECT_EQ(Pixel(200, 200), PageGradientColor(200)) << "the path page painted again";
    context.runMode = SilentReinstall;
    DrawProgress(0, 64);
    EXPECT_EQ(Pixel(200, 200), PageGradientColor(200)) << "nothing in the silent re-install";
}

TEST_F(Wizard, ExitOnThePathPageEndsTheRunAtOnce) {
    Click(90, 257);
    Click(90, 257);
    ASSERT_EQ(context.wizardPage, PagePath);
    Click(360, 245);
    int code = -1;
    EXPECT_TRUE(machine.QuitPosted(&code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(machine.MessageBoxes().empty());
    EXPECT_EQ(context.scratch, nullptr) << "released at the end";
}

TEST_F(Wizard, AShortRecordedDirectoryShowsTheDefault) {
    machine.WriteFile("c:\\windows\\morapath.moh", "x");
    Click(90, 257);
    Click(90, 257);
    EXPECT_EQ(machine.WindowText(context.pathBox), "c:\\morahu2\\");
}

TEST_F(Wizard, TimerLeadsToTheFinishPage) {
    context.wizardPage = PageWorking;
    SetTimer(context.mainWindow, 2, 1600, nullptr);
    SetWindowTextA(context.pathBox, "c:\\morahu2\\");
    machine.FireTimer(context.mainWindow, 2);
    machine.PumpMessages();
    EXPECT_EQ(context.wizardPage, PageFinish);
    EXPECT_EQ(machine.WindowText(context.pathBox), "");
    EXPECT_FALSE(machine.TimerSet(context.mainWindow, 2));
    Click(90, 257);
    EXPECT_EQ(context.wizardPage, PageFinishArmed);
}

namespace {

class WizardUnder950 : public Wizard {
protected:
    WizardUnder950() : Wizard(SimSetup::Windows7().WithCodePage(950)) {}
};

}  // namespace

TEST_F(WizardUnder950, TraditionalTitleAlsoOn64Bit) {
    EXPECT_EQ(machine.WindowText(context.mainWindow), AnsiFromUtf8("智能墨川系統安裝", 950));
}

TEST(WizardWithoutMemory, SaysSoAndDoesNotOpen) {
    TestMachine machine;
    machine.LimitGlobalAlloc(kScratchSize - 1);
    context.oemCodePage = 936;
    RegisterWizardClass(nullptr);
    EXPECT_EQ(CreateWizardWindow(nullptr, SW_SHOWNORMAL), 0);
    ASSERT_EQ(machine.MessageBoxes().size(), 1u);
    EXPECT_EQ(machine.MessageBoxes()[0].text, "内存不足，智能墨川安装程序无法运行！");
    EXPECT_EQ(machine.LiveGdiObjects(), 0u);
}

TEST(WizardBackup, MadeWhenTheWindowOpens) {
    for (bool earlier : {false, true}) {
        TestMachine machine;
        machine.MakeDirectory("c:\\morahu2");
        if (earlier) {
            for (const char* name : {"moracyzk.moh", "cfontset.moh", "cwbzlcz1.moh", "mowbcmxz.moh", "modhzcm.moh",
                                     "moradhz.moh", "mogbkhz.moh", "moszsj43.moh", "moradwdw.txt", "morazdym.moh",
                                     "mopyzdym.moh", "mowbpy.txt", "moraynhz.txt", "morazdfh.moh"})
                machine.WriteFile(std::string("c:\\morahu2\\") + name, name);
        }
        context.oemCodePage = 936;
        RegisterWizardClass(kInstance);
        ASSERT_EQ(CreateWizardWindow(kInstance, SW_SHOWNORMAL), 1);
        EXPECT_EQ(context.backupState, earlier ? BackupMade : BackupNone);
        EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moraback.moz").size() > 10, earlier);
        DestroyWindow(context.mainWindow);
    }
}
