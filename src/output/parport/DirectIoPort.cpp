#include "DirectIoPort.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define KTR_HAS_PORT_IO 1
#endif

namespace {

const QString deviceName = QStringLiteral("0x378 (közvetlen portelérés)");
constexpr unsigned long FirstRegister = Port::DataAddress;
constexpr unsigned long LastRegister = Port::DataAddress + 2;

int systemIoperm(unsigned long from, unsigned long count, int on) {
#ifdef KTR_HAS_PORT_IO
    return ::ioperm(from, count, on);
#else
    (void)from;
    (void)count;
    (void)on;
    errno = ENOSYS;
    return -1;
#endif
}

void systemOutb(unsigned char value, unsigned short address) {
#ifdef KTR_HAS_PORT_IO
    ::outb(value, address);
#else
    (void)value;
    (void)address;
#endif
}

struct IoRange {
    int depth;
    unsigned long first;
    unsigned long last;
    QByteArray name;
};

// "  0378-037a : parport0": the indent says which entry contains which.
QList<IoRange> ioRanges(const QByteArray& text) {
    QList<IoRange> ranges;
    for (const QByteArray& line : text.split('\n')) {
        int depth = 0;
        while (depth < line.size() && line[depth] == ' ')
            ++depth;
        const qsizetype dash = line.indexOf('-', depth);
        const qsizetype colon = line.indexOf(" : ", depth);
        if (dash < 0 || colon < dash)
            continue;
        bool firstOk = false;
        bool lastOk = false;
        const unsigned long first = line.mid(depth, dash - depth).toULong(&firstOk, 16);
        const unsigned long last = line.mid(dash + 1, colon - dash - 1).trimmed().toULong(&lastOk, 16);
        if (firstOk && lastOk)
            ranges.append({depth, first, last, line.mid(colon + 3).trimmed()});
    }
    return ranges;
}

} // namespace

const QString DirectIoPort::DeviceValue = QStringLiteral("direct");

DirectIoCalls DirectIoCalls::system() {
    return {systemIoperm, systemOutb, QStringLiteral("/proc/ioports")};
}

DirectIoPort::DirectIoPort(DirectIoCalls calls) : m_calls(std::move(calls)) {}

DirectIoPort::~DirectIoPort() {
    dropPermission();
}

QString DirectIoPort::portMissingReason(const QByteArray& ioports) {
    const QList<IoRange> ranges = ioRanges(ioports);
    const bool addressesHidden =
        !ranges.isEmpty() && std::all_of(ranges.begin(), ranges.end(),
                                         [](const IoRange& r) { return r.first == 0 && r.last == 0; });
    if (addressesHidden)
        return QStringLiteral("a /proc/ioports címeit csak a root látja, így nem ellenőrizhető, hogy a 0x378 "
                              "a párhuzamos porté.");
    const auto port = std::find_if(ranges.begin(), ranges.end(), [](const IoRange& r) {
        return r.name == "parport0" && r.first <= FirstRegister && r.last >= LastRegister;
    });
    if (port == ranges.end())
        return QStringLiteral("a /proc/ioports szerint a 0x378 címen nincs párhuzamos port (parport0).");
    // The buses above the port contain its range; any other entry that overlaps it is a device.
    for (const IoRange& r : ranges) {
        const bool overlaps = r.first <= LastRegister && r.last >= FirstRegister;
        const bool above = r.depth < port->depth && r.first <= port->first && r.last >= port->last;
        if (overlaps && !above && r.name != "parport0")
            return QStringLiteral("a /proc/ioports szerint a 0x378 címtartományt más is használja (%1).")
                .arg(QString::fromLocal8Bit(r.name));
    }
    return {};
}

bool DirectIoPort::write(int address, quint8 value) {
    if (!m_permitted) {
        QFile ioports(m_calls.ioportsPath);
        if (!ioports.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("a %1 nem olvasható (%2), így nem ellenőrizhető, hogy a 0x378 a "
                                         "párhuzamos porté.")
                              .arg(m_calls.ioportsPath, ioports.errorString()));
        const QString missing = portMissingReason(ioports.read(1024 * 1024));
        if (!missing.isEmpty())
            return refuse(missing);
        if (m_calls.ioperm(FirstRegister, LastRegister - FirstRegister + 1, 1) != 0) {
            const int error = errno;
            if (error == ENOSYS)
                return refuse(QStringLiteral("ezen a gépen nincs közvetlen portelérés."));
            return refuse(QStringLiteral("a közvetlen portelérést a rendszer nem engedte (%1); rootként "
                                         "(CAP_SYS_RAWIO) működik.")
                              .arg(QString::fromLocal8Bit(strerror(error))));
        }
        m_permitted = true;
        m_permittedThread = gettid();
    }
    m_calls.outb(value, static_cast<unsigned short>(address));
    return true;
}

bool DirectIoPort::refuse(const QString& cause) {
    return fail(OutputFailure{
        OutputFailure::ParallelPort, deviceName, cause,
        QStringLiteral("Töltse be a ppdev modult (sudo modprobe ppdev), és használja a /dev/parport0 eszközt "
                       "(--output parport); ahhoz elég az lp csoport.")});
}

void DirectIoPort::dropPermission() {
    if (m_permitted && m_permittedThread == gettid())
        m_calls.ioperm(FirstRegister, LastRegister - FirstRegister + 1, 0);
    m_permitted = false;
}
