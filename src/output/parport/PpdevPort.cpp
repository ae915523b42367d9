#include "PpdevPort.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/major.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

int systemStat(const char* path, struct stat* status) {
    return ::stat(path, status);
}
int systemOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int systemFstat(int fd, struct stat* status) {
    return ::fstat(fd, status);
}
int systemIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}
int systemClose(int fd) {
    return ::close(fd);
}

void ignoreSignal(int) {}

bool isPortDevice(const struct stat& status) {
    return S_ISCHR(status.st_mode) && major(status.st_rdev) == PP_MAJOR;
}

QString errnoText(int error) {
    const char* name = strerrorname_np(error);
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(name ? name : "?"),
                                        QString::fromLocal8Bit(strerror(error)));
}

} // namespace

PpdevCalls PpdevCalls::system() {
    return {systemStat, systemOpen, systemFstat, systemIoctl, systemClose};
}

PpdevPort::PpdevPort(QString device, PpdevCalls calls, int claimTimeoutMs)
    : m_device(std::move(device)), m_calls(calls), m_claimTimeoutMs(claimTimeoutMs) {}

PpdevPort::~PpdevPort() {
    closeDevice();
}

bool PpdevPort::write(int address, quint8 value) {
    if (m_fd < 0 && !openDevice())
        return false;
    unsigned char byte = address == DataAddress ? value : (value & 0x0F);
    const unsigned long request = address == DataAddress ? PPWDATA : PPWCONTROL;
    if (m_calls.ioctl(m_fd, request, &byte) < 0)
        return failAt(Stage::Write, errno);
    return true;
}

bool PpdevPort::openDevice() {
    const QByteArray path = m_device.toLocal8Bit();
    struct stat status {};
    if (m_calls.stat(path.constData(), &status) < 0)
        return failAt(Stage::Open, errno);
    if (!isPortDevice(status))
        return failAt(Stage::Kind, 0);
    m_fd = m_calls.open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return failAt(Stage::Open, errno);
    if (m_calls.fstat(m_fd, &status) < 0)
        return failAt(Stage::Open, errno);
    if (!isPortDevice(status))
        return failAt(Stage::Kind, 0);
    if (claim() < 0)
        return failAt(Stage::Claim, errno);
    int direction = 0; // data lines drive outputs
    if (m_calls.ioctl(m_fd, PPDATADIR, &direction) < 0)
        return failAt(Stage::Direction, errno);
    return true;
}

// PPCLAIM sleeps until every other user of the port lets it go. A one-shot timer signal aimed at
// this thread alone interrupts that sleep (EINTR), so a busy port costs at most the timeout.
int PpdevPort::claim() {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: the ioctl must return
    sigaction(SIGALRM, &action, &previous);

    sigset_t alarmOnly;
    sigemptyset(&alarmOnly);
    sigaddset(&alarmOnly, SIGALRM);
    sigset_t previousMask;
    pthread_sigmask(SIG_UNBLOCK, &alarmOnly, &previousMask);

    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = gettid();
    timer_t timer{};
    const bool armed = timer_create(CLOCK_MONOTONIC, &event, &timer) == 0;
    if (armed) {
        itimerspec when{};
        when.it_value.tv_sec = m_claimTimeoutMs / 1000;
        when.it_value.tv_nsec = static_cast<long>(m_claimTimeoutMs % 1000) * 1000000L;
        timer_settime(timer, 0, &when, nullptr);
    }

    const int result = m_calls.ioctl(m_fd, PPCLAIM, nullptr);
    const int error = errno;

    if (armed)
        timer_delete(timer);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    errno = error;
    return result;
}

void PpdevPort::closeDevice() {
    if (m_fd >= 0)
        m_calls.close(m_fd);
    m_fd = -1;
}

// Closes the device (the next attempt opens it afresh) and words the failure for the user.
bool PpdevPort::failAt(Stage stage, int error) {
    closeDevice();
    QString cause;
    QString remedy;
    if (stage == Stage::Kind) {
        cause = QStringLiteral("ez nem párhuzamos port (nem a ppdev meghajtó karakteres eszköze), ezért a "
                               "program meg sem nyitja.");
        remedy = QStringLiteral("Adjon meg párhuzamos portot, például /dev/parport0 (ls -l /dev/parport*).");
    } else if (stage == Stage::Write) {
        cause = QStringLiteral("írás közben hiba történt (%1); lehet, hogy az eszköz megszűnt.")
                    .arg(errnoText(error));
        remedy = QStringLiteral("Ellenőrizze a port csatlakozását és a ppdev modult (sudo modprobe ppdev).");
    } else if (stage == Stage::Claim && (error == EINTR || error == EBUSY || error == EAGAIN)) {
        cause = QStringLiteral("a portot egy másik program vagy meghajtó foglalja.");
        remedy = QStringLiteral("Zárja be a portot használó programot, vagy vegye ki a nyomtató-meghajtót "
                                "(sudo rmmod lp).");
    } else if (error == ENOENT || error == ENODEV || error == ENXIO) {
        cause = QStringLiteral("az eszköz nem található (%1).").arg(errnoText(error));
        remedy =
            QStringLiteral("Töltse be a ppdev modult (sudo modprobe ppdev), és ellenőrizze, hogy a gépben "
                           "van-e engedélyezett párhuzamos port.");
    } else if (error == EACCES || error == EPERM) {
        cause = QStringLiteral("nincs jogosultság az eszköz használatához (%1).").arg(errnoText(error));
        remedy = QStringLiteral("Vegye fel a felhasználót az lp csoportba (sudo usermod -aG lp FELHASZNÁLÓ), "
                                "majd jelentkezzen be újra.");
    } else {
        cause = QStringLiteral("rendszerhiba (%1).").arg(errnoText(error));
        remedy =
            QStringLiteral("Ellenőrizze, hogy a(z) %1 valóban párhuzamos port, és be van-e töltve a ppdev "
                           "modul.")
                .arg(m_device);
    }
    return fail(OutputFailure{OutputFailure::ParallelPort, m_device, cause, remedy});
}
