#include "deploy/in_use.h"

#include "unit/test_machine.h"

#include <string>
#include <vector>

namespace {

const char16_t kHeaderStart[] = u"智能墨川安软件装检测到有下列 ";
const char16_t kEnd[] = u"\r\n\r\n请关闭使上述软件后再继续安装！\r\n如无法关闭，则请重新启动机器后立即安装！";

std::u16string Message() { return std::u16string(reinterpret_cast<const char16_t*>(context.scratch)); }

std::u16string Expected(int count, const std::u16string& list) {
    std::string number = std::to_string(count);
    return kHeaderStart + std::u16string(number.begin(), number.end()) + u" 个软件在使用智能墨川输入法:\r\n\r\n" + list +
           kEnd;
}

// A program's top window with a UI window of the input method owned by it.
HWND AddUser(SimMachine& machine, const std::string& title, const char* uiClass = "UIQOVI") {
    HWND program = machine.AddWindow("Notepad", AnsiFromUtf8(title, 936));
    HWND ui = machine.AddWindow(uiClass, "");
    machine.SetOwner(ui, program);
    return program;
}

}  // namespace

TEST(FindImeUsers, ListsTheProgramsByTheirTitles) {
    struct Row {
        const char* what;
        std::vector<std::string> titles;  // one program each; "" is an empty title
        std::u16string list;
    } rows[] = {
        {"one program", {"记事本"}, u"　　1：记事本\r\n"},
        {"an empty title", {""}, u"　　1：\r\n"},
        {"two programs", {"甲", "乙"}, u"　　1：甲\r\n　　2：乙\r\n"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        ObtainScratch();
        for (const std::string& title : row.titles) AddUser(machine, title);
        FindImeUsers();
        EXPECT_EQ(context.inUseCount, static_cast<int>(row.titles.size())) << row.what;
        EXPECT_EQ(Message(), Expected(context.inUseCount, row.list)) << row.what;
    }
}

TEST(FindImeUsers, NobodyLeavesTheMessageAreaAlone) {
    TestMachine machine;
    ObtainScratch();
    machine.AddWindow("uiqovi", "");  // another case: not the input method's class
    HWND other = machine.AddWindow("UIQOVI2", "");
    machine.SetOwner(other, machine.AddWindow("Notepad", "x"));
    std::memcpy(context.scratch, u"earlier", 16);
    FindImeUsers();
    EXPECT_EQ(context.inUseCount, 0);
    EXPECT_EQ(Message(), u"earlier");
}

TEST(FindImeUsers, OddWindows) {
    TestMachine machine;
    ObtainScratch();
    machine.AddWindow("UIQOVI", "");  // no owner: counted, not listed
    HWND program = AddUser(machine, "编辑器");
    HWND second = machine.AddWindow("UIQOVI", "");
    HWND dialog = machine.AddWindow("#32770", "dialog");
    machine.SetOwner(dialog, program);
    machine.SetOwner(second, dialog);  // the program window is found through the dialog
    FindImeUsers();
    EXPECT_EQ(context.inUseCount, 3);
    EXPECT_EQ(Message(), Expected(3, u"　　2：编辑器\r\n　　3：编辑器\r\n"));
}

TEST(FindImeUsers, TitleCutAt199) {
    TestMachine machine;
    ObtainScratch();
    AddUser(machine, std::string(250, 'T'));
    FindImeUsers();
    EXPECT_EQ(Message(), Expected(1, u"　　1：" + std::u16string(199, u'T') + u"\r\n"));
}

TEST(FindImeUsers, OwnersInARingEndTheWalk) {
    TestMachine machine;
    ObtainScratch();
    HWND a = machine.AddWindow("A", "a"), b = machine.AddWindow("B", "b");
    machine.SetOwner(a, b);
    machine.SetOwner(b, a);
    HWND ui = machine.AddWindow("UIQOVI", "");
    machine.SetOwner(ui, a);
    FindImeUsers();
    EXPECT_EQ(context.inUseCount, 1);
}

TEST(FindImeUsers, ThousandsOfWindowsStayWithinTheMessage) {
    TestMachine machine;
    ObtainScratch();
    const std::string title(199, 'W');
    for (int i = 0; i < 1500; ++i) AddUser(machine, title);
    FindImeUsers();
    EXPECT_EQ(context.inUseCount, 1500);
    std::u16string message = Message();
    EXPECT_LE((message.size() + 1) * 2, kUsersListOffset) << "the message ends before the list area";
    size_t listed = 0;
    for (size_t at = message.find(u"：" + std::u16string(title.begin(), title.end())); at != std::u16string::npos;
         at = message.find(u"：W", at + 1))
        ++listed;
    ASSERT_GT(listed, 100u);
    ASSERT_LT(listed, 1500u);
    std::string more = std::to_string(1500 - listed);
    EXPECT_NE(message.find(u"　　……另有 " + std::u16string(more.begin(), more.end()) + u" 个软件未列出。\r\n"),
              std::u16string::npos);
    EXPECT_EQ(message.substr(message.size() - std::u16string(kEnd).size()), kEnd);
}
