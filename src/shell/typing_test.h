// The typing test on the finish page: the installer switches its own process
// to the installed input method, so that the user can try it at once.
#pragma once

// Called at every painting of the finish page. Finds the installed input method
// among the keyboard layouts by its description when installedLayout is not
// known yet, and makes it the current layout of the whole process. Returns 0
// when there was nothing to do, 1 when it searched or switched.
int SelectInstalledIme();
