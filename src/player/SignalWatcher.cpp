#include "SignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

sigset_t playerSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void SignalWatcher::blockPlayerSignals() {
    const sigset_t set = playerSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void SignalWatcher::blockPlayerSignalsAtStart() {
    // The kernel's signal set: bit n-1 for signal n. No libc wrapper, which a sanitizer could
    // intercept before it is ready.
    const unsigned long set = 1UL << (SIGHUP - 1) | 1UL << (SIGINT - 1) | 1UL << (SIGTERM - 1);
    ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, &set, nullptr, sizeof set);
}

void SignalWatcher::unblockPlayerSignals() {
    const sigset_t set = playerSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    const sigset_t set = playerSignals();
    m_fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignals);
}

SignalWatcher::~SignalWatcher() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void SignalWatcher::readSignals() {
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGHUP)
            emit reloadRequested();
        else
            emit terminateRequested(static_cast<int>(info.ssi_signo));
    }
}
