// stamp_version.exe <program> <description> <version>: gives a copy of the
// fake editor the version resource of a real Visual Studio, as the tests do
// through WriteVersionResource, for scripts (scripts/demo.sh) that lay out
// editors from the Unix side. Exits with 0 on success, 1 on failure.
#include "testutil.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    return testutil::WriteVersionResource(argv[1], argv[2], argv[3]) ? 0 : 1;
}
