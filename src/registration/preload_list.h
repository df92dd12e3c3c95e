// The user's preload list of keyboard layouts and the rules about the default
// input method: an old copy of this input method must not be the default when
// an upgrade starts, and a new one goes second in the list up to Windows XP.
#pragma once

#include <cstddef>

const int kPreloadEntries = 49;
const size_t kPreloadIdSize = 10;
const size_t kPreloadTextSize = 200;

struct PreloadList {
    char ids[kPreloadEntries][kPreloadIdSize];       // entry k in slot k-1
    char texts[kPreloadEntries][kPreloadTextSize];   // the layout text of each entry's layout
    int count;
    int position;  // of this input method, from 1; 0 when not found
    int found;
};

extern PreloadList preloadList;

// Reads the current user's preload list and the layout texts of its entries.
// Returns the number of entries, 0 when a key of the list cannot be opened.
int ReadPreloadList();

// Reads the list and finds this input method in it by its layout text.
int FindImeInPreload();

// Moves this input method, found at place 3 or later, to place 2 (Windows 5
// and earlier only).
void MoveImeToSecondPlace();

// Exchanges the first two entries of the user's and the default profile's list.
void SwapFirstTwoPreloadEntries();

// Returns 0, after telling the user why, when an old copy of this input method
// is the default input method or is active in the installer itself.
int VerifyOldImeNotDefault();
