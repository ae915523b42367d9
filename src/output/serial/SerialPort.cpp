#include "SerialPort.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Pins = SerialFrames::Pins;

QString errnoText(int error) {
    const char* name = strerrorname_np(error);
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(name ? name : "?"),
                                        QString::fromLocal8Bit(strerror(error)));
}

speed_t speedConstant(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    default:
        return B0;
    }
}

QString kindOf(const struct stat& status) {
    if (S_ISREG(status.st_mode))
        return QStringLiteral("közönséges fájl");
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("könyvtár");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("FIFO (nevesített cső)");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("socket");
    if (S_ISBLK(status.st_mode))
        return QStringLiteral("blokkeszköz");
    return QStringLiteral("karakteres eszköz, de nem terminál");
}

std::uint32_t bitsOf(const Pins& pins) {
    std::uint32_t bits = 0;
    for (int k = 0; k < 12; ++k)
        bits |= pins[k] ? 1u << k : 0u;
    return bits;
}

Pins pinsOf(std::uint32_t bits) {
    Pins pins{};
    for (int k = 0; k < 12; ++k)
        pins[k] = bits & (1u << k);
    return pins;
}

} // namespace

struct SerialPort::Status {
    std::atomic<int> writeError{0};
    std::atomic<bool> slowNoted{false};
};

struct SerialPort::Line {
    Line(int fd, SerialFrames frames, std::shared_ptr<Status> status, Notice notice, QString slowText)
        : fd(fd), frames(std::move(frames)), status(std::move(status)), notice(std::move(notice)),
          slowText(std::move(slowText)) {}
    ~Line() {
        ::close(fd);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    const int fd;
    const SerialFrames frames;
    const std::shared_ptr<Status> status;
    const Notice notice;
    const QString slowText;
    int wakeFd = -1;

    // From write(): bits 16..31 count the published steps (never 0), bits 0..11 are the pins.
    std::atomic<std::uint32_t> latest{0};
    std::atomic<bool> forget{false}; // START: the board's state is to be sent whole again
    std::atomic<bool> stop{false};
    std::atomic<bool> wakePending{false};
    std::promise<void> finished;

    // The writer's own.
    std::uint32_t sentGeneration = 0;
    std::optional<Pins> known; // what the board was last sent
    Clock::time_point lastSend{};

    void publish(const Pins& pins) {
        const std::uint32_t count = ((latest.load(std::memory_order_relaxed) >> 16) + 1) & 0xFFFF;
        latest.store((count ? count : 1) << 16 | bitsOf(pins));
    }
    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
    bool put(const QByteArray& bytes);
    bool hungUp();
    bool sendLatest();
    bool resend();
    void run();
};

bool SerialPort::Line::put(const QByteArray& bytes) {
    const char* data = bytes.constData();
    std::size_t left = std::size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            status->writeError = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        left -= std::size_t(n);
    }
    // Until the bytes are on the wire: a line slower than the show then skips steps instead of
    // queueing seconds of them in the kernel.
    while (::tcdrain(fd) < 0) {
        if (errno != EINTR) {
            status->writeError = errno;
            return false;
        }
    }
    lastSend = Clock::now();
    return true;
}

