#include "registration/keyboard_layout.h"

#include "unit/layouts.h"
#include "unit/test_machine.h"

#include <cstdio>

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

namespace {

struct ExistingLayout {
    const char* id;
    std::string text;
};

}  // namespace

TEST(RegisterKeyboardLayout, ChoosesTheNextIdentifier) {
    const std::string longText(250, 'x');
    struct Row {
        const char* what;
        SimSetup setup;
        std::vector<ExistingLayout> existing;
        const char* id;
    } rows[] = {
        {"nothing registered", SimSetup::Windows7(), {}, "E0010804"},
        {"nothing registered, code page 950", SimSetup::Windows7().WithCodePage(950), {}, "E0010404"},
        {"one above the largest", SimSetup::Windows7(), {{"00000409", "US"}, {"E0200804", "Other"}}, "E0210804"},
        {"the language is corrected", SimSetup::Windows7(), {{"E0220409", "Other"}}, "E0230804"},
        {"numbers below the floor", SimSetup::WindowsXP(), {{"00000804", "Chinese"}, {"0000E409", "x"}}, "E0010804"},
        {"a text longer than 200 bytes takes no part", SimSetup::Windows7(),
         {{"E0500804", longText}, {"E0200804", "Other"}}, "E0210804"},
        {"no number left above the largest: the first free one", SimSetup::Windows7(),
         {{"FFFF0804", "Other"}, {"E0010804", "Other"}}, "E0020804"},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        context.oemCodePage = row.setup.codePage;
        for (const auto& layout : row.existing) AddLayoutKey(machine, layout.id, layout.text);
        EXPECT_EQ(RegisterKeyboardLayout(), 1) << row.what;
        bool big5 = row.setup.codePage == 950;
        EXPECT_EQ(LayoutValue(machine, row.id, "IME file"), "MORAHU4.IME") << row.what;
        EXPECT_EQ(LayoutValue(machine, row.id, "layout file"), "kbdus.dll") << row.what;
        EXPECT_EQ(LayoutValue(machine, row.id, "layout text"), big5 ? kLayoutTextBig5 : kLayoutTextGbk) << row.what;
        std::string lower = row.id;
        for (char& c : lower) c = static_cast<char>(tolower(c));
        EXPECT_EQ(Preload(machine), std::vector<std::string>{lower}) << row.what;
        EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
    }
}

TEST(RegisterKeyboardLayout, RewritesAnEarlierRegistrationInPlace) {
    TestMachine machine;
    context.oemCodePage = 936;
    AddLayoutKey(machine, "00000409", "US");
    AddLayoutKey(machine, "E0100804", OldLayoutText());  // an older version matches by its first 16 bytes
    SetPreload(machine, {"00000409", "e0100804"});
    EXPECT_EQ(RegisterKeyboardLayout(), 1);
    EXPECT_EQ(LayoutValue(machine, "E0100804", "layout text"), kLayoutTextGbk);
    EXPECT_EQ(LayoutValue(machine, "E0100804", "IME file"), "MORAHU4.IME");
    EXPECT_FALSE(LayoutExists(machine, "E0110804")) << "no key created";
    EXPECT_EQ(Preload(machine), (std::vector<std::string>{"00000409", "e0100804"})) << "the list is left alone";
}

TEST(RegisterKeyboardLayout, MovesARegistrationUnderTheOtherLanguage) {
    TestMachine machine;
    context.oemCodePage = 936;
    AddLayoutKey(machine, "E0150404", OldLayoutText());
    SetPreload(machine, {"00000409", "e0150404", "00000804"});
    EXPECT_EQ(RegisterKeyboardLayout(), 1);
    EXPECT_FALSE(LayoutExists(machine, "E0150404"));
    EXPECT_EQ(LayoutValue(machine, "E0150804", "layout text"), kLayoutTextGbk);
    EXPECT_EQ(Preload(machine), (std::vector<std::string>{"00000409", "e0150804", "00000804"}));
}

TEST(RegisterKeyboardLayout, TheLastEnumeratedOfTwoRegistrationsIsReused) {
    TestMachine machine;
    context.oemCodePage = 936;
    AddLayoutKey(machine, "E0100804", OldLayoutText());
    AddLayoutKey(machine, "E0120804", OldLayoutText());
    EXPECT_EQ(RegisterKeyboardLayout(), 1);
    EXPECT_EQ(LayoutValue(machine, "E0120804", "layout text"), kLayoutTextGbk);
    EXPECT_EQ(LayoutValue(machine, "E0100804", "layout text"), OldLayoutText()) << "the other is left untouched";
    EXPECT_EQ(Preload(machine), std::vector<std::string>{"e0120804"});
}

