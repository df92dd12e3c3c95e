// Runs the contract tests against the simulated Windows: one machine, a 64-bit
// Windows 7 with code page 936, for the whole run.
#include "contract/contract.h"
#include "platform/sim/machine.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    SimMachine machine(SimSetup::Windows7(true));
    return RUN_ALL_TESTS();
}
