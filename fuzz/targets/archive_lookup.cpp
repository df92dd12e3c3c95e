// The payload lookup of a named entry, with arbitrary bytes as the payload.
#include "archive/moz_archive.h"
#include "fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzMachine machine;
    ObtainScratch();
    context.payload = data;
    context.payloadSize = static_cast<DWORD>(size);
    for (const char* name : {"qovi1.bmp", "moszsj43.moh", ""}) {
        size_t length = MozLookupEntry(name);
        FuzzCheck(length <= kScratchSize - 100, "content beyond the scratch buffer");
    }
    context.payload = nullptr;
    context.payloadSize = 0;
    return 0;
}
