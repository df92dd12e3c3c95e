#include "deploy/article_settings.h"

#include "unit/test_machine.h"

#include <string>

namespace {

const char kSettings[] = "c:\\morahu2\\monetsj.dat";

std::string SettingsText(const std::string& unit, const std::string& gov) {
    return "MONETURL1=" + unit + "\r\nMONETURL2=" + gov +
           "\r\nMONETTIME=1\r\nMOBJTIME=7\r\nMOWYTIME=3\r\nMOSJOFF=0\r\nMONETTIME0=0\r\nMOBJTIME0=0\r\nMONEONE=1\r\n";
}

void SetAddresses(const char* unit, const char* gov) {
    CopyTextForTest(context.unitSiteUrl, unit);
    CopyTextForTest(context.govSiteUrl, gov);
}

}  // namespace

TEST(WriteSettingsFiles, EditionFlagAndSettingsInTheInstallDirectory) {
    TestMachine machine;
    machine.MakeDirectory("c:\\morahu2");
    SetAddresses("www.unit.cn", "www.gov.cn");
    WriteSettingsFiles();
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\wbpybz.moh"), std::string("MOWBPYBZ=0\0", 11));
    EXPECT_EQ(machine.ReadFile(kSettings), SettingsText("www.unit.cn", "www.gov.cn"));
    EXPECT_STREQ(context.installDir, "c:\\morahu2\\") << "the directory comes from the record";
}

TEST(WriteSettingsFiles, NothingWhereTheDirectoryDoesNotExist) {
    TestMachine machine;
    SetAddresses("www.unit.cn", "");
    WriteSettingsFiles();
    EXPECT_FALSE(machine.DirectoryExists("c:\\morahu2"));
}

TEST(WriteSettingsFiles, EmptyAddresses) {
    for (int mode : {Interactive, SilentReinstall}) {
        TestMachine machine;
        machine.WriteFile(kSettings, SettingsText("www.old.cn", "www.oldgov.cn"));
        context.runMode = mode;
        SetAddresses("", "");
        WriteSettingsFiles();
        EXPECT_EQ(machine.ReadFile(kSettings),
                  mode == SilentReinstall ? SettingsText("www.old.cn", "www.oldgov.cn") : SettingsText("", ""))
            << (mode == SilentReinstall ? "the silent re-install keeps the addresses given before"
                                        : "an interactive install writes what the user left");
    }
}

TEST(LoadArticleSettings, AddressesIntoFieldsAndBoxes) {
    TestMachine machine;
    context.unitSiteBox = machine.AddWindow("EDIT", " ");
    context.govSiteBox = machine.AddWindow("EDIT", " ");
    machine.MakeDirectory("c:\\morahu2");
    const std::string gbk = AnsiFromUtf8("www.政府.cn", 936);
    SetAddresses("www.unit.cn", gbk.c_str());
    WriteSettingsFiles();
    SetAddresses("", "");
    LoadArticleSettings();
    EXPECT_STREQ(context.unitSiteUrl, "www.unit.cn");
    EXPECT_EQ(std::string(context.govSiteUrl), gbk);
    EXPECT_EQ(machine.WindowText(context.unitSiteBox), "www.unit.cn");
    EXPECT_EQ(machine.WindowText(context.govSiteBox), gbk);
}

TEST(LoadArticleSettings, NoFileEmptiesTheBoxes) {
    TestMachine machine;
    context.unitSiteBox = machine.AddWindow("EDIT", " ");
    context.govSiteBox = machine.AddWindow("EDIT", " ");
    SetAddresses("stale", "stale");
    LoadArticleSettings();
    EXPECT_EQ(machine.WindowText(context.unitSiteBox), "");
    EXPECT_EQ(machine.WindowText(context.govSiteBox), "");
    EXPECT_STREQ(context.unitSiteUrl, "");
}

TEST(FindKeyValue, ValuesAndTheirEnds) {
    const std::string longValue(300, 'v');
    struct Row {
        const char* what;
        std::string text;
        const char* key;
        size_t field;
        std::string value;
    } rows[] = {
        {"up to CR LF", "MONETURL1=www.a.cn\r\nMONETURL2=x\r\n", "MONETURL1=", 100, "www.a.cn"},
        {"cut at a space", "MONETURL1=www.a.cn extra\r\n", "MONETURL1=", 100, "www.a.cn"},
        {"the first occurrence", "MONETURL1=first\r\nMONETURL1=second\r\n", "MONETURL1=", 100, "first"},
        {"case matters", "moneturl1=www.a.cn\r\n", "MONETURL1=", 100, ""},
        {"anywhere in a line", "xxMONETURL2=www.b.cn", "MONETURL2=", 100, "www.b.cn"},
        {"at the very end", "MONETURL2=www.b.cn", "MONETURL2=", 100, "www.b.cn"},
        {"a zero ends it", std::string("MONETURL1=ab\0cd", 15), "MONETURL1=", 100, "ab"},
        {"GBK bytes are copied", "MONETURL1=\xD5\xFE\xB8\xAE.cn\r\n", "MONETURL1=", 100, "\xD5\xFE\xB8\xAE.cn"},
        {"no key", "MONETTIME=1\r\n", "MONETURL1=", 100, ""},
        {"empty text", "", "MONETURL1=", 100, ""},
        {"cut to the field", "MONETURL1=" + longValue, "MONETURL1=", 100, longValue.substr(0, 99)},
        {"at most 250 bytes", "MONETURL1=" + longValue, "MONETURL1=", 400, longValue.substr(0, 250)},
    };
    for (const Row& row : rows) {
        std::vector<char> field(row.field + 8, 0x7F);
        FindKeyValue(row.text.data(), row.text.size(), row.key, field.data(), row.field);
        EXPECT_EQ(std::string(field.data()), row.value) << row.what;
        EXPECT_EQ(field[row.field], 0x7F) << row.what << ": nothing past the field";
    }
}
