#include "base/install_context.h"

#include <cstring>

const char kDefaultInstallDir[] = "c:\\morahu2\\";

InstallContext context;

void ResetInstallContext() { std::memset(&context, 0, sizeof context); }
