// Modal dialogs run from a script of clicks: the procedure gets WM_INITDIALOG
// and then one WM_COMMAND per scripted control id, until it calls EndDialog.
#include "platform/sim/sim_internal.h"

namespace {

SimMachine::Impl& Sys() { return SimMachine::Current().impl(); }

// A dialog window in the making has no size of its own here: dialog units
// need a font. This one stands for the installer's 219 x 140.
const RECT kDialogRect = {200, 150, 529, 378};

}  // namespace

struct SimDialogAccess {
    static SimMachine& M() { return SimMachine::Current(); }
    static bool HasTemplate(const std::string& name) { return M().dialogTemplates_.count(name) != 0; }
    static std::vector<int> NextScript() {
        auto& scripts = M().dialogScripts_;
        if (scripts.empty()) return {};
        std::vector<int> script = scripts.front();
        scripts.pop_front();
        return script;
    }
    static std::vector<SimDialog>& Dialogs() { return M().dialogs_; }
};

namespace {

SimDialog* Running(HWND dialog) {
    auto it = Sys().runningDialogs.find(dialog);
    return it == Sys().runningDialogs.end() ? nullptr : &SimDialogAccess::Dialogs()[it->second];
}

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE, LPCWSTR templateName, HWND owner, DLGPROC procedure, LPARAM parameter) {
    std::string name = Utf8FromWide(templateName ? std::u16string(templateName) : std::u16string());
    if (!SimDialogAccess::HasTemplate(name) || procedure == nullptr) {
        SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
        return -1;
    }
    auto& dialogs = SimDialogAccess::Dialogs();
    dialogs.push_back(SimDialog{name, owner, kDialogRect, {}, {}, false, -1});
    size_t index = dialogs.size() - 1;
    HWND window = SimMachine::Current().AddWindow("#32770", "");
    auto& sys = Sys();
    sys.windows[window].rect = kDialogRect;
    sys.windows[window].parent = nullptr;
    sys.runningDialogs[window] = index;
    procedure(window, WM_INITDIALOG, 0, parameter);
    for (int id : SimDialogAccess::NextScript()) {
        if (dialogs[index].ended) break;
        dialogs[index].answers.push_back(procedure(window, WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF), 0));
    }
    dialogs[index].rect = sys.windows[window].rect;
    sys.runningDialogs.erase(window);
    sys.windows.erase(window);
    return dialogs[index].ended ? dialogs[index].result : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    SimDialog* running = Running(dialog);
    if (running == nullptr) return FALSE;
    running->ended = true;
    running->result = result;
    return TRUE;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM) {
    SimDialog* running = Running(dialog);
    if (running == nullptr) return 0;
    if (message == BM_SETCHECK) running->checks.push_back({id, static_cast<int>(wParam)});
    return 0;
}
