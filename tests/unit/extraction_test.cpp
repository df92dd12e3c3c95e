#include "archive/extraction.h"

#include "base/file_removal.h"

#include "unit/archives.h"
#include "unit/test_machine.h"

#include <string>
#include <vector>

namespace {

const char kFailed[] = "没有成功解压复制%s文件！请重新下载安装。";

std::string FailureText(const std::string& name) {
    std::string text = kFailed;
    return text.replace(text.find("%s"), 2, name);
}

// Extracts into c:\morahu2\ (made first) with the scratch buffer as work area.
int Extract(const std::string& archive) {
    SetInstallDir("c:\\morahu2\\");
    CreateDirectoryA("c:\\morahu2", nullptr);
    ObtainScratch();
    return MozExtractAll(Bytes(archive), archive.size(), context.scratch, kScratchSize);
}

std::string Trailer(uint32_t sum, uint32_t count) { return "MORA" + U32(sum) + U32(count); }

}  // namespace

TEST(MozExtractAll, WritesEveryEntry) {
    TestMachine machine;
    machine.WriteFile("c:\\morahu2\\b.txt", "old");
    EXPECT_EQ(Extract(MakeArchive({{"a.txt", "alpha", ""}, {"b.txt", "beta", ""}})), 1);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\a.txt"), "alpha");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\b.txt"), "beta");
    EXPECT_TRUE(machine.MessageBoxes().empty());
    EXPECT_EQ(Extract(MakeArchive({})), 1) << "no entries: nothing to do";
}

TEST(MozExtractAll, ReportsEachFailedEntryAndGoesOn) {
    struct Row {
        const char* what;
        std::vector<FixtureEntry> entries;
        int count;  // -1: as many as there are
        std::vector<std::string> messages;
        std::vector<std::string> written;
    } rows[] = {
        {"an empty entry", {{"empty.txt", "", ""}, {"a.txt", "alpha", ""}}, -1, {FailureText("empty.txt")}, {"a.txt"}},
        {"a digest that does not match", {{"b.txt", "beta", std::string(32, 'A')}, {"a.txt", "alpha", ""}}, -1,
         {FailureText("b.txt")}, {"a.txt"}},
        {"a count beyond the entries: no message for what is not there", {{"a.txt", "alpha", ""}}, 3, {}, {"a.txt"}},
        {"a name with a path: never written", {{"..\\evil.txt", "x", ""}, {"a.txt", "alpha", ""}}, -1,
         {FailureText("..\\evil.txt")}, {"a.txt"}},
        {"a name with a slash", {{"sub/x.txt", "x", ""}}, -1, {FailureText("sub/x.txt")}, {}},
        {"a name with a drive", {{"c:evil.txt", "x", ""}}, -1, {FailureText("c:evil.txt")}, {}},
        {"a name with dots", {{"a..b", "x", ""}}, -1, {FailureText("a..b")}, {}},
        {"an empty name", {{"", "x", ""}}, -1, {FailureText("")}, {}},
        {"a name that fills its field", {{"abcdefghijklmnop", "x", ""}}, -1, {FailureText("abcdefghijklmnop")}, {}},
        // Windows opens the device, not a file, in any folder and with any extension.
        {"device names",
         {{"con", "x", ""}, {"CON.txt", "x", ""}, {"nul .moh", "x", ""}, {"lpt1.bmp", "x", ""},
          {"conout$", "x", ""}, {"com9", "x", ""}, {"console.txt", "c", ""}, {"com10.txt", "c", ""},
          {"lpt0.txt", "c", ""}},
         -1,
         {FailureText("con"), FailureText("CON.txt"), FailureText("nul .moh"), FailureText("lpt1.bmp"),
          FailureText("conout$"), FailureText("com9")},
         {"com10.txt", "console.txt", "lpt0.txt"}},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        EXPECT_EQ(Extract(MakeArchive(row.entries, '0', row.count)), 0) << row.what;
        std::vector<std::string> messages;
        for (const SimMessageBox& box : machine.MessageBoxes()) {
            messages.push_back(box.text);
            EXPECT_EQ(box.caption, "智能墨川安装") << row.what;
            EXPECT_FALSE(box.wide) << row.what;
        }
        EXPECT_EQ(messages, row.messages) << row.what;
        EXPECT_EQ(machine.ListDirectory("c:\\morahu2"), row.written) << row.what;
        EXPECT_EQ(machine.ListDirectory("c:\\"), (std::vector<std::string>{"morahu2", "windows"})) << row.what;
    }
}

TEST(MozExtractAll, AFailedEntryLeavesTheOldFile) {
    TestMachine machine;
    machine.WriteFile("c:\\morahu2\\b.txt", "old");
    EXPECT_EQ(Extract(MakeArchive({{"b.txt", "beta", std::string(32, 'A')}})), 0);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\b.txt"), "old");
}

