// The machine itself: setup, text conversions, and the small system services
// (version, memory, resources, libraries, processes, message boxes, IMM).
#include "platform/sim/sim_internal.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <iconv.h>

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
    static auto& Globals() { return SimMachine::Current().globals_; }
    static SIZE_T Limit() { return SimMachine::Current().globalLimit_; }
    static auto& Resources() { return SimMachine::Current().resources_; }
    static bool Md5() { return SimMachine::Current().md5Available_; }
    static void Record(const SimMessageBox& box) { SimMachine::Current().messageBoxes_.push_back(box); }
    static int NextAnswer(UINT type) {
        auto& answers = SimMachine::Current().answers_;
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
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
    auto block = std::make_unique<std::vector<unsigned char>>(bytes == 0 ? 1 : bytes, 0);
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
    return it->second->data();
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

// The MD5_CTX of advapi32: counters, state, input block, digest.
struct Md5Context {
    uint32_t count[2];
    uint32_t state[4];
    unsigned char input[64];
    unsigned char digest[16];
};
static_assert(sizeof(Md5Context) == 104, "MD5_CTX is 104 bytes");

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Md5Block(uint32_t state[4], const unsigned char block[64]) {
    static const uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    static const int r[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                              5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                              4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                              6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 | uint32_t(block[i * 4 + 2]) << 16 |
               uint32_t(block[i * 4 + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) { f = (b & c) | (~b & d); g = i; }
        else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
        else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
        else { f = c ^ (b | ~d); g = (7 * i) % 16; }
        uint32_t next = d;
        d = c;
        c = b;
        b = b + Rotl(a + f + k[i] + m[g], r[i]);
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void WINAPI SimMd5Init(Md5Context* ctx) {
    std::memset(ctx, 0, sizeof *ctx);
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xefcdab89;
    ctx->state[2] = 0x98badcfe;
    ctx->state[3] = 0x10325476;
}

void WINAPI SimMd5Update(Md5Context* ctx, const unsigned char* data, unsigned int length) {
    unsigned have = (ctx->count[0] >> 3) & 63;
    uint32_t bits = length << 3;
    ctx->count[0] += bits;
    if (ctx->count[0] < bits) ctx->count[1]++;
    ctx->count[1] += length >> 29;
    while (length > 0) {
        unsigned take = std::min<unsigned>(64 - have, length);
        std::memcpy(ctx->input + have, data, take);
        have += take;
        data += take;
        length -= take;
        if (have == 64) {
            Md5Block(ctx->state, ctx->input);
            have = 0;
        }
    }
}

void WINAPI SimMd5Final(Md5Context* ctx) {
    unsigned char lengthBytes[8];
    for (int i = 0; i < 4; ++i) {
        lengthBytes[i] = static_cast<unsigned char>(ctx->count[0] >> (8 * i));
        lengthBytes[4 + i] = static_cast<unsigned char>(ctx->count[1] >> (8 * i));
    }
    static const unsigned char pad[64] = {0x80};
    unsigned have = (ctx->count[0] >> 3) & 63;
    SimMd5Update(ctx, pad, have < 56 ? 56 - have : 120 - have);
    SimMd5Update(ctx, lengthBytes, 8);
    for (int i = 0; i < 16; ++i) ctx->digest[i] = static_cast<unsigned char>(ctx->state[i / 4] >> (8 * (i % 4)));
}

HMODULE const kAdvapi32 = reinterpret_cast<HMODULE>(uintptr_t(0x7ADA0000u));

}  // namespace

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
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return module == kAdvapi32 ? TRUE : FALSE; }

// ---------------------------------------------------------------- processes, message boxes, IMM

UINT WinExec(LPCSTR commandLine, UINT show) {
    SimAccess::Started({commandLine ? commandLine : "", show});
    return 33;  // above 31: started
}

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
