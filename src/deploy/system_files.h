// Putting the installed files in place, in two passes around the registration
// of the keyboard layout: pass 0 unpacks the payload and puts the small
// registration modules into the system folders, pass 1 the full modules.
#pragma once

#include <cstddef>

// One pass, 0 or 1. Failures are told in message boxes and never stop it.
void DeploySystemFiles(int pass);

// Turns the version "6.3" or "6.7" after the input method's description (UTF-16)
// into "7.4", at every place of the file's first 131,072 bytes. A file that is
// longer, or that cannot be read whole, is left as it is.
void PatchVersionText(const char* path);

// The same over bytes in memory: every version after the description that lies
// within `length`. Returns the number of versions changed.
int PatchVersionBytes(unsigned char* bytes, size_t length);

extern const char kHomePage[];  // the input method's site, where the installer can be had again
