// Runs the installer's keyboard-layout registration and preload-list
// operations against the real registry of a Wine prefix, for the end-to-end
// tests: one operation per run, chosen by the first argument, with the context
// filled as start-up fills it. Prints what the operation found.
//   register   RegisterKeyboardLayout
//   find       FindImeInPreload
//   move       FindImeInPreload, then MoveImeToSecondPlace
//   swap       ReadPreloadList, then SwapFirstTwoPreloadEntries
#include "base/install_context.h"
#include "base/shared_ops.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintList(int result) {
    std::printf("result=%d found=%d position=%d count=%d ids=", result, preloadList.found, preloadList.position,
                preloadList.count);
    for (int i = 0; i < preloadList.count; ++i) std::printf("%s%s", i ? "," : "", preloadList.ids[i]);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: registration_probe register|find|move|swap\n");
        return 2;
    }
    context.oemCodePage = GetOEMCP();
    IsWow64Windows();
    const char* operation = argv[1];
    if (std::strcmp(operation, "register") == 0) {
        std::printf("result=%d\n", RegisterKeyboardLayout());
    } else if (std::strcmp(operation, "find") == 0) {
        PrintList(FindImeInPreload());
    } else if (std::strcmp(operation, "move") == 0) {
        int found = FindImeInPreload();
        MoveImeToSecondPlace();
        PrintList(found);
    } else if (std::strcmp(operation, "swap") == 0) {
        int count = ReadPreloadList();
        SwapFirstTwoPreloadEntries();
        PrintList(count);
    } else {
        std::fprintf(stderr, "unknown operation %s\n", operation);
        return 2;
    }
    return 0;
}
