// The settings file's key lookup: never more than the destination holds.
#include "deploy/article_settings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char value[100 + 16];
    std::memset(value, 0x5A, sizeof value);
    FindKeyValue(reinterpret_cast<const char*>(data), size, "MONETURL1=", value, 100);
    if (strnlen(value, 100) >= 100) std::abort();
    for (size_t i = 100; i < sizeof value; ++i)
        if (value[i] != 0x5A) std::abort();
    return 0;
}
