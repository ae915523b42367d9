#include "PlayerMain.h"
#include "SignalWatcher.h"

namespace {

// Before the libraries' own initialisation, which takes milliseconds: a SIGHUP sent right after
// the service started stays pending for the signal watcher instead of ending the show.
void blockSignalsAtStart(int, char**, char**) {
    SignalWatcher::blockPlayerSignalsAtStart();
}
[[gnu::used, gnu::section(".preinit_array")]] void (*const atStart)(int, char**,
                                                                    char**) = &blockSignalsAtStart;

} // namespace

// "ktr --play …" ends up here: the window program hands the same arguments over (see main.cpp),
// so that the process that plays maps Qt Core and nothing of the GUI.
int main(int argc, char* argv[]) {
    return runPlayer(argc, argv);
}
