// After the installation: the installed files checked against the payload,
// the user's choice of the status window's mode and of a skin, the skin
// unpacked, and the window mode written into the settings record.
#pragma once

#include "platform/win32.h"

#include <cstddef>

// The user's choice, kept for the rest of the run. windowMode: 1 two-line,
// 2 one-line, 3 double window, 4 Windows-style; skinChoice: 1 "冷色瓷面",
// 2 "粉色瓷面", 3 "小天使".
extern unsigned char windowMode;
extern unsigned char skinChoice;

// Checks the installed files, then (unless the user keeps the old data) asks
// for the appearance and unpacks and checks the chosen skin.
void SelectAppearance();

// The procedure of the dialogs "PYKEY" and "PYKEYB": OK is the only way out.
INT_PTR CALLBACK AppearanceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the window mode into "moszsj43.moh" (always 200 bytes), unless the
// user keeps the old data.
void WriteImeSettings();

const size_t kSettingsRecordSize = 200;
extern const char kPayloadExceptions[];  // the installed files that may differ from the payload
