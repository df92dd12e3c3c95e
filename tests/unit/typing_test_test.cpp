#include "shell/typing_test.h"

#include "unit/layouts.h"
#include "unit/test_machine.h"

namespace {

HKL const kUs = reinterpret_cast<HKL>(uintptr_t(0x04090409));
HKL const kOther = reinterpret_cast<HKL>(uintptr_t(0xE0200804));
HKL const kOurs = reinterpret_cast<HKL>(uintptr_t(0xE0210804));

void AddLayouts(SimMachine& machine) {
    machine.AddKeyboardLayout(kUs, "00000409", "");
    machine.AddKeyboardLayout(kOther, "E0200804", Gbk("智能ABC输入法"));
    machine.AddKeyboardLayout(kOurs, "E0210804", kLayoutTextGbk);
}

}  // namespace

TEST(SelectInstalledIme, OnlyFromTheWorkingPageOn) {
    TestMachine machine;
    AddLayouts(machine);
    context.wizardPage = PagePath;
    EXPECT_EQ(SelectInstalledIme(), 0);
    EXPECT_TRUE(machine.Activations().empty());
    EXPECT_EQ(context.installedLayout, nullptr);
}

TEST(SelectInstalledIme, NothingWhenAlreadyCurrent) {
    TestMachine machine;
    AddLayouts(machine);
    machine.SetCurrentLayout(kOurs);
    context.wizardPage = PageFinish;
    EXPECT_EQ(SelectInstalledIme(), 0);
    EXPECT_TRUE(machine.Activations().empty());
}

TEST(SelectInstalledIme, SwitchesToTheKnownLayoutWithoutSearching) {
    TestMachine machine;
    AddLayouts(machine);
    HKL registered = reinterpret_cast<HKL>(uintptr_t(0xE0220804));
    machine.AddKeyboardLayout(registered, "E0220804", kLayoutTextGbk);
    context.wizardPage = PageFinishArmed;
    context.installedLayout = registered;
    EXPECT_EQ(SelectInstalledIme(), 1);
    EXPECT_EQ(context.installedLayout, registered) << "not replaced by the first match of a search";
    ASSERT_EQ(machine.Activations().size(), 1u);
    EXPECT_EQ(machine.Activations()[0].layout, registered);
    EXPECT_EQ(machine.Activations()[0].flags, UINT(KLF_SETFORPROCESS));
}

TEST(SelectInstalledIme, FindsTheLayoutOnceAndKeepsIt) {
    TestMachine machine;
    AddLayouts(machine);
    context.wizardPage = PageFinish;
    EXPECT_EQ(SelectInstalledIme(), 1);
    EXPECT_EQ(context.installedLayout, kOurs);
    EXPECT_EQ(machine.CurrentLayout(), kOurs);
    EXPECT_EQ(SelectInstalledIme(), 0) << "now current";

    machine.SetCurrentLayout(kUs);  // the user picked another one
    EXPECT_EQ(SelectInstalledIme(), 1);
    EXPECT_EQ(machine.Activations().size(), 2u);
    EXPECT_EQ(machine.CurrentLayout(), kOurs);
}

TEST(SelectInstalledIme, SixteenBytesMustMatch) {
    struct Row {
        const char* what;
        std::string description;
        bool matches;
    } rows[] = {
        {"the registered text", kLayoutTextGbk, true},
        {"the description alone", kImeDescriptionGbk, true},
        {"the same first characters, shorter", kImeNamePrefixGbk, false},
        {"the Big5 text", kLayoutTextBig5, false},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        machine.AddKeyboardLayout(kUs, "00000409", "");
        machine.AddKeyboardLayout(kOurs, "E0210804", row.description);
        context.wizardPage = PageFinish;
        EXPECT_EQ(SelectInstalledIme(), 1) << row.what;
        EXPECT_EQ(context.installedLayout, row.matches ? kOurs : nullptr) << row.what;
        EXPECT_EQ(machine.Activations().size(), row.matches ? 1u : 0u) << row.what;
    }
}

TEST(SelectInstalledIme, SearchesOnlyTheFirstFiftyLayouts) {
    for (int place : {50, 51}) {
        TestMachine machine;
        for (int i = 2; i < place; ++i)  // after the US layout every machine has
            machine.AddKeyboardLayout(reinterpret_cast<HKL>(uintptr_t(0x10000 + i)), "00000409", "");
        machine.AddKeyboardLayout(kOurs, "E0210804", kLayoutTextGbk);
        context.wizardPage = PageFinish;
        EXPECT_EQ(SelectInstalledIme(), 1);
        EXPECT_EQ(context.installedLayout, place == 50 ? kOurs : nullptr) << place;
    }
}
