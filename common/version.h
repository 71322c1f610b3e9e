// Version of the suite, used by every version resource.
#pragma once

#define PIKRO_VERSION_BIN 1, 0, 0, 2
#define PIKRO_VERSION_STR "1.0.0.2"
#define PIKRO_PRODUCT_NAME "Travuna"
