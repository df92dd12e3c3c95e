#include "base/payload.h"

#include "base/install_context.h"

void MapPayload() {
    HRSRC resource = FindResourceA(context.instance, "QOVIMOZ", "MOZ");
    if (resource == nullptr) return;
    HGLOBAL loaded = LoadResource(context.instance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return;
    context.payloadResource = loaded;
    context.payload = static_cast<const unsigned char*>(bytes);
    context.payloadSize = SizeofResource(context.instance, resource);
}

void ObtainScratch() {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kScratchSize);
    if (block == nullptr) return;
    void* bytes = GlobalLock(block);
    if (bytes == nullptr) {
        GlobalFree(block);
        return;
    }
    context.scratchBlock = block;
    context.scratch = static_cast<unsigned char*>(bytes);
}

void ReleasePayloadAndScratch() {
    if (context.scratchBlock != nullptr) {
        GlobalUnlock(context.scratchBlock);
        GlobalFree(context.scratchBlock);
    }
    context.scratchBlock = nullptr;
    context.scratch = nullptr;
    if (context.payloadResource != nullptr) FreeResource(context.payloadResource);
    context.payloadResource = nullptr;
    context.payload = nullptr;
    context.payloadSize = 0;
}
