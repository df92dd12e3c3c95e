// The simulated Windows, as the tests see it: configure a machine, script its
// answers, run installer code against it, then read back what happened.
//
//   SimMachine machine(SimSetup::Windows7(/*is64Bit=*/true).WithCodePage(950));
//   machine.AnswerMessageBoxes({IDYES});
//   ...run installer code...
//   EXPECT_EQ(machine.ReadFile("c:\\windows\\morapath.moh"), "d:\\ime\\");
//
// One machine exists at a time; the Win32 functions of the native build work on
// it. Its drives are folders of a fresh temporary directory, removed with it.
#pragma once

#include "platform/win32.h"

#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct SimSetup {
    unsigned major = 6;
    unsigned minor = 1;
    unsigned build = 7601;
    bool win9x = false;
    bool is64Bit = true;
    unsigned codePage = 936;
    bool administrator = true;
    bool process64 = false;  // the program under test is a 64-bit one: no redirection

    static SimSetup Windows98();
    static SimSetup WindowsXP(bool is64Bit = false);
    static SimSetup Windows7(bool is64Bit = true);
    SimSetup WithCodePage(unsigned page) const;
    SimSetup WithoutAdministrator() const;
    SimSetup As64BitProcess() const;
};

struct SimMessageBox {
    bool wide;
    std::string text;     // UTF-8, converted from UTF-16 or from the ANSI code page
    std::string caption;  // likewise
    UINT type;
    int answer;
};

struct SimProcessStart {
    std::string commandLine;
    UINT show;
    bool redirectionOff = false;  // the 64-bit file-system redirection was off for the start
};

struct SimImeInstall {
    std::string imeFile;     // UTF-8
    std::string layoutText;  // UTF-8
};

// What Pixel answers outside a canvas.
const COLORREF CLR_NONE_SIM = 0xFFFFFFFFu;

// A text drawn on a canvas, as it was given.
struct SimText {
    int x;
    int y;
    std::string text;  // UTF-8
    COLORREF color;
    std::string font;  // face, UTF-8; "System" for the default font
    int fontHeight;
    int bkMode;
    bool wide;
};

// Thrown by the simulation where a test stops the process dead.
struct SimStop {
    long call;
};

// A modal dialog as the simulation ran it.
struct SimDialog {
    std::string templateName;  // UTF-8
    HWND owner;
    RECT rect;                                // the dialog window when it went away
    std::vector<std::pair<int, int>> checks;  // (control id, BM_SETCHECK value), in the order sent
    std::vector<INT_PTR> answers;             // what the procedure returned for each scripted command
    bool ended;                               // by EndDialog, rather than by the script running out
    INT_PTR result;
};

// What a program holding a file open (a loaded module) allows others to do.
enum class SimLock { Renamable, Pinned };

// What a key's access list allows this process; it holds for the key's subtree
// unless a key below says otherwise.
enum class SimKeyAccess { Full, ReadOnly, None };

struct SimKey;
struct SimValue {
    DWORD type;
    std::string bytes;  // REG_SZ and friends as UTF-16LE, as Windows keeps them
};

class SimMachine {
public:
    explicit SimMachine(const SimSetup& setup = SimSetup::Windows7());
    ~SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    static SimMachine& Current();

    const SimSetup& Setup() const { return setup_; }

    // Files. Paths are Windows paths ("c:\\windows\\x"), case-insensitive, not
    // redirected: a test names the real place.
    void SetDrive(char letter, UINT driveType);
    void MakeDirectory(const std::string& path);
    void WriteFile(const std::string& path, const std::string& bytes);
    std::string ReadFile(const std::string& path) const;  // empty when missing
    bool FileExists(const std::string& path) const;
    bool DirectoryExists(const std::string& path) const;
    std::vector<std::string> ListDirectory(const std::string& path) const;
    DWORD Attributes(const std::string& path) const;
    void SetAttributes(const std::string& path, DWORD attributes);
    void LockFile(const std::string& path, SimLock lock);
    void MakeFolderUnwritable(const std::string& path);
    std::string HostPath(const std::string& path) const;
    std::string CurrentDirectory() const;  // lower case, as the simulation keeps it
    // Whether a 32-bit program has turned the file-system redirection off now,
    // and the paths it copied to while it was off.
    bool RedirectionOff() const;
    const std::vector<std::string>& CopiesWithoutRedirection() const;
    DWORD SleptMilliseconds() const;

