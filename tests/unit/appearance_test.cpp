#include "deploy/appearance.h"

#include "archive/extraction.h"
#include "unit/deploy_fixture.h"

#include <string>
#include <vector>

namespace {

const char kDir[] = "c:\\morahu2\\";
const char kSettings[] = "c:\\morahu2\\moszsj43.moh";
const char* const kSkins[] = {"冷色瓷面.moz", "粉色瓷面.moz", "小天使.moz"};

// The settings record a previous version left: every byte its own offset.
std::string OldSettings(size_t length = kSettingsRecordSize) {
    std::string record(length, '\0');
    for (size_t i = 0; i < length; ++i) record[i] = static_cast<char>(i);
    return record;
}

// Pictures long enough to be shorter compressed: the check of an archive of
// the older layout passes a file at least as long as the entry's data.
std::string SkinArchive(int skin) {
    std::string tag = std::to_string(skin);
    return MakeArchive({{"skin" + tag + "a.bmp", std::string(300, 'a') + tag, ""},
                        {"skin" + tag + "b.bmp", std::string(300, 'b') + tag, ""}},
                       '1');
}

// The installation done: the payload, with the three skins and the settings
// record, unpacked into c:\morahu2\, and the wizard's window in place.
void PrepareInstalled(SimMachine& machine) {
    std::vector<FixtureEntry> entries = DeployEntries();
    for (int i = 0; i < 3; ++i) entries.push_back({AnsiFromUtf8(kSkins[i], 936), SkinArchive(i + 1), ""});
    entries.push_back({"moszsj43.moh", OldSettings(), ""});
    MapTestPayload(machine, MakeArchive(entries));
    machine.MakeDirectory(kDir);
    ASSERT_EQ(MozExtractAll(context.payload, context.payloadSize, context.scratch, kScratchSize), 1);
    context.mainWindow = machine.AddWindow("installWClass", "");
    MoveWindow(context.mainWindow, 312, 234, 400, 310, FALSE);
    machine.AddDialogTemplate("PYKEY");
    machine.AddDialogTemplate("PYKEYB");
}

class Appearance : public ::testing::Test {
protected:
    explicit Appearance(const SimSetup& setup = SimSetup::Windows7()) : machine(setup) {}
    void SetUp() override { PrepareInstalled(machine); }
    std::string Settings() const { return machine.ReadFile(kSettings); }
    TestMachine machine;
};

class AppearanceOn950 : public Appearance {
protected:
    AppearanceOn950() : Appearance(SimSetup::Windows7().WithCodePage(950)) {}
};

bool SkinInstalled(const SimMachine& machine, int skin) {
    return machine.FileExists(std::string(kDir) + "skin" + std::to_string(skin) + "a.bmp");
}

}  // namespace

TEST_F(Appearance, DefaultChoiceWithoutAClick) {
    machine.ScriptDialog({105});
    SelectAppearance();
    WriteImeSettings();
    ASSERT_EQ(machine.Dialogs().size(), 1u);
    const SimDialog& dialog = machine.Dialogs()[0];
    EXPECT_EQ(dialog.templateName, "PYKEY");
    EXPECT_EQ(dialog.owner, context.mainWindow);
    EXPECT_EQ((std::vector<LONG>{dialog.rect.left, dialog.rect.top}), (std::vector<LONG>{312, 234}))
        << "moved onto the main window's corner";
    EXPECT_EQ(dialog.checks, (std::vector<std::pair<int, int>>{{101, 1}, {102, 0}, {106, 0}, {107, 0}, {110, 1},
                                                               {111, 0}, {112, 0}}));
    EXPECT_EQ(dialog.answers, std::vector<INT_PTR>{TRUE});
    EXPECT_EQ((std::vector<int>{windowMode, skinChoice}), (std::vector<int>{1, 1}));
    EXPECT_TRUE(SkinInstalled(machine, 1));
    EXPECT_FALSE(SkinInstalled(machine, 2));
    EXPECT_EQ(Settings()[0], 0);
    EXPECT_EQ(Settings()[21], 0);
    EXPECT_TRUE(machine.MessageBoxes().empty());
}

TEST_F(Appearance, EscapeAndTheCloseBoxDoNothing) {
    machine.ScriptDialog({IDCANCEL, IDCANCEL, 107, IDCANCEL, 105});
    SelectAppearance();
    const SimDialog& dialog = machine.Dialogs()[0];
    EXPECT_EQ(dialog.answers, (std::vector<INT_PTR>{FALSE, FALSE, FALSE, FALSE, TRUE}));
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(windowMode, 4);
}

TEST_F(Appearance, OnlyOkEndsTheDialog) {
    machine.ScriptDialog({IDCANCEL, 999, 101, 112});
    SelectAppearance();
    EXPECT_FALSE(machine.Dialogs()[0].ended);
    EXPECT_EQ((std::vector<int>{windowMode, skinChoice}), (std::vector<int>{1, 1})) << "the choice is taken at OK";
}

TEST_F(Appearance, ChecksKeepTheTwoGroupsApart) {
    machine.ScriptDialog({106, 111, 102, 105});
    SelectAppearance();
    const auto& checks = machine.Dialogs()[0].checks;
    ASSERT_EQ(checks.size(), 28u) << "seven checks at the start and after each click";
    std::vector<std::pair<int, int>> last(checks.end() - 7, checks.end());
    EXPECT_EQ(last, (std::vector<std::pair<int, int>>{{101, 0}, {102, 1}, {106, 0}, {107, 0}, {110, 0}, {111, 1},
                                                      {112, 0}}));
    EXPECT_EQ((std::vector<int>{windowMode, skinChoice}), (std::vector<int>{2, 2}));
    EXPECT_TRUE(SkinInstalled(machine, 2));
}

