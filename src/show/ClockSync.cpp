#include "ClockSync.h"

#include <sys/timex.h>
#include <unistd.h>

bool SystemClockSync::synchronized() const {
    timex status{};
    const int state = adjtimex(&status); // modes 0: only reads
    if (state >= 0 && state != TIME_ERROR && !(status.status & STA_UNSYNC))
        return true;
    return ::access("/run/systemd/timesync/synchronized", F_OK) == 0;
}
