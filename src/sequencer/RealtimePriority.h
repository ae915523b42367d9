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
// rtprio limit), through what setRtkit() gave; false with why when nothing was given. Blocks for
// at most about a second; call it from a thread that may wait.
bool askRtkit(pid_t tid, QString* why);
// The window program hands in its D-Bus client (src/ui/Rtkit) before any engine starts. The
// player does not: it maps no D-Bus library, and a service gets its real-time priority from
// LimitRTPRIO directly.
void setRtkit(bool (*ask)(pid_t tid, int priority, QString* why));

} // namespace RealtimePriority
