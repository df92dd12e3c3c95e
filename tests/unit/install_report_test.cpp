#include "deploy/install_report.h"

#include "deploy/system_files.h"
#include "unit/test_machine.h"

#include <string>
#include <vector>

namespace {

const char kDir[] = "c:\\morahu2\\";

// An install directory with `count` files that the report counts as present
// (the word lists and the module among them).
void FillDirectory(SimMachine& machine, int count) {
    machine.MakeDirectory(kDir);
    const char* essential[] = {"moracyzk.bak", "morapyck.bak", "morahu4.ime"};
    for (const char* name : essential) machine.WriteFile(std::string(kDir) + name, std::string(40, 'x'));
    for (int i = 3; i < count; ++i) machine.WriteFile(std::string(kDir) + "f" + std::to_string(i) + ".dat", "x");
}

std::string Report(const std::string& reason, const std::string& codes) {
    return "智能墨川汉字输入系统7.4版安装情况报告。\r\n\r\n安装出现错误！错误为：" + reason + "\r\n\r\n请到主页" +
           kHomePage + "重新下载安装！并解除杀毒软件对安装过程的拦截！\r\n\r\n" + codes;
}

}  // namespace

TEST(ScanInstallDirectory, CountsFilesByKind) {
    TestMachine machine;
    machine.MakeDirectory("c:\\morahu2\\sub");
    for (const char* name : {"a.txt", "B.TXT", "c.txt.old", "d.moh", "e.MOH", "f.moh.txt", "g.ime", "h"})
        machine.WriteFile(std::string(kDir) + name, "x");
    SetInstallDir("c:\\morahu2");
    ScanInstallDirectory();
    EXPECT_STREQ(context.installDir, kDir);
    EXPECT_EQ((std::vector<int>{directoryScan.state, directoryScan.txtFiles, directoryScan.mohFiles,
                                directoryScan.otherFiles}),
              (std::vector<int>{14, 4, 2, 2}))
        << "the folder is not counted; .txt anywhere, in either case";
    EXPECT_EQ(machine.CurrentDirectory(), "c:\\morahu2") << "the install directory stays current";
}

TEST(ScanInstallDirectory, DirectoryState) {
    struct Row {
        const char* what;
        bool exists;
        DWORD attributes;  // 0: as made
        int state;
    } rows[] = {
        {"missing", false, 0, 0},
        {"usable", true, 0, 14},
        {"read-only", true, FILE_ATTRIBUTE_READONLY, 11},
        {"archive", true, FILE_ATTRIBUTE_ARCHIVE, 11},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        if (row.exists) FillDirectory(machine, 1);
        if (row.attributes) machine.SetAttributes("c:\\morahu2", row.attributes);
        SetInstallDir(kDir);
        ScanInstallDirectory();
        EXPECT_EQ(directoryScan.state, row.state) << row.what;
    }
}

TEST(ScanInstallDirectory, CountersWrapAt256) {
    TestMachine machine;
    machine.MakeDirectory(kDir);
    for (int i = 0; i < 257; ++i) machine.WriteFile(std::string(kDir) + std::to_string(i) + ".txt", "x");
    SetInstallDir(kDir);
    ScanInstallDirectory();
    EXPECT_EQ(directoryScan.txtFiles, 1);
}

TEST(ProbeFile, BytesReadAndError) {
    TestMachine machine;
    machine.MakeDirectory(kDir);
    machine.WriteFile("c:\\morahu2\\full", std::string(20, 'x'));
    machine.WriteFile("c:\\morahu2\\short", std::string(19, 'x'));
    SetInstallDir(kDir);
    unsigned char buffer[20];
    EXPECT_EQ(ProbeFile("full", buffer), 0x1400u);
    EXPECT_EQ(ProbeFile("short", buffer) >> 8, 19u);
    EXPECT_EQ(ProbeFile("missing", buffer), 2u);
}

TEST(ShowInstallReport, FirstFailedCheck) {
    // A short read leaves the error of the last failed call: the probes of the
    // missing ".moh" lists before it (2).
    struct Row {
        const char* what;
        int files;
        std::vector<std::string> removed;
        std::vector<std::pair<std::string, std::string>> written;
        std::string reason;  // empty: nothing wrong
        std::string codes;
    } rows[] = {
        {"74 files: nothing wrong", 74, {}, {}, "", ""},
        {"73 files are not enough", 73, {}, {}, "文件不完整！", "path--c:\\morahu2\\--14;F--73;"},
        {"no Wubi list", 80, {"moracyzk.bak"}, {}, "无五笔词库文件！",
         "path--c:\\morahu2\\--14;F--79;FR1--2;"},
        {"a Wubi list of 19 bytes", 80, {"moracyzk.bak"}, {{"moracyzk.mou", std::string(19, 'x')}},
         "无五笔词库文件！", "path--c:\\morahu2\\--14;F--80;FR1--1302;"},
        {"the .moh list found first", 80, {"moracyzk.bak"}, {{"moracyzk.moh", std::string(20, 'x')}}, "", ""},
        {"no Pinyin list", 80, {"morapyck.bak"}, {}, "无拼音词库文件！",
         "path--c:\\morahu2\\--14;F--79;FR1--1400;FR2--2;"},
        {"a short module", 80, {}, {{"morahu4.ime", "MZ"}}, "缺少文件！",
         "path--c:\\morahu2\\--14;F--80;FR1--1400;FR2--1400;FR3--202;"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        FillDirectory(machine, row.files);
        for (const std::string& name : row.removed) DeleteFileA((kDir + name).c_str());
        for (const auto& file : row.written) machine.WriteFile(kDir + file.first, file.second);
        SetInstallDir(kDir);
        EXPECT_EQ(ShowInstallReport(), row.reason.empty() ? 0 : 1) << row.what;
        if (row.reason.empty()) {
            EXPECT_TRUE(machine.MessageBoxes().empty()) << row.what;
        } else {
            ASSERT_EQ(machine.MessageBoxes().size(), 1u) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].text, Report(row.reason, row.codes)) << row.what;
            EXPECT_EQ(machine.MessageBoxes()[0].caption, "智能墨川") << row.what;
        }
        EXPECT_EQ(machine.LiveGlobalBlocks(), 0u) << row.what << ": the work area is given back";
    }
}

TEST(ShowInstallReport, MissingDirectoryAndMissingWorkArea) {
    TestMachine machine;
    SetInstallDir("d:\\none\\");
    EXPECT_EQ(ShowInstallReport(), 1);
    EXPECT_EQ(machine.MessageBoxes()[0].text, Report("检测不到安装路径！", "path--d:\\none\\--0;"));
    machine.LimitGlobalAlloc(1000);
    EXPECT_EQ(ShowInstallReport(), 0) << "no memory for the report: nothing shown";
    EXPECT_EQ(machine.MessageBoxes().size(), 1u);
}
