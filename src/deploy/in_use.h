// Finding the programs that still use the old input method: it makes a
// window of its UI class "UIQOVI" in each of them, and a loaded module cannot
// be replaced.
#pragma once

#include "platform/win32.h"

#include <cstddef>

// Counts the UI windows into inUseCount and, when there are any, leaves at the
// start of the scratch buffer a message (UTF-16) that lists the programs by
// the titles of their top windows.
void FindImeUsers();

// The enumeration's callback: counts and lists a window of the UI class.
BOOL CALLBACK TestImeWindow(HWND window, LPARAM unused);

// Adds the line of the program that owns a UI window; a window without parent
// or owner adds none.
void AddImeUser(HWND window);

// Where the texts lie in the scratch buffer, in bytes.
const size_t kUsersMessageOffset = 0;
const size_t kUsersLineOffset = 262144;
const size_t kUsersListOffset = 279040;
