// Registry behaviours the installer relies on.
#include "contract/contract.h"

#include <cstring>

namespace {

const BYTE kSentinel = 0x7F;

LSTATUS SetText(HKEY key, const char* name, const char* text, DWORD count) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), count);
}

}  // namespace

// Strings are written with a byte count that leaves out the terminator. The
// NT family looks at the byte after the count: when it is the terminator, the
// value is stored with it. Otherwise the value is exactly the bytes counted,
// and reading it back adds a zero behind them only where the caller's count
// leaves room.
TEST_F(ContractTest, StringCountedWithoutTerminator) {
    struct Row {
        const char* what;
        const char* data;  // three bytes counted
        DWORD bufferCount;
        LSTATUS status;
        DWORD size;
        int zeroAfterThree;  // 1: a zero at buffer[3]; 0: buffer[3] untouched
    } rows[] = {
        {"terminated in memory, room", "abc", 16, ERROR_SUCCESS, 4, 1},
        {"terminated in memory, three bytes of room", "abc", 3, ERROR_MORE_DATA, 4, -1},
        {"not terminated, room", "abcd", 16, ERROR_SUCCESS, 3, 1},
        {"not terminated, exact fit", "abcd", 3, ERROR_SUCCESS, 3, 0},
        {"not terminated, one byte short", "abcd", 2, ERROR_MORE_DATA, 3, -1},
    };
    HKEY key = Key("strings");
    for (const Row& row : rows) {
        ASSERT_EQ(SetText(key, "path", row.data, 3), ERROR_SUCCESS) << row.what;
        BYTE buffer[32];
        std::memset(buffer, kSentinel, sizeof buffer);
        DWORD type = 0, size = row.bufferCount;
        LSTATUS status = RegQueryValueExA(key, "path", nullptr, &type, buffer, &size);
        EXPECT_EQ(status, row.status) << row.what;
        EXPECT_EQ(size, row.size) << row.what;
        if (row.status != ERROR_SUCCESS) continue;  // a short buffer's contents are undefined
        EXPECT_EQ(type, DWORD(REG_SZ)) << row.what;
        EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0) << row.what;
        EXPECT_EQ(buffer[3], row.zeroAfterThree ? 0 : kSentinel) << row.what;
        EXPECT_EQ(buffer[4], kSentinel) << row.what;
    }
}

TEST_F(ContractTest, EmptyStringHasNoBytes) {
    HKEY key = Key("empty");
    ASSERT_EQ(SetText(key, "qovi7400", "", 0), ERROR_SUCCESS);
    BYTE buffer[8];
    std::memset(buffer, kSentinel, sizeof buffer);
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "qovi7400", nullptr, &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 0u);
}

TEST_F(ContractTest, ValueAndKeyNamesIgnoreCase) {
    HKEY key = Key("Morawb");
    ASSERT_EQ(SetText(key, "Path", "d:\\ime\\", 7), ERROR_SUCCESS);
    HKEY again;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath("MORAWB").c_str(), 0, KEY_READ, &again), ERROR_SUCCESS);
    char buffer[16] = {};
    DWORD size = sizeof buffer - 1;
    EXPECT_EQ(RegQueryValueExA(again, "PATH", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "d:\\ime\\");
    RegCloseKey(again);
}

TEST_F(ContractTest, MissingKeysAndValues) {
    HKEY key = Key("present");
    HKEY missing;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath("absent").c_str(), 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    DWORD size = 4;
    BYTE buffer[4];
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "absent"), ERROR_FILE_NOT_FOUND);
}

// The records open their first key for reading and create the key they write
// below it with full access.
TEST_F(ContractTest, SubKeyCreatedUnderReadHandle) {
    Key("parent");
    HKEY parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath("parent").c_str(), 0, KEY_READ, &parent), ERROR_SUCCESS);
    EXPECT_EQ(SetText(parent, "x", "1", 1), ERROR_ACCESS_DENIED) << "a read handle cannot set values";

    HKEY child;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(parent, "child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_EQ(SetText(child, "x", "1", 1), ERROR_SUCCESS);
    RegCloseKey(child);
    ASSERT_EQ(RegCreateKeyExA(parent, "child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(child);
    EXPECT_EQ(RegDeleteKeyA(parent, "child"), ERROR_SUCCESS);
    RegCloseKey(parent);
}

TEST_F(ContractTest, KeyWithSubKeysIsNotDeleted) {
    Key("tree\\leaf");
    HKEY scratch;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, KEY_ALL_ACCESS, &scratch), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(scratch, "tree"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch, "tree\\leaf"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch, "tree"), ERROR_SUCCESS);
    RegCloseKey(scratch);
}

