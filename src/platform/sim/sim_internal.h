// The simulation's own state behind SimMachine; seen only by sim/*.cpp.
#pragma once

#include "platform/sim/machine.h"

#include <strings.h>

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

struct SimKey {
    std::string name;
    SimKey* parent = nullptr;
    std::map<std::string, std::shared_ptr<SimKey>, NoCaseLess> children;
    std::map<std::string, SimValue, NoCaseLess> values;
    std::optional<SimKeyAccess> access;
    bool deleted = false;
};

struct SimKeyHandle {
    std::shared_ptr<SimKey> key;
    REGSAM access;
};

// A Windows path resolved to its place in the host directory.
struct SimPath {
    bool valid = false;       // syntactically a path on an existing drive
    std::string host;         // host path (existing components in their stored case)
    std::string canonical;    // lower-case Windows path, the key of file metadata
    std::string parentCanonical;
    std::string parentHost;
};

struct SimOpenFile {
    int fd;
    bool writable;
};

struct SimCanvas {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    std::vector<SimText> texts;
};

enum class SimGdiKind { Pen, Brush, Font, Bitmap };

struct SimGdiObject {
    SimGdiKind kind = SimGdiKind::Pen;
    COLORREF color = 0;
    std::string face;  // fonts
    int height = 0;
    bool stock = false;
    std::shared_ptr<SimCanvas> bitmap;  // bitmaps
};

struct SimDc {
    std::shared_ptr<SimCanvas> canvas;  // null for a memory context without a bitmap
    HGDIOBJ pen;
    HGDIOBJ brush;
    HGDIOBJ font;
    HGDIOBJ bitmap = nullptr;
    COLORREF textColor = 0;
    int bkMode = OPAQUE;
    POINT at = {0, 0};
};

struct SimWindowClass {
    WNDPROC proc;
    HICON icon;
    HBRUSH background;
};

struct SimWindow {
    std::string className;  // as registered, UTF-8
    std::string text;       // ANSI bytes in the machine's code page
    WNDPROC proc = nullptr;
    HWND parent = nullptr;
    HWND owner = nullptr;  // a top-level window's owner
    DWORD style = 0;
    RECT rect = {0, 0, 0, 0};
    bool visible = false;
    bool invalid = false;
    std::shared_ptr<SimCanvas> canvas;
    HDC readingDc = nullptr;
    std::map<UINT_PTR, UINT> timers;
};

struct SimMachine::Impl {
    explicit Impl(SimMachine& owner) : machine(owner) {}
    SimMachine& machine;
    DWORD lastError = 0;

    // Registry
    std::map<HKEY, std::shared_ptr<SimKey>> roots;
    std::map<HKEY, SimKeyHandle> keyHandles;
    uintptr_t nextKeyHandle = 0x1000;

    // Files
    std::string hostRoot;
    std::map<char, UINT> drives;
    std::string currentDirectory = "c:\\";
    std::map<std::string, DWORD> attributes;  // explicit attributes by canonical path
    std::map<std::string, SimLock> locks;
    std::set<std::string> unwritableFolders;
    std::map<int, SimOpenFile> files;
    int nextFile = 0x40;
    std::map<HANDLE, std::string> objectHandles;
    struct Search {
        std::vector<std::string> names;  // as stored, "." and ".." first below a root
        std::string dirCanonical;
        std::string dirHost;
        size_t next = 0;
    };
    std::map<HANDLE, Search> searches;
    bool redirectionOff = false;
    std::vector<std::string> unredirectedCopies;  // canonical destinations
    DWORD slept = 0;
    uintptr_t nextObjectHandle = 0x2000;

    // Windows and messages
    std::map<std::string, SimWindowClass> classes;  // by lower-case name
    std::map<HWND, SimWindow> windows;
    uintptr_t nextWindow = 0x10000;
    std::deque<MSG> queue;
    bool quit = false;
    int quitCode = 0;
    HWND focus = nullptr;
    std::deque<std::function<void()>> userActions;
    bool loopRanDry = false;
    int screenWidth = 1024;
    int screenHeight = 768;
    std::map<HWND, size_t> runningDialogs;  // index into the machine's dialogs

    // GDI
    std::map<HDC, SimDc> dcs;
    std::map<HGDIOBJ, SimGdiObject> gdiObjects;
    uintptr_t nextGdi = 0x30000;

    void Fail(DWORD error) { lastError = error; }

    // Faults injected by a test.
    long calls = 0;
    long failAt = 0;
    DWORD failError = 0;
    long stopAt = 0;
    // Counts one file or registry call: 0 to go on, else the error it fails with.
    DWORD Fault();

    // registry.cpp
    void InitRegistry();
    std::shared_ptr<SimKey> Lookup(HKEY root, const std::string& path) const;
    std::shared_ptr<SimKey> Ensure(HKEY root, const std::string& path);
    SimKeyAccess EffectiveAccess(const SimKey& key) const;

    // files.cpp
    void InitFiles();
    void RemoveFiles();
    SimPath Resolve(const std::string& path, bool redirect) const;
    bool InUnwritableFolder(const std::string& canonical) const;
    bool Redirected() const;
};

// Registry value text in both encodings.
std::string WideBytesFromAnsi(const std::string& ansi, unsigned codePage);
std::string AnsiFromWideBytes(const std::string& wideBytes, unsigned codePage);
std::string WideBytesFromUtf16(const char16_t* text, size_t units);

// A fresh device context on a canvas (gdi.cpp), as BeginPaint and GetDC give.
HDC SimNewDcOnCanvas(std::shared_ptr<SimCanvas> canvas);
