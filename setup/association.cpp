#include "setup.h"
