// The article-download settings of the input method ("monetsj.dat": the web
// addresses of the user's unit and local government, and fixed download
// settings) and the edition flag file "wbpybz.moh", in the install directory.
#pragma once

#include <cstddef>

// Writes "wbpybz.moh" and "monetsj.dat" from unitSiteUrl and govSiteUrl. In the
// silent re-install, where no address is entered, an existing "monetsj.dat"
// keeps the addresses given before.
void WriteSettingsFiles();

// Puts the recorded addresses into unitSiteUrl and govSiteUrl and their edit
// boxes; empty texts when there is no settings file.
void LoadArticleSettings();

// The value after the first occurrence of `key` (its "=" included, case
// matters) in text: the bytes above 0x20 up to the first one that is not, at
// most 250 and never more than the destination holds with its terminator.
void FindKeyValue(const char* text, size_t length, const char* key, char* value, size_t valueSize);
