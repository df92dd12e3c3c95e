#include "registration/preload_list.h"

#include "base/shared_ops.h"
#include "unit/layouts.h"
#include "unit/test_machine.h"

namespace {

const char kOurs[] = "E0100804";
const char kOursLower[] = "e0100804";

// Layouts A to E and this input method I, with their texts.
void AddLayouts(SimMachine& machine) {
    for (const char* id : {"0000040A", "0000040B", "0000040C", "0000040D", "0000040E"})
        AddLayoutKey(machine, id, std::string("Layout ") + id);
    AddLayoutKey(machine, kOurs, kLayoutTextGbk);
}

std::vector<std::string> Ids() {
    std::vector<std::string> ids;
    for (int i = 0; i < preloadList.count; ++i) ids.push_back(preloadList.ids[i]);
    return ids;
}

}  // namespace

TEST(ReadPreloadList, EntriesAndTheirLayoutTexts) {
    TestMachine machine;
    AddLayouts(machine);
    SetPreload(machine, {"0000040a", kOursLower, "0000040b"});
    EXPECT_EQ(ReadPreloadList(), 3);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"0000040a", kOursLower, "0000040b"}));
    EXPECT_STREQ(preloadList.texts[0], "Layout 0000040A");
    EXPECT_STREQ(preloadList.texts[1], kLayoutTextGbk);
}

