#pragma once

#include <QString>

#include <sys/types.h>

// rtkit on the system bus, for the window's playback thread in a desktop session without an
// rtprio limit: RealtimePriority::setRtkit(&Rtkit::makeThreadRealtime).
namespace Rtkit {

// Asks for SCHED_FIFO at priority (or rtkit's ceiling, if lower) for thread tid, after capping
// the process's CPU time without blocking as rtkit demands. Blocks for at most about a second.
bool makeThreadRealtime(pid_t tid, int priority, QString* why);

} // namespace Rtkit