// Any number of sub keys is scanned; an earlier registration far down the
// scan is still found.
TEST(RegisterKeyboardLayout, FindsAnEarlierRegistrationAmongManyLayouts) {
    TestMachine machine;
    context.oemCodePage = 936;
    AddLayoutKey(machine, "00050804", OldLayoutText());
    for (unsigned i = 0; i < 300; ++i) {
        char id[9];
        std::snprintf(id, sizeof id, "%04X0409", 0xA000 + i);
        AddLayoutKey(machine, id, "Other");
    }
    EXPECT_EQ(RegisterKeyboardLayout(), 1);
    EXPECT_EQ(LayoutValue(machine, "00050804", "layout text"), kLayoutTextGbk);
    EXPECT_FALSE(LayoutExists(machine, "E0010804"));
    EXPECT_FALSE(LayoutExists(machine, "A12C0804"));
}

TEST(RegisterKeyboardLayout, FullPreloadListLosesItsLastEntry) {
    TestMachine machine;
    context.oemCodePage = 936;
    std::vector<std::string> others;
    for (int k = 1; k <= 49; ++k) others.push_back(std::string("0000") + std::to_string(1000 + k));
    SetPreload(machine, others);
    EXPECT_EQ(RegisterKeyboardLayout(), 1);
    std::vector<std::string> expected = others;
    expected[48] = "e0010804";
    EXPECT_EQ(Preload(machine), expected);
}

TEST(RegisterKeyboardLayout, Windows9xFamily) {
    struct Row {
        const char* what;
        std::vector<std::string> before;
        std::vector<ExistingLayout> existing;
        std::vector<std::string> after;
    } rows[] = {
        {"appended as a numbered sub key", {"00000409"}, {}, {"00000409", "E0010804"}},
        {"an entry under the other language is rewritten", {"00000409", "E0150404"},
         {{"E0150404", OldLayoutText()}}, {"00000409", "E0150804"}},
        {"already there", {"e0100804"}, {{"E0100804", OldLayoutText()}}, {"e0100804"}},
    };
    for (const Row& row : rows) {
        TestMachine machine(SimSetup::Windows98());
        context.oemCodePage = 936;
        for (const auto& layout : row.existing) AddLayoutKey(machine, layout.id, layout.text);
        SetPreload(machine, row.before);
        EXPECT_EQ(RegisterKeyboardLayout(), 1) << row.what;
        EXPECT_EQ(Preload(machine), row.after) << row.what;
        const std::string id = row.after.back() == "e0100804" ? "E0100804" : row.after.back();
        EXPECT_EQ(LayoutValue(machine, id, "layout file"), "kbdus.kbd") << row.what;
    }
}

TEST(RegisterKeyboardLayout, MessagesWhenKeysCannotBeOpened) {
    struct Row {
        const char* what;
        SimSetup setup;
        HKEY root;
        const char* key;
        SimKeyAccess access;
        const char* text;
        const char* caption;
    } rows[] = {
        {"Keyboard Layouts closed, NT", SimSetup::Windows7(), HKEY_LOCAL_MACHINE, kKeyboardLayouts,
         SimKeyAccess::None, "在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！", "智能墨川"},
        {"Keyboard Layouts closed, 9x", SimSetup::Windows98(), HKEY_LOCAL_MACHINE, kKeyboardLayouts,
         SimKeyAccess::None, "Software open error1003", "智能墨川"},
        {"layout key not created, NT", SimSetup::WindowsXP(), HKEY_LOCAL_MACHINE, kKeyboardLayouts,
         SimKeyAccess::ReadOnly, "在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！",
         "智能墨川(墨川五笔)"},
        {"layout key not created, 9x", SimSetup::Windows98(), HKEY_LOCAL_MACHINE, kKeyboardLayouts,
         SimKeyAccess::ReadOnly, "Software open error1004", "智能墨川(墨川五笔)"},
        {"user's keyboard layout closed, NT", SimSetup::Windows7(), HKEY_CURRENT_USER, "Keyboard Layout",
         SimKeyAccess::None, "Software open error2003", "智能墨川(墨川五笔)"},
        {"user's preload closed, 9x", SimSetup::Windows98(), HKEY_CURRENT_USER, "Keyboard Layout\\Preload",
         SimKeyAccess::None, "Software open error2003", "智能墨川(墨川五笔)"},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        context.oemCodePage = 936;
        machine.SetKeyAccess(row.root, row.key, row.access);
        EXPECT_EQ(RegisterKeyboardLayout(), 0) << row.what;
        ASSERT_EQ(machine.MessageBoxes().size(), 1u) << row.what;
        EXPECT_FALSE(machine.MessageBoxes()[0].wide) << row.what;
        EXPECT_EQ(machine.MessageBoxes()[0].text, row.text) << row.what;
        EXPECT_EQ(machine.MessageBoxes()[0].caption, row.caption) << row.what;
    }
}

TEST(RegisterKeyboardLayout, AClosedPreloadKeyIsPassedOverOnNt) {
    TestMachine machine;
    context.oemCodePage = 936;
    machine.SetKeyAccess(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", SimKeyAccess::ReadOnly);
    EXPECT_EQ(RegisterKeyboardLayout(), 1);
    EXPECT_TRUE(machine.MessageBoxes().empty());
    EXPECT_EQ(LayoutValue(machine, "E0010804", "IME file"), "MORAHU4.IME");
}
