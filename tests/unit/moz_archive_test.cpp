#include "archive/moz_archive.h"

#include "unit/archives.h"
#include "unit/test_machine.h"

TEST(Md5Text, UpperCaseHexWithTwoNuls) {
    TestMachine machine;
    char out[kDigestTextSize];
    std::memset(out, 0x7F, sizeof out);
    Md5Text("abc", 3, out);
    EXPECT_EQ(std::string(out, 32), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(out[32], 0);
    EXPECT_EQ(out[33], 0);
    Md5Text("", 0, out);
    EXPECT_STREQ(out, "D41D8CD98F00B204E9800998ECF8427E");
    machine.SetMd5Available(false);
    Md5Text("abc", 3, out);
    EXPECT_EQ(std::string(out, 34), std::string(34, '\0')) << "no MD5 service: the empty text";
}

TEST(Md5FileText, WholeFileOrNothing) {
    TestMachine machine;
    machine.WriteFile("c:\\data.bin", "abc");
    char out[kDigestTextSize];
    EXPECT_EQ(Md5FileText("c:\\data.bin", out), 3u);
    EXPECT_STREQ(out, "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5FileText("c:\\missing.bin", out), 0u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(machine.LiveGlobalBlocks(), 0u);
}

TEST(MozWalk, StopsAtTheRealEndOfTheArchive) {
    TestMachine machine;  // the fixtures' digests come from its MD5
    const std::string good = MakeArchive({{"a.txt", "alpha", ""}, {"b.txt", "beta", ""}});
    std::string lengthPastEnd = good;
    lengthPastEnd[10 + 52] = '\x7F';  // first entry's compressed length reaches past the end
    struct Row {
        const char* what;
        std::string archive;
        std::vector<std::string> names;
        bool incomplete;
    } rows[] = {
        {"two entries", good, {"a.txt", "b.txt"}, false},
        {"no entries", MakeArchive({}), {}, false},
        {"a count larger than the entries", MakeArchive({{"a.txt", "alpha", ""}}, '0', 3), {"a.txt"}, true},
        {"a huge count", MakeArchive({{"a.txt", "alpha", ""}}, '0', 0x7FFFFFFF), {"a.txt"}, true},
        {"a length past the end", lengthPastEnd, {}, true},
        {"the last entry cut short", good.substr(0, good.size() - 1), {"a.txt"}, true},
        {"an entry header cut short", good.substr(0, 10 + 30), {}, true},
        {"the archive header cut short", good.substr(0, 9), {}, true},
        {"a bad marker", MakeArchive({{"a.txt", "alpha", ""}}).replace(11, 1, "G"), {}, true},
        {"older layout with filler after the names",
         MakeArchive({{"mobmp8.moh", "x", ""}, {"mobmpsx1.bmp", "y", ""}}, 'A', -1, '\xCC'),
         {"mobmp8.moh", "mobmpsx1.bmp"}, false},
    };
    for (const Row& row : rows) {
        bool incomplete = false;
        EXPECT_EQ(ArchiveNames(row.archive, &incomplete), row.names) << row.what;
        EXPECT_EQ(incomplete, row.incomplete) << row.what;
    }
}

TEST(MozLookupEntry, DecompressesIntoScratchAtHundred) {
    TestMachine machine;
    const std::string archive = MakeArchive({{"qovi1.bmp", "BM first", ""}, {"qovi1.bmp", "BM second", ""},
                                             {"other.txt", "other", ""}});
    context.payload = Bytes(archive);
    context.payloadSize = static_cast<DWORD>(archive.size());
    ObtainScratch();
    MozLookupEntry("qovi1.bmp");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(context.scratch) + 100, 8), "BM first") << "the first of that name";

    std::memset(context.scratch + 100, 'z', 8);
    MozLookupEntry("QOVI1.BMP");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(context.scratch) + 100, 8), std::string("\0\0zzzzzz", 8))
        << "names are matched with case; an absent one leaves only bytes 100 and 101 zeroed";

    const std::string damaged = archive.substr(0, 40);
    context.payload = Bytes(damaged);
    context.payloadSize = static_cast<DWORD>(damaged.size());
    MozLookupEntry("qovi1.bmp");
    EXPECT_EQ(context.scratch[100], 0);
    context.payload = nullptr;
    context.payloadSize = 0;
}