TEST(MozExtractAll, ReplacesReadOnlyAndMovesInUseTargetsAside) {
    TestMachine machine;
    machine.WriteFile("c:\\morahu2\\moszsj43.moh", "old record");
    machine.SetAttributes("c:\\morahu2\\moszsj43.moh", FILE_ATTRIBUTE_READONLY);
    machine.WriteFile("c:\\morahu2\\morahu4.ime", "old module");
    machine.LockFile("c:\\morahu2\\morahu4.ime", SimLock::Renamable);
    machine.WriteFile("c:\\morahu2\\moraqovi.exe", "old program");
    machine.LockFile("c:\\morahu2\\moraqovi.exe", SimLock::Renamable);
    machine.WriteFile("c:\\morahu2\\moraqov2.exe", "older program, still running");
    machine.LockFile("c:\\morahu2\\moraqov2.exe", SimLock::Pinned);
    EXPECT_EQ(Extract(MakeArchive({{"moszsj43.moh", "new record", ""}, {"morahu4.ime", "new module", ""},
                                   {"moraqovi.exe", "new program", ""}})),
              1);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moszsj43.moh"), "new record");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\morahu4.ime"), "new module");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\morahu2.ime"), "old module");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moraqovi.exe"), "new program");
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moraqov1.exe"), "old program") << "the 2 name is taken: 1";
    EXPECT_TRUE(machine.MessageBoxes().empty());
}

TEST(MozExtractAll, NormalisesTheWordList) {
    TestMachine machine;
    const std::string list = AnsiFromUtf8("中国; 字; 新闻; ", 936);
    EXPECT_EQ(Extract(MakeArchive({{"moracyzk.bak", list, ""}, {"morapyck.bak", list, ""}})), 1);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moracyzk.bak"), AnsiFromUtf8("中国; ; 新闻; ", 936) + Trailer(2091, 2));
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\morapyck.bak"), list) << "only moracyzk.bak";
}

TEST(NormaliseWordList, Examples) {
    TestMachine machine;
    struct Row {
        const char* what;
        std::string text;
        std::string kept;
        uint32_t sum;
        uint32_t count;
    } rows[] = {
        {"two words", AnsiFromUtf8("中国; 新闻; ", 936), AnsiFromUtf8("中国; 新闻; ", 936), 1662, 2},
        {"a one-character word", AnsiFromUtf8("中国; 字; 新闻; ", 936), AnsiFromUtf8("中国; ; 新闻; ", 936), 2091, 2},
        {"no final separator", AnsiFromUtf8("中国; 新闻", 936), AnsiFromUtf8("中国; ", 936), 1662, 1},
        {"ASCII between words", AnsiFromUtf8("中国; abc; 新闻; ", 936), AnsiFromUtf8("中国; ; 新闻; ", 936), 1662, 2},
        {"a lone separator byte at the end", AnsiFromUtf8("中国; x;", 936), AnsiFromUtf8("中国; ;", 936), 857, 1},
        {"a lead byte at the very end", AnsiFromUtf8("中国; ", 936) + "\xD6", AnsiFromUtf8("中国; ", 936), 857, 1},
        {"nothing", "", "", 0, 0},
    };
    for (const Row& row : rows) {
        // Exactly the text, then room for the trailer: ASan sees any read past it.
        std::vector<unsigned char> buffer(row.text.begin(), row.text.end());
        buffer.resize(row.text.size() + 12);
        size_t kept = NormaliseWordList(buffer.data(), row.text.size());
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + kept), row.kept) << row.what;
        EXPECT_EQ(std::string(buffer.begin() + kept, buffer.begin() + kept + 12), Trailer(row.sum, row.count))
            << row.what;
    }
}

TEST(NormaliseWordList, AListWithItsTrailerStaysAsItIs) {
    std::string text = "\xD6\xD0\xB9\xFA; " + Trailer(857, 1);
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 12);
    EXPECT_EQ(NormaliseWordList(buffer.data(), text.size()), text.size() - 12);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + text.size()), text);
}

