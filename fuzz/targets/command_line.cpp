// The command line: the mode words, the directory after "regmo32=", and the
// path check of the install-path page, over arbitrary text.
#include "base/shared_ops.h"
#include "fuzz_machine.h"
#include "shell/install_steps.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.c_str();  // as Windows hands it over: up to its first NUL
    ContainsNoCase(line.c_str(), "regmo32");
    ContainsNoCase(line.c_str(), "setmosrf32");
    std::memset(context.installDir, 0x5A, sizeof context.installDir);
    context.installDir[sizeof context.installDir - 1] = '\0';
    if (TakeRegisterDir(line.c_str())) {
        size_t length = std::strlen(context.installDir);
        FuzzCheck(length > 0 && length < sizeof context.installDir - (context.installDir[length - 1] != '\\'),
                  "a directory that cannot be recorded with its backslash");
    }
    if (!ValidateInstallPath(line.c_str())) {
        FuzzCheck(line.size() >= 5 && line[1] == ':' && line[2] == '\\', "an accepted path that is no drive path");
        size_t backslashes = 0;
        for (char c : line) backslashes += c == '\\';
        FuzzCheck(backslashes == 1 || (backslashes == 2 && line.back() == '\\'), "an accepted path of two levels");
    }
    ResetInstallContext();
    return 0;
}
