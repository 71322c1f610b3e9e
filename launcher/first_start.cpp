// A user's first start. The catalogue and the settings are each user's own,
// while the association of .sln is the machine's: a second account of the
// machine, or a user whose suite an administrator's account set up, opens
// solutions with a launcher that finds no catalogue of theirs. The launcher
// then builds it by the same discovery that setup runs and writes the
// settings a first set-up writes. The association stays setup's alone.
#include "launcher.h"
#include "store_keys.h"

int BuildFirstCatalogue() {
    // A catalogue section, even an empty one, means this user has had a
    // catalogue: its editors were set up, added or dropped by them, and the
    // start goes on as it is. Telling so opens one key, so that every start
    // but the first pays nothing more.
    if (KalProfileSectExistsW(kSectVsInst) != 0) return 0;
    ZeroMemory(&g_state.discovery, sizeof(g_state.discovery));
    // Nothing found stores nothing: the next start looks again, and finds
    // a Visual Studio installed meanwhile.
    if (DiscoverInstalledEditors(&g_state.discovery) == 0) return 0;
    SaveFirstSettings();
    return g_state.discovery.nAdded;
}