// An unplugged board hangs the terminal up: noticed without a write, so that a held step (lcus sends
// nothing while nothing changes) still finds out, and the board gets every relay when it is back.
bool SerialPort::Line::hungUp() {
    pollfd line{fd, 0, 0};
    if (::poll(&line, 1, 0) <= 0 || !(line.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return false;
    status->writeError = EIO;
    return true;
}

bool SerialPort::Line::sendLatest() {
    if (hungUp())
        return false;
    // The step first, then forget: START sets forget before it publishes, so its step never goes
    // out as a difference to what the board had before.
    const std::uint32_t value = latest.load();
    if (forget.exchange(false))
        known.reset();
    const std::uint32_t generation = value >> 16;
    if (value == 0 || generation == sentGeneration)
        return true;
    sentGeneration = generation;
    const Pins pins = pinsOf(value);
    const QByteArray bytes = frames.frame(pins, known);
    if (!bytes.isEmpty() && !put(bytes))
        return false;
    known = pins;
    const std::uint32_t arrived = ((latest.load() >> 16) - generation) & 0xFFFF;
    if (arrived >= 2 && !status->slowNoted.exchange(true) && notice)
        notice(slowText);
    return true;
}

bool SerialPort::Line::resend() {
    if (!frames.resends() || !known)
        return true;
    return put(frames.frame(*known));
}

void SerialPort::Line::run() {
    // It keeps the playback thread's scheduling (SCHED_FIFO where allowed): the relays switch on
    // time on a busy machine too, and at the same priority it never preempts the tick.
    pthread_setname_np(pthread_self(), "ktr-serial");
    while (!stop.load()) {
        wakePending = false;
        if (!sendLatest())
            break;
        int timeout = -1;
        if (frames.resends() && known) {
            if (Clock::now() - lastSend >= ResendInterval && !resend())
                break;
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(lastSend + ResendInterval - Clock::now());
            timeout = int(std::clamp<long long>(wait.count(), 0, ResendInterval.count()));
        }
        pollfd waits[2] = {{wakeFd, POLLIN, 0}, {fd, 0, 0}}; // the line: only a hang-up wakes
        if (::poll(waits, 2, timeout) > 0 && (waits[0].revents & POLLIN)) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
    }
    finished.set_value();
}

SerialPort::SerialPort(SerialSettings settings, Writing writing, SerialRoots roots, Notice notice)
    : m_settings(std::move(settings)), m_writing(writing), m_roots(std::move(roots)),
      m_notice(std::move(notice)), m_status(std::make_shared<Status>()) {
    if (!m_notice)
        m_notice = [](const QString& text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); };
}

SerialPort::~SerialPort() {
    close();
}

bool SerialPort::failing() const {
    return Port::failing() || m_status->writeError.load(std::memory_order_relaxed) != 0;
}

void SerialPort::resendTick() {
    if (m_line && !m_writer)
        m_line->resend();
}

bool SerialPort::write(int address, quint8 value) {
    if (address == DataAddress) {
        m_data = value;
    } else {
        if (!m_line && !open())
            return false;
        m_line->publish(highPins(m_data, value));
        if (!m_writer)
            m_line->sendLatest();
        else if (!m_line->wakePending.exchange(true))
            m_line->wake();
    }
    const int error = m_status->writeError.load();
    return error == 0 || failWrite(error);
}

void SerialPort::starting() {
    if (m_line)
        m_line->forget = true;
}

void SerialPort::reset() {
    close();
    m_status->writeError = 0;
}

void SerialPort::close() {
    if (m_writer) {
        m_line->stop = true;
        m_line->wake();
        // tcdrain() on a stalled line may take a while; the descriptor closes with the last owner.
        if (m_line->finished.get_future().wait_for(std::chrono::milliseconds(500)) ==
            std::future_status::ready)
            m_writer->join();
        else
            m_writer->detach();
        m_writer.reset();
    }
    m_line.reset();
}

bool SerialPort::open() {
    const QByteArray path = QFile::encodeName(m_settings.device);
    struct stat named {};
    if (::stat(path.constData(), &named) < 0)
        return failOpen(errno);
    if (!S_ISCHR(named.st_mode))
        return failNotTerminal(kindOf(named));
    // Checked before the open: opening some devices acts by itself (a watchdog starts counting).
    if (terminalClass(named.st_rdev, m_roots) == TerminalClass::Other)
        return failNotTerminal(QStringLiteral("karakteres eszköz, de nem terminál"));
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failOpen(errno);
    struct stat opened {};
    termios options{};
    if (::fstat(fd, &opened) < 0 || opened.st_rdev != named.st_rdev || !::isatty(fd) ||
        ::tcgetattr(fd, &options) < 0) {
        ::close(fd);
        return failNotTerminal(QStringLiteral("karakteres eszköz, de nem terminál"));
    }
    // Another KTR, or a terminal program that locks, already has it; a root process ignores TIOCEXCL.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return failOpen(error);
    }
    ::cfmakeraw(&options);
    options.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    options.c_cflag |= CS8 | CLOCAL | CREAD;
    options.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = 0;
    const speed_t speed = speedConstant(m_settings.effectiveBaud());
    if (::cfsetispeed(&options, speed) < 0 || ::cfsetospeed(&options, speed) < 0 ||
        ::tcsetattr(fd, TCSANOW, &options) < 0) {
        const int error = errno;
        ::close(fd);
        return failWith(QStringLiteral("a(z) %1 baud sebesség nem állítható be (%2).")
                            .arg(m_settings.effectiveBaud())
                            .arg(errnoText(error)),
                        QStringLiteral("Válasszon másik sebességet a soros port beállításaiban vagy a "
                                       "--output értékében (serial:ESZKÖZ:PROTOKOLL:BAUD)."),
                        QStringLiteral("rossz soros sebesség"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::tcflush(fd, TCIOFLUSH);

    m_line = std::make_shared<Line>(fd, SerialFrames::from(m_settings), m_status, m_notice,
                                    slowLineText(m_settings));
    if (m_writing == Writing::Thread) {
        m_line->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        std::shared_ptr<Line> line = m_line;
        m_writer = std::make_unique<std::thread>([line] { line->run(); });
    }
    return true;
}

bool SerialPort::failOpen(int error) {
    const QString& device = m_settings.device;
    if (error == ENOENT || error == ENODEV || error == ENXIO || error == ENOTDIR)
        return failWith(
            QStringLiteral("a(z) %1 eszköz nem található (%2).").arg(device, errnoText(error)),
            QStringLiteral("Csatlakoztassa a kártyát, és ellenőrizze a nevét: a ktr --list-outputs "
                           "kiírja a jelen lévő soros eszközöket (a /dev/serial/by-id/… név "
                           "újracsatlakoztatás után is ugyanaz)."),
            QStringLiteral("nincs soros eszköz"));
    if (error == EACCES || error == EPERM)
        return failWith(
            QStringLiteral("nincs jogosultság a(z) %1 megnyitásához (%2).").arg(device, errnoText(error)),
            QStringLiteral("A soros portok a dialout csoportéi: vegye fel a felhasználót (sudo usermod -aG "
                           "dialout FELHASZNÁLÓ), majd jelentkezzen be újra. A ktr-play@ szolgáltatás "
                           "magától a csoportban van."),
            QStringLiteral("nincs jog a soros porthoz"));
    if (error == EBUSY)
        return failWith(QStringLiteral("a(z) %1 soros portot egy másik program használja.").arg(device),
                        QStringLiteral("Zárja be a portot használó programot (például az Arduino IDE soros "
                                       "monitorát, egy terminálprogramot vagy egy másik KTR-t)."),
                        QStringLiteral("a soros port foglalt"));
    return failWith(QStringLiteral("a(z) %1 nem nyitható meg (%2).").arg(device, errnoText(error)),
                    QStringLiteral("Ellenőrizze az eszközt (ktr --list-outputs)."), QString());
}

bool SerialPort::failNotTerminal(const QString& what) {
    return failWith(
        QStringLiteral("a(z) %1 nem soros port (%2); a program nem ír rá.").arg(m_settings.device, what),
        QStringLiteral("Soros portot adjon meg: /dev/ttyUSB0, /dev/ttyACM0 vagy egy "
                       "/dev/serial/by-id/… név (ktr --list-outputs felsorolja őket)."),
        QStringLiteral("nem soros port"));
}

bool SerialPort::failWrite(int error) {
    if (error == EIO || error == ENODEV || error == ENXIO || error == EPIPE)
        return failWith(
            QStringLiteral("a soros eszköz menet közben elérhetetlenné vált: kihúzták, vagy a "
                           "kártya újraindult (%1).")
                .arg(errnoText(error)),
            QStringLiteral("Dugja vissza a kártyát (a /dev/serial/by-id/… név másik USB-aljzatban "
                           "is ugyanaz), és ellenőrizze a kábelt."),
            QStringLiteral("a soros eszköz megszűnt"));
    return failWith(QStringLiteral("az írás a soros portra nem sikerült (%1).").arg(errnoText(error)),
                    QStringLiteral("Ellenőrizze a kártyát és a kábelt."), QString());
}

bool SerialPort::failWith(const QString& cause, const QString& remedy, const QString& brief) {
    return fail(OutputFailure{QStringLiteral("A soros kimenet"), m_settings.device, cause, remedy, brief});
}

QString SerialPort::slowLineText(const SerialSettings& settings) {
    QString text = QStringLiteral("A soros kimenet (%1, %2 baud) nem győzi: egy lépés parancsai tovább "
                                  "tartanak, mint maga a lépés, ezért a kártya lépéseket hagy ki.")
                       .arg(settings.device)
                       .arg(settings.effectiveBaud());
    if (settings.protocol == SerialSettings::Protocol::Lcus)
        text += QStringLiteral(" Egy relé parancsa %1 baudon %2 ms; lassítsa a lejátszást, vagy kapcsoljon "
                               "lépésenként kevesebb relét.")
                    .arg(settings.effectiveBaud())
                    .arg(QString::number(40000.0 / settings.effectiveBaud(), 'f', 1)
                             .replace(QLatin1Char('.'), QLatin1Char(',')));
    else
        text += QStringLiteral(" Lassítsa a lejátszást, vagy válasszon nagyobb sebességet (baud).");
    return text;
}
