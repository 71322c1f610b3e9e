#include "setup.h"

int RunUninstall() { return 0; }
