#include "PlayerMain.h"

// "ktr --play …" ends up here: the window program hands the same arguments over (see main.cpp),
// so that the process that plays maps Qt Core and nothing of the GUI.
int main(int argc, char* argv[]) {
    return runPlayer(argc, argv);
}
