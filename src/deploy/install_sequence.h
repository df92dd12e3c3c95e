// The one operation that installs: from the install directory to the start of
// the 64-bit companion. The wizard's install steps and the silent re-install
// call it; the caller learns the outcome from rebootNeeded and later checks.
#pragma once

void RunInstallSequence();
