// The user's own files of an earlier installation, as the backup table names
// them, each with a content of its own.
#pragma once

#include "unit/archives.h"
#include "unit/test_machine.h"

#include <string>
#include <vector>

// Copied to their ".bak" names, which go into the backup.
const std::vector<std::string> kCopyFirst = {"moracyzk.moh", "cfontset.moh", "cwbzlcz1.moh", "mowbcmxz.moh",
                                             "modhzcm.moh",  "moradhz.moh",  "mogbkhz.moh"};
const std::vector<std::string> kRequired = {"moszsj43.moh", "moradwdw.txt", "morazdym.moh", "mopyzdym.moh",
                                            "mowbpy.txt",   "moraynhz.txt", "morazdfh.moh"};
const std::vector<std::string> kOptional = {"userck.txt",   "delck.txt",    "ftmozdym.txt", "ftpyzdym.txt",
                                            "cwb.ov1",      "morapymb.ov1", "mogbkbh.moh",  "moszsj05.moh",
                                            "moszsj06.moh"};

inline std::string Bak(const std::string& moh) { return moh.substr(0, moh.size() - 3) + "bak"; }

inline void WriteUserFiles(SimMachine& machine, const std::string& dir, bool optional) {
    machine.MakeDirectory(dir);
    for (const std::string& name : kCopyFirst) machine.WriteFile(dir + name, "user " + name);
    for (const std::string& name : kRequired) machine.WriteFile(dir + name, "user " + name);
    if (optional)
        for (const std::string& name : kOptional) machine.WriteFile(dir + name, "user " + name);
}

inline std::string Trailer(uint32_t sum, uint32_t count) { return "MORA" + U32(sum) + U32(count); }

// A word list as the input method keeps it: its words, then the trailer over them.
inline std::string WordListWithTrailer() {
    const std::string words = "\xB0\xA1\xB0\xA2; ";
    uint32_t sum = 0;
    for (unsigned char c : words) sum += c;
    return words + Trailer(sum, 1);
}
