#include "deploy/in_use.h"

#include "base/install_context.h"
#include "base/text.h"

#include <cstring>

namespace {

const char kUiClass[] = "UIQOVI";
const int kTitleRoom = 200;  // wide characters, with the terminator
const size_t kLineRoom = (kUsersListOffset - kUsersLineOffset) / sizeof(WCHAR);
const size_t kListRoom = (kScratchSize - kUsersListOffset) / sizeof(WCHAR);
// The message must end before the list begins; the room left for the list in
// it, once the header and the closing sentences are in.
const size_t kMessageRoom = (kUsersListOffset - kUsersMessageOffset) / sizeof(WCHAR);
const size_t kMessageFrame = 256;

// The list as it grows, and what it leaves out once it would no longer fit
// into the message.
struct UserList {
    size_t length;  // wide characters in the list
    int leftOut;    // programs found but not listed
};
UserList users;

WCHAR* Area(size_t offset) { return reinterpret_cast<WCHAR*>(context.scratch + offset); }

void AppendNumber(WCHAR* field, size_t room, int number) {
    char digits[16];
    FormatText(digits, sizeof digits, "%d", number);
    WCHAR wide[16] = {};
    for (size_t i = 0; digits[i] != '\0'; ++i) wide[i] = static_cast<WCHAR>(digits[i]);
    WideAppend(field, room, wide);
}

// The window that stands for the program: the last of the parents and owners.
// The walk is bounded: another program's windows may own each other in a ring.
HWND ProgramWindow(HWND window) {
    HWND top = GetParent(window);
    for (int step = 0; top != nullptr && step < 256; ++step) {
        HWND up = GetParent(top);
        if (up == nullptr) break;
        top = up;
    }
    return top;
}

void FormMessage() {
    WCHAR* message = Area(kUsersMessageOffset);
    WideCopy(message, kMessageRoom, Wide(u"智能墨川安软件装检测到有下列 "));
    AppendNumber(message, kMessageRoom, context.inUseCount);
    WideAppend(message, kMessageRoom, Wide(u" 个软件在使用智能墨川输入法:\r\n\r\n"));
    WideAppend(message, kMessageRoom, Area(kUsersListOffset));
    if (users.leftOut > 0) {
        WideAppend(message, kMessageRoom, Wide(u"　　……另有 "));
        AppendNumber(message, kMessageRoom, users.leftOut);
        WideAppend(message, kMessageRoom, Wide(u" 个软件未列出。\r\n"));
    }
    WideAppend(message, kMessageRoom, Wide(u"\r\n\r\n请关闭使上述软件后再继续安装！\r\n如无法关闭，则请重新启动机器后立即安装！"));
}

}  // namespace

void FindImeUsers() {
    context.inUseCount = 0;
    if (context.scratch == nullptr) return;
    Area(kUsersListOffset)[0] = 0;
    users = UserList{0, 0};
    EnumWindows(TestImeWindow, 0);
    if (context.inUseCount > 0) FormMessage();
}

BOOL CALLBACK TestImeWindow(HWND window, LPARAM) {
    char className[100] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, kUiClass) == 0) {
        ++context.inUseCount;
        AddImeUser(window);
    }
    return TRUE;
}

void AddImeUser(HWND window) {
    HWND program = ProgramWindow(window);
    if (program == nullptr) return;
    WCHAR* line = Area(kUsersLineOffset);
    WideCopy(line, kLineRoom, Wide(u"　　"));
    AppendNumber(line, kLineRoom, context.inUseCount);
    WideAppend(line, kLineRoom, Wide(u"："));
    WCHAR title[kTitleRoom] = {};
    GetWindowTextW(program, title, kTitleRoom);
    WideAppend(line, kLineRoom, title);
    WideAppend(line, kLineRoom, Wide(u"\r\n"));
    // Hundreds of programs would not fit into the message: the rest is counted.
    size_t length = WideLength(line);
    if (users.length + length + kMessageFrame >= kMessageRoom || users.length + length >= kListRoom) {
        ++users.leftOut;
        return;
    }
    WideAppend(Area(kUsersListOffset) + users.length, kListRoom - users.length, line);
    users.length += length;
}
