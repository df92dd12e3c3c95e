// A 64-bit Windows console program that says which Windows it runs on: proof
// that the x86_64 toolchain builds and links statically.
#include <windows.h>

#include <cstdio>

int main() {
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    std::printf("64-bit toolchain works: processor architecture %u, pointer size %u\n",
                static_cast<unsigned>(info.wProcessorArchitecture), static_cast<unsigned>(sizeof(void*)));
    return sizeof(void*) == 8 ? 0 : 1;
}
