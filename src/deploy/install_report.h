// The check of the install directory after an installation: a chain of checks
// that stops at the first failure and tells it, with advice, in one message.
#pragma once

#include <cstdint>

// What the listing of the install directory found. Each counter is 8 bits and
// wraps at 256. state: 1 once any entry was listed, +10 when the directory can
// be made the current one, +3 when its attributes are the directory bit alone.
struct DirectoryScan {
    uint8_t state;
    uint8_t txtFiles;
    uint8_t mohFiles;
    uint8_t otherFiles;
};
extern DirectoryScan directoryScan;

// Fills directoryScan; adds a closing backslash to a non-empty installDir.
// Leaves the install directory as the process's current directory.
void ScanInstallDirectory();

// (bytes read) x 256 + (error code) for a file of the install directory: 5,120
// (0x1400) when its first 20 bytes could be read; the error of the open when it
// could not be opened.
uint32_t ProbeFile(const char* name, unsigned char* buffer);

// Returns 1 after showing the report of the first failed check, 0 when every
// check passed or the report's memory cannot be had.
int ShowInstallReport();

const uint32_t kProbePresent = 0x1400;
