#pragma once

#include "PlayerOptions.h"

class Port;
class PlayerStatus;

// "ktr --play …": plays an effect file without a window or a display. Call before any
// QApplication exists; it makes a QCoreApplication of its own. Returns the exit code.
int runPlayer(int argc, char* argv[]);

// The player under an existing QCoreApplication, on the given output, until SIGINT or SIGTERM.
// A missing or bad file is reported on the status' error stream before anything is written, and
// gives 1.
int runPlayer(const PlayerOptions& options, Port& port, const QString& outputName, PlayerStatus& status);
