// The machine itself: setup, text conversions, and the small system services
// (version, memory, resources, libraries, processes, message boxes, IMM).
#include "platform/sim/sim_internal.h"

#include "base/md5.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <iterator>
#include <unistd.h>

namespace {
SimMachine* g_current = nullptr;
}

SimSetup SimSetup::Windows98() {
    SimSetup s;
    s.major = 4;
    s.minor = 10;
    s.build = 2222;
    s.win9x = true;
    s.is64Bit = false;
    return s;
}

SimSetup SimSetup::WindowsXP(bool is64Bit) {
    SimSetup s;
    s.major = 5;
    s.minor = 1;
    s.build = 2600;
    s.is64Bit = is64Bit;
    return s;
}

SimSetup SimSetup::Windows7(bool is64Bit) {
    SimSetup s;
    s.is64Bit = is64Bit;
    return s;
}

SimSetup SimSetup::WithCodePage(unsigned page) const {
    SimSetup s = *this;
    s.codePage = page;
    return s;
}

SimSetup SimSetup::WithoutAdministrator() const {
    SimSetup s = *this;
    s.administrator = false;
    return s;
}

SimSetup SimSetup::As64BitProcess() const {
    SimSetup s = *this;
    s.process64 = true;
    return s;
}

SimMachine::SimMachine(const SimSetup& setup)
    : setup_(setup), impl_(new Impl(*this)), imeInstallResult_(reinterpret_cast<HKL>(uintptr_t(0xE0010804u))) {
    assert(g_current == nullptr && "one simulated machine at a time");
    g_current = this;
    impl_->InitRegistry();
    impl_->InitFiles();
    // Every Windows has a keyboard layout: US English, current to begin with.
    AddKeyboardLayout(reinterpret_cast<HKL>(uintptr_t(0x04090409u)), "00000409", "");
    currentLayout_ = layouts_[0].handle;
    if (!setup.administrator) {
        MakeFolderUnwritable("c:\\windows");
        SetKeyAccess(HKEY_LOCAL_MACHINE, "", SimKeyAccess::ReadOnly);
    }
}

SimMachine::~SimMachine() {
    impl_->RemoveFiles();
    g_current = nullptr;
}

DWORD SimMachine::Impl::Fault() {
    ++calls;
    if (calls == stopAt) throw SimStop{calls};
    if (calls != failAt) return 0;
    Fail(failError);
    return failError;
}

void SimMachine::FailCall(long call, DWORD error) {
    impl_->failAt = call;
    impl_->failError = error;
}

void SimMachine::StopAtCall(long call) { impl_->stopAt = call; }

long SimMachine::CallsMade() const { return impl_->calls; }

void SimMachine::EndProcess() {
    Impl& m = *impl_;
    for (auto& f : m.files) close(f.second.fd);
    m.files.clear();
    m.keyHandles.clear();
    m.objectHandles.clear();
    m.searches.clear();
    m.redirectionOff = false;
    m.classes.clear();
    m.windows.clear();
    m.queue.clear();
    m.quit = false;
    m.quitCode = 0;
    m.focus = nullptr;
    m.userActions.clear();
    m.loopRanDry = false;
    m.runningDialogs.clear();
    m.dcs.clear();
    for (auto it = m.gdiObjects.begin(); it != m.gdiObjects.end();)
        it = it->second.stock ? std::next(it) : m.gdiObjects.erase(it);
    globals_.clear();
    answers_.clear();
    m.failAt = 0;
    m.stopAt = 0;
}

SimMachine& SimMachine::Current() {
    if (g_current == nullptr) {
        std::fprintf(stderr, "Win32 called with no simulated machine: construct a SimMachine first\n");
        std::abort();
    }
    return *g_current;
}

static SimMachine::Impl& Sys() { return SimMachine::Current().impl(); }

// ---------------------------------------------------------------- text

