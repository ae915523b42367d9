#pragma once

#include "player/PlayerOptions.h"

class ClockSync;
class PlayerStatus;
class Port;
class ShowClock;

// The exit codes of a show: its file cannot be read (1), or says something wrong (2).
constexpr int ShowUnreadable = 1;
constexpr int ShowMistaken = 2;

// "ktr --play NAME.show --preview DAYS": the schedule over the next days on the status' output,
// notes (days a sun time skips) on its error stream. Plays nothing; 0 when the show is good.
int runShowPreview(const PlayerOptions& options, const ShowClock& clock, PlayerStatus& status);

// "ktr --play NAME.show": plays the show on the output until SIGINT or SIGTERM; SIGHUP reads it
// again. A show that cannot be read or says something wrong is reported before anything is
// written (1 or 2).
int runShow(const PlayerOptions& options, Port& port, const QString& outputName, PlayerStatus& status,
            ShowClock& clock, const ClockSync& sync);
