// Asking Windows' list of Visual Studio instances with a deadline. The list
// comes from Visual Studio's Setup Configuration server, code of someone
// else's that runs in this process and may never answer (a broken install,
// a hung service behind it). It is asked on a thread of its own; the
// program waits a few seconds at most and then goes on without it.
#include "discovery.h"

#include <stdlib.h>

namespace {

// What the thread that reads the list and the thread that waits for it
// share. Each holds one reference; whichever lets go last frees it, so the
// memory a thread given up on still writes into stays its own.
struct InstanceListing {
    LONG refs;
    int answered;           // the list was read to its end
    FoundEditors listed;    // what it named, in its order
};

void ReleaseListing(InstanceListing* listing) {
    if (InterlockedDecrement(&listing->refs) != 0) return;
    FreeFoundEditors(&listing->listed);
    free(listing);
}

DWORD WINAPI ReadListingThread(void* parameter) {
    InstanceListing* listing = static_cast<InstanceListing*>(parameter);
    listing->answered = ReadInstanceList(&listing->listed);
    ReleaseListing(listing);
    return 0;
}

}  // namespace

int ListInstalledInstances(DiscoveryState* state) {
    InstanceListing* listing = static_cast<InstanceListing*>(calloc(1, sizeof(InstanceListing)));
    if (!listing) return 0;
    listing->refs = 2;
    HANDLE thread = CreateThread(nullptr, 0, ReadListingThread, listing, 0, nullptr);
    if (!thread) {
        free(listing);
        return 0;
    }
    // The thread's end is the sign that it let go of the listing and that
    // everything it wrote there is to be seen from here.
    const DWORD waited = WaitForSingleObject(thread, kInstanceListDeadlineMs);
    CloseHandle(thread);
    int taken = 0;
    state->fListLate = waited != WAIT_OBJECT_0;
    if (waited == WAIT_OBJECT_0) {
        state->fListAnswered = listing->answered;
        for (int i = 0; i < listing->listed.count; ++i) {
            const FoundEditor& item = listing->listed.items[i];
            taken += AddFoundEditor(&state->found, item.szEditor, 1, item.fPrerelease);
        }
    }
    ReleaseListing(listing);
    return taken;
}