namespace {

const char* CharsetOf(unsigned codePage) {
    switch (codePage) {
    case 936: return "GBK";
    case 950: return "BIG5";
    case 1252: return "CP1252";
    default: return "CP437";
    }
}

// Converts with iconv; a byte that does not convert becomes "?" (in the target's
// own encoding), as Windows puts its default character in its place.
std::string Convert(const std::string& input, const char* from, const char* to, const std::string& replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, o - buffer);
        if (r == size_t(-1) && errno != E2BIG) {
            out += replacement;
            size_t skip = std::min<size_t>(inLeft, std::strcmp(from, "UTF-16LE") == 0 ? 2 : 1);
            in += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Utf8FromWide(const std::u16string& text) {
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return Convert(bytes, "UTF-16LE", "UTF-8", "?");
}

std::u16string WideFromUtf8(const std::string& text) {
    std::string bytes = Convert(text, "UTF-8", "UTF-16LE", std::string("?\0", 2));
    return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
}

std::string Utf8FromAnsi(const std::string& bytes, unsigned codePage) {
    return Convert(bytes, CharsetOf(codePage), "UTF-8", "?");
}

std::string AnsiFromUtf8(const std::string& text, unsigned codePage) {
    return Convert(text, "UTF-8", CharsetOf(codePage), "?");
}

std::string WideBytesFromAnsi(const std::string& ansi, unsigned codePage) {
    return Convert(ansi, CharsetOf(codePage), "UTF-16LE", std::string("?\0", 2));
}

std::string AnsiFromWideBytes(const std::string& wideBytes, unsigned codePage) {
    return Convert(wideBytes, "UTF-16LE", CharsetOf(codePage), "?");
}

std::string WideBytesFromUtf16(const char16_t* text, size_t units) {
    return std::string(reinterpret_cast<const char*>(text), units * 2);
}

// ---------------------------------------------------------------- errors

DWORD GetLastError() { return Sys().lastError; }
void SetLastError(DWORD error) { Sys().lastError = error; }

// ---------------------------------------------------------------- version

DWORD GetVersion() {
    const SimSetup& s = SimMachine::Current().Setup();
    if (s.win9x) return 0xC0000000u | (s.minor << 8) | s.major;
    return (s.build << 16) | (s.minor << 8) | s.major;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                            info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const SimSetup& s = SimMachine::Current().Setup();
    info->dwMajorVersion = s.major;
    info->dwMinorVersion = s.minor;
    info->dwBuildNumber = s.build;
    info->dwPlatformId = s.win9x ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

UINT GetOEMCP() { return SimMachine::Current().Setup().codePage; }

// ---------------------------------------------------------------- global memory

struct SimAccess {
    using GlobalBlock = SimMachine::GlobalBlock;
    static auto& Globals() { return SimMachine::Current().globals_; }
    static SIZE_T Limit() { return SimMachine::Current().globalLimit_; }
    static auto& Resources() { return SimMachine::Current().resources_; }
    static bool Md5() { return SimMachine::Current().md5Available_; }
    static void Record(const SimMessageBox& box) {
        SimMachine& machine = SimMachine::Current();
        machine.messageBoxes_.push_back(box);
        if (machine.whileBoxOpen_) {
            machine.whileBoxOpen_(box);
            machine.PumpMessages();  // the box's modal loop
        }
    }
    static int NextAnswer(UINT type) {
        auto& answers = SimMachine::Current().answers_;
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        return (type & 0xF) == MB_YESNO ? SimMachine::Current().questionAnswer_ : IDOK;
    }
    static void Started(const SimProcessStart& s) { SimMachine::Current().started_.push_back(s); }
    static const SimMachine::Layout* FindLayout(HKL layout) {
        for (const auto& l : SimMachine::Current().layouts_)
            if (l.handle == layout) return &l;
        return nullptr;
    }
    static std::vector<SimMachine::Layout>& Layouts() { return SimMachine::Current().layouts_; }
    static HKL& Current() { return SimMachine::Current().currentLayout_; }
    static void Activated(HKL layout, UINT flags) { SimMachine::Current().activations_.push_back({layout, flags}); }
    static HKL ImeInstall(const SimImeInstall& call) {
        SimMachine& m = SimMachine::Current();
        m.imeInstalls_.push_back(call);
        return m.imeInstallResult_;
    }
};

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
    if (bytes > SimAccess::Limit()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<SimAccess::GlobalBlock>();
    block->bytes.reset(static_cast<unsigned char*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
    if (block->bytes == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL handle = block.get();
    SimAccess::Globals()[handle] = std::move(block);
    return handle;
}

LPVOID GlobalLock(HGLOBAL block) {
    auto& globals = SimAccess::Globals();
    auto it = globals.find(block);
    if (it == globals.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL) { return FALSE; }  // FALSE: the lock count reached zero

HGLOBAL GlobalFree(HGLOBAL block) {
    auto& globals = SimAccess::Globals();
    auto it = globals.find(block);
    if (it == globals.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return block;
    }
    globals.erase(it);
    return nullptr;
}

// ---------------------------------------------------------------- resources

namespace {
std::string ResourceKey(const std::string& name, const std::string& type) {
    std::string key = type + "\n" + name;
    for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return key;
}
}  // namespace

void SimMachine::SetResource(const std::string& name, const std::string& type, const std::string& bytes) {
    resources_[ResourceKey(name, type)] = bytes;
}

void SimMachine::RemoveResource(const std::string& name, const std::string& type) {
    resources_.erase(ResourceKey(name, type));
}

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
    auto& resources = SimAccess::Resources();
    auto it = resources.find(ResourceKey(name, type));
    if (it == resources.end()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(&it->second);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (resource == nullptr) return nullptr;
    return const_cast<char*>(reinterpret_cast<std::string*>(resource)->data());
}

LPVOID LockResource(HGLOBAL resource) { return resource; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource ? static_cast<DWORD>(reinterpret_cast<std::string*>(resource)->size()) : 0;
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

// ---------------------------------------------------------------- libraries: advapi32's MD5

namespace {

// advapi32's MD5 functions over its MD5_CTX, which Md5State mirrors. They take
// the context untyped, as the installer calls them.
void WINAPI SimMd5Init(void* ctx) { Md5Begin(static_cast<Md5State*>(ctx)); }
void WINAPI SimMd5Update(void* ctx, const unsigned char* data, unsigned int length) {
    Md5Add(static_cast<Md5State*>(ctx), data, length);
}
void WINAPI SimMd5Final(void* ctx) { Md5End(static_cast<Md5State*>(ctx)); }

HMODULE const kAdvapi32 = reinterpret_cast<HMODULE>(uintptr_t(0x7ADA0000u));
HMODULE const kKernel32 = reinterpret_cast<HMODULE>(uintptr_t(0x7B400000u));

// kernel32's switch of the file-system redirection. It exists on 64-bit
// Windows and from Windows 6 on; on 32-bit Windows it has nothing to switch.
BOOL WINAPI SimDisableRedirection(PVOID* old) {
    auto& sys = SimMachine::Current().impl();
    if (!SimMachine::Current().Setup().is64Bit) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (old != nullptr) *old = reinterpret_cast<PVOID>(uintptr_t(sys.redirectionOff ? 1 : 0));
    sys.redirectionOff = true;
    return TRUE;
}

BOOL WINAPI SimRevertRedirection(PVOID old) {
    SimMachine::Current().impl().redirectionOff = old != nullptr;
    return SimMachine::Current().Setup().is64Bit;
}

bool HasRedirectionSwitch() {
    const SimSetup& s = SimMachine::Current().Setup();
    return s.is64Bit || s.major >= 6;
}

void* Kernel32Export(const char* name) {
    if (!HasRedirectionSwitch()) return nullptr;
    if (std::strcmp(name, "Wow64DisableWow64FsRedirection") == 0) return reinterpret_cast<void*>(&SimDisableRedirection);
    if (std::strcmp(name, "Wow64RevertWow64FsRedirection") == 0) return reinterpret_cast<void*>(&SimRevertRedirection);
    return nullptr;
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) {
    if (name != nullptr && strcasecmp(name, "kernel32.dll") == 0) return kKernel32;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE LoadLibraryA(LPCSTR name) {
    if (name != nullptr && strcasecmp(name, "advapi32.dll") == 0 && SimAccess::Md5()) return kAdvapi32;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (module == kAdvapi32 && name != nullptr) {
        // Through void*, as a real export table hands them out untyped.
        void* function = nullptr;
        if (std::strcmp(name, "MD5Init") == 0) function = reinterpret_cast<void*>(&SimMd5Init);
        if (std::strcmp(name, "MD5Update") == 0) function = reinterpret_cast<void*>(&SimMd5Update);
        if (std::strcmp(name, "MD5Final") == 0) function = reinterpret_cast<void*>(&SimMd5Final);
        if (function != nullptr) return reinterpret_cast<FARPROC>(function);
    }
    if (module == kKernel32 && name != nullptr) {
        if (void* function = Kernel32Export(name)) return reinterpret_cast<FARPROC>(function);
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return module == kAdvapi32 ? TRUE : FALSE; }

// ---------------------------------------------------------------- processes, message boxes, IMM

BOOL CreateProcessA(LPCSTR, LPSTR commandLine, void*, void*, BOOL, DWORD, LPVOID, LPCSTR, STARTUPINFOA* startup,
                    PROCESS_INFORMATION* information) {
    bool shown = startup != nullptr && (startup->dwFlags & STARTF_USESHOWWINDOW);
    SimAccess::Started({commandLine ? commandLine : "", shown ? startup->wShowWindow : UINT(SW_SHOWNORMAL),
                        SimMachine::Current().impl().redirectionOff});
    auto& handles = SimMachine::Current().impl().objectHandles;
    auto& next = SimMachine::Current().impl().nextObjectHandle;
    information->hProcess = reinterpret_cast<HANDLE>(next);
    information->hThread = reinterpret_cast<HANDLE>(next + 4);
    handles[information->hProcess] = "process";
    handles[information->hThread] = "thread";
    next += 8;
    information->dwProcessId = information->dwThreadId = 0;
    return TRUE;
}

// Nothing waits: the time asked for is only counted.
void Sleep(DWORD milliseconds) { SimMachine::Current().impl().slept += milliseconds; }

DWORD SimMachine::SleptMilliseconds() const { return impl_->slept; }

void SimMachine::AnswerMessageBoxes(std::initializer_list<int> answers) {
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    SimMessageBox box{true, Utf8FromWide(text ? text : u""), Utf8FromWide(caption ? caption : u""), type, 0};
    box.answer = SimAccess::NextAnswer(type);
    SimAccess::Record(box);
    return box.answer;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    unsigned page = SimMachine::Current().Setup().codePage;
    SimMessageBox box{false, Utf8FromAnsi(text ? text : "", page), Utf8FromAnsi(caption ? caption : "", page), type, 0};
    box.answer = SimAccess::NextAnswer(type);
    SimAccess::Record(box);
    return box.answer;
}

HKL ImmInstallIMEW(LPCWSTR imeFileName, LPCWSTR layoutText) {
    return SimAccess::ImeInstall({Utf8FromWide(imeFileName ? imeFileName : u""),
                                  Utf8FromWide(layoutText ? layoutText : u"")});
}

// ---------------------------------------------------------------- keyboard layouts

void SimMachine::AddKeyboardLayout(HKL layout, const std::string& name, const std::string& description) {
    for (auto& existing : layouts_) {
        if (existing.handle == layout) {
            existing = {layout, name, description};
            return;
        }
    }
    layouts_.push_back({layout, name, description});
}

HKL GetKeyboardLayout(DWORD) { return SimAccess::Current(); }

BOOL GetKeyboardLayoutNameA(LPSTR name) {
    const auto* layout = SimAccess::FindLayout(SimAccess::Current());
    std::string text = layout ? layout->name.substr(0, KL_NAMELENGTH - 1) : "00000409";
    std::memcpy(name, text.c_str(), text.size() + 1);
    return TRUE;
}

// Copies at most `count` handles; the list may be longer.
int GetKeyboardLayoutList(int count, HKL* list) {
    const auto& layouts = SimAccess::Layouts();
    if (count <= 0 || list == nullptr) return static_cast<int>(layouts.size());
    int n = 0;
    for (; n < count && n < static_cast<int>(layouts.size()); ++n) list[n] = layouts[n].handle;
    return n;
}

HKL ActivateKeyboardLayout(HKL layout, UINT flags) {
    SimAccess::Activated(layout, flags);
    if (SimAccess::FindLayout(layout) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HKL previous = SimAccess::Current();
    SimAccess::Current() = layout;
    return previous;
}

// An input method's description, cut to the buffer without a terminator where
// it does not fit; 0 for a layout that is no input method.
UINT ImmGetDescriptionA(HKL layout, LPSTR description, UINT bufferLength) {
    const auto* found = SimAccess::FindLayout(layout);
    if (found == nullptr || found->description.empty()) return 0;
    const std::string& text = found->description;
    if (bufferLength == 0 || description == nullptr) return static_cast<UINT>(text.size());
    size_t copied = std::min<size_t>(text.size(), bufferLength);
    std::memcpy(description, text.data(), copied);
    if (copied < bufferLength) description[copied] = '\0';
    return static_cast<UINT>(copied);
}