TEST(MozAppendFile, BuildsAnArchiveEntryByEntry) {
    TestMachine machine;
    const char* archive = "c:\\morahu2\\moraback.moz";
    machine.WriteFile("c:\\morahu2\\moszsj43.moh", std::string(200, 'S'));
    machine.WriteFile("c:\\morahu2\\empty.txt", "");
    machine.WriteFile("c:\\morahu2\\abcdefgh.123", "twelve");
    machine.WriteFile("c:\\morahu2\\abcdefgh.1234", "thirteen");
    machine.WriteFile("plain.txt", "in the current folder");
    std::string noise;
    for (int i = 0; i < 40000; ++i) noise.push_back(static_cast<char>((i * 2654435761u) >> 13));
    machine.WriteFile("c:\\morahu2\\noise.bin", noise);

    struct Row {
        const char* source;
        int result;
    } rows[] = {
        {"c:\\morahu2\\moszsj43.moh", 1},
        {"c:\\morahu2\\empty.txt", 1},
        {"c:\\morahu2\\abcdefgh.123", 1},    // 12 bytes
        {"c:\\morahu2\\abcdefgh.1234", 0},   // 13 bytes
        {"c:\\morahu2\\moszsj43.moh", 0},    // already there
        {"plain.txt", 1},                     // no backslash: the whole path
        {"c:\\morahu2\\noise.bin", 1},       // incompressible and larger than 8 KB
        {"c:\\morahu2\\missing.txt", 0},
        {"", 0},
    };
    for (const Row& row : rows) {
        std::string before = machine.ReadFile(archive);
        EXPECT_EQ(MozAppendFile(archive, row.source), row.result) << row.source;
        std::string bytes = machine.ReadFile(archive);
        if (row.result == 0 && !before.empty()) {
            EXPECT_EQ(bytes, before) << row.source << ": left as it was";
        }
        ASSERT_GE(bytes.size(), 10u);
        EXPECT_EQ(ReadU32(Bytes(bytes) + 2), bytes.size()) << row.source << ": total length";
    }
    bool incomplete = true;
    const std::string bytes = machine.ReadFile(archive);
    EXPECT_EQ(ArchiveNames(bytes, &incomplete),
              (std::vector<std::string>{"moszsj43.moh", "empty.txt", "abcdefgh.123", "plain.txt", "noise.bin"}));
    EXPECT_FALSE(incomplete);
    EXPECT_EQ(bytes[1], '0');

    MozWalk walk;
    MozEntry entry;
    MozBeginWalk(&walk, Bytes(bytes), bytes.size());
    MozNextEntry(&walk, &entry);
    MozNextEntry(&walk, &entry);
    EXPECT_EQ(entry.compressedLength, 8u) << "an empty file is an 8-byte zlib stream";
    EXPECT_EQ(std::string(entry.digest, 32), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(machine.LiveGlobalBlocks(), 0u);
}

TEST(MozAppendFile, NewArchiveKeepsItsHeaderWhenTheFirstAppendFails) {
    TestMachine machine;
    machine.MakeDirectory("c:\\morahu2");
    EXPECT_EQ(MozAppendFile("c:\\morahu2\\moraback.moz", "c:\\morahu2\\moracyzk.bak"), 0);
    EXPECT_EQ(machine.ReadFile("c:\\morahu2\\moraback.moz"), std::string("C0\x0a\0\0\0\0\0\0\0", 10));
}

TEST(MozAppendFile, LeavesADamagedArchiveAlone) {
    TestMachine machine;
    const std::string damaged = MakeArchive({{"a.txt", "alpha", ""}}, '0', 2);
    machine.WriteFile("c:\\x\\moraback.moz", damaged);
    machine.WriteFile("c:\\x\\b.txt", "beta");
    EXPECT_EQ(MozAppendFile("c:\\x\\moraback.moz", "c:\\x\\b.txt"), 0);
    EXPECT_EQ(machine.ReadFile("c:\\x\\moraback.moz"), damaged);
}