TEST(AppearanceChoice, EachWindowModeAndSkin) {
    struct Row {
        std::vector<int> clicks;
        int byte0;
        int byte21;
        int skin;
    } rows[] = {
        {{101, 105}, 0, 0, 1},      {{102, 105}, 1, 0, 1}, {{106, 105}, 4, 1, 1},
        {{107, 112, 105}, 3, 1, 3}, {{110, 105}, 0, 0, 1}, {{111, 105}, 0, 0, 2},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        PrepareInstalled(machine);
        machine.ScriptDialog(row.clicks);
        SelectAppearance();
        WriteImeSettings();
        std::string settings = machine.ReadFile(kSettings);
        ASSERT_EQ(settings.size(), kSettingsRecordSize);
        EXPECT_EQ(settings[0], row.byte0) << row.clicks[0];
        EXPECT_EQ(settings[21], row.byte21) << row.clicks[0];
        EXPECT_EQ((std::vector<int>{settings[1], settings[62], settings[63], settings[15]}),
                  (std::vector<int>{1, 0, 0, 15}))
            << "set, cleared, and byte 15 as read";
        for (int skin = 1; skin <= 3; ++skin) EXPECT_EQ(SkinInstalled(machine, skin), skin == row.skin);
    }
}

TEST_F(AppearanceOn950, TraditionalTemplateAndByte15) {
    machine.ScriptDialog({105});
    SelectAppearance();
    WriteImeSettings();
    EXPECT_EQ(machine.Dialogs()[0].templateName, "PYKEYB");
    EXPECT_EQ(Settings()[15], 1);
}

TEST_F(Appearance, SettingsRecordAlways200Bytes) {
    struct Row {
        const char* what;
        std::string before;  // empty: no file
        std::string expected;
    } rows[] = {
        {"a short file: the default record behind it", OldSettings(30), ""},
        {"no file: the default record", "", ""},
        {"a longer file: its first 200 bytes", OldSettings(250), ""},
    };
    std::string defaults(kSettingsRecordSize, '\0');
    defaults[8] = 0x36;
    for (int i : {9, 10, 12, 15, 19, 22, 24, 36, 41, 54, 58}) defaults[i] = 1;
    rows[0].expected = OldSettings(30) + defaults.substr(30);
    rows[1].expected = defaults;
    rows[2].expected = OldSettings(200);
    for (Row& row : rows) {
        DeleteFileA(kSettings);
        if (!row.before.empty()) machine.WriteFile(kSettings, row.before);
        windowMode = 1;
        WriteImeSettings();
        row.expected[0] = 0, row.expected[1] = 1, row.expected[21] = 0, row.expected[62] = 0, row.expected[63] = 0;
        EXPECT_EQ(Settings(), row.expected) << row.what;
    }
}

TEST_F(Appearance, KeptOldDataLeavesDialogSkinAndSettingsAlone) {
    context.backupState = BackupKeep;
    machine.WriteFile("c:\\morahu2\\morahu4.ime", "changed");
    SelectAppearance();
    WriteImeSettings();
    EXPECT_TRUE(machine.Dialogs().empty());
    EXPECT_FALSE(SkinInstalled(machine, 1));
    EXPECT_EQ(Settings(), OldSettings());
    EXPECT_EQ(BoxTexts(machine), std::vector<std::string>{"morahu4.ime....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n"
                                                "上述文件没有成功复制，请重新下载安装！\r\n"})
        << "the payload is still checked";
}

TEST_F(Appearance, ExceptedFilesMayDiffer) {
    for (const char* name : {"mora320.ime", "setupw64.exe", "moraqovi.exe", "moraqov6.exe", "moracyzk.bak"})
        machine.WriteFile(std::string(kDir) + name, "changed by the installation");
    DeleteFileA("c:\\morahu2\\mora641.ime");
    machine.ScriptDialog({105});
    SelectAppearance();
    EXPECT_TRUE(machine.MessageBoxes().empty());
}

TEST_F(Appearance, MissingSkinArchive) {
    DeleteFileA(("c:\\morahu2\\" + AnsiFromUtf8("小天使.moz", 936)).c_str());
    machine.ScriptDialog({112, 105});
    SelectAppearance();
    EXPECT_EQ(BoxTexts(machine), (std::vector<std::string>{
                           "小天使.moz....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n上述文件没有成功复制，请重新下载安装！\r\n",
                           "小天使.moz....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n上述文件没有成功复制，请重新下载安装！\r\n"
                           "皮肤文件没有成功复制，请重新安装皮肤文件！\r\n"}));
}

TEST_F(Appearance, SkinFilesThatDoNotArrive) {
    // The skin's files cannot be written: a folder of that name is in the way.
    machine.MakeDirectory("c:\\morahu2\\skin1a.bmp");
    machine.ScriptDialog({105});
    SelectAppearance();
    std::vector<std::string> texts = BoxTexts(machine);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "没有成功解压复制skin1a.bmp文件！请重新下载安装。");
    EXPECT_EQ(texts[1], "skin1a.bmp....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
}
