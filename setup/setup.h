// The setup and removal programs: editor discovery, the .sln association
// and first settings, and removal.
#pragma once

#include "KalBase32.h"

int RunInstall();
int RunUninstall();