// Sub keys come in name order without regard to case, each in its own case.
TEST_F(ContractTest, SubKeysEnumerateInNameOrder) {
    HKEY parent = Key("layouts");
    for (const char* name : {"e0200804", "E0100804", "00000409", "E0210404", "b"}) {
        HKEY child;
        ASSERT_EQ(RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(child);
        Key(std::string("layouts\\") + name);
    }
    const char* expected[] = {"00000409", "b", "E0100804", "e0200804", "E0210404"};
    for (DWORD i = 0; i < 5; ++i) {
        char name[200];
        DWORD length = sizeof name;
        ASSERT_EQ(RegEnumKeyExA(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS) << i;
        EXPECT_STREQ(name, expected[i]) << i;
        EXPECT_EQ(length, std::strlen(expected[i])) << i;
    }
    char name[200];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(parent, 5, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(ContractTest, SubKeyNameLongerThanBufferGivesMoreData) {
    HKEY parent = Key("short");
    Key("short\\abcdefgh");
    char name[8];
    DWORD length = sizeof name;  // room for 7 characters and the terminator
    EXPECT_EQ(RegEnumKeyExA(parent, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 9;
    char fits[9];
    EXPECT_EQ(RegEnumKeyExA(parent, 0, fits, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(length, 8u);
}

// The uninstall entry is written with the wide functions, counted without the
// terminator; as with the 8-bit functions, the one behind the count is kept.
TEST_F(ContractTest, WideStringWithoutTerminatorReadsBack) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Wide(u"Software\\MoraContract\\wide"), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    Key("wide");
    const char16_t text[] = u"墨川五笔";
    ASSERT_EQ(RegSetValueExW(key, Wide(u"DisplayName"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 8),
              ERROR_SUCCESS);
    char16_t buffer[8];
    std::memset(buffer, kSentinel, sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key, Wide(u"DisplayName"), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 10u) << "stored with the terminator that follows in memory";
    EXPECT_EQ(std::memcmp(buffer, text, 10), 0);
    RegCloseKey(key);
}

// Under code page 936 an 8-bit string is GBK: the wide functions see it as
// the characters it encodes.
TEST_F(ContractTest, AnsiStringIsConvertedThroughCodePage) {
    if (GetOEMCP() != 936) GTEST_SKIP() << "needs code page 936";
    HKEY key = Key("gbk");
    const char gbk[] = "\xD6\xC7\xC4\xDC";  // 智能
    ASSERT_EQ(SetText(key, "text", gbk, 4), ERROR_SUCCESS);
    char16_t buffer[4] = {};
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key, Wide(u"text"), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(buffer[0], u'智');
    EXPECT_EQ(buffer[1], u'能');
}

// The 9x preload list keeps each entry as the default value of a numbered key.
TEST_F(ContractTest, DefaultValueOfAKey) {
    HKEY key = Key("preload\\1");
    const char id[] = "E0010804";
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(id), 8), ERROR_SUCCESS);
    char buffer[10];
    std::memset(buffer, kSentinel, sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS)
        << "the empty name is the default value";
    EXPECT_STREQ(buffer, id);
    HKEY empty = Key("preload\\2");
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(empty, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_FILE_NOT_FOUND)
        << "a key created without one has no default value";
}

TEST_F(ContractTest, SubKeyCountFromQueryInfo) {
    HKEY parent = Key("counted");
    Key("counted\\a");
    Key("counted\\b");
    Key("counted\\b\\deeper");
    HKEY reader;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath("counted").c_str(), 0, KEY_READ, &reader), ERROR_SUCCESS);
    DWORD subKeys = 99, values = 99;
    ASSERT_EQ(RegQueryInfoKeyA(reader, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u) << "direct sub keys only";
    EXPECT_EQ(values, 0u);
    RegCloseKey(reader);
    (void)parent;
}
