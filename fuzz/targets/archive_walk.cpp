// The entry walk over arbitrary bytes: every entry it hands out lies within them.
#include "archive/moz_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MozWalk walk;
    MozEntry entry;
    MozBeginWalk(&walk, data, size);
    while (MozNextEntry(&walk, &entry)) {
        const uint8_t* end = data + size;
        bool inside = entry.offset < size && entry.data >= data && entry.data <= end &&
                      entry.compressedLength <= static_cast<size_t>(end - entry.data) &&
                      reinterpret_cast<const uint8_t*>(entry.nameField) >= data &&
                      reinterpret_cast<const uint8_t*>(entry.nameField) + entry.nameFieldSize <= end;
        if (!inside) {
            std::fprintf(stderr, "entry %u outside the archive\n", entry.index);
            std::abort();
        }
    }
    return 0;
}
