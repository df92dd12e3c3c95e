// The whole extraction of an archive of either layout into the install
// directory: nothing may be written anywhere else.
#include "archive/extraction.h"
#include "fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzMachine machine;
    machine.MakeDirectory("c:\\morahu2");
    std::strcpy(context.installDir, "c:\\morahu2\\");
    ObtainScratch();
    MozExtractAll(data, size, context.scratch, kScratchSize);
    static const char* const kAllowed[] = {"/morahu2/"};
    FuzzCheck(OnlyFilesUnder(machine, kAllowed, 1), "a file written outside the install directory");
    return 0;
}
