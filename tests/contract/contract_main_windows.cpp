// Runs the contract tests against the real Win32 API (under Wine in our tests).
#include "contract/contract.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
