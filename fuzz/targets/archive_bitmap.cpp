// The banner drawn from an entry of arbitrary bytes: its headers are trusted
// for nothing. The first 8 bytes choose the rectangles; the rest is the entry.
#include "fuzz_machine.h"
#include "shell/page_painting.h"

#include <string>
#include <zlib.h>

namespace {

// A one-entry archive of the current layout; the digest field is not checked
// by the lookup.
std::string OneEntryArchive(const uint8_t* content, size_t size) {
    uLongf compressedSize = compressBound(size);
    std::string compressed(compressedSize, '\0');
    compress(reinterpret_cast<Bytef*>(&compressed[0]), &compressedSize, content, size);
    compressed.resize(compressedSize);
    std::string entry = std::string("CFqovi1.bmp") + std::string(7, '\0') + std::string(32, 'A');
    uint32_t length = static_cast<uint32_t>(compressed.size());
    entry += std::string(reinterpret_cast<const char*>(&length), 4) + compressed;
    uint32_t total = static_cast<uint32_t>(10 + entry.size()), count = 1;
    return std::string("C0") + std::string(reinterpret_cast<const char*>(&total), 4) +
           std::string(reinterpret_cast<const char*>(&count), 4) + entry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    FuzzMachine machine;
    machine.SetResource("QOVIMOZ", "MOZ", OneEntryArchive(data + 8, size - 8));
    MapPayload();
    ObtainScratch();
    HDC dc = machine.CreateCanvas(400, 310);
    int8_t r[8];
    std::memcpy(r, data, 8);
    DrawArchiveBitmap(400, 310, dc, "qovi1.bmp", r[0], r[1], r[2] * 4, r[3] * 4, r[4] * 4, r[5] * 4, r[6] * 4, r[7] * 4);
    DeleteDC(dc);
    return 0;
}
