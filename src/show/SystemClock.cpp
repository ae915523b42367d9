#include "SystemClock.h"

#include <ctime>

namespace {

qint64 milliseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

qint64 SystemClock::now() const {
    return milliseconds(CLOCK_REALTIME);
}

qint64 SystemClock::elapsed() const {
    return milliseconds(CLOCK_MONOTONIC);
}

int SystemClock::utcOffset(qint64 utcSeconds) const {
    const time_t moment = time_t(utcSeconds);
    tm local{};
    if (!localtime_r(&moment, &local))
        return 0;
    return int(local.tm_gmtoff);
}

void SystemClock::refreshZone() {
    // tzset() reads TZ again, and without TZ it reloads /etc/localtime when that file changed;
    // localtime_r() alone would keep the zone it saw first.
    tzset();
}
