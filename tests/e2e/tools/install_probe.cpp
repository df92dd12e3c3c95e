// The installation after the install-path page, for the end-to-end tests of
// the user's data and the appearance until the wizard runs its own install
// steps: the backup the wizard's window makes, the install sequence into the
// recorded directory, the appearance, the settings record and, when the user
// keeps the old data, the restore. Carries the installer's own resources (the
// payload and the dialogs). Exit code 0.
#include "archive/user_data.h"
#include "base/install_context.h"
#include "base/payload.h"
#include "deploy/appearance.h"
#include "deploy/install_sequence.h"
#include "registration/system_records.h"

int main() {
    context.instance = GetModuleHandleA(nullptr);
    context.oemCodePage = GetOEMCP();
    ReadInstallPathRecord();
    MapPayload();
    ObtainScratch();
    if (context.scratch == nullptr) return 1;
    context.backupState = BackupUserData() ? BackupMade : BackupNone;
    context.runMode = SilentReinstall;  // the recorded directory, as there is no path box
    RunInstallSequence();
    SelectAppearance();
    WriteImeSettings();
    if (context.backupState == BackupKeep) RestoreUserData();
    ReleasePayloadAndScratch();
    return 0;
}
