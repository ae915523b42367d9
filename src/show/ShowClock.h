#pragma once

#include <QtGlobal>

// Where a show gets the time from: the wall clock and the local zone's offset for the calendar, a
// steady clock for how long an effect has played. The program uses SystemClock; tests set the
// time and the zone themselves.
class ShowClock {
public:
    virtual ~ShowClock() = default;

    // Milliseconds since the epoch (UTC), as the system clock says now; it may jump.
    virtual qint64 now() const = 0;
    // Milliseconds of a steady clock that never jumps (for durations).
    virtual qint64 elapsed() const = 0;
    // The local zone's offset from UTC in seconds at that moment (seconds since the epoch).
    virtual int utcOffset(qint64 utcSeconds) const = 0;
    // Takes up a change of the system's time zone (TZ or /etc/localtime); called before each look.
    virtual void refreshZone() {}
};