TEST(ReadPreloadList, WhereTheListEnds) {
    struct Row {
        const char* what;
        SimSetup setup;
        std::vector<std::pair<std::string, std::string>> entries;  // (number, id); id "" for no readable value
        int count;
    } rows[] = {
        {"NT: a gap ends the list", SimSetup::Windows7(), {{"1", "0000040a"}, {"2", "0000040b"}, {"4", "0000040c"}}, 2},
        {"NT: more than nine characters ends it", SimSetup::WindowsXP(),
         {{"1", "0000040a"}, {"2", "0000040b00"}, {"3", "0000040c"}}, 1},
        {"9x: a missing sub key ends it", SimSetup::Windows98(), {{"1", "0000040A"}, {"3", "0000040C"}}, 1},
        {"9x: an unreadable value does not", SimSetup::Windows98(),
         {{"1", "0000040A"}, {"2", ""}, {"3", "0000040C"}}, 3},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        for (const auto& entry : row.entries) {
            if (row.setup.win9x && entry.second.empty())
                machine.CreateKey(HKEY_CURRENT_USER, "Keyboard Layout\\Preload\\" + entry.first);
            else if (row.setup.win9x)
                machine.SetString(HKEY_CURRENT_USER, "Keyboard Layout\\Preload\\" + entry.first, "", entry.second);
            else
                machine.SetString(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", entry.first, entry.second);
        }
        EXPECT_EQ(ReadPreloadList(), row.count) << row.what;
        EXPECT_EQ(preloadList.count, row.count) << row.what;
    }
}

TEST(ReadPreloadList, NothingWhenAKeyCannotBeOpened) {
    for (const char* closed : {"user", "layouts"}) {
        TestMachine machine;
        SetPreload(machine, {"0000040a"});
        if (std::string(closed) == "user")
            machine.SetKeyAccess(HKEY_CURRENT_USER, "Keyboard Layout", SimKeyAccess::None);
        else
            machine.SetKeyAccess(HKEY_LOCAL_MACHINE, kKeyboardLayouts, SimKeyAccess::None);
        EXPECT_EQ(ReadPreloadList(), 0) << closed;
    }
}

TEST(FindImeInPreload, ByTheFirstTwelveBytesOfTheLayoutText) {
    struct Row {
        const char* what;
        unsigned codePage;
        std::string text;
        bool found;
    } rows[] = {
        {"this version", 936, kLayoutTextGbk, true},
        {"an older version", 936, OldLayoutText(), true},
        {"twelve bytes are enough", 936, kImeNamePrefixGbk, true},
        {"the Big5 text is not recognised", 950, kLayoutTextBig5, false},
        {"another input method", 936, Gbk("智能ABC输入法"), false},
    };
    for (const Row& row : rows) {
        TestMachine machine(SimSetup::Windows7().WithCodePage(row.codePage));
        AddLayoutKey(machine, "0000040A", "US");
        AddLayoutKey(machine, kOurs, row.text);
        SetPreload(machine, {"0000040a", kOursLower});
        EXPECT_EQ(FindImeInPreload(), row.found ? 1 : 0) << row.what;
        EXPECT_EQ(preloadList.found, row.found ? 1 : 0) << row.what;
        EXPECT_EQ(preloadList.position, row.found ? 2 : 0) << row.what;
    }
}

TEST(FindImeInPreload, SearchesAllFortyNineEntries) {
    TestMachine machine;
    std::vector<std::string> ids;
    for (int k = 1; k < 49; ++k) ids.push_back("0000" + std::to_string(1000 + k));
    ids.push_back(kOursLower);
    ids.push_back("00000409");  // a 50th entry is not read
    AddLayoutKey(machine, kOurs, kLayoutTextGbk);
    SetPreload(machine, ids);
    EXPECT_EQ(FindImeInPreload(), 1);
    EXPECT_EQ(preloadList.count, 49);
    EXPECT_EQ(preloadList.position, 49);
}

TEST(MoveImeToSecondPlace, ReordersBothListsOnWindowsXP) {
    struct Row {
        std::vector<std::string> before;
        std::vector<std::string> after;
    } rows[] = {
        {{"0000040a", "0000040b", "0000040c", "0000040d", kOursLower, "0000040e"},
         {"0000040a", kOursLower, "0000040b", "0000040c", "0000040d", "0000040e"}},
        {{"0000040a", "0000040b", kOursLower}, {"0000040a", kOursLower, "0000040b"}},
    };
    for (const Row& row : rows) {
        TestMachine machine(SimSetup::WindowsXP());
        AddLayouts(machine);
        SetPreload(machine, row.before);
        SetPreload(machine, {"00000409"}, HKEY_USERS);
        IsWow64Windows();
        ASSERT_EQ(FindImeInPreload(), 1);
        MoveImeToSecondPlace();
        EXPECT_EQ(Preload(machine), row.after);
        std::vector<std::string> profile = row.after;
        profile[0] = "00000409";
        EXPECT_EQ(Preload(machine, HKEY_USERS), profile) << "the default profile keeps its first entry";
    }
}

TEST(MoveImeToSecondPlace, LeavesTheListWhenNotCalledFor) {
    struct Row {
        const char* what;
        SimSetup setup;
        std::vector<std::string> list;
    } rows[] = {
        {"already second", SimSetup::WindowsXP(), {"0000040a", kOursLower, "0000040b"}},
        {"a list of two", SimSetup::WindowsXP(), {"0000040a", kOursLower}},
        {"Windows 6 and later", SimSetup::Windows7(false), {"0000040a", "0000040b", kOursLower}},
        {"not in the list", SimSetup::WindowsXP(), {"0000040a", "0000040b", "0000040c"}},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        AddLayouts(machine);
        SetPreload(machine, row.list);
        IsWow64Windows();
        FindImeInPreload();
        MoveImeToSecondPlace();
        EXPECT_EQ(Preload(machine), row.list) << row.what;
        EXPECT_EQ(Preload(machine, HKEY_USERS), std::vector<std::string>{}) << row.what;
    }
}

TEST(MoveImeToSecondPlace, Windows9xRewritesExistingSubKeysOnly) {
    TestMachine machine(SimSetup::Windows98());
    AddLayouts(machine);
    SetPreload(machine, {"0000040A", "0000040B", "0000040C", "E0100804"});
    IsWow64Windows();
    ASSERT_EQ(FindImeInPreload(), 1);
    machine.SetKeyAccess(HKEY_CURRENT_USER, "Keyboard Layout\\Preload\\3", SimKeyAccess::ReadOnly);
    MoveImeToSecondPlace();
    EXPECT_EQ(Preload(machine), (std::vector<std::string>{"0000040A", "E0100804", "0000040C", "0000040C"}))
        << "a sub key that does not open is skipped";
}

TEST(SwapFirstTwoPreloadEntries, BothFamilies) {
    for (SimSetup setup : {SimSetup::Windows7(false), SimSetup::Windows98()}) {
        TestMachine machine(setup);
        AddLayouts(machine);
        SetPreload(machine, {kOurs, "0000040A", "0000040B"});
        if (!setup.win9x) SetPreload(machine, {kOurs, "00000409"}, HKEY_USERS);
        ReadPreloadList();
        SwapFirstTwoPreloadEntries();
        EXPECT_EQ(Preload(machine), (std::vector<std::string>{"0000040A", kOurs, "0000040B"})) << setup.win9x;
        if (!setup.win9x) {
            EXPECT_EQ(Preload(machine, HKEY_USERS), (std::vector<std::string>{"0000040A", kOurs}));
        }
    }
}

TEST(VerifyOldImeNotDefault, Outcomes) {
    const char* kOnly =
        "　　你以前安装的智能墨川为系统默认输入法，并且是系统安装的唯一输入法，请通过微软的输入法管理器增加英文输入法，"
        "并将智能墨川输入法设置为系统非默认输入法后，重新启动机器才能安装新版本的智能墨川！";
    const char* kDefault =
        "　　你以前安装的智能墨川为系统默认输入法，请设置为系统非默认输入法后，重新启动机器才能安装新版本的智能墨川！";
    const char* kQuestion = "是否设置智能墨川为系统非默认输入法？";
    const char* kRestart = "请重新启动机器后安装智能墨川！";
    const char* kActive =
        "　　你以前安装的墨川五笔为系统默认输入法，请通过微软的输入法管理器将墨川五笔输入法设置为系统非默认输入法后，"
        "重新启动机器才能安装新版本的墨川五笔！";
    struct Row {
        const char* what;
        SimSetup setup;
        std::vector<std::string> list;
        int answer;  // to the question, if asked
        bool activeHere;
        int result;
        std::vector<const char*> messages;
        std::vector<std::string> after;
    } rows[] = {
        {"the only layout", SimSetup::Windows7(false), {kOursLower}, 0, false, 0, {kOnly}, {kOursLower}},
        {"the default, 32-bit, Yes", SimSetup::Windows7(false), {kOursLower, "0000040a", "0000040b"}, IDYES, false, 0,
         {kDefault, kQuestion, kRestart}, {"0000040a", kOursLower, "0000040b"}},
        {"the default, 32-bit, No", SimSetup::WindowsXP(), {kOursLower, "0000040a", "0000040b"}, IDNO, false, 0,
         {kDefault, kQuestion}, {kOursLower, "0000040a", "0000040b"}},
        {"the default, 64-bit", SimSetup::Windows7(true), {kOursLower, "0000040a", "0000040b"}, IDYES, false, 0,
         {kDefault}, {kOursLower, "0000040a", "0000040b"}},
        {"second in the list", SimSetup::Windows7(true), {"0000040a", kOursLower}, 0, false, 1, {},
         {"0000040a", kOursLower}},
        {"active in the installer", SimSetup::Windows7(false), {"0000040a", kOursLower}, 0, true, 0, {kActive},
         {"0000040a", kOursLower}},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        AddLayouts(machine);
        SetPreload(machine, row.list);
        machine.AddKeyboardLayout(reinterpret_cast<HKL>(uintptr_t(0x04090409)), "00000409", "");
        machine.AddKeyboardLayout(reinterpret_cast<HKL>(uintptr_t(0xE0100804)), "E0100804", kLayoutTextGbk);
        if (row.activeHere) machine.SetCurrentLayout(reinterpret_cast<HKL>(uintptr_t(0xE0100804)));
        if (row.answer) machine.AnswerMessageBoxes({IDOK, row.answer});  // the question follows an OK box
        EXPECT_EQ(VerifyOldImeNotDefault(), row.result) << row.what;
        ASSERT_EQ(machine.MessageBoxes().size(), row.messages.size()) << row.what;
        for (size_t i = 0; i < row.messages.size(); ++i) {
            const SimMessageBox& box = machine.MessageBoxes()[i];
            EXPECT_EQ(box.text, row.messages[i]) << row.what;
            EXPECT_EQ(box.caption, "智能墨川安装") << row.what;
            EXPECT_TRUE(box.wide) << row.what;
            EXPECT_EQ(box.type, UINT(box.text == kQuestion ? MB_YESNO : MB_OK)) << row.what;
        }
        EXPECT_EQ(Preload(machine), row.after) << row.what;
    }
}
