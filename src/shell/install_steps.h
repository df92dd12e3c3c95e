// The installation behind the install-path page's confirm, and the end of the
// run from the finish pages.
#pragma once

// The confirm on the install-path page: the last checks, the installation,
// the appearance, the restore; then the finish at once on 32-bit Windows, or
// the finish page 1.6 s later on 64-bit Windows.
void RunInstallSteps();

// The installation report, the farewell when it found nothing, the end.
void RunFinishSequence();

// 1 when the typed path is refused: only one folder directly under the root of
// a drive is accepted ("d:\ime" or "d:\ime\"), with a name Windows allows.
int ValidateInstallPath(const char* path);

// While the install steps run, the wizard's end waits for them: their message
// boxes keep the wizard's buttons alive, and the end would take the payload
// and the scratch buffer from under them. Returns 1 when the end was deferred.
int DeferWizardEnd();
