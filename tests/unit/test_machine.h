// A simulated machine for one test, with the installer's context as the
// process starts with it; both are put back when the test ends.
#pragma once

#include "base/install_context.h"
#include "base/payload.h"
#include "platform/sim/machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

class TestMachine : public SimMachine {
public:
    explicit TestMachine(const SimSetup& setup = SimSetup::Windows7()) : SimMachine(setup) { ResetInstallContext(); }
    ~TestMachine() {
        ReleasePayloadAndScratch();
        ResetInstallContext();
    }
};

// The texts of the message boxes shown so far, in order.
inline std::vector<std::string> BoxTexts(const SimMachine& machine) {
    std::vector<std::string> texts;
    for (const SimMessageBox& box : machine.MessageBoxes()) texts.push_back(box.text);
    return texts;
}

inline void SetInstallDir(const char* dir) {
    std::memset(context.installDir, 0, sizeof context.installDir);
    std::strncpy(context.installDir, dir, sizeof context.installDir - 1);
}

template <size_t N>
void CopyTextForTest(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}
