// Runs the contract tests against the real Win32 API (under Wine in our tests).
#include "contract/contract.h"

bool Is32BitProgramOn64BitWindows() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