    // Registry
    void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& ansi);
    void SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& raw);
    void CreateKey(HKEY root, const std::string& key);
    bool KeyExists(HKEY root, const std::string& key) const;
    // A string value as a program reads it: up to its terminator.
    std::optional<std::string> String(HKEY root, const std::string& key, const std::string& name) const;
    std::optional<std::u16string> WideString(HKEY root, const std::string& key, const std::string& name) const;
    std::optional<SimValue> Value(HKEY root, const std::string& key, const std::string& name) const;
    std::vector<std::string> ValueNames(HKEY root, const std::string& key) const;
    void SetKeyAccess(HKEY root, const std::string& key, SimKeyAccess access);

    // Message boxes are answered in turn from this list; an OK box with no
    // answer left gets IDOK, a question gets IDNO or the answer set below.
    void AnswerMessageBoxes(std::initializer_list<int> answers);
    void AnswerQuestionsWith(int answer) { questionAnswer_ = answer; }
    const std::vector<SimMessageBox>& MessageBoxes() const { return messageBoxes_; }
    // What the user does while a box is open (its modal loop dispatches to the
    // program's windows): called with each box before it is answered.
    void WhileMessageBoxOpen(std::function<void(const SimMessageBox&)> action) { whileBoxOpen_ = std::move(action); }

    const std::vector<SimProcessStart>& StartedProcesses() const { return started_; }

    // Input method manager: the layout handle that ImmInstallIMEW returns
    // (null makes it fail), and the calls it received.
    void SetImeInstallResult(HKL result) { imeInstallResult_ = result; }
    const std::vector<SimImeInstall>& ImeInstalls() const { return imeInstalls_; }

    // Keyboard layouts: the installed ones in list order, each with its name
    // ("E0010804") and, for an input method, its description in the ANSI code
    // page; the current layout of the thread; and the switches asked for. A
    // machine starts with US English (0x04090409, "00000409"), current.
    void AddKeyboardLayout(HKL layout, const std::string& name, const std::string& description);
    void SetCurrentLayout(HKL layout) { currentLayout_ = layout; }
    HKL CurrentLayout() const { return currentLayout_; }
    struct Activation {
        HKL layout;
        UINT flags;
    };
    const std::vector<Activation>& Activations() const { return activations_; }

    // GDI: a canvas of width x height pixels, white to begin with, and a device
    // context on it with the defaults of a fresh one (black pen, white brush,
    // system font, black text, opaque background).
    HDC CreateCanvas(int width, int height);
    COLORREF Pixel(HDC dc, int x, int y) const;
    std::vector<SimText> Texts(HDC dc) const;
    size_t LiveGdiObjects() const;

    // Windows. A window of a registered class gets its procedure's messages
    // and, at the top level, a canvas of its size; "EDIT" windows keep a text.
    // Messages posted wait in the queue until PumpMessages or the program's
    // own message loop; when that loop finds nothing to do, it takes the next
    // scripted user action, and without one it ends as if the quit message had
    // come (LoopRanDry tells).
    HWND AddWindow(const std::string& className, const std::string& text);
    void SetOwner(HWND window, HWND owner);
    std::string WindowText(HWND window) const;  // ANSI bytes
    bool WindowExists(HWND window) const;
    bool WindowVisible(HWND window) const;
    std::string WindowClass(HWND window) const;
    RECT WindowRect(HWND window) const;
    std::vector<HWND> ChildWindows(HWND parent) const;
    HWND Focus() const;
    HDC WindowCanvas(HWND window);  // a context on the window's canvas, for reading it
    void Click(HWND window, int x, int y, bool right = false);
    bool TimerSet(HWND window, UINT_PTR id, UINT* elapse = nullptr) const;
    void FireTimer(HWND window, UINT_PTR id);
    int PumpMessages();  // dispatches what is queued and due; returns how many
    bool QuitPosted(int* exitCode = nullptr) const;
    void ScriptUser(std::function<void()> action);
    bool LoopRanDry() const;
    void SetScreenSize(int width, int height);

    // Resources of the installer's own module.
    void SetResource(const std::string& name, const std::string& type, const std::string& bytes);
    void RemoveResource(const std::string& name, const std::string& type);

    // Dialogs: the templates the installer's module carries, and what the user
    // does in the next dialogs, the ids of the controls clicked (sent as
    // WM_COMMAND) in turn; IDCANCEL stands for the Esc key and the close box.
    // A dialog whose script runs out before it ends would stay open for ever;
    // here DialogBoxParamW then returns -1 and the dialog is recorded unended.
    void AddDialogTemplate(const std::string& name) { dialogTemplates_.insert(name); }
    void ScriptDialog(std::vector<int> commands) { dialogScripts_.push_back(std::move(commands)); }
    const std::vector<SimDialog>& Dialogs() const { return dialogs_; }

    // Global memory: blocks above the limit cannot be had.
    void LimitGlobalAlloc(SIZE_T largestBlock) { globalLimit_ = largestBlock; }
    size_t LiveGlobalBlocks() const { return globals_.size(); }

    void SetMd5Available(bool available) { md5Available_ = available; }

    // Faults: file and registry calls are counted from 1; the call numbered
    // `call` fails with `error` (ERROR_DISK_FULL, ERROR_ACCESS_DENIED ...), or
    // throws SimStop, as if the process died there. 0 sets none.
    void FailCall(long call, DWORD error);
    void StopAtCall(long call);
    long CallsMade() const;
    // What Windows releases when the process under test dies: its windows,
    // classes, queue, timers, open files and handles, device contexts, GDI
    // objects and memory, and the redirection switch; no message reaches the
    // program. Files, the registry and the record of message boxes stay, and
    // the faults set are cleared.
    void EndProcess();

    // The parts below are the simulation's own; the Win32 functions use them.
    struct Impl;
    Impl& impl() { return *impl_; }

