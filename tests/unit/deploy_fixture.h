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
    entries.push_back({"moracyzk.bak", "\xB0\xA1\xB0\xA2; \xB0\xA3\xB0\xA4; ", ""});
    entries.push_back({"morapyck.bak", "\xB1\xA1\xB1\xA2; ", ""});
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
