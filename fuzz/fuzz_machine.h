// A fresh simulated machine for one fuzz input, with the installer's context
// as the process starts with it, and the checks that every target shares.
#pragma once

#include "base/install_context.h"
#include "base/payload.h"
#include "platform/sim/machine.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>

class FuzzMachine : public SimMachine {
public:
    explicit FuzzMachine(const SimSetup& setup = SimSetup::Windows7()) : SimMachine(setup) { ResetInstallContext(); }
    ~FuzzMachine() {
        ReleasePayloadAndScratch();
        ResetInstallContext();
    }
};

// Stops the run, which libFuzzer reports as a finding with its input.
inline void FuzzCheck(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Every file under a host folder, as paths relative to it.
inline void HostFiles(const std::string& root, const std::string& relative, std::string* out) {
    DIR* dir = opendir((root + relative).c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string path = relative + "/" + name;
        struct stat st;
        if (stat((root + path).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            HostFiles(root, path, out);
        else
            *out += path + "\n";
    }
    closedir(dir);
}

// Whether every file of drive c: lies in one of the folders (host-relative
// prefixes such as "/morahu2/").
inline bool OnlyFilesUnder(const SimMachine& machine, const char* const* folders, size_t count) {
    std::string files;
    HostFiles(machine.HostPath("c:\\"), "", &files);
    size_t start = 0;
    while (start < files.size()) {
        size_t end = files.find('\n', start);
        std::string file = files.substr(start, end - start);
        bool inside = false;
        for (size_t i = 0; i < count && !inside; ++i) inside = strncasecmp(file.c_str(), folders[i], std::strlen(folders[i])) == 0;
        if (!inside) return false;
        start = end + 1;
    }
    return true;
}
