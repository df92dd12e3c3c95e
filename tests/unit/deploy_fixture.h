// A payload of the files that the deployment handles, each with a content of
// its own, and a machine with it mapped as the installer maps its payload.
#pragma once

#include "base/install_context.h"
#include "base/payload.h"
#include "unit/archives.h"
#include "unit/test_machine.h"

#include <string>
#include <vector>

// The description in UTF-16LE, two spaces and the version, as the modules'
// version resources carry it.
inline std::string VersionText(const std::string& version) {
    std::u16string text = u"智能墨川输入平台  " + std::u16string(version.begin(), version.end());
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

inline std::string Module(const std::string& name, const std::string& version) {
    return name + ":" + VersionText(version) + ":end";
}

inline std::vector<FixtureEntry> DeployEntries() {
    std::vector<FixtureEntry> entries;
    for (const char* name : {"morahu4.ime", "morahu64.ime"}) entries.push_back({name, Module(name, "7.4"), ""});
    for (const char* name : {"mora320.ime", "mora321.ime", "mora640.ime", "mora641.ime"})
        entries.push_back({name, Module(name, "6.3"), ""});
    entries.push_back({"setupw64.exe", Module("setupw64.exe", "6.7"), ""});
    for (const char* name : {"moradel.exe", "moqdel64.exe", "moraqovi.exe", "moraqov6.exe"})
        entries.push_back({name, std::string(name) + " program", ""});
    // Word lists of 24 bytes: long enough for the installation report's probe.
    entries.push_back({"moracyzk.bak", "\xB0\xA1\xB0\xA2; \xB0\xA3\xB0\xA4; \xB0\xA5\xB0\xA6; \xB0\xA7\xB0\xA8; ", ""});
    entries.push_back({"morapyck.bak", "\xB1\xA1\xB1\xA2; \xB1\xA3\xB1\xA4; \xB1\xA5\xB1\xA6; \xB1\xA7\xB1\xA8; ", ""});
    return entries;
}

// A payload that installs completely enough for the installation report: the
// files above, a skin of each name, the settings record and small text files,
// 80 in all.
inline std::vector<FixtureEntry> FullPayloadEntries() {
    std::vector<FixtureEntry> entries = DeployEntries();
    int skin = 0;
    for (const char* name : {"冷色瓷面.moz", "粉色瓷面.moz", "小天使.moz"}) {
        std::string tag = std::to_string(++skin);
        std::string archive = MakeArchive({{"skin" + tag + ".bmp", std::string(300, 'a') + tag, ""}}, '1');
        entries.push_back({AnsiFromUtf8(name, 936), archive, ""});
    }
    entries.push_back({"moszsj43.moh", std::string(200, '\0'), ""});
    for (int i = 0; entries.size() < 80; ++i) entries.push_back({"t" + std::to_string(i) + ".txt", "text " + std::to_string(i), ""});
    return entries;
}

// Maps `archive` as the payload, obtains the scratch buffer and sets the
// context as the sequence finds it: c:\morahu2\, the machine's code page.
inline void MapTestPayload(SimMachine& machine, const std::string& archive) {
    machine.SetResource("QOVIMOZ", "MOZ", archive);
    MapPayload();
    ObtainScratch();
    SetInstallDir("c:\\morahu2\\");
    context.oemCodePage = GetOEMCP();
    context.runMode = Interactive;
}

inline std::string Gbk936(const std::string& utf8) { return AnsiFromUtf8(utf8, 936); }
