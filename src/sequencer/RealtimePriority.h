#pragma once

#include <QString>

#include <sys/types.h>

// Real-time scheduling for the playback thread, where the system allows it.
namespace RealtimePriority {

// The SCHED_FIFO priority asked for: rtkit's usual ceiling, and what a limits.d "rtprio" entry
// has to allow.
constexpr int Priority = 20;

// On the playback thread itself: SCHED_FIFO when the process may (CAP_SYS_NICE or RLIMIT_RTPRIO),
// and the timer slack at its minimum either way. Returns true when the thread is now real-time.
bool makeCurrentThreadRealtime();

// Asks rtkit on the system bus to make thread tid real-time (for desktop sessions without an
// rtprio limit). Blocks for at most about a second; call it from a thread that may wait.
bool askRtkit(pid_t tid, QString* why);

} // namespace RealtimePriority
