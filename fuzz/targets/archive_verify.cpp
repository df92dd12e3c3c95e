// The check of installed files against an arbitrary archive: its report stays
// within its field and ends with its terminator.
#include "archive/extraction.h"
#include "fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzMachine machine;
    machine.WriteFile("c:\\morahu2\\a.txt", "alpha");
    machine.WriteFile("c:\\morahu2\\moracyzk.bak", "words");
    std::strcpy(context.installDir, "c:\\morahu2\\");
    char report[256];
    std::memset(report, 0x5A, sizeof report);
    MozVerifyInstalled(data, size, report, 200, "a.txt ");
    FuzzCheck(strnlen(report, 200) < 200, "the report is not terminated within its field");
    for (size_t i = 200; i < sizeof report; ++i) FuzzCheck(report[i] == 0x5A, "the report spilled past its field");
    return 0;
}
