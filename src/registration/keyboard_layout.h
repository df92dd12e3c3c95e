// Registration of the input-method module as a keyboard layout.
#pragma once

// Asks the input method manager to install morahu4.ime of the system directory
// as "智能墨川输入平台  7.4" and keeps the layout handle in installedLayout.
// Returns 1 when a handle came back.
int InstallImeModule();
