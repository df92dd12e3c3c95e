// Runs the contract tests against the simulated Windows: one machine, a 64-bit
// Windows 7 with code page 936, for the whole run.
#include "contract/contract.h"
#include "platform/sim/machine.h"

// The simulation plays a 32-bit installer.
bool Is32BitProgramOn64BitWindows() { return SimMachine::Current().Setup().is64Bit; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    SimMachine machine(SimSetup::Windows7(true));
    return RUN_ALL_TESTS();
}
