// Version, memory, resources and the MD5 functions of advapi32.
#include "contract/contract.h"

#include <cstdio>
#include <cstring>

TEST_F(ContractTest, VersionRecordsAgree) {
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof extended;
    ASSERT_EQ(sizeof extended, 156u);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)));
    DWORD packed = GetVersion();
    EXPECT_EQ(packed & 0xFF, extended.dwMajorVersion);
    EXPECT_EQ((packed >> 8) & 0xFF, extended.dwMinorVersion);
    EXPECT_EQ((packed & 0x80000000u) != 0, extended.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS);
}

TEST_F(ContractTest, MovableZeroedBlockOfTwoMegabytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 0x200000);
    ASSERT_NE(block, nullptr);
    unsigned char* bytes = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[0x1FFFFF], 0);
    bytes[0x1FFFFF] = 1;
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST_F(ContractTest, MissingResourceIsNotFound) {
    EXPECT_EQ(FindResourceA(nullptr, "NOSUCHRES", "MOZ"), nullptr);
}

// The MD5 functions as the archive code loads them: an MD5_CTX of 104 bytes
// with the digest at offset 88.
TEST_F(ContractTest, Md5FromAdvapi32) {
    typedef void(WINAPI * Md5Init)(void*);
    typedef void(WINAPI * Md5Update)(void*, const unsigned char*, unsigned int);
    typedef void(WINAPI * Md5Final)(void*);
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    ASSERT_NE(advapi, nullptr);
    auto init = reinterpret_cast<Md5Init>(reinterpret_cast<void*>(GetProcAddress(advapi, "MD5Init")));
    auto update = reinterpret_cast<Md5Update>(reinterpret_cast<void*>(GetProcAddress(advapi, "MD5Update")));
    auto final = reinterpret_cast<Md5Final>(reinterpret_cast<void*>(GetProcAddress(advapi, "MD5Final")));
    ASSERT_TRUE(init && update && final);
    struct Row {
        std::string input;
        const char* digest;
    } rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
    };
    for (const Row& row : rows) {
        unsigned char ctx[104];
        std::memset(ctx, 0x7F, sizeof ctx);
        init(ctx);
        // Fed in two pieces, across a block boundary where there is one.
        size_t half = row.input.size() / 2 + 1;
        if (half > row.input.size()) half = row.input.size();
        update(ctx, reinterpret_cast<const unsigned char*>(row.input.data()), static_cast<unsigned>(half));
        update(ctx, reinterpret_cast<const unsigned char*>(row.input.data()) + half,
               static_cast<unsigned>(row.input.size() - half));
        final(ctx);
        char hex[33];
        for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx[88 + i]);
        EXPECT_STREQ(hex, row.digest) << row.input.size() << " bytes";
    }
    FreeLibrary(advapi);
}

TEST_F(ContractTest, KeyboardLayoutListAndName) {
    int count = GetKeyboardLayoutList(0, nullptr);
    ASSERT_GE(count, 1);
    HKL one[1] = {};
    EXPECT_EQ(GetKeyboardLayoutList(1, one), 1) << "a short list takes what fits";
    EXPECT_NE(one[0], nullptr);
    char name[KL_NAMELENGTH + 8];
    std::memset(name, 0x7F, sizeof name);
    ASSERT_TRUE(GetKeyboardLayoutNameA(name));
    EXPECT_EQ(std::strlen(name), 8u) << "eight hexadecimal digits";
    EXPECT_NE(GetKeyboardLayout(0), nullptr);
}