TEST(MozVerifyInstalled, CurrentLayoutByDigest) {
    TestMachine machine;
    SetInstallDir("c:\\morahu2\\");
    machine.WriteFile("c:\\morahu2\\a.txt", "alpha");
    machine.WriteFile("c:\\morahu2\\b.txt", "changed");
    machine.WriteFile("c:\\morahu2\\moszsj43.moh", "the user's own");
    const std::string archive = MakeArchive({{"a.txt", "alpha", ""}, {"b.txt", "beta", ""}, {"c.txt", "gamma", ""},
                                             {"moszsj43.moh", "default", ""}, {"setupw64.exe", "x", ""}});
    struct Row {
        const char* exceptions;
        int passed;
        std::string report;
    } rows[] = {
        {"", 1, "b.txt....c.txt....moszsj43.moh....setupw64.exe...." + std::string(kIncompleteGbk)},
        {"moszsj43.moh setupw64.exe ", 3, "b.txt....c.txt...." + std::string(kIncompleteGbk)},
        {"B.TXT C.TXT MOSZSJ43.MOH SETUPW64.EXE", 5, ""},
    };
    for (const Row& row : rows) {
        char report[512];
        std::memset(report, 0x7F, sizeof report);
        EXPECT_EQ(MozVerifyInstalled(Bytes(archive), archive.size(), report, sizeof report, row.exceptions),
                  row.passed)
            << row.exceptions;
        EXPECT_EQ(std::string(report), row.report) << row.exceptions;
    }
}

TEST(MozVerifyInstalled, NamesOutsideTheDirectoryFailUnread) {
    TestMachine machine;
    SetInstallDir("c:\\morahu2\\");
    machine.WriteFile("c:\\outside.txt", "there");
    machine.WriteFile("c:\\morahu2\\nul", "there");
    for (char version : {'0', 'A'}) {
        // Their digests and lengths would pass, were the files read.
        const std::string archive =
            MakeArchive({{"..\\outside.txt", "there", ""}, {"c:\\outside.txt", "there", ""}, {"nul", "there", ""}},
                        version);
        char report[256];
        EXPECT_EQ(MozVerifyInstalled(Bytes(archive), archive.size(), report, sizeof report, ""), 0) << version;
        EXPECT_EQ(std::string(report),
                  "..\\outside.txt....c:\\outside.txt....nul...." + std::string(kIncompleteGbk))
            << version;
    }
}

TEST(MozVerifyInstalled, OlderLayoutByLength) {
    TestMachine machine;
    SetInstallDir("c:\\morahu2\\");
    const std::string content(300, 'p');
    const size_t compressed = Compressed(content).size();
    machine.WriteFile("c:\\morahu2\\long.bmp", std::string(compressed, 'q'));
    machine.WriteFile("c:\\morahu2\\short.bmp", std::string(compressed - 1, 'q'));
    const std::string archive = MakeArchive({{"long.bmp", content, ""}, {"short.bmp", content, ""}}, 'A');
    char report[256];
    EXPECT_EQ(MozVerifyInstalled(Bytes(archive), archive.size(), report, sizeof report, "short.bmp"), 1)
        << "the exception text is not consulted";
    EXPECT_EQ(std::string(report), "short.bmp...." + std::string(kIncompleteGbk));
    EXPECT_EQ(MozVerifyInstalled(Bytes(archive), 40, report, sizeof report, ""), 0) << "cut short";
}

TEST(DeleteFileForce, ResultsAndRenameAside) {
    TestMachine machine;
    machine.WriteFile("c:\\d\\plain.txt", "x");
    machine.WriteFile("c:\\d\\readonly.txt", "x");
    machine.SetAttributes("c:\\d\\readonly.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    machine.WriteFile("c:\\d\\pinned.ime", "x");
    machine.LockFile("c:\\d\\pinned.ime", SimLock::Pinned);
    EXPECT_EQ(DeleteFileForce("c:\\d\\plain.txt"), 0);
    EXPECT_EQ(DeleteFileForce("c:\\d\\readonly.txt"), 0);
    EXPECT_EQ(DeleteFileForce("c:\\d\\missing.txt"), 0);
    EXPECT_EQ(DeleteFileForce("c:\\d\\pinned.ime"), -1);
    EXPECT_EQ(RenameAside("c:\\d\\pinned.ime"), -1) << "neither deleted nor moved";
    EXPECT_EQ(machine.ListDirectory("c:\\d"), std::vector<std::string>{"pinned.ime"});
}

// The content, its digest text and the word-list trailer must fit the work
// area; an entry that would not fit fails instead of writing past it.
TEST(MozExtractAll, StaysWithinTheWorkArea) {
    TestMachine machine;
    SetInstallDir("c:\\morahu2\\");
    CreateDirectoryA("c:\\morahu2", nullptr);
    const std::string list = AnsiFromUtf8("中国; 新闻; ", 936);
    const std::string archive = MakeArchive({{"big.bin", std::string(1000, 'b'), ""}, {"moracyzk.bak", list, ""}});
    const size_t exact = 100 + 10 + 34 + 1000;
    for (size_t size : {exact - 1, exact}) {
        std::vector<unsigned char> work(size);  // exactly this much: ASan sees any write past it
        MozExtractAll(Bytes(archive), archive.size(), work.data(), work.size());
        EXPECT_EQ(machine.FileExists("c:\\morahu2\\big.bin"), size == exact) << size;
        EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moracyzk.bak"), list + Trailer(1662, 2)) << size;
    }
}