private:
    friend struct SimAccess;
    friend struct SimDialogAccess;
    SimSetup setup_;
    std::unique_ptr<Impl> impl_;
    std::vector<SimMessageBox> messageBoxes_;
    std::deque<int> answers_;
    int questionAnswer_ = IDNO;
    std::function<void(const SimMessageBox&)> whileBoxOpen_;
    std::vector<SimProcessStart> started_;
    HKL imeInstallResult_;
    std::vector<SimImeInstall> imeInstalls_;
    std::map<std::string, std::string> resources_;
    struct Layout {
        HKL handle;
        std::string name;
        std::string description;
    };
    std::vector<Layout> layouts_;
    HKL currentLayout_ = nullptr;
    std::vector<Activation> activations_;
    // A block's handle is the address of its record, not of its bytes, as
    // with Windows' movable memory. The bytes come zeroed from calloc, so a
    // large block costs only the pages that are used.
    struct FreeBytes {
        void operator()(unsigned char* bytes) const { std::free(bytes); }
    };
    struct GlobalBlock {
        std::unique_ptr<unsigned char, FreeBytes> bytes;
    };
    std::map<HGLOBAL, std::unique_ptr<GlobalBlock>> globals_;
    SIZE_T globalLimit_ = SIZE_T(-1);
    bool md5Available_ = true;
    std::set<std::string> dialogTemplates_;
    std::deque<std::vector<int>> dialogScripts_;
    std::vector<SimDialog> dialogs_;
};

// Text conversions the tests and the simulation share.
std::string Utf8FromWide(const std::u16string& text);
std::string Utf8FromAnsi(const std::string& bytes, unsigned codePage);
std::string AnsiFromUtf8(const std::string& text, unsigned codePage);
std::u16string WideFromUtf8(const std::string& text);
