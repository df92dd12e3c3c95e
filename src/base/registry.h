// The installer's way of writing registry strings.
#pragma once

#include "platform/win32.h"

// Sets a REG_SZ value counted without its terminating zero (name null or ""
// for the key's default value). Returns the registry's status.
LSTATUS SetRegistryText(HKEY key, const char* name, const char* text);
