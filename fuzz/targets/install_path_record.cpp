// The install-path record read from arbitrary file and registry contents: the
// directory fits its field, and writing it back stays within it.
#include "fuzz_machine.h"
#include "registration/system_records.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzMachine machine;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t cut = bytes.find('\n');
    std::string file = bytes.substr(0, cut);
    std::string value = cut == std::string::npos ? "" : bytes.substr(cut + 1);
    if (!file.empty()) machine.WriteFile("c:\\windows\\morapath.moh", file);
    if (!value.empty()) machine.SetValue(HKEY_LOCAL_MACHINE, "Software\\morawb", "path", REG_SZ, value);
    char* dir = ReadInstallPathRecord();
    FuzzCheck(strnlen(dir, kPathFieldSize) < kPathFieldSize, "the directory is not terminated within its field");
    WriteInstallPathRecord();
    FuzzCheck(strnlen(context.installDir, kPathFieldSize) < kPathFieldSize, "the record overran the field");
    return 0;
}
