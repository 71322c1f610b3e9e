#include "setup.h"

int RunInstall() { return 0; }
