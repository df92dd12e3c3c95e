// Contract tests: the Win32 behaviours the installer relies on, written once and
// run twice, against the simulated Windows and against Wine. Where the two
// disagree, the simulation is wrong.
#pragma once

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Gives each test a scratch folder and a scratch key (under HKEY_CURRENT_USER)
// and removes everything made through them afterwards.
class ContractTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path in the scratch folder; the file or folder is removed afterwards.
    std::string Path(const std::string& name);
    // Creates (or opens) a key below the scratch key with full access; it is
    // closed and deleted afterwards.
    HKEY Key(const std::string& name);
    std::string KeyPath(const std::string& name) const;

    // Writes a whole file with the old handle functions.
    void MakeFile(const std::string& path, const std::string& bytes);

private:
    std::vector<std::string> paths_;
    std::vector<std::string> keys_;
    std::vector<HKEY> handles_;
};

// Whether the tests run as a 32-bit program on 64-bit Windows, whose file
// system is redirected; each main answers for its platform.
bool Is32BitProgramOn64BitWindows();

const char kScratchFolder[] = "c:\\moracontract";
const char kScratchKey[] = "Software\\MoraContract";
