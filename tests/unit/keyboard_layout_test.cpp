#include "registration/keyboard_layout.h"

#include "unit/test_machine.h"

TEST(InstallImeModule, AsksTheInputMethodManagerForTheSystemModule) {
    TestMachine machine;
    HKL layout = reinterpret_cast<HKL>(uintptr_t(0xE0200804u));
    machine.SetImeInstallResult(layout);
    EXPECT_EQ(InstallImeModule(), 1);
    EXPECT_EQ(context.installedLayout, layout);
    ASSERT_EQ(machine.ImeInstalls().size(), 1u);
    EXPECT_EQ(machine.ImeInstalls()[0].imeFile, "C:\\windows\\system32\\morahu4.ime");
    EXPECT_EQ(machine.ImeInstalls()[0].layoutText, "智能墨川输入平台  7.4");
    EXPECT_TRUE(machine.MessageBoxes().empty());
}

TEST(InstallImeModule, FailureIsOnlyItsResult) {
    TestMachine machine(SimSetup::WindowsXP().WithCodePage(950));
    context.installedLayout = reinterpret_cast<HKL>(uintptr_t(1));
    machine.SetImeInstallResult(nullptr);
    EXPECT_EQ(InstallImeModule(), 0);
    EXPECT_EQ(context.installedLayout, nullptr);
    ASSERT_EQ(machine.ImeInstalls().size(), 1u);
    EXPECT_EQ(machine.ImeInstalls()[0].layoutText, "智能墨川输入平台  7.4") << "the same text under code page 950";
    EXPECT_TRUE(machine.MessageBoxes().empty());
}
