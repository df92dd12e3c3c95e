// The version patch over arbitrary module bytes: only version digits change,
// and only behind the description.
#include "deploy/system_files.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    int patched = PatchVersionBytes(bytes.data(), bytes.size());
    int changed = 0;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == data[i]) continue;
        ++changed;
        if (!((data[i] == '6' && bytes[i] == '7') || ((data[i] == '3' || data[i] == '7') && bytes[i] == '4'))) std::abort();
    }
    if (changed > 2 * patched) std::abort();
    return 0;
}
