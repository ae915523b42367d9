#include "RealtimePriority.h"

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace RealtimePriority {

bool makeCurrentThreadRealtime() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0); // wake exactly on time, not up to 50 us late
    int priority = Priority;
    rlimit limit{};
    // Without CAP_SYS_NICE the limit caps the priority; try what it allows.
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        priority = std::min<int>(priority, static_cast<int>(limit.rlim_cur));
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

namespace {

bool (*rtkit)(pid_t, int, QString*) = nullptr;

} // namespace

void setRtkit(bool (*ask)(pid_t tid, int priority, QString* why)) {
    rtkit = ask;
}

bool askRtkit(pid_t tid, QString* why) {
    if (!rtkit) {
        *why = QStringLiteral("rtkit is not asked by this program");
        return false;
    }
    return rtkit(tid, Priority, why);
}

} // namespace RealtimePriority
