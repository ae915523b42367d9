#pragma once

// Whether the system clock has been set from a time source since boot. A board without a
// real-time clock starts with a stale time, by which a schedule would start at the wrong hour.
class ClockSync {
public:
    virtual ~ClockSync() = default;
    virtual bool synchronized() const = 0;
};

// The kernel's word (adjtimex: no STA_UNSYNC, no TIME_ERROR), or, where a sandbox forbids
// asking it (systemd's ProtectClock=), systemd-timesyncd's /run/systemd/timesync/synchronized.
class SystemClockSync : public ClockSync {
public:
    bool synchronized() const override;
};
