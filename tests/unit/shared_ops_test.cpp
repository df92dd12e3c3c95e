#include "base/shared_ops.h"

#include "unit/test_machine.h"

TEST(ContainsNoCase, FoldsTheTextsCapitalsOnly) {
    struct Row {
        const char* text;
        const char* word;
        int expected;
    } rows[] = {
        {"ABCdef", "cde", 1},
        {"", "cde", 0},
        {"abc", "ABC", 0},  // the word is not folded
        {"abc", "abcd", 0},  // the text's end never matches
        {"install SetMoSrf32 now", "setmosrf32", 1},
        {"regmo32=d:\\ime\\", "regmo32", 1},
        {"MOSZSJ43.MOH", ".moh", 1},
        {"readme.TXT.bak", ".txt", 1},
        {"\xD6\xC7\xC4\xDC.txt", "\xC4\xDC", 1},  // 智能: other bytes compare as they are
        {"\xD6\xC7", "\xF6\xC7", 0},
        {"@[`{", "`{", 1},  // "@" and "[" are not capitals
        {"@[", "`{", 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ContainsNoCase(row.text, row.word), row.expected) << row.text << " / " << row.word;
}

TEST(PathExists, FilesAndFoldersThatCanBeOpened) {
    TestMachine machine;
    machine.WriteFile("c:\\morahu2\\morahu4.ime", "MZ");
    EXPECT_EQ(PathExists("c:\\morahu2\\morahu4.ime"), 1);
    EXPECT_EQ(PathExists("C:\\MORAHU2"), 1) << "folders open too, in any case";
    EXPECT_EQ(PathExists("c:\\morahu2\\absent.ime"), 0);
    EXPECT_EQ(PathExists("z:\\"), 0);
}

TEST(IsWow64Windows, SixtyFourBitFromVersionSixOn) {
    struct Row {
        const char* what;
        SimSetup setup;
        bool addSyswow64;
        int expected;
        unsigned major;
        const char* wow64Dir;
    } rows[] = {
        {"Windows 7, 64-bit", SimSetup::Windows7(true), false, 1, 6, "C:\\windows\\syswow64"},
        {"Windows 7, 32-bit", SimSetup::Windows7(false), false, 0, 6, "C:\\windows\\syswow64"},
        {"Windows XP, 64-bit", SimSetup::WindowsXP(true), false, 0, 5, ""},
        {"Windows XP with a syswow64 folder", SimSetup::WindowsXP(false), true, 0, 5, ""},
        {"Windows 98", SimSetup::Windows98(), false, 0, 4, ""},
    };
    for (const Row& row : rows) {
        TestMachine machine(row.setup);
        if (row.addSyswow64) machine.MakeDirectory("c:\\windows\\syswow64");
        EXPECT_EQ(IsWow64Windows(), row.expected) << row.what;
        EXPECT_EQ(context.osMajorVersion, row.major) << row.what;
        EXPECT_STREQ(context.wow64Dir, row.wow64Dir) << row.what;
    }
}

TEST(ComposeWow64Dir, WindowsDirectoryAndSyswow64) {
    TestMachine machine;
    char out[kWow64DirSize];
    EXPECT_EQ(ComposeWow64Dir(out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\windows\\syswow64");
    char small[8];
    EXPECT_EQ(ComposeWow64Dir(small, sizeof small), 0);
    EXPECT_STREQ(small, "C:\\wind");
}
