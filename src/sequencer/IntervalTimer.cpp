#include "IntervalTimer.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

IntervalTimer::IntervalTimer(QObject* parent) : QObject(parent) {
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        m_notifier->setEnabled(false);
        connect(m_notifier, &QSocketNotifier::activated, this, &IntervalTimer::expired);
    } else {
        m_fallback.setTimerType(Qt::PreciseTimer);
        connect(&m_fallback, &QTimer::timeout, this, &IntervalTimer::timeout);
    }
}

bool IntervalTimer::kernelTimerAvailable() {
    static const bool available = [] {
        const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        return fd >= 0;
    }();
    return available;
}

IntervalTimer::~IntervalTimer() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void IntervalTimer::setInterval(int milliseconds) {
    m_interval = milliseconds;
    if (m_active)
        arm();
}

void IntervalTimer::start() {
    m_active = true;
    arm();
}

void IntervalTimer::stop() {
    m_active = false;
    arm();
}

void IntervalTimer::arm() {
    const int interval = m_interval;
    const bool ticking = m_active && interval > 0;
    if (m_fd < 0) {
        m_fallback.setInterval(m_interval);
        if (ticking)
            m_fallback.start();
        else
            m_fallback.stop();
        return;
    }
    itimerspec period{};
    if (ticking) {
        period.it_interval.tv_sec = interval / 1000;
        period.it_interval.tv_nsec = static_cast<long>(interval % 1000) * 1000000L;
        period.it_value = period.it_interval;
    }
    timerfd_settime(m_fd, 0, &period, nullptr);
    // A notification already pending from the old setting must not tick early.
    uint64_t expirations = 0;
    while (::read(m_fd, &expirations, sizeof expirations) < 0 && errno == EINTR) {
    }
    if (!m_external)
        m_notifier->setEnabled(ticking);
}

void IntervalTimer::driveExternally() {
    if (m_fd < 0)
        return;
    m_external = true;
    m_notifier->setEnabled(false);
}

bool IntervalTimer::takeExpiration() {
    uint64_t expirations = 0;
    return ::read(m_fd, &expirations, sizeof expirations) == sizeof expirations && expirations != 0;
}

void IntervalTimer::expired() {
    if (takeExpiration())
        emit timeout();
}
