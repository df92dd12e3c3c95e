// The word list's compaction and trailer over arbitrary bytes.
#include "archive/extraction.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> text(data, data + size);
    text.resize(size + 12);  // the room behind the text that the trailer needs
    size_t kept = NormaliseWordList(text.data(), size);
    if (kept > size) std::abort();
    if (!(size >= 12 && std::memcmp(data + size - 12, "MORA", 4) == 0) && std::memcmp(&text[kept], "MORA", 4) != 0)
        std::abort();
    return 0;
}
