#pragma once

#include "ShowClock.h"

// The system's clocks (CLOCK_REALTIME, CLOCK_MONOTONIC) and its local time zone through the C
// library, as every other program on the machine sees it: TZ when set, else /etc/localtime, taken
// up again at every refreshZone().
class SystemClock : public ShowClock {
public:
    qint64 now() const override;
    qint64 elapsed() const override;
    int utcOffset(qint64 utcSeconds) const override;
    void refreshZone() override;
};
