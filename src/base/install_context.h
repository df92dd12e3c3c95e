// InstallContext: the one process-wide record of installer state, and its
// enumerations. Every field starts zero or empty; start-up fills the first ones.
#pragma once

#include "platform/win32.h"

#include <cstddef>

enum RunMode { Interactive = 2, SilentReinstall = 3 };

// The numbering has a gap: 2 to 5 never occur; the painters go by ranges.
enum WizardPage {
    PageWelcome = 0,
    PageAddresses = 1,
    PagePath = 6,
    PageWorking = 7,
    PageFinish = 8,
    PageFinishArmed = 9,
};

enum BackupState { BackupNone = 0, BackupMade = 1, BackupKeep = 2 };

const size_t kPathFieldSize = 200;
const size_t kWow64DirSize = 224;
const size_t kUrlFieldSize = 100;
const size_t kScratchSize = 0x200000;

extern const char kDefaultInstallDir[];  // "c:\morahu2\"

struct InstallContext {
    char installDir[kPathFieldSize];  // ends with a backslash once recorded
    unsigned int oemCodePage;         // 950: traditional-Chinese texts and modules
    int runMode;                      // RunMode
    int wizardPage;                   // WizardPage
    int backupState;                  // BackupState
    int backupUnsafe;                 // a file of the user's exists but could not be packed into the backup
    int rebootNeeded;
    unsigned int osMajorVersion;  // refreshed by every IsWow64Windows
    char wow64Dir[kWow64DirSize];  // Windows directory + "\syswow64"
    unsigned char* scratch;        // kScratchSize bytes; what one user leaves is valid until the next
    const unsigned char* payload;  // the payload archive, read-only
    DWORD payloadSize;             // bounds every walk over the payload
    HGLOBAL scratchBlock;
    HGLOBAL payloadResource;
    HWND mainWindow;
    HINSTANCE instance;
    HWND pathBox;
    HWND unitSiteBox;
    HWND govSiteBox;
    char unitSiteUrl[kUrlFieldSize];
    char govSiteUrl[kUrlFieldSize];
    HKL installedLayout;
    int inUseCount;
    int stepsRunning;       // the install steps are under way: the wizard's end waits for them
    int wizardEndDeferred;  // the wizard was asked to end while they ran
    int finishing;          // the finish sequence's report or farewell is open
    char loweredDir[kPathFieldSize];  // the directory whose integrity level this run has lowered
};

extern InstallContext context;

// Puts the context back as the process starts with it.
void ResetInstallContext();
